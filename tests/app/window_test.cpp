// The main window's behaviour, driven through its controls by object name on
// the offscreen platform. No dialog waits for a person: the services take
// queued answers and file names and record what they show. A scan runs on
// its worker as in the program; the tests wait for its end with QTRY_*.
#include "app/MainWindow.h"
#include "app/PlayTest.h"
#include "app/ScanDialog.h"
#include "app/SlotGrid.h"
#include "app/VerifyDialog.h"
#include "app/WindowCommands.h"
#include "app/WindowServices.h"
#include "project/Model.h"
#include "project/ProjectFile.h"
#include "romlib/ROMInfo.h"
#include "romlib/RomDatabase.h"

#include "CommandRun.h"
#include "TestArchives.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <vector>

using korva::MsgButton;
using korva::MsgKind;
using korva::app::ShownMessage;
using korva::app::MainWindow;
using korva::app::WindowOptions;

// The icons live in the window library's resources, which a static library
// does not register by itself.
inline void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace {

// A game listed in a test korva_db.xml: its file (written with a dummy body;
// the INES element gives the sizes) and its CRC-32 text.
struct Game {
  std::string file;
  int prg;
  int chr;
  std::string crc;
};

const std::vector<Game> kOneGame = {{"Rocket Rally (USA).nes", 32768, 8192, "0BADF00D"}};
const std::vector<Game> kThreeGames = {{"Rocket Rally (USA).nes", 32768, 8192, "0BADF00D"},
                                       {"Sky Surfer.nes", 16384, 8192, "00C0FFEE"},
                                       {"Tank Tracks (Europe) [!].nes", 32768, 16384, "12345678"}};

// A ROM directory with `games` and their korva_db.xml.
std::string MakeDatabase(const QTemporaryDir& dir, const std::vector<Game>& games = kOneGame) {
  const std::string root = dir.path().toStdString() + "/";
  std::ofstream xml(root + "korva_db.xml");
  xml << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KORVA Build=\"12\">\n  <ROMPath>" << root
      << "</ROMPath>\n  <ROMDB>\n";
  for (const Game& g : games) {
    korva::test::WriteBytes(root + g.file, korva::test::FilledINesImage(g.prg / 16384, g.chr / 8192, 0, true, 0x11, 0x11));
    xml << "    <ROM CRC32=\"" << g.crc << "\">\n      <Filename>" << g.file << "</Filename>\n"
        << "      <INES Mapper=\"0\" ChrRomSize=\"" << g.chr << "\" PrgRomSize=\"" << g.prg
        << "\" Mirroring=\"v\"/>\n    </ROM>\n";
  }
  xml << "  </ROMDB>\n</KORVA>\n";
  return root + "korva_db.xml";
}

// A window on that database whose dialogs never wait for a person and whose
// recent projects are kept in the test's directory.
WindowOptions TestOptions(const QTemporaryDir& dir, const std::vector<Game>& games = kOneGame) {
  WindowOptions options;
  options.DatabasePath = MakeDatabase(dir, games);
  options.NonInteractive = true;
  options.WithAboutBox = false;
  options.SettingsFile = dir.filePath("settings.ini").toStdString();
  return options;
}

// A window on those options, shown as the program shows it at start-up.
class ShownWindow : public MainWindow {
 public:
  explicit ShownWindow(const WindowOptions& options) : MainWindow(options) { ShowMainWindow(); }
};

// A window whose korva_db.xml is at `databasePath`, which may not exist.
WindowOptions OptionsWithDatabaseAt(const std::string& databasePath) {
  WindowOptions options;
  options.DatabasePath = databasePath;
  options.NonInteractive = true;
  options.WithAboutBox = false;
  options.SettingsFile = databasePath + ".settings.ini";
  return options;
}

bool Showed(MainWindow& w, const std::string& text) {
  for (const ShownMessage& m : w.Services().Shown())
    if (m.text == text) return true;
  return false;
}

int CountShown(MainWindow& w, ShownMessage::Type type, const std::string& text) {
  int count = 0;
  for (const ShownMessage& m : w.Services().Shown())
    if (m.type == type && m.text == text) ++count;
  return count;
}

// The first message of a type whose text starts with `head`, or null.
const ShownMessage* FindShown(MainWindow& w, ShownMessage::Type type, const std::string& head) {
  for (const ShownMessage& m : w.Services().Shown())
    if (m.type == type && m.text.rfind(head, 0) == 0) return &m;
  return nullptr;
}

void Trigger(MainWindow& w, const char* action) {
  auto* a = w.findChild<QAction*>(action);
  QVERIFY2(a, action);
  a->trigger();
}

// Triggers `action`, whose file dialog then gives `file`.
void Trigger(MainWindow& w, const char* action, const QString& file) {
  w.Services().QueueFileName(file);
  Trigger(w, action);
}

template <typename T>
T* Control(MainWindow& w, const char* name, int n) {
  return w.findChild<T*>(QString::fromLatin1(name) + QString::number(n));
}

// The caption for a project's file name: Qt shows its "[*]" as the
// unsaved-work marker, or leaves it out.
QString Caption(const std::string& name) { return QString::fromStdString("KORVA Builder [Build 12] - (" + name + ")[*]"); }

std::string ReadAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const QString& path, const std::string& text) {
  std::ofstream(path.toStdString(), std::ios::binary) << text;
}

void WriteAll(const QString& path, const korva::test::Bytes& bytes) {
  WriteAll(path, std::string(bytes.begin(), bytes.end()));
}

// Chooses a ROM or an icon in a slot's list as the user does.
void Pick(QComboBox* list, int index) {
  list->setCurrentIndex(index);
  emit list->activated(index);
}

// A compatible game (mapper 0, 32 KB PRG, 8 KB CHR) whose data follows `seed`.
korva::test::Bytes INesImageFor(std::uint32_t seed) { return korva::test::INesImage(2, 1, 0, 0, 0, seed); }

// Runs `f` when a widget is first shown, inside its show event.
class ShowWatcher : public QObject {
 public:
  ShowWatcher(QWidget* widget, std::function<void()> f) : widget_(widget), f_(std::move(f)) {
    widget->installEventFilter(this);
  }
  int shown = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::Show && shown++ == 0) f_();
    return false;
  }

 private:
  QWidget* widget_;
  std::function<void()> f_;
};

// Records every change of a widget's enabled state.
class EnabledRecorder : public QObject {
 public:
  explicit EnabledRecorder(QWidget* widget) : widget_(widget) { widget->installEventFilter(this); }
  std::vector<bool> states;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == widget_ && event->type() == QEvent::EnabledChange) states.push_back(widget_->isEnabled());
    return false;
  }

 private:
  QWidget* widget_;
};

// A project file with CRC texts for slots: {slot, crc, title}.
std::string ProjectText(const std::string& cartTitle, const std::vector<std::tuple<int, std::string, std::string>>& roms) {
  std::string text = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<KORVA-Project Ver=\"12\">\r\n  <CartTitle>" + cartTitle +
                     "</CartTitle>\r\n  <Icons>1</Icons>\r\n  <InstLine1>A</InstLine1>\r\n  <InstLine2>B</InstLine2>\r\n"
                     "  <ROMSlots>\r\n";
  for (const auto& [slot, crc, title] : roms)
    text += "    <ROM Slot=\"" + std::to_string(slot) + "\" CRC32=\"" + crc + "\" Icon=\"0\">" + title + "</ROM>\r\n";
  return text + "  </ROMSlots>\r\n</KORVA-Project>\r\n";
}

// The games of `games` with the CRC texts of the files MakeDatabase writes,
// so a file of the directory is found by its CRC.
std::vector<Game> WithRealCrcs(const QTemporaryDir& dir, std::vector<Game> games) {
  MakeDatabase(dir, games);
  for (Game& g : games) g.crc = korva::CrcText(korva::ReadRomFile(dir.filePath(QString::fromStdString(g.file)).toStdString(), {}).CRC32);
  return games;
}

// A wheel turned one notch toward the user over `widget`.
void WheelOver(QWidget* widget) {
  const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
  QWheelEvent wheel(at, widget->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &wheel);
}

// Drops local files on the window at `at` (the window's coordinates).
void Drop(MainWindow& w, const QStringList& paths, QPoint at) {
  QMimeData data;
  QList<QUrl> urls;
  for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
  data.setUrls(urls);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&w, &drop);
}

QString GaugeText(MainWindow& w, const char* label) { return w.findChild<QLabel*>(label)->text(); }

// Slot n as the model and the grid show it: its ROM, title and ROM line.
void CheckSlot(MainWindow& w, int n, int romIndex, const QString& title, const QString& info) {
  QCOMPARE(w.Work().Proj.slot(n).ROMIndex, romIndex);
  QCOMPARE(Control<QComboBox>(w, "cbROM", n)->currentIndex(), romIndex);
  QCOMPARE(Control<QLineEdit>(w, "edtTitle", n)->text(), title);
  QCOMPARE(Control<QLabel>(w, "lblROMInfo", n)->text(), info);
}

// A scan has ended: the window is enabled again and the scan dialog gone.
void CheckScanEnded(MainWindow& w) {
  QTRY_VERIFY_WITH_TIMEOUT(!w.Commands().ScanRunning(), 20000);
  QVERIFY(w.isEnabled());
  QVERIFY(!w.scanDialog().isVisible());
  QVERIFY(!w.scanDialog().Scanning());
}

// Scan ROM Directory on `path`, to its end.
void ScanDirectory(MainWindow& w, const QString& path) {
  w.Services().QueueFileName(path);
  Trigger(w, "SetROMDirectory1");
  CheckScanEnded(w);
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { InitIcons(); }

  void heightRuleSnapsDownAndRefusesOutsideItsRows() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    const int fit = w.RowsOnScreen();
    QVERIFY(fit > MainWindow::kMinRows);  // the default offscreen screen has room for five
    int rows = 0;
    int h = w.HeightForRows(4);
    QVERIFY(w.FormCanResize(h, rows));
    QCOMPARE(rows, 4);
    h = w.HeightForRows(fit) + w.Grid().RowHeight() / 2;
    QVERIFY(w.FormCanResize(h, rows));
    QCOMPARE(rows, fit);
    QCOMPARE(h, w.HeightForRows(fit));
    h = w.HeightForRows(3);
    QVERIFY(!w.FormCanResize(h, rows));
    h = w.HeightForRows(fit + 1);
    QVERIFY(!w.FormCanResize(h, rows));
  }

  void typedTitleCharactersAreFilteredUpperCasedAndMarkTheProject() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    QVERIFY(!w.Work().Proj.ProjectModified);
    auto* title = w.findChild<QLineEdit*>("edtTitle1");
    QVERIFY(title);
    QTest::keyClicks(title, "ab%c");
    QCOMPARE(title->text(), QString("ABC"));
    QCOMPARE(w.Work().Proj.slot(1).Title, std::string("ABC"));
    QVERIFY(w.Work().Proj.ProjectModified);
  }

  void choosingARomFillsTitleAndInfo() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    QCOMPARE(w.Work().Library.ROMList.size(), std::size_t{1});
    QVERIFY(Showed(w, "Loaded KORVA Game Database, 1 ROMs"));
    auto* rom = w.findChild<QComboBox*>("cbROM3");
    QVERIFY(rom);
    QCOMPARE(rom->count(), 1);
    rom->setCurrentIndex(0);
    emit rom->activated(0);
    CheckSlot(w, 3, 0, "ROCKET RALLY", "(PRG 32kb / CHR 8kb)");
  }

  void openOfAMissingFileAndExportOfAnUnsavedProjectSayWhy() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    w.Services().QueueFileName(dir.path() + "/missing.korva");
    w.findChild<QAction*>("FileOpen1")->trigger();
    QVERIFY(Showed(w, "File specified does not exist."));
    w.findChild<QAction*>("FileExport1")->trigger();
    QVERIFY(Showed(w, "Please save project before exporting!"));
    QVERIFY(w.isEnabled());
    // File > Verify Images...: nothing to check before the project has a
    // file; then the images beside it, which the export has not written yet.
    auto* verify = w.findChild<korva::app::VerifyDialog*>("VerifyDialog");
    QVERIFY(verify != nullptr);
    Trigger(w, "FileVerify1");
    QVERIFY(verify->isVisible());
    QCOMPARE(verify->File(0)->text(), QString());
    verify->findChild<QPushButton*>("VerifyButton")->click();
    QVERIFY(verify->ResultText().contains("Please save project before verifying"));
    Trigger(w, "FileSaveAs1", dir.path() + "/set1.korva");
    Trigger(w, "FileVerify1");
    QCOMPARE(verify->File(1)->text(), dir.path() + "/set1-chr.bin");
    verify->Verify();
    QVERIFY2(verify->ResultText().startsWith("The images could not be checked.\nCannot open \"" + dir.path() +
                                             "/set1-prg.bin\""),
             qPrintable(verify->ResultText()));
    verify->close();
  }
  void newProjectResetsEverySlotAndTheCaption() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    Pick(Control<QComboBox>(w, "cbROM", 2), 0);
    Pick(Control<QComboBox>(w, "cbIcon", 3), 2);
    QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 5), "hand");
    QTest::keyClicks(w.findChild<QLineEdit*>("edtCartTitle"), "x");
    w.findChild<QComboBox*>("cbGameIcons")->setCurrentIndex(2);
    Trigger(w, "FileSaveAs1", dir.path() + "/set1.korva");
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));

    Trigger(w, "FileNew1");
    for (int n = 1; n <= 16; ++n) {
      CheckSlot(w, n, -1, "", "");
      QCOMPARE(Control<QComboBox>(w, "cbIcon", n)->currentText(), QString("No Icon"));
    }
    QCOMPARE(w.findChild<QLineEdit*>("edtCartTitle")->text(), QString("GAME PAK: VOLUME 1"));
    QCOMPARE(w.findChild<QLineEdit*>("edtInstLine1")->text(), QString("PLAYCHOICE-10 COLLECTION"));
    QCOMPARE(w.findChild<QLineEdit*>("edtInstLine2")->text(), QString("   GAME PAK: VOLUME 1   "));
    QCOMPARE(w.findChild<QComboBox*>("cbGameIcons")->currentIndex(), 1);
    QCOMPARE(w.windowTitle(), Caption("New Project"));
    QCOMPARE(w.Services().StatusText(), QString("New project created!"));
    QVERIFY(w.Work().Proj.ProjectFileName.empty());
    QVERIFY(!w.Work().Proj.ProjectModified);
    // The ROM lists keep their items.
    QCOMPARE(Control<QComboBox>(w, "cbROM", 2)->count(), 1);
  }

  // A file that cannot be read as a project says why and leaves the project
  // that was open, with its unsaved work.
  void aFailedOpenKeepsTheProjectThatWasOpen() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    Trigger(w, "FileSaveAs1", dir.filePath("set1.korva"));
    Pick(Control<QComboBox>(w, "cbROM", 1), 0);
    WriteAll(dir.path() + "/broken.korva", "<KORVA-Project Ver=\"12\"><CartTitle>");
    w.Services().QueueAnswer(QMessageBox::Discard);
    Trigger(w, "FileOpen1", dir.path() + "/broken.korva");
    const ShownMessage* box = FindShown(w, ShownMessage::Type::Centered, "Unable to load project file!\r\n\r\n");
    QVERIFY(box);
    QCOMPARE(box->kind, MsgKind::Error);
    QVERIFY(box->text.size() > std::string("Unable to load project file!\r\n\r\n").size());
    QVERIFY(!FindShown(w, ShownMessage::Type::ErrorBox, ""));
    CheckSlot(w, 1, 0, "ROCKET RALLY", "(PRG 32kb / CHR 8kb)");
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));
    QVERIFY(w.isWindowModified());
    QCOMPARE(w.Work().Proj.ProjectFileName, dir.filePath("set1.korva").toStdString());
  }

  void openOfAGoodFileFillsTheGrid() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    WriteAll(dir.path() + "/set1.korva",
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<KORVA-Project Ver=\"12\">\r\n"
             "  <CartTitle>MY CART</CartTitle>\r\n  <Icons>2</Icons>\r\n"
             "  <InstLine1>INSERT COIN</InstLine1>\r\n  <InstLine2>PRESS START</InstLine2>\r\n"
             "  <ROMSlots>\r\n"
             "    <ROM Slot=\"4\" CRC32=\"00C0FFEE\" Icon=\"2\">SURFING</ROM>\r\n"
             "    <ROM Slot=\"16\" CRC32=\"12345678\" Icon=\"3\">TANKS</ROM>\r\n"
             "  </ROMSlots>\r\n</KORVA-Project>\r\n");
    w.Services().QueueFileName(dir.path() + "/set1");  // the extension is added
    Trigger(w, "FileOpen1");
    CheckSlot(w, 4, 1, "SURFING", "(PRG 16kb / CHR 8kb)");
    QCOMPARE(Control<QComboBox>(w, "cbIcon", 4)->currentIndex(), 2);
    CheckSlot(w, 16, 2, "TANKS", "(PRG 32kb / CHR 16kb)");
    QCOMPARE(Control<QComboBox>(w, "cbIcon", 16)->currentText(), QString("Zapper"));
    CheckSlot(w, 1, -1, "", "");
    QCOMPARE(w.findChild<QLineEdit*>("edtCartTitle")->text(), QString("MY CART"));
    QCOMPARE(w.findChild<QLineEdit*>("edtInstLine1")->text(), QString("INSERT COIN"));
    QCOMPARE(w.findChild<QLineEdit*>("edtInstLine2")->text(), QString("PRESS START"));
    QCOMPARE(w.findChild<QComboBox*>("cbGameIcons")->currentIndex(), 2);
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));
    QCOMPARE(w.Services().StatusText(), QString("Loaded project: set1.korva"));
    QVERIFY(!w.Work().Proj.ProjectModified);
    QCOMPARE(w.Work().Proj.ProjectFileName, (dir.path() + "/set1.korva").toStdString());
  }

  void saveOfANewProjectAsksForANameThenSavesWithoutAsking() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    Pick(Control<QComboBox>(w, "cbROM", 1), 0);
    Trigger(w, "FileSave1", dir.path() + "/set1");
    const QString path = dir.path() + "/set1.korva";
    QCOMPARE(QString::fromStdString(ReadAll(path)), QString::fromStdString(korva::ProjectFileText(w.Work())));
    QVERIFY(ReadAll(path).find("<ROM Slot=\"1\" CRC32=\"0BADF00D\" Icon=\"0\">ROCKET RALLY</ROM>") !=
            std::string::npos);
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));
    QCOMPARE(w.Services().StatusText(), QString("Project Saved: set1.korva"));

    // The second Save writes to that file at once: no dialog, no question.
    QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 1), "X");
    w.Services().ClearShown();
    Trigger(w, "FileSave1");
    QVERIFY(ReadAll(path).find(">ROCKET RALLYX</ROM>") != std::string::npos);
    QCOMPARE(w.Services().StatusText(), QString("Project saved!"));
    QVERIFY(!FindShown(w, ShownMessage::Type::Centered, ""));
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));
  }

  void saveAsOntoAnExistingFileAsksFirst() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    Trigger(w, "FileSaveAs1", dir.path() + "/set1.korva");
    Pick(Control<QComboBox>(w, "cbROM", 2), 0);
    const QString other = dir.path() + "/other.korva";
    const std::string original = "someone else's file\r\n";
    WriteAll(other, original);

    // No: the file, the name and the caption stay.
    w.Services().ClearShown();
    w.Services().QueueFileName(other);
    w.Services().QueueAnswer(MsgButton::No);
    Trigger(w, "FileSaveAs1");
    const ShownMessage* asked = FindShown(w, ShownMessage::Type::Centered, "Overwrite existing file?");
    QVERIFY(asked);
    QCOMPARE(asked->kind, MsgKind::Confirmation);
    QCOMPARE(asked->buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(ReadAll(other), original);
    QCOMPARE(w.windowTitle(), Caption("set1.korva"));
    QCOMPARE(w.Work().Proj.ProjectFileName, (dir.path() + "/set1.korva").toStdString());

    // Yes: the file is replaced and becomes the project's.
    w.Services().QueueFileName(other);
    w.Services().QueueAnswer(MsgButton::Yes);
    Trigger(w, "FileSaveAs1");
    QCOMPARE(QString::fromStdString(ReadAll(other)), QString::fromStdString(korva::ProjectFileText(w.Work())));
    QCOMPARE(w.windowTitle(), Caption("other.korva"));
    QCOMPARE(w.Services().StatusText(), QString("Project Saved: other.korva"));
    QCOMPARE(w.Work().Proj.ProjectFileName, other.toStdString());
  }

  void aFailedSaveGoesToTheErrorBox() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    QVERIFY(QDir(dir.path()).mkdir("taken.korva"));
    Trigger(w, "FileSaveAs1", dir.path() + "/taken.korva");
    const ShownMessage* box = FindShown(w, ShownMessage::Type::ErrorBox, "");
    QVERIFY(box);
    QVERIFY(box->text.find("taken.korva") != std::string::npos);
    QCOMPARE(w.windowTitle(), Caption("New Project"));
    QVERIFY(!w.Services().StatusText().startsWith("Project Saved"));
    QVERIFY(QFileInfo(dir.path() + "/taken.korva").isDir());
  }

  void randomizeFillsEverySlotThroughItsLists() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    Pick(Control<QComboBox>(w, "cbIcon", 1), 2);  // the project is now modified
    QVERIFY(w.Work().Proj.ProjectModified);
    const std::string question =
        "Randomize ROMs will choose a random ROM for every slot. The current project has been modified; press OK "
        "to proceed.";

    // Cancel keeps every slot.
    w.Services().QueueAnswer(MsgButton::Cancel);
    Trigger(w, "tbRandomizeROMs");
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, question), 1);
    for (int n = 1; n <= 16; ++n) {
      QCOMPARE(Control<QComboBox>(w, "cbROM", n)->currentIndex(), -1);
      QCOMPARE(w.Work().Proj.slot(n).ROMIndex, -1);
    }
    QCOMPARE(Control<QComboBox>(w, "cbIcon", 1)->currentIndex(), 2);
    QVERIFY(w.Work().Proj.ProjectModified);

    // OK fills them.
    w.Services().QueueAnswer(MsgButton::OK);
    Trigger(w, "tbRandomizeROMs");
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, question), 2);
    for (int n = 1; n <= 16; ++n) {
      const korva::Slot& slot = w.Work().Proj.slot(n);
      QVERIFY(slot.ROMIndex >= 0 && slot.ROMIndex < 3);
      const auto i = static_cast<std::size_t>(slot.ROMIndex);
      CheckSlot(w, n, slot.ROMIndex, QString::fromStdString(korva::SanitizeTitle(w.Work().Library.ROMNames[i], 19)),
                QString::fromStdString(korva::ROMInfoText(w.Work().Library.ROMList[i])));
      QCOMPARE(Control<QComboBox>(w, "cbIcon", n)->currentText(), QString("No Icon"));
      QCOMPARE(slot.Icon, 0);
    }
    QVERIFY(!w.Work().Proj.ProjectModified);

    // Right after a fill the button fills again without a question.
    Trigger(w, "tbRandomizeROMs");
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, question), 2);
    QVERIFY(w.Work().Proj.slot(1).ROMIndex >= 0);
  }

  void randomizeWithoutRomsKeepsTheSlotsAndSaysWhy() {
    QTemporaryDir dir;
    // A missing database: the offer of a scan is declined.
    ShownWindow w(OptionsWithDatabaseAt((dir.path() + "/korva_db.xml").toStdString()));
    QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 1), "mine");
    w.Services().ClearShown();
    Trigger(w, "tbRandomizeROMs");
    QVERIFY(!FindShown(w, ShownMessage::Type::Centered, ""));
    QVERIFY(w.Services().StatusText().contains("No ROMs"));
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 1)->text(), QString("MINE"));
    QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->currentIndex(), -1);
  }

  void scanOfADirectoryReloadsTheLists() {
    QTemporaryDir dir, roms;
    ShownWindow w(TestOptions(dir));
    QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->count(), 1);
    using korva::test::INesImage;
    WriteAll(roms.filePath("Alpha.nes"), INesImageFor(11));
    WriteAll(roms.filePath("Bravo.zip"),
             korva::test::ZipBuilder().Deflated("Bravo.nes", INesImage(1, 1, 1, 0, 0, 12)).Build());
    WriteAll(roms.filePath("Charlie.nes"), INesImage(2, 1, 0x10, 0, 0, 13));  // mapper 1: not for this cartridge
    WriteAll(roms.filePath("notes.txt"), "not a ROM");
    EnabledRecorder enabled(&w);

    ScanDirectory(w, roms.path());
    QCOMPARE(enabled.states, (std::vector<bool>{false, true}));
    QCOMPARE(w.scanDialog().lbScan()->text(), QString("Finished scanning, 2 compatible roms found"));
    QCOMPARE(w.scanDialog().ProgressBar1()->maximum(), 3);
    QCOMPARE(w.scanDialog().ProgressBar1()->value(), 3);
    QVERIFY(QFileInfo::exists(QString::fromStdString(w.Commands().DatabasePath())));
    QCOMPARE(w.Work().Library.ROMNames, (std::vector<std::string>{"Alpha", "Bravo"}));
    for (int n = 1; n <= 16; ++n) {
      QCOMPARE(Control<QComboBox>(w, "cbROM", n)->count(), 2);
      QCOMPARE(Control<QComboBox>(w, "cbROM", n)->currentIndex(), -1);
    }
    QCOMPARE(Control<QComboBox>(w, "cbROM", 7)->itemText(1), QString("Bravo"));
    QCOMPARE(w.Services().StatusText(), QString("Loaded KORVA Game Database, 2 ROMs"));
    // The summary, last and alone.
    const std::string summary = "Finished scanning " + roms.path().toStdString() +
                                "/\r\n\r\nKept: 2 compatible ROMs\r\nIncompatible: 1\r\nDuplicates: 0\r\n"
                                "Names that cannot be stored: 0\r\nUnreadable: 0";
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, summary), 1);
    QCOMPARE(w.Services().Shown().back().text, summary);
    QCOMPARE(w.Services().Shown().back().kind, MsgKind::Information);
    QVERIFY(!FindShown(w, ShownMessage::Type::ErrorBox, ""));

    // The new lists work like the old ones.
    Pick(Control<QComboBox>(w, "cbROM", 2), 1);
    QCOMPARE(Control<QLabel>(w, "lblROMInfo", 2)->text(), QString("(PRG 16kb / CHR 8kb)"));
  }

  // A project named on the command line waits for the scan offered at
  // start-up, so its slots find their ROMs and a save keeps them.
  void theStartupProjectOpensAfterTheOfferedScan() {
    QTemporaryDir dir, roms;
    WriteAll(roms.filePath("Alpha.nes"), INesImageFor(2));
    const std::string crc = korva::CrcText(korva::ReadRomFile(roms.filePath("Alpha.nes").toStdString(), {}).CRC32);
    WriteAll(dir.filePath("demo.korva"), ProjectText("MINE", {{2, crc, "ALPHA ONE"}}));
    MainWindow w(OptionsWithDatabaseAt((dir.path() + "/korva_db.xml").toStdString()));
    w.Services().QueueAnswer(MsgButton::OK);
    w.Services().QueueFileName(roms.path());
    w.ShowMainWindow();
    w.Commands().OpenProjectWhenReady(dir.filePath("demo.korva").toStdString());
    CheckScanEnded(w);
    QVERIFY(!FindShown(w, ShownMessage::Type::Centered, "Unable to find ROMs"));
    QCOMPARE(w.Work().Proj.slot(2).ROMIndex, 0);
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 2)->text(), QString("ALPHA ONE"));
    QCOMPARE(w.findChild<QLineEdit*>("edtCartTitle")->text(), QString("MINE"));
    Trigger(w, "FileSave1");
    QVERIFY(ReadAll(dir.filePath("demo.korva")).find("CRC32=\"" + crc + "\"") != std::string::npos);
  }

  // The wheel scrolls the slots only over the main window: another window
  // (a file dialog, an open drop-down list) scrolls itself.
  void theWheelScrollsTheSlotsOnlyOverTheMainWindow() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    QScrollBar* list = w.Grid().ScrollBar1();
    WheelOver(Control<QLineEdit>(w, "edtTitle", 1));
    QCOMPARE(list->value(), 1);

    QListWidget other;
    for (int i = 0; i < 200; ++i) other.addItem(QString::number(i));
    other.resize(200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    WheelOver(other.viewport());
    QCOMPARE(list->value(), 1);
    QVERIFY(other.verticalScrollBar()->value() > 0);

    QComboBox* rom = Control<QComboBox>(w, "cbROM", 2);
    rom->showPopup();
    QTRY_VERIFY(rom->view()->isVisible());
    WheelOver(rom->view()->viewport());
    QCOMPARE(list->value(), 1);
    rom->hidePopup();
  }

  // What a message of Open is about is on screen behind it: the file's
  // fields before its missing ROMs, the project that stays before "Unable to
  // load project file!".
  void openShowsWhatItReadBehindItsMessages() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    Pick(Control<QComboBox>(w, "cbROM", 1), 0);
    WriteAll(dir.filePath("gone.korva"), ProjectText("FROM FILE", {{3, "DEADBEEF", "LOST"}, {4, "00C0FFEE", "SURF"}}));
    WriteAll(dir.filePath("broken.korva"), "<KORVA-Project Ver=\"12\"><CartTitle>");
    std::vector<std::pair<std::string, QString>> behind;
    w.Services().SetShownHook([&](const ShownMessage& m) {
      if (m.text.rfind("Unable to", 0) != 0) return;
      behind.emplace_back(m.text.substr(0, 14), w.findChild<QLineEdit*>("edtCartTitle")->text() + "|" +
                                                    Control<QLineEdit>(w, "edtTitle", 1)->text() + "|" +
                                                    Control<QLineEdit>(w, "edtTitle", 4)->text());
    });
    w.Services().QueueAnswer(QMessageBox::Discard);
    Trigger(w, "FileOpen1", dir.filePath("gone.korva"));
    Trigger(w, "FileOpen1", dir.filePath("broken.korva"));
    QCOMPARE(behind.size(), std::size_t{2});
    QCOMPARE(behind[0], std::make_pair(std::string("Unable to find"), QString("FROM FILE||SURF")));
    QCOMPARE(behind[1], std::make_pair(std::string("Unable to load"), QString("FROM FILE||SURF")));
  }

  // A command, even a refused one, leaves the caret of a cartridge field
  // where it was.
  void theCaretStaysAfterACommand() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    const char* fields[] = {"edtCartTitle", "edtInstLine1", "edtInstLine2"};
    for (const char* name : fields) w.findChild<QLineEdit*>(name)->setCursorPosition(3);
    Trigger(w, "FileExport1");  // refused: never saved
    QVERIFY(Showed(w, "Please save project before exporting!"));
    for (const char* name : fields) QCOMPARE(w.findChild<QLineEdit*>(name)->cursorPosition(), 3);
  }

  // The start-up error box is centred where the window then appears.
  // The error box's one rule, which the About box shares: a stop is added
  // after a last character whose code is above that of "." (a letter, a
  // digit), not after ".", "!", ")", a double quote or nothing.
  void theErrorBoxEndsItsTextWithAStop() {
    const struct {
      const char* message;
      const char* shown;
    } cases[] = {{"Permission denied", "Permission denied."}, {"Saved 3", "Saved 3."},
                 {"Not \"x\"", "Not \"x\""},                  {"Done.", "Done."},
                 {"Corrupt!", "Corrupt!"},                     {"(errno 13)", "(errno 13)"},
                 {"", ""}};
    QTemporaryDir dir;
    MainWindow w(TestOptions(dir));
    for (const auto& c : cases) {
      w.Services().ClearShown();
      w.Services().ShowErrorBox(c.message);
      QCOMPARE(w.Services().Shown().size(), std::size_t{1});
      QCOMPARE(w.Services().Shown()[0].type, ShownMessage::Type::ErrorBox);
      QCOMPARE(w.Services().Shown()[0].text, std::string(c.shown));
      QCOMPARE(w.Services().Shown()[0].caption, std::string("KORVA Builder"));
    }
  }

  void aStartupErrorBoxIsCentredOnTheWindow() {
    QTemporaryDir dir;
    WindowOptions options = TestOptions(dir);
    options.NonInteractive = false;
    MainWindow w(options);
    QPoint boxCentre;
    QTimer::singleShot(0, [&] {
      QWidget* box = QApplication::activeModalWidget();
      QVERIFY(box);
      boxCentre = box->frameGeometry().center();
      qobject_cast<QDialog*>(box)->accept();
    });
    w.Services().ShowErrorBox("The header database is broken");
    w.ShowMainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QPoint windowCentre = w.frameGeometry().center();
    QVERIFY2((boxCentre - windowCentre).manhattanLength() <= 4,
             qPrintable(QString("box %1,%2 window %3,%4").arg(boxCentre.x()).arg(boxCentre.y())
                            .arg(windowCentre.x()).arg(windowCentre.y())));
  }

  // Tab into a row scrolled out of view scrolls it in.
  void theFocusedRowIsScrolledIntoView() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QScrollBar* list = w.Grid().ScrollBar1();
    const int rows = w.Grid().VisibleRows();
    Control<QComboBox>(w, "cbROM", rows)->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), Control<QLineEdit>(w, "edtTitle", rows + 1));
    QCOMPARE(list->value(), 1);
    Control<QLineEdit>(w, "edtTitle", 16)->setFocus();
    QCOMPARE(list->value(), 16 - rows);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);  // back to slot 15's ROM list
    Control<QLineEdit>(w, "edtTitle", 1)->setFocus();
    QCOMPARE(list->value(), 0);
  }

  // Paste, by keys or by the context menu, keeps exactly what typing would
  // (accents taken off first), then cuts to the field's length; the status
  // bar names what was left out, once.
  void pasteKeepsWhatTypingKeeps() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    const std::tuple<QString, QString, QString> cases[] = {
        {QString::fromUtf8("caf\u00e9\tTAB,comma"), "CAFE TABCOMMA", ","},
        {"a,b;c@d[e]f^g_h{i}j|k~l%m`n\"o\\p", "ABCDEFGHIJKLMNOP", ", ; @ [ ] ^ _ { } | ~ % ` \" \\"},
        {",,,,,,,,abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRS", ","},
        {QString::fromUtf8("Cr\u00e8me br\u00fbl\u00e9e \u00e0 la carte"), "CREME BRULEE A LA C", ""},
    };
    auto* title = Control<QLineEdit>(w, "edtTitle", 1);
    const std::function<void()> pastes[] = {
        [&] { QTest::keySequence(title, QKeySequence::Paste); },
        [&] {
          QContextMenuEvent menuAsked(QContextMenuEvent::Mouse, QPoint(4, 4), title->mapToGlobal(QPoint(4, 4)));
          QApplication::sendEvent(title, &menuAsked);
          auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
          QVERIFY(menu);
          QAction* entry = nullptr;
          for (QAction* a : menu->actions())
            if (a->text().startsWith("&Paste")) entry = a;
          QVERIFY(entry);
          entry->trigger();
          menu->close();
        }};
    for (const auto& paste : pastes) {
      for (const auto& [pasted, kept, leftOut] : cases) {
        title->clear();
        w.Services().ClearShown();
        QApplication::clipboard()->setText(pasted);
        paste();
        QCOMPARE(title->text(), kept);
        QCOMPARE(w.Work().Proj.slot(1).Title, kept.toStdString());
        const std::string told = "Not in the title character set, left out: " + leftOut.toStdString();
        QCOMPARE(CountShown(w, ShownMessage::Type::Status, told), leftOut.isEmpty() ? 0 : 1);
        QCOMPARE(w.Services().Shown().size(), std::size_t{leftOut.isEmpty() ? 0u : 1u});
      }
    }
  }

  // Editing commands are not characters: select all, undo, redo, cut and
  // copy work as in any field and leave the project untouched until the
  // text changes.
  void titleFieldsTakeEditingCommands() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    auto* title = Control<QLineEdit>(w, "edtTitle", 1);
    QTest::keyClicks(title, "abc");
    w.Work().Proj.ProjectModified = false;
    const auto ctrl = [](Qt::Key key, Qt::KeyboardModifiers more = {}) { return QKeySequence(Qt::ControlModifier | more | key); };
    QTest::keySequence(title, ctrl(Qt::Key_A));
    QTest::keySequence(title, ctrl(Qt::Key_C));
    QCOMPARE(QApplication::clipboard()->text(), QString("ABC"));
    QVERIFY(!w.Work().Proj.ProjectModified);
    const std::pair<std::function<void()>, QString> steps[] = {
        {[&] {  // typing replaces the selection
           QTest::sendKeyEvent(QTest::Click, title, Qt::Key_Eacute, QString::fromUtf8("\u00e9"), Qt::NoModifier);
           QTest::keyClicks(title, "!");
         }, "E!"},
        {[&] { QTest::keySequence(title, ctrl(Qt::Key_Z)); }, "ABC"},
        {[&] { QTest::keySequence(title, ctrl(Qt::Key_Y)); }, "E!"},
        {[&] { QTest::keySequence(title, ctrl(Qt::Key_Z)); }, "ABC"},
        {[&] { QTest::keySequence(title, ctrl(Qt::Key_Z, Qt::ShiftModifier)); }, "E!"},
        {[&] { QTest::keySequence(title, ctrl(Qt::Key_A)); QTest::keySequence(title, ctrl(Qt::Key_X)); }, ""},
        {[&] { QTest::keySequence(title, QKeySequence::Paste); QTest::keySequence(title, QKeySequence::Paste); }, "E!E!"},
    };
    for (const auto& [step, text] : steps) {
      step();
      QCOMPARE(title->text(), text);
      QCOMPARE(w.Work().Proj.slot(1).Title, text.toStdString());
    }
    QCOMPARE(QApplication::clipboard()->text(), QString("E!"));
    QVERIFY(w.Work().Proj.ProjectModified);
  }

  // The window, frame and all, fits the screen's available area with as many
  // rows as fit (four when they do, one at least); it never grows past the
  // area, and it takes the desktop's fonts. tests/app/CMakeLists.txt runs
  // this on scaled and small screens too.
  void theWindowFitsTheScreen() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const QRect area = w.screen()->availableGeometry();
    const auto fits = [&] { return area.contains(w.frameGeometry()); };
    const int frame = w.frameGeometry().height() - w.height();
    const int fit = std::clamp((area.height() - frame - w.HeightForRows(0)) / w.Grid().RowHeight(), 1, MainWindow::kMaxRows);
    QVERIFY2(fits(), qPrintable(QString("window %1x%2 at %3,%4 on %5x%6").arg(w.frameGeometry().width())
                                    .arg(w.frameGeometry().height()).arg(w.frameGeometry().x()).arg(w.frameGeometry().y())
                                    .arg(area.width()).arg(area.height())));
    QCOMPARE(w.Grid().VisibleRows(), std::min(fit, MainWindow::kMinRows));
    QCOMPARE(w.RowsOnScreen(), fit);
    QCOMPARE(w.SetWindowHeight(w.HeightForRows(MainWindow::kMaxRows)), fit == MainWindow::kMaxRows);
    QVERIFY(w.SetWindowHeight(w.HeightForRows(fit)));
    QCOMPARE(w.Grid().VisibleRows(), fit);
    QVERIFY(fits());
    QCOMPARE(w.maximumHeight(), w.HeightForRows(fit));
    QCOMPARE(w.minimumHeight(), w.HeightForRows(std::min(fit, MainWindow::kMinRows)));
    QCOMPARE(w.font(), QApplication::font());
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 1)->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
  }

  // The gauge follows every choice, from the builder's own placement.
  void theGaugeShowsWhatTheCartridgeHolds() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    QCOMPARE(GaugeText(w, "lblCapacity"), QString("PRG 32/512 KB\nCHR 8/512 KB"));
    QCOMPARE(GaugeText(w, "lblCapacityProblem"), QString("Needs one game with PRG 16 KB and CHR 8 KB"));
    Pick(Control<QComboBox>(w, "cbROM", 1), 2);  // Tank Tracks, 32 + 16 KB
    QCOMPARE(GaugeText(w, "lblCapacity"), QString("PRG 64/512 KB\nCHR 48/512 KB"));
    QCOMPARE(w.findChild<QWidget*>("CapacityGauge")->toolTip(),
             QString("PRG 64/512 KB  CHR 48/512 KB\nNeeds one game with PRG 16 KB and CHR 8 KB"));
    Pick(Control<QComboBox>(w, "cbROM", 9), 1);  // Sky Surfer, the half-bank game
    QCOMPARE(GaugeText(w, "lblCapacity"), QString("PRG 64/512 KB\nCHR 48/512 KB"));
    QCOMPARE(GaugeText(w, "lblCapacityProblem"), QString());
    Pick(Control<QComboBox>(w, "cbROM", 9), 0);
    for (int n = 2; n <= 16; ++n) Pick(Control<QComboBox>(w, "cbROM", n), 0);
    QCOMPARE(GaugeText(w, "lblCapacity"), QString("PRG 544/512 KB\nCHR 520/512 KB"));
    QCOMPARE(GaugeText(w, "lblCapacityProblem"),
             QString("Slot 16 no longer fits\nNeeds one game with PRG 16 KB and CHR 8 KB"));
    const auto colour = [&](const char* name) { return w.findChild<QLabel*>(name)->palette().color(QPalette::WindowText); };
    QCOMPARE(colour("lblCapacity"), colour("lblCapacityProblem"));  // both stand out
    QVERIFY(colour("lblCapacity") != colour("lblROMInfo1"));
    Trigger(w, "FileNew1");
    w.Services().QueueAnswer(QMessageBox::Discard);
    Trigger(w, "FileNew1");
    QCOMPARE(GaugeText(w, "lblCapacity"), QString("PRG 32/512 KB\nCHR 8/512 KB"));
  }

  // The ROM box always shows the slot's ROM: a name that is no ROM gives way
  // to it when the box is left, an emptied box empties the slot, and Clear
  // Slot (the Slots menu, Delete on the row) empties it too.
  void theRomBoxShowsTheSlotsRom() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QComboBox* rom = Control<QComboBox>(w, "cbROM", 1);
    // Keys go where the keyboard sends them: to the focus widget, through
    // the window's shortcuts.
    const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    const auto leave = [&] { key(Qt::Key_Tab); };
    const auto enter = [&] { key(Qt::Key_Return); };
    const auto type = [&](const char* text) {
      rom->setFocus();
      rom->lineEdit()->selectAll();
      QTest::keyClicks(rom->lineEdit(), text);
    };
    const auto chosen = [&](int index, const char* title) {
      Pick(rom, index);
      QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 1), title);
      Pick(Control<QComboBox>(w, "cbIcon", 1), 2);
    };
    struct Step {
      std::function<void()> act;
      int romIndex;
      QString shown;
      QString title;
    };
    const Step steps[] = {
        {[&] { chosen(1, ""); type("nonexistent"); leave(); }, 1, "Sky Surfer", "SKY SURFER"},
        {[&] { type("nonexistent"); enter(); }, 1, "Sky Surfer", "SKY SURFER"},
        {[&] { type("tank tracks (europe) [!]"); leave(); }, 2, "Tank Tracks (Europe) [!]", "TANK TRACKS"},
        {[&] { type("x"); key(Qt::Key_Backspace); leave(); }, -1, "", ""},
        {[&] { chosen(0, "X"); rom->setFocus(); Trigger(w, "ClearSlot1"); }, -1, "", ""},
        {[&] { chosen(0, "X"); rom->setFocus(); rom->lineEdit()->selectAll(); key(Qt::Key_Delete); }, -1, "", ""},
        {[&] { chosen(0, "X"); Control<QComboBox>(w, "cbIcon", 1)->setFocus(); key(Qt::Key_Delete); }, -1, "", ""},
        {[&] { chosen(0, "X"); Control<QLineEdit>(w, "edtTitle", 1)->setFocus(); key(Qt::Key_Home); key(Qt::Key_Delete); }, 0, "Rocket Rally (USA)", "OCKET RALLYX"},
    };
    for (const Step& step : steps) {
      step.act();
      QCOMPARE(w.Work().Proj.slot(1).ROMIndex, step.romIndex);
      QCOMPARE(rom->currentIndex(), step.romIndex);
      QCOMPARE(rom->lineEdit()->text(), step.shown);
      QCOMPARE(Control<QLineEdit>(w, "edtTitle", 1)->text(), step.title);
      if (step.romIndex < 0) {
        QCOMPARE(w.Work().Proj.slot(1).Icon, 0);
        QCOMPARE(Control<QLabel>(w, "lblROMInfo", 1)->text(), QString());
      }
    }
    QCOMPARE(CountShown(w, ShownMessage::Type::Status, "No ROM is named \"nonexistent\"; slot 1 keeps Sky Surfer"), 2);
    QCOMPARE(w.findChild<QAction*>("ClearSlot1")->shortcut(), QKeySequence(Qt::Key_Delete));
    QVERIFY(w.findChild<QMenu*>("Slots1")->actions().contains(w.findChild<QAction*>("ClearSlot1")));
  }

  // Typing into a ROM list offers the names that hold the text, in any case;
  // the keyboard chooses one.
  void typingFiltersARomList() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir, kThreeGames));
    QComboBox* rom = Control<QComboBox>(w, "cbROM", 5);
    QCompleter* filter = rom->completer();
    QVERIFY(filter);
    QTest::keyClicks(rom->lineEdit(), "A");
    QCOMPARE(filter->completionCount(), 2);  // Rocket Rally, Tank Tracks
    rom->lineEdit()->clear();
    QTest::keyClicks(rom->lineEdit(), "urF");
    QCOMPARE(filter->completionCount(), 1);
    QTRY_VERIFY(filter->popup()->isVisible());
    QTest::keyClick(filter->popup(), Qt::Key_Down);
    QTest::keyClick(filter->popup(), Qt::Key_Return);
    CheckSlot(w, 5, 1, "SKY SURFER", "(PRG 16kb / CHR 8kb)");
    QCOMPARE(rom->count(), 3);  // the list itself is whole
  }

  // The filter never buries an exact name under its variants: the names
  // equal to the text first, then those that start with it, then the rest.
  void theFilterRanksExactNamesFirst() {
    QTemporaryDir dir;
    std::vector<Game> games;
    for (const char* name : {"Turbo rocket-rally", "rocket-rally-v0002", "rocket-rally-v0001", "Rocket-Rally",
                             "rocket-rally 2", "Mole Patrol"})
      games.push_back({std::string(name) + ".nes", 32768, 8192, ""});
    for (std::size_t i = 0; i < games.size(); ++i) games[i].crc = QString::number(0x100 + i, 16).rightJustified(8, '0').toStdString();
    ShownWindow w(TestOptions(dir, games));
    QComboBox* rom = Control<QComboBox>(w, "cbROM", 1);
    const auto offered = [&] {
      QStringList names;
      const QAbstractItemModel* m = rom->completer()->completionModel();
      for (int i = 0; i < m->rowCount(); ++i) names << m->index(i, 0).data().toString();
      return names;
    };
    const auto listed = [&](const QString& name) { return int(rom->findText(name)); };
    QTest::keyClicks(rom->lineEdit(), "ROCKET-RALLY");
    const QStringList expected = {"Rocket-Rally", "rocket-rally 2", "rocket-rally-v0001", "rocket-rally-v0002", "Turbo rocket-rally"};
    QStringList byList = expected.mid(1, 3);  // the variants keep the list's own order
    std::sort(byList.begin(), byList.end(), [&](const QString& a, const QString& b) { return listed(a) < listed(b); });
    QCOMPARE(offered(), QStringList() << expected[0] << byList << expected[4]);
    QTRY_VERIFY(rom->completer()->popup()->isVisible());
    QTest::keyClick(rom->completer()->popup(), Qt::Key_Down);
    QTest::keyClick(rom->completer()->popup(), Qt::Key_Return);
    QCOMPARE(w.Work().Proj.slot(1).ROMIndex, listed("Rocket-Rally"));
    QCOMPARE(rom->lineEdit()->text(), QString("Rocket-Rally"));
    rom->lineEdit()->clear();
    QTest::keyClicks(rom->lineEdit(), "v000");
    QCOMPARE(offered().size(), 2);
  }

  // Randomize from a menu and a shortcut, Alt+letter into the cartridge
  // fields, the window's icon, the database named in the status bar.
  void theKeyboardReachesEveryCommandAndField() {
    QTemporaryDir dir;
    // Randomize needs a half-bank game to fill with.
    ShownWindow w(TestOptions(dir, {{"Sky Surfer.nes", 16384, 8192, "00C0FFEE"}}));
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    auto* randomize = w.findChild<QAction*>("tbRandomizeROMs");
    QVERIFY(w.findChild<QMenu*>("Slots1")->actions().contains(randomize));
    QCOMPARE(randomize->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    QVERIFY(!randomize->toolTip().isEmpty());
    const std::pair<Qt::Key, const char*> mnemonics[] = {
        {Qt::Key_T, "edtCartTitle"}, {Qt::Key_1, "edtInstLine1"}, {Qt::Key_2, "edtInstLine2"}};
    for (const auto& [key, field] : mnemonics) {
      QTest::keyClick(&w, key, Qt::AltModifier);
      QCOMPARE(QApplication::focusWidget(), w.findChild<QWidget*>(field));
    }
    QTest::keyClick(&w, Qt::Key_R, Qt::ControlModifier);
    QVERIFY(w.Work().Proj.slot(16).ROMIndex == 0);
    QVERIFY(!w.windowIcon().isNull());
    QVERIFY(w.statusBar()->toolTip().contains(QString::fromStdString(w.Commands().DatabasePath())));

    // The desktop's usual keys, each shown in its button's tooltip.
    const std::pair<const char*, QKeySequence> keys[] = {
        {"FileNew1", QKeySequence(Qt::CTRL | Qt::Key_N)},
        {"FileOpen1", QKeySequence(Qt::CTRL | Qt::Key_O)},
        {"FileExport1", QKeySequence(Qt::CTRL | Qt::Key_E)},
        {"FileSave1", QKeySequence(Qt::CTRL | Qt::Key_S)},
        {"FileSaveAs1", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
        {"FileExit1", QKeySequence(Qt::CTRL | Qt::Key_Q)},
        {"ViewMenuPreview1", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"HelpAbout1", QKeySequence(Qt::Key_F1)},
    };
    for (const auto& [name, key] : keys) {
      auto* action = w.findChild<QAction*>(name);
      QVERIFY2(action, name);
      QCOMPARE(action->shortcut(), key);
      QVERIFY2(action->toolTip().contains(key.toString(QKeySequence::NativeText)), qPrintable(action->toolTip()));
    }
    QCOMPARE(w.findChild<QAction*>("HelpAbout1")->text(), QString("&About KORVA Builder"));
    QVERIFY(w.findChild<QWidget*>("cbGameIcons")->toolTip().startsWith("Game icon mode"));
    w.Services().QueueFileName(dir.filePath("keys.korva"));
    QTest::keyClick(&w, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QVERIFY(QFileInfo::exists(dir.filePath("keys.korva")));
    QTest::keyClick(&w, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(w.findChild<QAction*>("ViewMenuPreview1")->isChecked());
    w.findChild<QAction*>("ViewMenuPreview1")->setChecked(false);
    QTest::keyClick(&w, Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!w.isVisible());
  }

  // The File menu keeps the last eight projects opened or saved; a file
  // that is gone leaves the list.
  void recentProjectsKeepTheLastEight() {
    QTemporaryDir dir;
    const WindowOptions options = TestOptions(dir);
    auto entries = [](MainWindow& w) {
      QMenu* menu = w.findChild<QMenu*>("RecentProjects1");
      emit menu->aboutToShow();
      QStringList names;
      for (QAction* a : menu->actions())
        if (a->isEnabled()) names << a->text();
      return names;
    };
    {
      ShownWindow w(options);
      QCOMPARE(entries(w), QStringList());
      for (int i = 1; i <= 9; ++i) {
        Trigger(w, "FileSaveAs1", dir.filePath(QString("p%1.korva").arg(i)));
      }
      QCOMPARE(entries(w).size(), 8);
      QCOMPARE(entries(w).first(), QString("&1 p9.korva"));
      QCOMPARE(entries(w).last(), QString("&8 p2.korva"));
    }
    QVERIFY(QFile::remove(dir.filePath("p9.korva")));
    ShownWindow w(options);  // a new run reads the list back
    QCOMPARE(entries(w).first(), QString("&1 p8.korva"));
    w.findChild<QAction*>("RecentProject2")->trigger();
    QCOMPARE(w.Work().Proj.ProjectFileName, dir.filePath("p7.korva").toStdString());
    QCOMPARE(entries(w).first(), QString("&1 p7.korva"));
  }

  // A dropped project opens; a dropped ROM is chosen on the slot under it
  // when the database knows its CRC, else the status bar says why not.
  void droppedFilesOpenOrChoose() {
    QTemporaryDir dir, other;
    ShownWindow w(TestOptions(dir, WithRealCrcs(dir, kThreeGames)));
    const QPoint onSlot3 = Control<QComboBox>(w, "cbROM", 3)->mapTo(&w, QPoint(4, 4));
    Drop(w, {dir.filePath("Sky Surfer.nes")}, onSlot3);
    QCOMPARE(w.Work().Proj.slot(3).ROMIndex, 1);
    QCOMPARE(Control<QComboBox>(w, "cbROM", 3)->currentIndex(), 1);
    QCOMPARE(GaugeText(w, "lblCapacityProblem"), QString());

    WriteAll(other.filePath("Stranger.nes"), INesImageFor(77));
    Drop(w, {other.filePath("Stranger.nes")}, onSlot3);
    QCOMPARE(w.Work().Proj.slot(3).ROMIndex, 1);
    QVERIFY2(w.Services().StatusText().contains("not in the ROM database"), qPrintable(w.Services().StatusText()));
    QVERIFY(w.Services().StatusText().contains("scan"));

    // A text file named .nes is no ROM image; scanning would not help.
    WriteAll(other.filePath("notes.nes"), "not a ROM, just some text\n");
    Drop(w, {other.filePath("notes.nes")}, onSlot3);
    QCOMPARE(w.Work().Proj.slot(3).ROMIndex, 1);
    QCOMPARE(w.Services().StatusText(), QString("notes.nes is not a ROM image: not an iNES image"));

    WriteAll(other.filePath("set.korva"), ProjectText("DROPPED", {}));
    w.Services().QueueAnswer(QMessageBox::Discard);
    Drop(w, {other.filePath("set.korva")}, QPoint(10, 10));
    QCOMPARE(w.findChild<QLineEdit*>("edtCartTitle")->text(), QString("DROPPED"));
    QCOMPARE(w.Work().Proj.slot(3).ROMIndex, -1);
  }

  // The caption marks unsaved work, and New, Open and closing ask before it
  // is lost, naming the file: Cancel keeps it, Discard drops it, Save saves
  // it first.
  void unsavedWorkIsMarkedAndAskedFor() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    const std::string question = "Save changes to the new project?";
    Trigger(w, "FileNew1");
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, question), 0);  // nothing to lose
    QCOMPARE(w.windowTitle(), Caption("New Project"));
    QVERIFY(!w.isWindowModified());

    Pick(Control<QComboBox>(w, "cbROM", 2), 0);
    QVERIFY(w.isWindowModified());
    for (const char* command : {"FileNew1", "FileOpen1"}) {
      w.Services().QueueAnswer(QMessageBox::Cancel);
      Trigger(w, command);
      QCOMPARE(w.Work().Proj.slot(2).ROMIndex, 0);
    }
    QCOMPARE(CountShown(w, ShownMessage::Type::Centered, question), 2);
    const ShownMessage* asked = FindShown(w, ShownMessage::Type::Centered, question);
    QCOMPARE(asked->kind, MsgKind::Confirmation);
    QCOMPARE(asked->buttons, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);

    w.show();
    w.Services().QueueAnswer(QMessageBox::Cancel);
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());

    // Save saves first; a cancelled Save As keeps the work and the window.
    w.Services().QueueAnswer(QMessageBox::Save);
    w.Services().QueueFileName(QString());
    QVERIFY(!w.close());
    w.Services().QueueAnswer(QMessageBox::Save);
    w.Services().QueueFileName(dir.filePath("kept.korva"));
    Trigger(w, "FileOpen1");  // the file dialog after the save gives no file
    QVERIFY(ReadAll(dir.filePath("kept.korva")).find("CRC32=\"0BADF00D\"") != std::string::npos);
    QCOMPARE(w.windowTitle(), Caption("kept.korva"));
    QVERIFY(!w.isWindowModified());

    QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 2), "X");
    QVERIFY(w.isWindowModified());
    w.Services().QueueAnswer(QMessageBox::Discard);
    QVERIFY(w.close());
    QVERIFY(FindShown(w, ShownMessage::Type::Centered, "Save changes to \"kept.korva\"?"));
  }

  // A save that fails keeps the window open and the work in it, whichever
  // command asked for it.
  void aSaveThatFailsKeepsTheWindowAndTheWork() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    w.show();
    const QString path = dir.filePath("set1.korva");
    Trigger(w, "FileSaveAs1", path);
    // The file can no longer be replaced: a directory stands in its place.
    QVERIFY(QFile::remove(path));
    QVERIFY(QDir(dir.path()).mkdir("set1.korva"));
    Pick(Control<QComboBox>(w, "cbROM", 2), 0);
    const std::function<void()> commands[] = {[&] { QVERIFY(!w.close()); }, [&] { Trigger(w, "FileNew1"); },
                                              [&] { Trigger(w, "FileOpen1"); }};
    for (const auto& command : commands) {
      w.Services().ClearShown();
      w.Services().QueueAnswer(QMessageBox::Save);
      command();
      const ShownMessage* error = FindShown(w, ShownMessage::Type::ErrorBox, "");
      QVERIFY(error);
      QVERIFY(error->text.find("set1.korva") != std::string::npos);
      QVERIFY(w.isVisible());
      QCOMPARE(w.Work().Proj.slot(2).ROMIndex, 0);
      QVERIFY(w.isWindowModified());
    }
    w.Services().QueueAnswer(QMessageBox::Discard);
    QVERIFY(w.close());
  }

  // Scan ROM Directory keeps the project: Cancel in its folder dialog
  // changes nothing, and after a scan each slot keeps its ROM by CRC (as a
  // missing one when the new database does not hold it).
  void aScanKeepsTheProject() {
    QTemporaryDir dir, roms;
    ShownWindow w(TestOptions(dir));
    Pick(Control<QComboBox>(w, "cbROM", 2), 0);
    QTest::keyClicks(Control<QLineEdit>(w, "edtTitle", 5), "mine");
    w.Services().ClearShown();
    Trigger(w, "SetROMDirectory1");  // the folder dialog gives no folder
    QVERIFY(!FindShown(w, ShownMessage::Type::Centered, ""));
    QCOMPARE(w.Work().Proj.slot(2).ROMIndex, 0);
    QVERIFY(w.isWindowModified());

    WriteAll(roms.filePath("Alpha.nes"), INesImageFor(3));
    ScanDirectory(w, roms.path());
    QCOMPARE(Control<QComboBox>(w, "cbROM", 2)->count(), 1);  // Alpha alone
    QVERIFY(w.Work().Proj.slot(2).IsMissing());
    QCOMPARE(Control<QLabel>(w, "lblROMInfo", 2)->text(), QString("ROM missing: CRC 0BADF00D"));
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 2)->text(), QString("ROCKET RALLY"));
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 5)->text(), QString("MINE"));
  }

  // A project whose ROMs the database does not hold keeps them: the grid, the
  // gauge and Export name them, Save writes them back, and a scan or a ROM
  // database beside the project fills them in.
  void missingRomsKeepTheirSlots() {
    QTemporaryDir dir, roms;
    const std::vector<Game> found = WithRealCrcs(roms, {{"Found.nes", 16384, 8192, ""}});
    ShownWindow w(TestOptions(dir, kThreeGames));
    // Slot 3's game shows the Zapper icon, which its missing ROM keeps.
    std::string text =
        ProjectText("MINE", {{2, "00C0FFEE", "SURF"}, {3, found[0].crc, "LOST GAME"}, {4, "DEADBEEF", ""}});
    text.replace(text.find("Icon=\"0\">LOST GAME"), 8, "Icon=\"3\"");
    WriteAll(dir.filePath("set.korva"), text);
    Trigger(w, "FileOpen1", dir.filePath("set.korva"));
    const ShownMessage* told = FindShown(w, ShownMessage::Type::Centered, "Unable to find ROMs specified in project!");
    QVERIFY(told);
    QCOMPARE(told->kind, MsgKind::Warning);
    QVERIFY(told->text.find("3: LOST GAME (CRC " + found[0].crc + ")\r\n4: (no title) (CRC DEADBEEF)") !=
            std::string::npos);
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 3)->text(), QString("LOST GAME"));
    QCOMPARE(Control<QComboBox>(w, "cbIcon", 3)->currentIndex(), 3);
    QCOMPARE(Control<QLabel>(w, "lblROMInfo", 3)->text(), QString::fromStdString("ROM missing: CRC " + found[0].crc));
    QVERIFY(Control<QLabel>(w, "lblROMInfo", 3)->toolTip().contains("Scan the directory"));
    const auto colour = [&](int n) { return Control<QLabel>(w, "lblROMInfo", n)->palette().color(QPalette::WindowText); };
    QVERIFY(colour(3) != colour(2));
    QCOMPARE(GaugeText(w, "lblCapacityProblem").section('\n', 0, 0), QString("Slots 3, 4: their ROMs are missing"));
    QVERIFY(!w.isWindowModified());

    Trigger(w, "FileExport1");
    QVERIFY(FindShown(w, ShownMessage::Type::Centered, "All slots must have ROM assigned")->text.find(
                "Slot 4 - ROM missing (CRC DEADBEEF)") != std::string::npos);
    Trigger(w, "FileSave1");
    const std::string saved = ReadAll(dir.filePath("set.korva"));
    QVERIFY(saved.find("<ROM Slot=\"3\" CRC32=\"" + found[0].crc + "\" Icon=\"3\">LOST GAME</ROM>") != std::string::npos);
    QVERIFY(saved.find("<ROM Slot=\"4\" CRC32=\"DEADBEEF\" Icon=\"0\" />") != std::string::npos);

    // A scan that finds the ROM fills its slot in (it keeps 1 of 3 ROMs: Yes).
    w.Services().QueueAnswer(MsgButton::Yes);
    ScanDirectory(w, roms.path());
    QCOMPARE(Control<QComboBox>(w, "cbROM", 3)->currentText(), QString("Found"));
    QCOMPARE(Control<QLabel>(w, "lblROMInfo", 3)->text(), QString("(PRG 16kb / CHR 8kb)"));
    QVERIFY(w.Work().Proj.slot(4).IsMissing());
    QVERIFY(!w.isWindowModified());

    // A ROM database beside a project that knows its missing ROMs is offered.
    QTemporaryDir beside;
    const std::vector<Game> games = WithRealCrcs(beside, {{"Near.nes", 32768, 8192, ""}});
    MakeDatabase(beside, games);
    WriteAll(beside.filePath("near.korva"), ProjectText("NEAR", {{1, games[0].crc, "NEAR"}}));
    w.Services().ClearShown();
    w.Services().QueueFileName(beside.filePath("near.korva"));
    w.Services().QueueAnswer(QMessageBox::Yes);
    Trigger(w, "FileOpen1");
    const ShownMessage* offer = FindShown(w, ShownMessage::Type::Centered, "Unable to find ROMs specified in project!");
    QVERIFY(offer);
    QCOMPARE(offer->buttons, QMessageBox::Yes | QMessageBox::No);
    QVERIFY(offer->text.find("beside the project") != std::string::npos);
    QCOMPARE(w.Commands().DatabasePath(), beside.filePath("korva_db.xml").toStdString());
    QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->currentText(), QString("Near"));
  }

  void theScanDialogStaysUsableWhileTheWindowIsDisabled() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    w.Commands().Scan().ShowStarted("Scanning: /roms/");
    QVERIFY(!w.isEnabled());
    QVERIFY(w.scanDialog().isVisible());
    QVERIFY(w.scanDialog().isEnabled());
    QVERIFY(w.scanDialog().lbScan()->isEnabled());
    QVERIFY(w.scanDialog().CancelButton()->isEnabled());
    QCOMPARE(w.scanDialog().lbScan()->text(), QString("Scanning: /roms/"));
    w.scanDialog().SetScanning(false);
    w.scanDialog().close();
    w.setEnabled(true);
  }

  // Cancel, Escape and the close box each stop a scan (here the moment its
  // dialog shows, before a file is listed): the database stays as it was,
  // and the summary says so.
  void aCancelledScanKeepsTheDatabaseWhole() {
    for (const std::string how : {"Cancel", "Escape", "close box"}) {
      QTemporaryDir dir, roms;
      ShownWindow w(TestOptions(dir, kThreeGames));
      const QString database = QString::fromStdString(w.Commands().DatabasePath());
      const std::string before = ReadAll(database);
      for (int i = 0; i < 5; ++i) WriteAll(roms.filePath(QString("g%1.nes").arg(i)), INesImageFor(40 + i));
      ShowWatcher cancel(&w.scanDialog(), [&] {
        if (how == "Cancel") w.scanDialog().CancelButton()->click();
        if (how == "Escape") QTest::keyClick(&w.scanDialog(), Qt::Key_Escape);
        if (how == "close box") w.scanDialog().close();
        QCOMPARE(w.scanDialog().lbScan()->text(), QString("Cancelling..."));
        QVERIFY(!w.scanDialog().CancelButton()->isEnabled());
      });
      ScanDirectory(w, roms.path());
      QCOMPARE(cancel.shown, 1);
      QCOMPARE(ReadAll(database), before);
      QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->count(), 3);
      QVERIFY2(Showed(w, "Scanning " + roms.path().toStdString() +
                             "/ was cancelled after 0 of 5 files.\r\n\r\nThe ROM database file was not changed."),
               how.c_str());
    }
  }

  // A scan that keeps fewer than half the ROMs asks first; No keeps the
  // database and its lists.
  void aScanThatWouldLoseMostRomsAsksBeforeReplacingTheDatabase() {
    for (const MsgButton answer : {MsgButton::No, MsgButton::Yes}) {
      QTemporaryDir dir, roms;
      ShownWindow w(TestOptions(dir, kThreeGames));
      const QString database = QString::fromStdString(w.Commands().DatabasePath());
      const std::string before = ReadAll(database);
      WriteAll(roms.filePath("Alpha.nes"), INesImageFor(3));
      w.Services().QueueAnswer(answer);
      ScanDirectory(w, roms.path());
      const ShownMessage* question =
          FindShown(w, ShownMessage::Type::Centered, "The scan kept 1 ROM, fewer than half of the 3 in the ROM database.");
      QVERIFY(question);
      QCOMPARE(question->buttons, QMessageBox::Yes | QMessageBox::No);
      QCOMPARE(ReadAll(database) == before, answer == MsgButton::No);
      QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->count(), answer == MsgButton::No ? 3 : 1);
      QCOMPARE(w.Services().Shown().back().text.rfind(answer == MsgButton::No
                                                          ? "The ROM database file was not changed: it keeps its 3 ROMs."
                                                          : "Finished scanning ",
                                                      0),
               std::size_t{0});
    }
  }

  void includeSubfoldersIsRememberedAndTakesTheirRoms() {
    QTemporaryDir dir, roms;
    WriteAll(roms.filePath("Alpha.nes"), INesImageFor(1));
    QVERIFY(QDir(roms.path()).mkpath("more"));
    WriteAll(roms.filePath("more/Bravo.nes"), INesImageFor(2));
    {
      MainWindow w(TestOptions(dir));
      QVERIFY(!w.scanDialog().IncludeSubfolders());
      w.scanDialog().SetIncludeSubfolders(true);
    }
    MainWindow w(TestOptions(dir));
    QVERIFY(w.scanDialog().IncludeSubfolders());
    w.ShowMainWindow();
    ScanDirectory(w, roms.path());
    QCOMPARE(w.Work().Library.ROMNames, (std::vector<std::string>{"Alpha", "more/Bravo"}));
    // A ROM from a subfolder takes its title from its own name.
    Pick(Control<QComboBox>(w, "cbROM", 3), 1);
    QCOMPARE(Control<QLineEdit>(w, "edtTitle", 3)->text(), QString("BRAVO"));
  }

  void aLongStatusTextIsNotCutOff() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    const std::string text = "Loaded KORVA Game Database, 10000 ROMs";
    w.Services().ShowStatusMessage(text, 5);
    auto* panel = w.findChild<QLabel*>("StatusPanel0");
    QVERIFY(panel);
    QCOMPARE(panel->text(), QString::fromStdString(text));
    QVERIFY(panel->width() >= 200);
    QVERIFY2(panel->contentsRect().width() >= panel->fontMetrics().horizontalAdvance(panel->text()),
             qPrintable(QString::number(panel->contentsRect().width())));
  }

  void aScanThatCannotWriteTheDatabaseEndsWithTheErrorAndAnEnabledWindow() {
    QTemporaryDir dir, roms;
    // korva_db.xml's directory would have to be where a file is.
    WriteAll(dir.path() + "/blocker", "a file");
    ShownWindow w(OptionsWithDatabaseAt((dir.path() + "/blocker/korva_db.xml").toStdString()));
    WriteAll(roms.filePath("Alpha.nes"), INesImageFor(1));

    Trigger(w, "SetROMDirectory1", roms.path());
    QTRY_VERIFY_WITH_TIMEOUT(FindShown(w, ShownMessage::Type::Centered, "Scanning "), 20000);
    const ShownMessage* error = FindShown(w, ShownMessage::Type::Centered, "Scanning ");
    QCOMPARE(error->kind, MsgKind::Error);
    QVERIFY(error->text.find("blocker") != std::string::npos);
    QVERIFY(!w.Commands().ScanRunning());
    CheckScanEnded(w);
    QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->count(), 0);
    QVERIFY(w.Work().Library.ROMList.empty());
  }

  void aScanOfAPathThatIsNoDirectorySaysSo() {
    QTemporaryDir dir;
    ShownWindow w(TestOptions(dir));
    const QString missing = dir.path() + "/no such dir";
    Trigger(w, "SetROMDirectory1", missing);
    const std::string text = "Invalid path: " + missing.toStdString() + "/";
    QTRY_VERIFY_WITH_TIMEOUT(Showed(w, text), 20000);
    CheckScanEnded(w);
    QCOMPARE(Control<QComboBox>(w, "cbROM", 1)->count(), 1);  // the old lists stay
  }

  // A ROM database that is missing, or damaged, is met at start-up with the
  // offer of a scan: Cancel runs none and leaves the file as it is, OK scans
  // the chosen directory into it.
  void anUnusableDatabaseOffersAScan() {
    const std::string browse = "Press OK to browse for directory to scan for compatible ROMs.";
    const struct {
      const char* content;  // nullptr: no file
      std::string offer;    // how the offer begins
      MsgKind kind;
    } cases[] = {
        {nullptr, "Unable to locate KORVA ROMDB file, but we can generate it now.\r\n\r\n" + browse,
         MsgKind::Information},
        {"<KORVA><ROMDB><ROM CRC32=", "korva_db.xml is corrupt, re-scan ROM directory to repair!\r\n\r\n",
         MsgKind::Error},
    };
    for (const auto& c : cases) {
      for (const MsgButton answer : {MsgButton::Cancel, MsgButton::OK}) {
        QTemporaryDir dir, roms;
        const QString database = dir.filePath("korva_db.xml");
        if (c.content) WriteAll(database, c.content);
        WriteAll(roms.filePath("Alpha.nes"), INesImageFor(2));
        MainWindow w(OptionsWithDatabaseAt(database.toStdString()));
        w.Services().QueueAnswer(answer);
        w.Services().QueueFileName(roms.path());
        w.ShowMainWindow();
        const ShownMessage* offer = FindShown(w, ShownMessage::Type::Centered, c.offer);
        QVERIFY2(offer, c.offer.c_str());
        QVERIFY(offer->text.ends_with(browse));
        QCOMPARE(offer->kind, c.kind);
        QCOMPARE(offer->buttons, QMessageBox::Ok | QMessageBox::Cancel);
        CheckScanEnded(w);
        if (answer == MsgButton::Cancel) {
          QCOMPARE(CountShown(w, ShownMessage::Type::Status, "New project created!"), 1);  // no scan command ran
          QCOMPARE(QFile::exists(database), c.content != nullptr);
          if (c.content) {
            QCOMPARE(ReadAll(database), std::string(c.content));
          }
          for (int n = 1; n <= 16; ++n) QCOMPARE(Control<QComboBox>(w, "cbROM", n)->count(), 0);
        } else {
          QCOMPARE(Control<QComboBox>(w, "cbROM", 16)->count(), 1);
          QCOMPARE(w.Services().StatusText(), QString("Loaded KORVA Game Database, 1 ROMs"));
        }
      }
    }
  }

  // Play Test builds the demo as `korva play` does and hands the very same
  // page to the browser; nothing is written beside the project. A project
  // that cannot be built is refused with the messages Export shows.
  void playTestOpensThePageOfTheBuildAndRefusesAsExportDoes() {
    QTemporaryDir dir;
    const std::string demo = dir.filePath("demo").toStdString();
    QCOMPARE(std::system((std::string(KORVA_EXE) + " demo '" + demo + "' >/dev/null 2>&1").c_str()), 0);
    const std::string project = demo + "/demo.korva", db = demo + "/korva_db.xml";
    const std::string reference = dir.filePath("reference.html").toStdString();
    QCOMPARE(std::system((std::string(KORVA_EXE) + " play '" + project + "' --db '" + db + "' -o '" + reference +
                          "' >/dev/null 2>&1").c_str()), 0);
    const auto listing = [&] {
      std::vector<std::string> names;
      for (const auto& e : std::filesystem::directory_iterator(demo)) names.push_back(e.path().filename().string());
      std::sort(names.begin(), names.end());
      return names;
    };
    const auto before = listing();
    const auto fmt = [](const std::vector<std::string>& names) {
      std::string text;
      for (const auto& n : names) text += n + " ";
      return text;
    };

    WindowOptions options = OptionsWithDatabaseAt(db);
    options.SettingsFile = dir.filePath("settings.ini").toStdString();
    ShownWindow w(options);
    w.Commands().OpenProject(project);
    std::vector<QUrl> opened;
    w.Play().SetOpener([&](const QUrl& url) { opened.push_back(url); return true; });
    Trigger(w, "ViewPlayTest1");
    QCOMPARE(opened.size(), std::size_t{1});
    QCOMPARE(opened[0], QUrl::fromLocalFile(w.Play().PagePath()));
    QCOMPARE(QFileInfo(w.Play().PagePath()).fileName(), QString("demo-play.html"));
    QVERIFY(korva::test::ReadText(w.Play().PagePath().toStdString()) == korva::test::ReadText(reference));
    QCOMPARE(QString::fromStdString(fmt(listing())), QString::fromStdString(fmt(before)));
    QCOMPARE(w.findChild<QAction*>("ViewPlayTest1")->shortcut(), QKeySequence(Qt::Key_F5));

    // A game gone, then a project never saved: Play Test's messages are Export's.
    std::filesystem::remove(demo + "/roms/rocket-rally.nes");
    for (int round = 0; round < 2; ++round) {
      if (round == 1) Trigger(w, "FileNew1");
      std::vector<std::string> said[2];
      for (const char* action : {"ViewPlayTest1", "FileExport1"}) {
        w.Services().ClearShown();
        Trigger(w, action);
        for (const ShownMessage& m : w.Services().Shown()) said[action[0] == 'F'].push_back(m.text);
      }
      QVERIFY(!said[1].empty());
      QCOMPARE(said[0], said[1]);
    }
    QCOMPARE(opened.size(), std::size_t{1});
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
