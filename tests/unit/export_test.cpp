// The export command: its four checks in order with their texts, the save,
// the output names beside the project file and the success message.
#include "builder/Export.h"
#include "builder/Verify.h"

#include "BuildFixtures.h"
#include "CommandRun.h"
#include "builder/InstRom.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace korva {
namespace {

namespace fs = std::filesystem;

class ExportTest : public ::testing::Test {
 public:
  void SetUp() override {
    ws.Library.ROMPath = dir.path() + "roms/";
    fs::create_directories(ws.Library.ROMPath);
    test::RecordingUI quiet;
    NewProject(ws.Proj, quiet);
    half = Rom("Half Game.nes", 1, 1);
    full = Rom("Full Game.nes", 2, 4);
    wide = Rom("Wide Chr.nes", 1, 2);
  }
  int Rom(const std::string& name, int prgUnits, int chrUnits) {
    const test::Bytes image = test::FilledINesImage(prgUnits, chrUnits, 0, false, static_cast<std::uint8_t>(0x11 + prgUnits),
                                                    static_cast<std::uint8_t>(0x22 + chrUnits));
    dir.Write("roms/" + name, image);
    return test::AddRom(ws, name, test::DataCrc(image), prgUnits * 16384, chrUnits * 8192);
  }
  void Fill(int index) {
    for (int n = 1; n <= 16; ++n) ws.Proj.slot(n).ROMIndex = index;
  }
  // Every file under the directory, by path, with its content.
  std::map<std::string, std::string> Contents() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
      files[entry.path().string()] = test::ReadText(entry.path().string());
    return files;
  }
  std::string Export() {
    ui.Clear();
    ok = ExportProject(ws, templates, ui);
    return ui.Messages().empty() ? "(none)" : ui.Messages().back().text;
  }

  test::TempDir dir;
  Workspace ws;
  TemplateChoice templates;  // the built-in ones
  test::RecordingUI ui;
  int half = 0, full = 0, wide = 0;
  bool ok = false;
};

TEST_F(ExportTest, UnsavedProjectIsRefusedWhateverTheSlots) {
  templates.MenuRomFile = dir.path() + "no-such-template.bin";  // not read before the checks
  EXPECT_EQ(Export(), "Please save project before exporting!");
  EXPECT_FALSE(ok);
  EXPECT_EQ(ui.Messages()[0].kind, MsgKind::Error);
  EXPECT_TRUE(ui.Statuses().empty());
}

// Each check before the build, and the build's own refusal: its one message, and nothing saved or
// written. The rows run in this order on one fixture.
TEST_F(ExportTest, RefusalsGiveTheirTextsAndWriteNothing) {
  const struct {
    const char* what;
    void (*setUp)(ExportTest&);
    std::string says;
  } cases[] = {
      {"slots without a ROM are listed in order",
       [](ExportTest& t) { t.Fill(t.half); t.ws.Proj.slot(3).ROMIndex = t.ws.Proj.slot(7).ROMIndex = -1; },
       "All slots must have ROM assigned, review:\r\n\r\nSlot 3 - No ROM assigned!\r\nSlot 7 - No ROM assigned!\r\n"},
      {"missing files are listed per slot",
       [](ExportTest& t) {
         const int odd = test::AddRom(t.ws, "100% Odd.nes", 0xBEEF, 16384, 8192);
         t.Fill(t.full);
         t.ws.Proj.slot(1).ROMIndex = t.half;
         t.ws.Proj.slot(4).ROMIndex = t.ws.Proj.slot(9).ROMIndex = odd;
       },
       "Selected ROM files cannot be found!\r\n\r\n"
       "Slot 4 - File not found: 100% Odd.nes\r\nSlot 9 - File not found: 100% Odd.nes\r\n"},
      {"capacity is checked before the files",
       [](ExportTest& t) { t.Fill(t.full); fs::remove(t.ws.Library.ROMPath + "Half Game.nes"); },
       "ROM selection over max capacity!\r\n\r\nAt least one slot must have a ROM assigned that is PRG 16kb."},
      {"a 16 KB game with a large CHR passes the checks but not the build", [](ExportTest& t) { t.Fill(t.wide); },
       "Cannot build rom! At least one ROM needs to be PRG 16kb"},
  };
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.setUp(*this);
    EXPECT_EQ(Export(), c.says);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(fs::exists(ws.Proj.ProjectFileName));  // a refusal saves nothing
    EXPECT_TRUE(ui.Statuses().empty());
    EXPECT_EQ(ui.Messages().size(), 1u);
    EXPECT_FALSE(fs::exists(dir.path() + "set-prg.bin"));
  }
}

TEST_F(ExportTest, SuccessWritesThreeFilesBesideTheProject) {
  fs::create_directories(dir.path() + "my.sets");
  ws.Proj.ProjectFileName = dir.path() + "my.sets/Volume 1.korva";
  Fill(full);
  ws.Proj.slot(5).ROMIndex = half;
  const std::string message = Export();
  EXPECT_TRUE(ok);
  // The directory, then each image's name and the figures a programmer shows.
  const auto figures = [&](const char* suffix) {
    const auto bytes = test::ReadBytes(dir.path() + "my.sets/Volume 1" + suffix);
    return std::string("\r\nVolume 1") + suffix + ": " + FiguresText(FiguresOf(bytes));
  };
  EXPECT_EQ(message, "Programming files for KORVA exported to project directory!\r\n\r\n" + dir.path() + "my.sets/\r\n" +
                         figures("-prg.bin") + figures("-chr.bin") + figures("-instrom.bin"));
  EXPECT_EQ(ui.Messages()[0].kind, MsgKind::Information);
  EXPECT_EQ(fs::file_size(dir.path() + "my.sets/Volume 1-prg.bin"), 524288u);
  EXPECT_EQ(fs::file_size(dir.path() + "my.sets/Volume 1-chr.bin"), 524288u);
  EXPECT_EQ(fs::file_size(dir.path() + "my.sets/Volume 1-instrom.bin"), 131072u);
  EXPECT_TRUE(ws.Proj.ProjectModified);
  // The saved project reads back to the same slots.
  const Project again = ReadProjectFile(ws.Proj.ProjectFileName, ws.Library);
  EXPECT_EQ(again.slot(5).ROMIndex, half);
  EXPECT_EQ(again.slot(6).ROMIndex, full);
}

TEST_F(ExportTest, TemplatesAreReplacedOnlyByTheProjectDirectoryOrANamedFileAndSaySo) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  Fill(full);
  ws.Proj.slot(5).ROMIndex = half;
  dir.Write("menu.bin", test::MakeMenuTemplate());
  dir.Write("instrom.bin", std::vector<std::uint8_t>(kInstRomTemplateSize, 0x3F));
  const std::string done = "Programming files for KORVA exported to project directory!\r\n\r\n" + dir.path();
  const struct {
    TemplateChoice choice;
    std::string tail;
  } cases[] = {
      {{}, ""},  // a file in the project directory alone changes nothing
      {{.FromProjectDirectory = true}, "\r\n\r\n(instruction ROM: instrom.bin from the project directory)"},
      {{.MenuRomFile = dir.path() + "menu.bin"}, "\r\n\r\n(menu program: " + dir.path() + "menu.bin)"},
      {{.MenuRomFile = dir.path() + "menu.bin", .FromProjectDirectory = true},
       "\r\n\r\n(menu program: " + dir.path() + "menu.bin; instruction ROM: instrom.bin from the project directory)"},
  };  // (a wrong-sized file refuses the build: the command line tests)
  for (const auto& c : cases) {
    templates = c.choice;
    EXPECT_EQ(Export().substr(0, done.size() + c.tail.size() + 23), done + c.tail + "\r\n\r\nset-prg.bin: CRC-32");
    EXPECT_TRUE(ok);
  }
}

TEST_F(ExportTest, EveryNameIsCheckedBeforeTheFirstWrite) {
  // A name as long as the directory allows is written whole; a name that
  // cannot be written, of any of the four files, stops the export before the
  // save, so it never stops half-way.
  struct Case {
    std::size_t baseLength;
    const char* inTheWay;  // a directory of this suffix, or nullptr
    const char* reason;    // nullptr: the export succeeds
  };
  const Case cases[] = {
      {243, nullptr, nullptr},                  // "-instrom.bin" ends at byte 255
      {244, nullptr, "File name too long"},     // only "-instrom.bin" is too long
      {8, "-instrom.bin", "Is a directory"},    // the last of the files is blocked
  };
  Fill(full);
  ws.Proj.slot(2).ROMIndex = half;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baseLength);
    const std::string base = dir.path() + std::string(c.baseLength, 'n');
    ws.Proj.ProjectFileName = base + ".korva";
    if (c.inTheWay) fs::create_directory(base + c.inTheWay);
    if (!c.reason) {
      EXPECT_EQ(Export().substr(0, 36), "Programming files for KORVA exported");
      for (const char* suffix : {".korva", "-prg.bin", "-chr.bin", "-instrom.bin"}) EXPECT_TRUE(fs::exists(base + suffix));
      continue;
    }
    try {
      Export();
      ADD_FAILURE() << "exported";
    } catch (const FileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    for (const char* suffix : {".korva", "-prg.bin", "-chr.bin"}) EXPECT_FALSE(fs::exists(base + suffix)) << suffix;
  }
}

TEST_F(ExportTest, AnOutputThatIsAnInputIsRefusedWritingNothing) {
  // Compared by file, not by name: a hard link, a symbolic link and a
  // roundabout spelling are all the file they name.
  const struct {
    const char* what;
    void (*setUp)(ExportTest&);
    const char* clash;
  } cases[] = {
      {"PRG image a hard link of a ROM",
       [](ExportTest& t) { fs::create_hard_link(t.ws.Library.ROMPath + "Full Game.nes", t.dir / "set-prg.bin"); },
       "it is the ROM of slot 2"},
      {"CHR image a link to the ROM database",
       [](ExportTest& t) { fs::create_symlink(t.ws.DatabasePath, t.dir / "set-chr.bin"); }, "it is the ROM database"},
      {"instruction ROM the template named",
       [](ExportTest& t) {
         t.dir.Write("set-instrom.bin", test::Bytes(kInstRomTemplateSize, 0x3F));
         t.templates.InstRomFile = t.dir.path() + "roms/../set-instrom.bin";
       },
       "it is the instruction ROM template"},
      {"the project saved over a ROM",
       [](ExportTest& t) { t.ws.Proj.ProjectFileName = t.ws.Library.ROMPath + "Half Game.nes"; },
       "it is the ROM of slot 1"},
      {"the project saved over a ROM in no slot",
       [](ExportTest& t) { t.ws.Proj.ProjectFileName = t.ws.Library.ROMPath + "Wide Chr.nes"; },
       "it is a ROM in the ROM database"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Fill(full);
    ws.Proj.slot(1).ROMIndex = half;
    ws.Proj.ProjectFileName = dir.path() + "set.korva";
    ws.DatabasePath = dir.Write("korva_db.xml", "<ROMDB/>");
    templates = {};
    for (const char* name : {"set-prg.bin", "set-chr.bin", "set-instrom.bin", "set.korva"}) fs::remove(dir / name);
    c.setUp(*this);
    const auto before = Contents();
    const std::string message = Export();
    EXPECT_FALSE(ok);
    EXPECT_NE(message.find(c.clash), std::string::npos) << message;
    EXPECT_NE(message.find("Nothing was written."), std::string::npos) << message;
    EXPECT_EQ(Contents(), before);
  }
}

TEST_F(ExportTest, VerifyFindsEachChangedByteWhereItLiesAndRefusesAWrongSize) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  Fill(full);
  ws.Proj.slot(5).ROMIndex = half;  // PRG 0 and CHR 0x2000; slot 1 the first full bank, PRG 0x8000, CHR 0x8000
  ws.Proj.slot(2).ROMIndex = wide;  // PRG 0x10000: 16 KB of game, 16 KB of padding
  ws.Proj.slot(7).Title = "SEVEN";
  ASSERT_EQ(Export().substr(0, 36), "Programming files for KORVA exported");
  const auto paths = ExportedImagePaths(ws.Proj.ProjectFileName);
  const struct {
    std::size_t image;  // 0 PRG, 1 CHR, 2 instruction ROM; 3: none changed
    std::size_t offset;
    std::string line;  // the line that tells, or the refusal
  } cases[] = {
      {3, 0, "All three images match the project."},
      {0, 0x8000 + 7, "slot 1 : PRG differs at PRG image 0x8007, CHR ok"},
      {1, 0x2000, "slot 5 : PRG ok, CHR differs at CHR image 0x2000"},
      {0, kMenuPrgImageOffset + 0x3000, "differs at PRG image 0x7000"},  // menu program
      {0, 0x14000, "padding differs at PRG image 0x14000"},
      {2, kTitleLineOffset + 3, "texts differ at instruction ROM 0x423"},
      {2, kInstRomChecksumOffset, "checksum differs at instruction ROM 0x1FFF"},
      {2, 0x10000, "padding differs at instruction ROM 0x10000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    std::array<std::string, 3> files = paths;
    if (c.image < 3) {
      auto bytes = test::ReadBytes(paths[c.image]);
      bytes[c.offset] ^= 0x01;
      files[c.image] = dir.path() + "changed.bin";
      test::WriteBytes(files[c.image], bytes);
    }
    const VerifyReport report = VerifyImages(ws, templates, files);
    const std::string text = VerifyReportText(report);
    EXPECT_EQ(report.Matches(), c.image == 3) << text;
    EXPECT_NE(text.find(c.line), std::string::npos) << text;
    EXPECT_EQ(report.Lines.size(), 19u);
  }
  // The titles and the slot table, from the project: the image on disk is the old one.
  ws.Proj.slot(7).Title = "SIEBEN";
  EXPECT_NE(VerifyReportText(VerifyImages(ws, templates, paths)).find("titles differ at PRG image"), std::string::npos);
  ws.Proj.slot(7).Title = "SEVEN";
  ws.Proj.slot(7).Icon = (ws.Proj.slot(7).Icon + 1) % 4;
  EXPECT_NE(VerifyReportText(VerifyImages(ws, templates, paths)).find("slot table differs at PRG image"), std::string::npos);
  // A dump of the wrong size is refused before any ROM is read.
  fs::remove(ws.Library.ROMPath + "Full Game.nes");
  test::WriteBytes(dir.path() + "short.bin", test::Bytes(1000, 0xFF));
  test::WriteBytes(dir.path() + "long.bin", test::Bytes(1 << 20, 0xFF));  // a 27C080 read for a 27C010
  const VerifyReport wrong = VerifyImages(ws, templates, {paths[0], dir.path() + "short.bin", dir.path() + "long.bin"});
  EXPECT_EQ(wrong.Refusal, "\"" + dir.path() + "short.bin\" is 1000 bytes; a CHR image is 524288 bytes.\n\"" +
                               dir.path() + "long.bin\" is 1048576 bytes; an instruction ROM image is 131072 bytes.");
  EXPECT_FALSE(wrong.Matches());
}

}  // namespace
}  // namespace korva
