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
class QScreen;
class QToolBar;

namespace korva::app {

class MenuPreview;
class PlayTest;
class VerifyDialog;
class SlotGrid;
class ScanDialog;
class WheelHook;
class WindowCommands;
class WindowServices;

struct WindowOptions {
  std::string DatabasePath;   // korva_db.xml; empty: the program's usual place
  bool NonInteractive = false;  // tests: no dialog waits for a person
  bool WithAboutBox = true;
  std::string SettingsFile;     // recent projects, scan choices; empty: the program's usual settings
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kMinRows = 4;   // the fewest slot rows, while the screen has room for them
  static constexpr int kMaxRows = 10;
  // The height a window manager's frame is taken to add while it is not
  // known yet (before the window is first shown).
  static constexpr int kFrameAllowance = 40;

  explicit MainWindow(const WindowOptions& options = {});
  ~MainWindow() override;

  // The height rule: for a proposed window height (without the frame), false
  // when the change is refused (fewer rows than MinRows(), more than
  // RowsOnScreen()); otherwise `height` snaps down to a whole number of slot
  // rows and `rows` is their count.
  bool FormCanResize(int& height, int& rows) const;
  // The window's height for `rows` visible slot rows.
  int HeightForRows(int rows) const;
  // A change of the window's height through the height rule.
  bool SetWindowHeight(int height);

  // FormShow (loads the ROM database), then shows the window centred on the
  // screen, as many rows as fit up to four.
  void ShowMainWindow();

  // The most slot rows whose window, frame and all, fits the screen's
  // available height (1 to kMaxRows); and the fewest the height rule allows:
  // kMinRows, or RowsOnScreen() when fewer fit.
  int RowsOnScreen() const;
  int MinRows() const;

  // Brings the window within the screen's available area: the height limits
  // follow the screen, rows that no longer fit go, and a frame reaching
  // past the area moves into it. Runs when the window is shown, when it moves
  // to another screen and when the screen's area changes.
  void FitToScreen();

  Workspace& Work() { return ws_; }
  WindowServices& Services() { return *services_; }
  WindowCommands& Commands() { return *commands_; }
  SlotGrid& Grid() { return *grid_; }
  ScanDialog& scanDialog() { return *scanDialog_; }
  PlayTest& Play() { return *playTest_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void FormCreate();
  void FormShow();
  void BuildMenus();
  void BuildToolbar();
  int NonListClientHeight() const;
  int FrameHeight() const;
  void ApplyRows(int rows);
  void KeepOnScreen();
  void WatchScreen();
  void FollowScreen(QScreen* screen);

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
  VerifyDialog* verify_ = nullptr;
  WheelHook* wheelHook_ = nullptr;
  bool applyingRule_ = false;
  QMetaObject::Connection screenArea_;
};

}  // namespace korva::app
