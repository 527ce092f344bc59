// korva_screenshots: pictures of the window for the documentation. Opens the
// main window on a demo directory (korva demo) and saves, into OUT:
//   main-window-empty.png     a new project, the ROM lists loaded
//   main-window.png           the demo project
//   main-window-scrolled.png  the demo project scrolled to its last slots
//   menu-preview.png          the demo project with its Menu Preview beside it
//   menu-preview-rgb.png      the Menu Preview alone, in the arcade's RGB colours
//   menu-preview-ntsc.png     the same in a NES's NTSC colours
//   main-window-filter.png    a slot's ROM list filtered by typing
//   main-window-too-full.png  the gauge of a cartridge that does not fit
//   scan-dialog.png           the scan progress dialog over the disabled window
//
//   korva_screenshots DEMO_DIR OUT_DIR
//
// Each picture is the window as Qt draws it (no window manager frame), so the
// pictures are the same under Xvfb and on the offscreen platform.
//
//   korva_screenshots --whole-screen DEMO_DIR OUT.png
//
// opens the demo project and saves the whole screen, the window manager's
// frame and all: scripts/screenshots.sh runs it with QT_SCALE_FACTOR=2 on a
// 1600x1000 screen under openbox (main-window-scale2.png).
#include "app/KorvaApplication.h"
#include "app/MenuPreview.h"
#include "app/SlotGrid.h"
#include "app/MainWindow.h"
#include "app/ScanDialog.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"

#include <QAction>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QLineEdit>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>

static void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace {

bool Save(const QPixmap& picture, const QString& path) {
  if (!picture.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Lets the window lay out and paint what changed.
void Settle(QWidget& w) {
  QCoreApplication::processEvents();
  w.update();
  QCoreApplication::processEvents();
}

// A thin frame around a picture, so a light window stands out on a light page.
QPixmap Framed(const QPixmap& inner) {
  QPixmap out(inner.width() + 2, inner.height() + 2);
  out.fill(QColor(0x80, 0x80, 0x80));
  QPainter p(&out);
  p.drawPixmap(1, 1, inner);
  return out;
}

// A dialog's picture under a plain title strip with its caption, standing in
// for the frame a window manager would draw.
QPixmap WithCaption(const QPixmap& inner, const QString& caption) {
  constexpr int kStrip = 22;
  QPixmap out(inner.width() + 2, inner.height() + kStrip + 1);
  out.fill(QColor(0x50, 0x60, 0x80));
  QPainter p(&out);
  p.setPen(Qt::white);
  QFont font = QApplication::font();
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRect(8, 0, out.width() - 16, kStrip), Qt::AlignVCenter | Qt::AlignLeft, caption);
  p.drawPixmap(1, kStrip, inner);
  return out;
}

}  // namespace

// The demo project in a window placed as the program places it, then the
// whole screen as the window manager shows it.
int WholeScreen(const QDir& demo, const QString& out) {
  korva::app::WindowOptions options;
  options.DatabasePath = demo.filePath(QStringLiteral("korva_db.xml")).toStdString();
  options.NonInteractive = true;
  const QTemporaryDir settings;
  options.SettingsFile = settings.filePath(QStringLiteral("settings.ini")).toStdString();
  korva::app::MainWindow window(options);
  window.ShowMainWindow();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) return 1;
  window.Commands().OpenProject(demo.filePath(QStringLiteral("demo.korva")).toStdString());
  QTest::qWait(1500);  // the frame, the final place and the status text
  QScreen* screen = window.screen();
  return screen != nullptr && Save(screen->grabWindow(0), out) ? 0 : 1;
}

int main(int argc, char** argv) {
  korva::app::KorvaApplication app(argc, argv);
  InitIcons();
  const QStringList args = app.arguments();
  if (args.size() == 4 && args[1] == QLatin1String("--whole-screen")) return WholeScreen(QDir(args[2]), args[3]);
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: korva_screenshots DEMO_DIR OUT_DIR\n       korva_screenshots --whole-screen DEMO_DIR OUT.png\n");
    return 2;
  }
  const QDir demo(args[1]);
  const QDir out(args[2]);
  if (!QDir().mkpath(out.path())) return 1;

  korva::app::WindowOptions options;
  options.DatabasePath = demo.filePath(QStringLiteral("korva_db.xml")).toStdString();
  options.NonInteractive = true;
  const QTemporaryDir settings;  // the user's recent projects stay as they are
  options.SettingsFile = settings.filePath(QStringLiteral("settings.ini")).toStdString();
  korva::app::MainWindow window(options);
  window.ShowMainWindow();
  if (!QTest::qWaitForWindowExposed(&window, 5000)) return 1;
  Settle(window);
  if (window.Work().Library.ROMList.empty()) {
    std::fprintf(stderr, "no ROMs in %s: run korva demo first\n", options.DatabasePath.c_str());
    return 1;
  }
  bool ok = Save(Framed(window.grab()), out.filePath(QStringLiteral("main-window-empty.png")));

  window.Commands().OpenProject(demo.filePath(QStringLiteral("demo.korva")).toStdString());
  if (window.Work().Proj.ProjectFileName.empty()) {
    std::fprintf(stderr, "cannot open the demo project\n");
    return 1;
  }
  Settle(window);
  ok = Save(Framed(window.grab()), out.filePath(QStringLiteral("main-window.png"))) && ok;

  QScrollBar* bar = window.Grid().ScrollBar1();
  bar->setValue(bar->maximum());
  Settle(window);
  ok = Save(Framed(window.grab()), out.filePath(QStringLiteral("main-window-scrolled.png"))) && ok;
  bar->setValue(0);

  // The Menu Preview at twice the menu's size, right of the window.
  if (auto* preview = window.findChild<korva::app::MenuPreview*>()) {
    preview->resize(preview->size() - preview->PictureArea()->size() + QSize(512, 480));
    preview->ShowAction()->trigger();
    Settle(*preview);
    const QPixmap main = Framed(window.grab());
    const QPixmap pane = Framed(WithCaption(preview->grab(), preview->windowTitle()));
    QPixmap both(main.width() + 12 + pane.width(), std::max(main.height(), pane.height()));
    both.fill(Qt::white);
    QPainter p(&both);
    p.drawPixmap(0, 0, main);
    p.drawPixmap(main.width() + 12, 0, pane);
    p.end();
    ok = Save(both, out.filePath(QStringLiteral("menu-preview.png"))) && ok;
    ok = Save(pane, out.filePath(QStringLiteral("menu-preview-rgb.png"))) && ok;
    preview->SetPalette(korva::ScreenPalette::Ntsc);
    Settle(*preview);
    ok = Save(Framed(WithCaption(preview->grab(), preview->windowTitle())),
              out.filePath(QStringLiteral("menu-preview-ntsc.png"))) && ok;
    preview->SetPalette(korva::ScreenPalette::Rgb);
    preview->hide();
  } else {
    std::fprintf(stderr, "the window has no Menu Preview\n");
    ok = false;
  }

  // Slot 2's ROM list filtered by typing, the filter's list below it.
  QComboBox* rom = window.Grid().cbROM(2);
  rom->setFocus();
  rom->lineEdit()->clear();
  QTest::keyClicks(rom->lineEdit(), QStringLiteral("ro"));
  QAbstractItemView* offered = rom->completer()->popup();
  Settle(window);
  Settle(*offered);
  {
    QPixmap scene = window.grab();
    QPainter p(&scene);
    p.drawPixmap(rom->mapTo(&window, QPoint(0, rom->height())), offered->grab());
    ok = Save(Framed(scene), out.filePath(QStringLiteral("main-window-filter.png"))) && ok;
  }
  offered->hide();
  window.Grid().ShowProject();

  // Every slot a full-bank game: slot 16 no longer fits, and no game shares
  // the menu's bank.
  const auto& roms = window.Work().Library.ROMList;
  const auto full = std::find_if(roms.begin(), roms.end(), [](const korva::TROMInfo& r) { return r.PrgRomSize == 32768; });
  if (full != roms.end()) {
    for (int n = 1; n <= 16; ++n) window.Grid().ChooseROM(n, static_cast<int>(full - roms.begin()));
    Settle(window);
    ok = Save(Framed(window.grab()), out.filePath(QStringLiteral("main-window-too-full.png"))) && ok;
  }

  // The scan dialog as a scan shows it half-way, centred over the window,
  // which is disabled while the scan runs.
  korva::app::ScanDialog& dialog = window.scanDialog();
  window.Commands().Scan().ShowStarted("Scanning: " + demo.filePath("roms").toStdString() + "/");
  dialog.ProgressBar1()->setRange(0, 16);
  dialog.ProgressBar1()->setValue(7);
  Settle(window);
  Settle(dialog);
  QPixmap scene = window.grab();
  {
    QPainter p(&scene);
    const QPixmap box = WithCaption(dialog.grab(), dialog.windowTitle());
    p.drawPixmap((scene.width() - box.width()) / 2, (scene.height() - box.height()) / 2, box);
  }
  ok = Save(Framed(scene), out.filePath(QStringLiteral("scan-dialog.png"))) && ok;
  dialog.hide();
  window.setEnabled(true);
  return ok ? 0 : 1;
}
