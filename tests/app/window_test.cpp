// The main window's behaviour, driven through its controls by object name on
// the offscreen platform. No dialog waits for a person: the services take
// queued answers and file names and record what they show.
#include "app/TForm1.h"
#include "app/WindowServices.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <fstream>
#include <vector>

using korva::app::ShownMessage;
using korva::app::TForm1;
using korva::app::WindowOptions;

// The icons live in the window library's resources, which a static library
// does not register by itself.
inline void InitIcons() { Q_INIT_RESOURCE(icons); }

namespace {

// A ROM directory with one 32 KB + 8 KB game and its korva_db.xml.
std::string MakeDatabase(const QTemporaryDir& dir) {
  const std::string root = dir.path().toStdString() + "/";
  std::vector<char> image(16 + 32768 + 8192, 0x11);
  const char header[16] = {'N', 'E', 'S', 0x1A, 2, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  std::copy(header, header + 16, image.begin());
  std::ofstream(root + "Rocket Rally (USA).nes", std::ios::binary).write(image.data(), static_cast<std::streamsize>(image.size()));
  std::ofstream(root + "korva_db.xml")
      << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KORVA Build=\"12\">\n  <ROMPath>" << root
      << "</ROMPath>\n  <ROMDB>\n    <ROM CRC32=\"0BADF00D\">\n      <Filename>Rocket Rally (USA).nes</Filename>\n"
         "      <INES Mapper=\"0\" ChrRomSize=\"8192\" PrgRomSize=\"32768\" Mirroring=\"v\"/>\n    </ROM>\n"
         "  </ROMDB>\n</KORVA>\n";
  return root + "korva_db.xml";
}

// A window on that database whose dialogs never wait for a person.
WindowOptions TestOptions(const QTemporaryDir& dir) {
  WindowOptions options;
  options.DatabasePath = MakeDatabase(dir);
  options.NonInteractive = true;
  options.WithAboutBox = false;
  return options;
}

bool Showed(TForm1& w, const std::string& text) {
  for (const ShownMessage& m : w.Services().Shown())
    if (m.text == text) return true;
  return false;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { InitIcons(); }

  void heightRuleSnapsDownAndRefusesOutsideFourToTenRows() {
    int rows = 0;
    int h = TForm1::kFixedHeight + 4 * 112;
    QVERIFY(TForm1::FormCanResize(h, rows));
    QCOMPARE(rows, 4);
    h = TForm1::kFixedHeight + 6 * 112 + 50;
    QVERIFY(TForm1::FormCanResize(h, rows));
    QCOMPARE(rows, 6);
    QCOMPARE(h, TForm1::kFixedHeight + 6 * 112);
    h = TForm1::kFixedHeight + 3 * 112;
    QVERIFY(!TForm1::FormCanResize(h, rows));
    h = TForm1::kFixedHeight + 11 * 112;
    QVERIFY(!TForm1::FormCanResize(h, rows));
  }

  void typedTitleCharactersAreFilteredUpperCasedAndMarkTheProject() {
    QTemporaryDir dir;
    TForm1 w(TestOptions(dir));
    w.ShowMainWindow();
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
    TForm1 w(TestOptions(dir));
    w.ShowMainWindow();
    QCOMPARE(w.Work().Library.ROMList.size(), std::size_t{1});
    QVERIFY(Showed(w, "Loaded KORVA Game Database, 1 ROMs"));
    auto* rom = w.findChild<QComboBox*>("cbROM3");
    QVERIFY(rom);
    QCOMPARE(rom->count(), 1);
    rom->setCurrentIndex(0);
    emit rom->activated(0);
    QCOMPARE(w.Work().Proj.slot(3).ROMIndex, 0);
    QCOMPARE(w.findChild<QLineEdit*>("edtTitle3")->text(), QString("ROCKET RALLY"));
    QCOMPARE(w.findChild<QLabel*>("lblROMInfo3")->text(), QString("(PRG 32kb / CHR 8kb)"));
  }

  void openOfAMissingFileAndExportOfAnUnsavedProjectSayWhy() {
    QTemporaryDir dir;
    TForm1 w(TestOptions(dir));
    w.ShowMainWindow();
    w.Services().QueueFileName(dir.path() + "/missing.korva");
    w.findChild<QAction*>("FileOpen1")->trigger();
    QVERIFY(Showed(w, "File specified does not exist."));
    w.findChild<QAction*>("FileExport1")->trigger();
    QVERIFY(Showed(w, "Please save project before exporting!"));
    QVERIFY(w.isEnabled());
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
