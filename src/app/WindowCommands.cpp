#include "app/WindowCommands.h"

#include "app/SlotGrid.h"
#include "app/ScanTask.h"
#include "app/ScanDialog.h"
#include "app/WindowServices.h"
#include "builder/Export.h"
#include "project/ProjectCommands.h"
#include "project/Model.h"
#include "project/ProjectFile.h"
#include "project/RandomFill.h"
#include "romlib/FileUtil.h"
#include "romlib/ROMInfo.h"
#include "romlib/RomDatabase.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QIcon>
#include <QFileInfo>
#include <QKeySequence>
#include <QMessageBox>
#include <QMenu>
#include <QUrl>
#include <QWidget>

#include <stdexcept>
#include <utility>

namespace korva::app {

namespace {

// What the window says about the ROM database file.
constexpr const char* kRomDatabaseMissingMessage =
    "Unable to locate KORVA ROMDB file, but we can generate it now.\r\n\r\n"
    "Press OK to browse for directory to scan for compatible ROMs.";
constexpr const char* kRomDatabaseCorruptMessage = "korva_db.xml is corrupt, re-scan ROM directory to repair!";
constexpr const char* kRescanOffer = "Press OK to browse for directory to scan for compatible ROMs.";
constexpr const char* kRomDatabaseOutOfSyncMessage =
    "Scanned ROM database is out of sync, please re-scan your ROM directory.";

}  // namespace

WindowCommands::WindowCommands(Workspace& ws, WindowServices& services, SlotGrid& grid, ScanDialog& scanDialog,
                               QWidget* window, std::string databasePath, QString settingsFile)
    : QObject(window),
      ws_(ws),
      services_(services),
      grid_(grid),
      scanDialog_(scanDialog),
      window_(window),
      databasePath_(std::move(databasePath)),
      project_(ws, services, *this),
      scan_(new WindowScan(scanDialog, services, window, [this] { LoadRomDatabase(false); },
                           [this] {
                             if (!openWhenReady_.empty()) OpenProject(std::exchange(openWhenReady_, {}));
                           })),
      recent_(std::move(settingsFile)) {
  NoteSaved();
  FileNew1 = MakeAction("FileNew1", "&New Project", "New Project (Ctrl+N)", "new");
  FileNew1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  FileOpen1 = MakeAction("FileOpen1", "&Open Project...", "Open (Ctrl+O)|Opens an existing file", "open");
  FileOpen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  FileExport1 = MakeAction("FileExport1", "&Export BIN Files", "Export BIN Files (Ctrl+E)", "export");
  FileExport1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  FileSave1 = MakeAction("FileSave1", "&Save Project", "Save Project (Ctrl+S)", "save");
  FileSave1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  FileSaveAs1 = MakeAction("FileSaveAs1", "Save Project &As...",
                           "Save As (Ctrl+Shift+S)|Saves the active file with a new name", "saveas");
  FileSaveAs1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
  FileExit1 = MakeAction("FileExit1", "E&xit", "Exit (Ctrl+Q)|Quits the application", "exit");
  FileExit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  SetROMDirectory1 = MakeAction("SetROMDirectory1", "Scan ROM &Directory", QString(), "scan");
  tbRandomizeROMs = MakeAction("tbRandomizeROMs", "&Randomize ROMs", "Randomize ROMs (Ctrl+R)|A random ROM for every slot",
                               "random");
  tbRandomizeROMs->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  ClearSlot1 = MakeAction("ClearSlot1", "&Clear Slot", "Clear Slot (Del)|Empties the slot that holds the focus", "clear");
  ClearSlot1->setShortcut(QKeySequence(Qt::Key_Delete));
  HelpAbout1 = MakeAction("HelpAbout1", "&About KORVA Builder", "About KORVA Builder (F1)", "about");
  HelpAbout1->setShortcut(QKeySequence(Qt::Key_F1));

  connect(FileNew1, &QAction::triggered, this, [this] { Guard([this] { FileNew1Execute(); }); });
  connect(FileOpen1, &QAction::triggered, this, [this] { Guard([this] { FileOpen1Execute(); }); });
  connect(FileExport1, &QAction::triggered, this, [this] { Guard([this] { FileExport1Execute(); }); });
  connect(FileSave1, &QAction::triggered, this, [this] { Guard([this] { FileSave1Execute(); }); });
  connect(FileSaveAs1, &QAction::triggered, this, [this] { Guard([this] { FileSaveAs1Execute(); }); });
  connect(FileExit1, &QAction::triggered, this, [this] { window_->close(); });
  connect(SetROMDirectory1, &QAction::triggered, this, [this] { Guard([this] { SetROMDirectory1Click(); }); });
  connect(tbRandomizeROMs, &QAction::triggered, this, [this] { Guard([this] { tbRandomizeROMsClick(); }); });
  connect(ClearSlot1, &QAction::triggered, this, [this] { Guard([this] { ClearSlot1Execute(); }); });
  connect(HelpAbout1, &QAction::triggered, this, [this] { Guard([this] { HelpAbout1Execute(); }); });
}

WindowCommands::~WindowCommands() = default;

QAction* WindowCommands::MakeAction(const char* name, const QString& caption, const QString& hint,
                                    const QString& icon) {
  auto* action = new QAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(icon)), caption, this);
  action->setObjectName(QString::fromLatin1(name));
  // The part of a hint before "|" is the toolbar button's tooltip; the part
  // after it is never shown. Without a hint there is no tooltip.
  const QString tip = hint.section(QLatin1Char('|'), 0, 0);
  action->setToolTip(tip);
  action->setStatusTip(QString());
  action->setProperty("hint", hint);
  return action;
}

void WindowCommands::Guard(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    services_.ShowErrorBox(e.what());
  } catch (...) {
    services_.ShowErrorBox("An unknown error occurred.");
  }
  grid_.ShowProject();
  ShowProjectState();
}

std::optional<std::string> WindowCommands::AskOpenProjectFile() {
  const QString path = services_.AskOpenProjectFile();
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

std::optional<std::string> WindowCommands::AskSaveProjectFile() {
  const QString path = services_.AskSaveProjectFile();
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

// The project as last opened, saved or started, in its file form: the work
// is unsaved while the project's file text differs from it.
void WindowCommands::NoteSaved() {
  savedText_ = ProjectFileText(ws_);
  ShowProjectState();
}

bool WindowCommands::HasUnsavedChanges() const { return ProjectFileText(ws_) != savedText_; }

void WindowCommands::ShowProjectState() { services_.ShowCaption(ws_.Proj.ProjectFileName, HasUnsavedChanges()); }

bool WindowCommands::ConfirmDiscard() {
  if (!HasUnsavedChanges()) return true;
  const std::string& file = ws_.Proj.ProjectFileName;
  const std::string question =
      file.empty() ? "Save changes to the new project?" : "Save changes to \"" + FileNamePart(file) + "\"?";
  switch (services_.Ask(question, MsgKind::Confirmation,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel)) {
    case QMessageBox::Save:
      // A save that fails or is cancelled keeps the work, and whatever was
      // to replace it waits.
      try {
        FileSave1Execute();
      } catch (const std::exception& e) {
        services_.ShowErrorBox(e.what());
        return false;
      }
      return !HasUnsavedChanges();
    case QMessageBox::Discard:
      return true;
    default:
      return false;
  }
}

void WindowCommands::NoteRecent() {
  if (!ws_.Proj.ProjectFileName.empty()) recent_.Add(QString::fromStdString(ws_.Proj.ProjectFileName));
}

void WindowCommands::FileNew1Execute() {
  if (!ConfirmDiscard()) return;
  project_.FileNew1Execute();
  NoteSaved();
}

void WindowCommands::FileOpen1Execute() {
  if (!ConfirmDiscard()) return;
  const std::optional<std::string> path = AskOpenProjectFile();
  if (path && !path->empty()) OpenFile(WithProjectExtension(*path));
}

void WindowCommands::OpenFile(const std::string& path) {
  // A file that cannot be read leaves the project that was open.
  if (!project_.FileOpen1Accept(path)) return;
  NoteSaved();
  NoteRecent();
  ReportMissingRoms();
}

void WindowCommands::ReportMissingRoms() {
  std::string lines;
  std::vector<std::uint32_t> missing;
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = ws_.Proj.slot(n);
    if (!slot.IsMissing()) continue;
    missing.push_back(slot.MissingCRC);
    lines += "\r\n" + std::to_string(n) + ": " + (slot.Title.empty() ? "(no title)" : slot.Title) + " (CRC " +
             CrcText(slot.MissingCRC) + ")";
  }
  if (missing.empty()) return;
  std::string text = "Unable to find ROMs specified in project!\r\n\r\nThese slots keep their ROM, shown as missing, "
                     "until a scan of the directory that holds it finds it:\r\n" + lines;

  // A ROM database beside the project (korva demo writes one) that knows
  // some of them is offered in place of the one in use.
  const std::string beside = FullDirectoryOf(ws_.Proj.ProjectFileName) + kRomDatabaseName;
  RomDatabaseLoad offer;
  int known = 0;
  if (beside != databasePath_ && FileExists(beside)) {
    offer = korva::LoadRomDatabase(beside, ws_.HeaderDB);
    for (std::uint32_t crc : missing)
      known += offer.Status == RomDatabaseStatus::Loaded && !FindROMByCRC(offer.Library.ROMList, crc).Empty();
  }
  if (known == 0) {
    services_.ShowCenteredMessage(text, MsgKind::Warning, static_cast<MsgButtons>(MsgButton::OK));
    return;
  }
  text += "\r\n\r\nThe ROM database beside the project, " + beside + ", holds " + std::to_string(known) + " of " +
          std::to_string(missing.size()) + ". Use it instead of " + databasePath_ + "?";
  if (services_.ShowCenteredMessage(text, MsgKind::Confirmation, MsgButton::Yes | MsgButton::No) != MsgButton::Yes)
    return;
  databasePath_ = beside;
  ws_.DatabasePath = beside;
  emit DatabasePathChanged();
  UseLibrary(std::move(offer));
}

void WindowCommands::OpenProject(const std::string& path) {
  Guard([&] { OpenFile(path); });
}

void WindowCommands::OpenProjectWhenReady(const std::string& path) {
  if (ScanRunning()) {
    openWhenReady_ = path;
  } else {
    OpenProject(path);
  }
}

void WindowCommands::FillRecentMenu(QMenu* menu) {
  menu->clear();
  const QStringList items = recent_.Items();
  for (int i = 0; i < items.size(); ++i) {
    const QString path = items[i];
    QAction* entry = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    entry->setObjectName(QStringLiteral("RecentProject%1").arg(i + 1));
    entry->setToolTip(path);
    connect(entry, &QAction::triggered, this, [this, path] {
      Guard([&] {
        if (ConfirmDiscard()) OpenFile(path.toStdString());
      });
    });
  }
  if (items.isEmpty()) menu->addAction(QStringLiteral("No recent projects"))->setEnabled(false);
}

void WindowCommands::DropFiles(const QList<QUrl>& urls, int slot) {
  Guard([&] {
    for (const QUrl& url : urls) {
      const std::string path = url.toLocalFile().toStdString();
      if (HasExtension(path, kProjectExtension)) {
        if (ConfirmDiscard()) OpenFile(path);
        return;
      }
      if (HasExtension(path, ".nes") || HasExtension(path, ".zip")) {
        DropRom(path, slot);
        return;
      }
    }
  });
}

void WindowCommands::DropRom(const std::string& path, int slot) {
  const std::string name = FileNamePart(path);
  if (slot == 0) {
    services_.ShowStatusMessage("Drop " + name + " on a slot to choose it there", 5);
    return;
  }
  RomReadStatus status;
  const TROMInfo read = ReadRomFile(path, ws_.HeaderDB, &status);
  if (!status.Ok()) {
    services_.ShowStatusMessage(name + (status.IsFileError() ? " cannot be read: " : " is not a ROM image: ") +
                                    status.Reason(),
                                8);
    return;
  }
  const TROMInfo known = FindROMByCRC(ws_.Library.ROMList, read.CRC32);
  if (known.Empty()) {
    services_.ShowStatusMessage(name + " is not in the ROM database; scan its directory first", 8);
    return;
  }
  grid_.ChooseROM(slot, known.ListIndex);
}

void WindowCommands::FileSave1Execute() {
  project_.FileSave1Execute();
  if (ws_.Proj.ProjectFileName.empty()) return;  // Save As was cancelled
  NoteSaved();
  NoteRecent();
}

void WindowCommands::FileSaveAs1Execute() {
  if (!project_.FileSaveAs1Execute()) return;
  NoteSaved();
  NoteRecent();
}

void WindowCommands::FileExport1Execute() {
  // A template file is taken only from the project's own directory.
  ExportProject(ws_, TemplateChoice{.FromProjectDirectory = true}, services_);
}

void WindowCommands::tbRandomizeROMsClick() {
  // Each slot's ROM is selected in its list and its change handler run, as
  // if the user had chosen it.
  RandomFill(ws_, services_, [this](int n, int index) { grid_.ChooseROM(n, index); });
}

void WindowCommands::ClearSlot1Execute() {
  const int n = grid_.FocusedSlot();
  if (n == 0) {
    services_.ShowStatusMessage("Click into a slot's row first, then Clear Slot", 5);
    return;
  }
  grid_.ClearSlot(n);
}

void WindowCommands::HelpAbout1Execute() {
  auto* dialog = qobject_cast<QDialog*>(aboutBox_);
  if (dialog == nullptr) return;
  // Open already (its update check still on its way out): brought forward.
  if (dialog->isVisible()) {
    dialog->raise();
    dialog->activateWindow();
    return;
  }
  dialog->exec();
}

void WindowCommands::LoadRomDatabase(bool offerScan) {
  ws_.DatabasePath = databasePath_;
  RomDatabaseLoad load = korva::LoadRomDatabase(databasePath_, ws_.HeaderDB);
  if (load.Status == RomDatabaseStatus::Loaded) {
    UseLibrary(std::move(load));
    return;
  }
  if (!offerScan) {
    if (load.Status == RomDatabaseStatus::Unusable) throw std::runtime_error(load.Problem);
    return;
  }
  std::string offer = kRomDatabaseMissingMessage;
  if (load.Status == RomDatabaseStatus::Unusable)
    offer = (load.Damaged ? std::string(kRomDatabaseCorruptMessage) + "\r\n\r\n" : std::string()) + load.Problem +
            "\r\n\r\n" + kRescanOffer;
  if (services_.ShowCenteredMessage(offer, load.Status == RomDatabaseStatus::Missing ? MsgKind::Information : MsgKind::Error,
                                    MsgButton::OK | MsgButton::Cancel) == MsgButton::OK)
    SetROMDirectory1Click();
}

void WindowCommands::UseLibrary(RomDatabaseLoad load) {
  ReplaceLibrary(ws_, std::move(load.Library));
  grid_.SetROMNames(ws_.Library.ROMNames);
  if (load.OutOfSync)
    services_.ShowCenteredMessage(kRomDatabaseOutOfSyncMessage, MsgKind::Information,
                                  static_cast<MsgButtons>(MsgButton::OK));
  services_.ShowStatusMessage("Loaded KORVA Game Database, " + std::to_string(ws_.Library.ROMList.size()) + " ROMs", 10);
  ShowProjectState();
}

void WindowCommands::SetROMDirectory1Click() {
  // The project stays: after the scan every slot keeps its ROM by CRC, as a
  // missing one when the new database does not hold it.
  const std::optional<ScanDialog::Choice> choice = scanDialog_.AskDirectory();
  if (!choice) return;
  StartScan(choice->Directory, choice->IncludeSubfolders);
}

void WindowCommands::StartScan(const std::string& directory, bool recursive) {
  scan_->Start(directory, recursive, ws_.HeaderDB, databasePath_);
}

}  // namespace korva::app
