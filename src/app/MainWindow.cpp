#include "app/MainWindow.h"

#include "about/AboutDialog.h"
#include "app/MenuPreview.h"
#include "app/PlayTest.h"
#include "app/VerifyDialog.h"
#include "app/SlotGrid.h"
#include "app/ScanDialog.h"
#include "app/WheelHook.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"
#include "project/Model.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QIcon>
#include <QLabel>
#include <QMimeData>
#include <QMenuBar>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

namespace korva::app {

namespace {
// The design's window width and toolbar, in pixels of an 8 pt window font
// (SlotGrid::Px scales them to the desktop's fonts).
constexpr int kDesignWidth = 456;
constexpr int kToolbarHeight = 29;
}

MainWindow::MainWindow(const WindowOptions& options) : QMainWindow(nullptr), options_(options) {
  setObjectName(QStringLiteral("Form1"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon(QStringLiteral(":/icons/joystick.svg")));
  setAcceptDrops(true);

  auto* bar = new QStatusBar(this);
  bar->setObjectName(QStringLiteral("StatusBar1"));
  bar->setSizeGripEnabled(false);
  statusPanel_ = new QLabel(bar);
  statusPanel_->setObjectName(QStringLiteral("StatusPanel0"));
  // The panel is 200 pixels wide at least and takes the rest of the bar, so
  // a message in a wider font than the design's is not cut off.
  statusPanel_->setMinimumWidth(200);
  bar->addWidget(statusPanel_, 1);
  setStatusBar(bar);

  services_ = new WindowServices(this, bar, this);
  services_->SetNonInteractive(options_.NonInteractive);
  FormCreate();

  // The scan progress dialog and the About box exist before the window is
  // first shown.
  scanDialog_ = new ScanDialog(*services_, this, QString::fromStdString(options_.SettingsFile));
  commands_ = new WindowCommands(ws_, *services_, *grid_, *scanDialog_, this,
                                 options_.DatabasePath.empty() ? DefaultRomDatabasePath() : options_.DatabasePath,
                                 QString::fromStdString(options_.SettingsFile));
  const auto showDatabase = [this, bar] {
    bar->setToolTip(QStringLiteral("ROM database: %1").arg(QString::fromStdString(commands_->DatabasePath())));
  };
  showDatabase();
  connect(commands_, &WindowCommands::DatabasePathChanged, this, showDatabase);
  connect(grid_, &SlotGrid::Edited, commands_, &WindowCommands::ShowProjectState);
  connect(grid_, &SlotGrid::statusText, this,
          [this](const QString& text) { services_->ShowStatusMessage(text.toStdString(), 5); });
  // What a message is about is on screen behind it.
  services_->SetBeforeMessage([this] { grid_->ShowProject(); });
  if (options_.WithAboutBox) {
    aboutBox_ = new AboutDialog(this);
    commands_->SetAboutBox(aboutBox_);
  }
  preview_ = new MenuPreview(ws_, this, QString::fromStdString(options_.SettingsFile));
  playTest_ = new PlayTest(ws_, *services_, this);
  verify_ = new VerifyDialog(ws_, this);
  BuildMenus();
  BuildToolbar();

  wheelHook_ = new WheelHook(grid_->ScrollBar1(), this, this);
  qApp->installEventFilter(wheelHook_);

  // Only the height can change, in whole slot rows, never past the screen.
  setFixedWidth(grid_->Px(kDesignWidth));
  setBaseSize(0, NonListClientHeight());
  setSizeIncrement(0, grid_->RowHeight());
  FitToScreen();
  ApplyRows(std::min(kMinRows, RowsOnScreen()));
}

MainWindow::~MainWindow() {
  if (wheelHook_ != nullptr) qApp->removeEventFilter(wheelHook_);
}

void MainWindow::FormCreate() {
  // The header database; an error here is shown and start-up goes on with
  // an empty table, so the rows and the project still come into being.
  try {
    ws_.HeaderDB = LoadHeaderDatabase(*services_);
  } catch (const std::exception& e) {
    services_->ShowErrorBox(e.what());
  }
  ws_.Library = RomLibrary{};
  grid_ = new SlotGrid(ws_, this);
  setCentralWidget(grid_);
  NewProject(ws_.Proj, *services_);
  grid_->ShowProject();
}

void MainWindow::BuildMenus() {
  WindowCommands& c = *commands_;
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("File1"));
  file->addAction(c.FileNew1);
  file->addAction(c.FileOpen1);
  file->addSeparator();
  file->addAction(c.FileExport1);
  file->addAction(verify_->ShowAction());
  file->addSeparator();
  file->addAction(c.FileSave1);
  file->addAction(c.FileSaveAs1);
  file->addSeparator();
  QMenu* recent = file->addMenu(QStringLiteral("Recent &Projects"));
  recent->setObjectName(QStringLiteral("RecentProjects1"));
  c.FillRecentMenu(recent);
  connect(recent, &QMenu::aboutToShow, this, [this, recent] { commands_->FillRecentMenu(recent); });
  file->addSeparator();
  file->addAction(c.FileExit1);
  QMenu* slotMenu = menuBar()->addMenu(QStringLiteral("S&lots"));
  slotMenu->setObjectName(QStringLiteral("Slots1"));
  slotMenu->addAction(c.tbRandomizeROMs);
  slotMenu->addAction(c.ClearSlot1);
  QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
  view->setObjectName(QStringLiteral("View1"));
  preview_->ShowAction()->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
  preview_->ShowAction()->setToolTip(QStringLiteral("Menu Preview (Ctrl+P)"));
  view->addAction(preview_->ShowAction());
  view->addAction(playTest_->Action());
  QMenu* settings = menuBar()->addMenu(QStringLiteral("&Settings"));
  settings->setObjectName(QStringLiteral("Settings1"));
  settings->addAction(c.SetROMDirectory1);
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->setObjectName(QStringLiteral("Help1"));
  help->addAction(c.HelpAbout1);
}

void MainWindow::BuildToolbar() {
  WindowCommands& c = *commands_;
  toolbar_ = addToolBar(QStringLiteral("ToolBar1"));
  toolbar_->setObjectName(QStringLiteral("ToolBar1"));
  toolbar_->setMovable(false);
  toolbar_->setFloatable(false);
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolbar_->setIconSize(QSize(grid_->Px(16), grid_->Px(16)));
  toolbar_->setFixedHeight(grid_->Px(kToolbarHeight));
  toolbar_->setContextMenuPolicy(Qt::PreventContextMenu);
  const std::pair<QAction*, const char*> buttons[] = {
      {c.FileNew1, "tbFileNew"},        {c.FileOpen1, "tbFileOpen"}, {c.FileSave1, "tbFileSave"},
      {nullptr, nullptr},               {c.FileExport1, "tbFileExport"}, {preview_->ShowAction(), "tbMenuPreview"},
      {playTest_->Action(), "tbPlayTest"},
      {nullptr, nullptr},
      {c.tbRandomizeROMs, "tbRandomizeROMs"}, {nullptr, nullptr},   {c.HelpAbout1, "tbHelpAbout"}};
  for (const auto& [action, name] : buttons) {
    if (action == nullptr) {
      toolbar_->addSeparator();
      continue;
    }
    toolbar_->addAction(action);
    QWidget* button = toolbar_->widgetForAction(action);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(grid_->Px(32), grid_->Px(26));
  }
}

int MainWindow::NonListClientHeight() const {
  return menuBar()->sizeHint().height() + toolbar_->height() + grid_->HeightForRows(0) +
         statusBar()->sizeHint().height();
}

int MainWindow::HeightForRows(int rows) const { return NonListClientHeight() + grid_->RowHeight() * rows; }

bool MainWindow::FormCanResize(int& height, int& rows) const {
  const int k = (height - NonListClientHeight()) / grid_->RowHeight();
  if (height < NonListClientHeight() || k < MinRows() || k > RowsOnScreen()) return false;
  height = HeightForRows(k);
  rows = k;
  return true;
}

bool MainWindow::SetWindowHeight(int height) {
  int rows = 0;
  if (!FormCanResize(height, rows)) return false;
  ApplyRows(rows);
  return true;
}

// The frame's height once the window manager has drawn one; before that, an
// allowance.
int MainWindow::FrameHeight() const {
  const int frame = frameGeometry().height() - height();
  return isVisible() && frame > 0 ? frame : kFrameAllowance;
}

int MainWindow::RowsOnScreen() const {
  const QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (s == nullptr) return kMaxRows;
  const int room = s->availableGeometry().height() - FrameHeight() - NonListClientHeight();
  return std::clamp(room / grid_->RowHeight(), 1, kMaxRows);
}

int MainWindow::MinRows() const { return std::min(kMinRows, RowsOnScreen()); }

void MainWindow::FitToScreen() {
  const int fit = RowsOnScreen();
  setMinimumHeight(HeightForRows(MinRows()));
  setMaximumHeight(HeightForRows(fit));
  if (grid_->VisibleRows() > fit) ApplyRows(fit);
  KeepOnScreen();
}

void MainWindow::KeepOnScreen() {
  const QScreen* s = screen();
  if (!isVisible() || s == nullptr) return;
  // The title bar first: a window too large for the area keeps its top left
  // corner inside it.
  const QRect area = s->availableGeometry();
  const QRect frame = frameGeometry();
  const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  if (x != frame.left() || y != frame.top()) move(x, y);
}

void MainWindow::WatchScreen() {
  QWindow* window = windowHandle();
  if (window == nullptr) return;
  connect(window, &QWindow::screenChanged, this, &MainWindow::FollowScreen, Qt::UniqueConnection);
  if (!screenArea_) FollowScreen(window->screen());
}

void MainWindow::FollowScreen(QScreen* screen) {
  disconnect(screenArea_);
  if (screen != nullptr) screenArea_ = connect(screen, &QScreen::availableGeometryChanged, this, &MainWindow::FitToScreen);
  FitToScreen();
}

void MainWindow::ApplyRows(int rows) {
  applyingRule_ = true;
  grid_->SetVisibleRows(rows);
  resize(width(), HeightForRows(rows));
  applyingRule_ = false;
  KeepOnScreen();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  if (applyingRule_ || grid_ == nullptr) return;
  // A size from the window manager (a drag of the frame): snap down to whole
  // rows; a size outside the rule goes back to what it was.
  int height = event->size().height();
  int rows = 0;
  if (!FormCanResize(height, rows)) rows = std::min(grid_->VisibleRows(), RowsOnScreen());
  if (rows != grid_->VisibleRows() || event->size().height() != HeightForRows(rows)) ApplyRows(rows);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  WatchScreen();
  FitToScreen();
}

void MainWindow::FormShow() {
  commands_->Guard([this] { commands_->LoadRomDatabase(); });
}

void MainWindow::ShowMainWindow() {
  FormShow();
  FitToScreen();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->availableGeometry();
    const QSize size = frameGeometry().size();
    move(r.left() + (r.width() - size.width()) / 2, std::max(r.top(), r.top() + (r.height() - size.height()) / 2));
  }
  show();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // While a scan runs the window stays: the worker still reports to it.
  if (commands_ != nullptr && (commands_->ScanRunning() || !commands_->ConfirmDiscard())) {
    event->ignore();
    return;
  }
  scanDialog_->close();
  event->accept();
}

namespace {

// The first local file of a drag that the window takes, or an empty text.
QString DroppedFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return {};
  for (const QUrl& url : data->urls()) {
    const QString path = url.toLocalFile();
    for (const char* ext : {".korva", ".nes", ".zip"})
      if (HasExtension(path.toStdString(), ext)) return path;
  }
  return {};
}

}  // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
  if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (DroppedFile(event->mimeData()).isEmpty()) return;
  event->acceptProposedAction();
  const int slot = grid_->SlotAt(grid_->mapFrom(this, event->position().toPoint()));
  commands_->DropFiles(event->mimeData()->urls(), slot);
}

}  // namespace korva::app
