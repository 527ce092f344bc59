// The export command: its four checks in order with their texts, the save,
// the output names beside the project file and the success message.
#include "builder/Export.h"

#include "BuildFixtures.h"
#include "builder/InstRom.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korva {
namespace {

namespace fs = std::filesystem;

class ExportTest : public ::testing::Test {
 protected:
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
    dir.Write("roms/" + name, test::FilledINesImage(prgUnits, chrUnits, 0, false, 0x11, 0x22));
    return test::AddRom(ws, name, 0xA0000000u + static_cast<unsigned>(ws.Library.ROMList.size()), prgUnits * 16384,
                           chrUnits * 8192);
  }
  void Fill(int index) {
    for (int n = 1; n <= 16; ++n) ws.Proj.slot(n).ROMIndex = index;
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

TEST_F(ExportTest, SlotsWithoutRomAreListedInOrder) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  Fill(half);
  ws.Proj.slot(3).ROMIndex = -1;
  ws.Proj.slot(7).ROMIndex = -1;
  EXPECT_EQ(Export(), "All slots must have ROM assigned, review:\r\n\r\nSlot 3 - No ROM assigned!\r\nSlot 7 - No ROM assigned!\r\n");
  EXPECT_FALSE(fs::exists(ws.Proj.ProjectFileName));  // nothing saved
}

TEST_F(ExportTest, CapacityIsCheckedBeforeTheFiles) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  Fill(full);
  fs::remove(ws.Library.ROMPath + "Half Game.nes");
  EXPECT_EQ(Export(),
            "ROM selection over max capacity!\r\n\r\nAt least one slot must have a ROM assigned that is PRG 16kb.");
}

TEST_F(ExportTest, MissingFilesAreListedPerSlot) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  const int odd = test::AddRom(ws, "100% Odd.nes", 0xBEEF, 16384, 8192);
  Fill(full);
  ws.Proj.slot(1).ROMIndex = half;
  ws.Proj.slot(4).ROMIndex = odd;
  ws.Proj.slot(9).ROMIndex = odd;
  EXPECT_EQ(Export(), "Selected ROM files cannot be found!\r\n\r\n"
                      "Slot 4 - File not found: 100% Odd.nes\r\nSlot 9 - File not found: 100% Odd.nes\r\n");
  EXPECT_FALSE(fs::exists(ws.Proj.ProjectFileName));
}

TEST_F(ExportTest, SixteenKilobyteGameWithLargeChrPassesTheChecksButNotTheBuild) {
  ws.Proj.ProjectFileName = dir.path() + "set.korva";
  Fill(wide);
  EXPECT_EQ(Export(), "Cannot build rom! At least one ROM needs to be PRG 16kb");
  EXPECT_FALSE(ok);
  EXPECT_TRUE(fs::exists(ws.Proj.ProjectFileName));  // saved before the build
  EXPECT_EQ(ui.Statuses(), (std::vector<std::pair<std::string, int>>{{"Project saved!", 2}}));
  EXPECT_EQ(ui.Messages().size(), 1u);
  EXPECT_FALSE(fs::exists(dir.path() + "set-prg.bin"));
}

TEST_F(ExportTest, SuccessWritesThreeFilesBesideTheProject) {
  fs::create_directories(dir.path() + "my.sets");
  ws.Proj.ProjectFileName = dir.path() + "my.sets/Volume 1.korva";
  Fill(full);
  ws.Proj.slot(5).ROMIndex = half;
  EXPECT_EQ(Export(), "Programming files for KORVA exported to project directory!\r\n\r\n" + dir.path() + "my.sets/");
  EXPECT_TRUE(ok);
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
    EXPECT_EQ(Export(), done + c.tail);
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

TEST(ExportPaths, BasePathAndDirectory) {
  EXPECT_EQ(BasePath("/d/set1.korva"), "/d/set1");
  EXPECT_EQ(BasePath("/d/set1.v2.korva"), "/d/set1.v2");
  EXPECT_EQ(BasePath("/d.x/set1"), "/d.x/set1");
  EXPECT_EQ(BasePath("/x/my:game.korva"), "/x/my:game");
  EXPECT_EQ(BasePath("/x/a.b\\c"), "/x/a");  // "\" is part of the name
  EXPECT_EQ(FullDirectoryOf("/x/my:game.korva"), "/x/");
  EXPECT_EQ(FullDirectoryOf("/d/../e/set1.korva"), "/e/");
  EXPECT_EQ(FullDirectoryOf("set1.korva"), (fs::current_path() / "").string());
  EXPECT_EQ(FullDirectoryOf("/set1.korva"), "/");
}

}  // namespace
}  // namespace korva
