#pragma once
// The main window's command list: the actions of the menus and the toolbar
// with their captions, shortcuts, hints and images, and what each runs. The
// project logic lives in the core (ProjectCommands, RandomFill, Export, the
// scan); the handlers here wire it to the slot grid and the dialogs.
//
// The window has one notion of unsaved work: the project's file text differs
// from the text last opened, saved or started (HasUnsavedChanges). The
// caption's marker shows it, and New, Open (from the menu, the recent
// projects or a dropped file) and closing the window ask first: Save,
// Discard or Cancel, naming the file. A save that fails or is cancelled
// keeps the work and the window. A scan keeps the project: its slots keep
// their ROMs by CRC.
#include "app/RecentProjects.h"
#include "app/ScanTask.h"
#include "project/ProjectCommands.h"
#include "project/Workspace.h"
#include "romlib/Scan.h"

#include <QObject>

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QUrl;
class QWidget;

namespace korva::app {

class SlotGrid;
class ScanDialog;
class WindowServices;

class WindowCommands : public QObject, public FileNamePrompt {
  Q_OBJECT
 public:
  // `window` is the main window (disabled while a scan runs), `aboutBox`
  // the About box shown by HelpAbout1. `databasePath` is korva_db.xml's path;
  // `settingsFile` where the recent projects are kept (empty: the usual place).
  WindowCommands(Workspace& ws, WindowServices& services, SlotGrid& grid, ScanDialog& scanDialog,
                 QWidget* window, std::string databasePath, QString settingsFile = {});
  ~WindowCommands() override;

  // The commands, by their names.
  QAction* FileNew1 = nullptr;
  QAction* FileOpen1 = nullptr;
  QAction* FileExport1 = nullptr;
  QAction* FileSave1 = nullptr;
  QAction* FileSaveAs1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* SetROMDirectory1 = nullptr;
  QAction* tbRandomizeROMs = nullptr;
  QAction* ClearSlot1 = nullptr;
  QAction* HelpAbout1 = nullptr;

  // The About box; set by the window once it exists.
  void SetAboutBox(QWidget* aboutBox) { aboutBox_ = aboutBox; }

  // Loads korva_db.xml (start-up, and the end of a scan through its reload):
  // puts the ROM library in place with every slot keeping its ROM by CRC
  // (UseLibrary). A file that is missing or cannot be used is offered a scan
  // (OK starts one) when `offerScan`; else an unusable file raises its
  // reason, which ends the scan that reloads it.
  void LoadRomDatabase(bool offerScan = true);

  // Open of a file given on the command line.
  void OpenProject(const std::string& path);
  // The same once the ROM lists are ready: at once, or when a scan that runs
  // (the one offered at start-up) has finished and reloaded them.
  void OpenProjectWhenReady(const std::string& path);

  // True when the project may be replaced: no unsaved changes, or the user
  // answered Discard, or Save and the project was saved.
  bool ConfirmDiscard();
  // The project differs from what was last opened, saved or started.
  bool HasUnsavedChanges() const;
  // The caption for the project's file, with the unsaved-work marker when
  // HasUnsavedChanges.
  void ShowProjectState();

  // Fills the recent projects menu; each entry opens its file.
  void FillRecentMenu(QMenu* menu);

  // Files dropped on the window: a .korva file opens; a .nes or .zip file
  // dropped on slot n (0: on no slot) becomes that slot's ROM when the ROM
  // database knows its CRC, else the status bar says why not.
  void DropFiles(const QList<QUrl>& urls, int slot);

  // The scan's window side (app/ScanTask.h).
  WindowScan& Scan() { return *scan_; }
  // True while a scan runs on the worker.
  bool ScanRunning() const { return scan_->Running(); }
  const std::string& DatabasePath() const { return databasePath_; }

  // FileNamePrompt, answered by the window's file dialogs.
  std::optional<std::string> AskOpenProjectFile() override;
  std::optional<std::string> AskSaveProjectFile() override;

  // Runs `f`; an error it raises goes to the application error box. Then
  // the grid and the caption show the project.
  void Guard(const std::function<void()>& f);

 signals:
  // The window now uses another ROM database file (DatabasePath()).
  void DatabasePathChanged();

 private:
  QAction* MakeAction(const char* name, const QString& caption, const QString& hint, const QString& icon);
  void FileNew1Execute();
  void FileOpen1Execute();
  void FileSave1Execute();
  void FileSaveAs1Execute();
  void FileExport1Execute();
  void SetROMDirectory1Click();
  void tbRandomizeROMsClick();
  void ClearSlot1Execute();
  void HelpAbout1Execute();
  void StartScan(const std::string& directory, bool recursive);
  void UseLibrary(RomDatabaseLoad load);
  void OpenFile(const std::string& path);
  void ReportMissingRoms();
  void NoteRecent();
  void NoteSaved();
  void DropRom(const std::string& path, int slot);

  Workspace& ws_;
  WindowServices& services_;
  SlotGrid& grid_;
  ScanDialog& scanDialog_;
  QWidget* window_;
  QWidget* aboutBox_ = nullptr;
  std::string databasePath_;
  ProjectCommands project_;
  WindowScan* scan_;
  RecentProjects recent_;
  std::string openWhenReady_;
  std::string savedText_;
};

}  // namespace korva::app
