#pragma once
// The main window: menus, toolbar, the slot grid and the status bar. It owns,
// for the whole run, the header database, the ROM library and the project
// (the Workspace), the services through which the core talks to the user,
// and the scan progress dialog and the About box. A .korva file dropped on
// the window opens; a .nes or .zip dropped on a slot is chosen there.
#include "project/Workspace.h"

#include <QMainWindow>

#include <memory>
#include <string>

class QLabel;
class QToolBar;

namespace korva::app {

class MenuPreview;
class PlayTest;
class SlotGrid;
class ScanDialog;
class WheelHook;
class WindowCommands;
class WindowServices;

struct WindowOptions {
  std::string DatabasePath;   // korva_db.xml; empty: the program's usual place
  bool NonInteractive = false;  // tests: no dialog waits for a person
  bool WithAboutBox = true;
  std::string SettingsFile;     // recent projects; empty: the program's usual settings
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kOuterWidth = 472;
  static constexpr int kFixedHeight = 225;  // the outer height outside the slot list
  static constexpr int kMinRows = 4;
  static constexpr int kMaxRows = 10;

  explicit MainWindow(const WindowOptions& options = {});
  ~MainWindow() override;

  // The height rule: for a proposed outer height, false when the change is
  // refused; otherwise `height` snaps down to a whole number of slot rows and
  // `rows` is their count.
  static bool FormCanResize(int& height, int& rows);

  // The window's outer height, and a change of it through the height rule.
  int OuterHeight() const;
  bool SetOuterHeight(int height);

  // FormShow (loads the ROM database), then shows the window centred on the
  // screen.
  void ShowMainWindow();

  // The most slot rows whose window fits the screen's available height
  // (kMinRows to kMaxRows).
  int RowsOnScreen() const;

  Workspace& Work() { return ws_; }
  WindowServices& Services() { return *services_; }
  WindowCommands& Commands() { return *commands_; }
  SlotGrid& Grid() { return *grid_; }
  ScanDialog& scanDialog() { return *scanDialog_; }
  PlayTest& Play() { return *playTest_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void BuildMenus();
  void BuildToolbar();
  int NonListClientHeight() const;
  void ApplyRows(int rows);

  WindowOptions options_;
  Workspace ws_;
  SlotGrid* grid_ = nullptr;
  QToolBar* toolbar_ = nullptr;
  QLabel* statusPanel_ = nullptr;
  WindowServices* services_ = nullptr;
  ScanDialog* scanDialog_ = nullptr;
  QWidget* aboutBox_ = nullptr;
  WindowCommands* commands_ = nullptr;
  MenuPreview* preview_ = nullptr;
  PlayTest* playTest_ = nullptr;
  WheelHook* wheelHook_ = nullptr;
  bool applyingRule_ = false;
};

}  // namespace korva::app
