// The project commands: New, Open, Save and Save As with their questions,
// messages and failures, and the choice of a slot's ROM.
#include "project/ProjectCommands.h"

#include "BuildFixtures.h"
#include "RecordingUI.h"
#include "TempDir.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <optional>

namespace korva {
namespace {

using test::RecordedCall;
using test::RecordingUI;
using test::TempDir;

// Answers the file dialogs from a queue; an empty queue is a cancelled dialog.
class QueuedPrompt : public FileNamePrompt {
 public:
  std::optional<std::string> AskOpenProjectFile() override { return Next(openAsked); }
  std::optional<std::string> AskSaveProjectFile() override { return Next(saveAsked); }

  std::deque<std::optional<std::string>> names;
  int openAsked = 0;
  int saveAsked = 0;

 private:
  std::optional<std::string> Next(int& asked) {
    ++asked;
    if (names.empty()) return std::nullopt;
    auto name = names.front();
    names.pop_front();
    return name;
  }
};

// The parts of a project that a command may change, for comparing before and after.
struct Snapshot {
  std::vector<int> roms, icons;
  std::vector<std::string> titles;
  std::string cartTitle, line1, line2, fileName;
  int gameIcons = 0;
  bool modified = false;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const Project& p) {
  Snapshot s;
  for (const Slot& slot : p.Slots) {
    s.roms.push_back(slot.ROMIndex);
    s.icons.push_back(slot.Icon);
    s.titles.push_back(slot.Title);
  }
  s.cartTitle = p.Cartridge.CartTitle;
  s.line1 = p.Cartridge.InstLine1;
  s.line2 = p.Cartridge.InstLine2;
  s.gameIcons = p.Cartridge.Icons;
  s.fileName = p.ProjectFileName;
  s.modified = p.ProjectModified;
  return s;
}

class ProjectCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject(ws.Proj, ui);
    test::AddRom(ws, "Rocket Rally (USA).nes", 0x0BADF00D, 32768, 8192);
    test::AddRom(ws, "Sky Surfer.zip", 0x00C0FFEE, 16384, 8192);
    ui.Clear();
  }

  // A project that differs from a new one in every field.
  void MakeDirty() {
    ws.Proj.slot(1) = Slot{0, "FIRST", 2};
    ws.Proj.slot(16) = Slot{1, "LAST", 3};
    ws.Proj.Cartridge = CartridgeSettings{"MY CART", "LINE ONE", "LINE TWO", 2};
    ws.Proj.ProjectFileName = dir / "old.korva";
    ws.Proj.ProjectModified = true;
  }

  std::vector<RecordedCall> Centered() const {
    std::vector<RecordedCall> out;
    for (const auto& c : ui.Calls())
      if (c.what == RecordedCall::What::Centered) out.push_back(c);
    return out;
  }

  TempDir dir;
  Workspace ws;
  RecordingUI ui;
  QueuedPrompt prompt;
  ProjectCommands commands{ws, ui, prompt};
};

TEST(WithProjectExtensionTest, AddsTheExtensionOnlyToANameWithoutOne) {
  const std::pair<const char*, const char*> cases[] = {
      {"/games/set1", "/games/set1.korva"}, {"C:\\games\\set1", "C:\\games\\set1.korva"}, {"set1", "set1.korva"},
      {"/games/set1.korva", "/games/set1.korva"}, {"/games/set1.xml", "/games/set1.xml"},
      {"/my.games/set1", "/my.games/set1.korva"},  // a dot in a directory is not the file's extension
      {"/x/my.games\\set1", "/x/my.games\\set1"}, {"/x/my:set1", "/x/my:set1.korva"},  // "\\" and ":" are parts of a name here
      {"", ""}, {"/games/", "/games/"},  // nothing to extend
  };
  for (const auto& [name, extended] : cases) EXPECT_EQ(WithProjectExtension(name), extended) << name;
}

TEST_F(ProjectCommandsTest, NewResetsEveryFieldAndSaysSo) {
  MakeDirty();
  commands.FileNew1Execute();
  for (int n = 1; n <= SlotCount; ++n) {
    EXPECT_EQ(ws.Proj.slot(n).ROMIndex, -1) << n;
    EXPECT_EQ(ws.Proj.slot(n).Title, "") << n;
    EXPECT_EQ(ws.Proj.slot(n).Icon, 0) << n;
  }
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, kDefaultCartTitle);
  EXPECT_EQ(ws.Proj.Cartridge.InstLine1, kDefaultInstLine1);
  EXPECT_EQ(ws.Proj.Cartridge.InstLine2, kDefaultInstLine2);
  EXPECT_EQ(ws.Proj.Cartridge.Icons, kDefaultIcons);
  EXPECT_EQ(ws.Proj.ProjectFileName, "");
  EXPECT_FALSE(ws.Proj.ProjectModified);
  ASSERT_EQ(ui.Calls().size(), 1u);
  EXPECT_EQ(ui.Calls()[0].text, "New project created!");
  EXPECT_EQ(ui.Calls()[0].seconds, 2);
  // The ROM library is not the project's.
  EXPECT_EQ(ws.Library.ROMList.size(), 2u);
  EXPECT_EQ(prompt.openAsked + prompt.saveAsked, 0);
}

TEST_F(ProjectCommandsTest, OpenOfAMissingPathRaisesAndLeavesTheProject) {
  MakeDirty();
  const Snapshot before = Take(ws.Proj);
  for (const std::string& path : {dir / "missing.korva", dir.path(), std::string()}) {
    try {
      commands.FileOpen1Accept(path);
      ADD_FAILURE() << "no error for \"" << path << "\"";
    } catch (const CommandError& e) {
      EXPECT_STREQ(e.what(), "File specified does not exist.");
    }
    EXPECT_TRUE(Take(ws.Proj) == before) << path;
  }
  EXPECT_TRUE(ui.Calls().empty());
}

// A file that cannot be read, from its first byte or half-way, says why
// and leaves the project that was open.
TEST_F(ProjectCommandsTest, OpenThatFailsSaysWhyAndKeepsTheProject) {
  const struct {
    const char* text;
    const char* reason;  // empty: any
  } cases[] = {
      {"<KORVA-Project Ver=\"12\"><CartTitle>", ""},
      {"<KORVA-Project Ver=\"12\"><CartTitle>T</CartTitle><Icons>0</Icons><InstLine1>A</InstLine1>"
       "<InstLine2>B</InstLine2><ROMSlots><ROM Slot=\"1\" CRC32=\"0BADF00D\" Icon=\"1\">ONE</ROM>"
       "<ROM Slot=\"2\" CRC32=\"00C0FFEE\" Icon=\"9\">TWO</ROM></ROMSlots></KORVA-Project>",
       "Icon Index 9 is not within valid range!"},
  };
  MakeDirty();
  const Snapshot before = Take(ws.Proj);
  for (const auto& c : cases) {
    ui.Clear();
    dir.Write("broken.korva", c.text);
    EXPECT_FALSE(commands.FileOpen1Accept(dir / "broken.korva"));
    const auto asked = Centered();
    ASSERT_EQ(asked.size(), 1u) << c.text;
    EXPECT_EQ(asked[0].kind, MsgKind::Error);
    const std::string head = "Unable to load project file!\r\n\r\n";
    EXPECT_EQ(asked[0].text.substr(0, head.size()), head);
    if (*c.reason) {
      EXPECT_EQ(asked[0].text, head + c.reason);
    }
    EXPECT_GT(asked[0].text.size(), head.size());
    EXPECT_TRUE(Take(ws.Proj) == before) << c.text;
    EXPECT_TRUE(ui.StatusTexts().empty());
  }
}

TEST_F(ProjectCommandsTest, OpenThroughThePromptAddsTheExtensionAndReadsTheFile) {
  ws.Proj.slot(3) = Slot{1, "SURF", 2};
  WriteProjectFile(ws, dir / "set1.korva", ui);
  commands.FileNew1Execute();
  ui.Clear();

  prompt.names.push_back(dir / "set1");
  EXPECT_TRUE(commands.FileOpen1Execute());
  EXPECT_EQ(prompt.openAsked, 1);
  EXPECT_EQ(ws.Proj.ProjectFileName, dir / "set1.korva");
  EXPECT_FALSE(ws.Proj.ProjectModified);
  EXPECT_EQ(ws.Proj.slot(3).ROMIndex, 1);
  EXPECT_EQ(ws.Proj.slot(3).Title, "SURF");
  EXPECT_EQ(ws.Proj.slot(3).Icon, 2);
  EXPECT_EQ(ui.StatusTexts().back(), "Loaded project: set1.korva");
}

TEST_F(ProjectCommandsTest, CancelledDialogsChangeNothing) {
  MakeDirty();
  const Snapshot before = Take(ws.Proj);
  EXPECT_FALSE(commands.FileOpen1Execute());
  prompt.names.push_back(std::string());  // accepted without a name
  EXPECT_FALSE(commands.FileOpen1Execute());
  EXPECT_FALSE(commands.FileSaveAs1Execute());
  EXPECT_EQ(prompt.openAsked, 2);
  EXPECT_EQ(prompt.saveAsked, 1);
  EXPECT_TRUE(Take(ws.Proj) == before);
  EXPECT_TRUE(ui.Calls().empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(ProjectCommandsTest, SaveWithoutAFileNameIsSaveAs) {
  ws.Proj.slot(2) = Slot{0, "ROCKET", 1};
  prompt.names.push_back(dir / "first");
  commands.FileSave1Execute();
  EXPECT_EQ(prompt.saveAsked, 1);
  EXPECT_EQ(ws.Proj.ProjectFileName, dir / "first.korva");
  EXPECT_EQ(dir.Read("first.korva"), ProjectFileText(ws));
  EXPECT_EQ(ui.StatusTexts().back(), "Project Saved: first.korva");

  // Cancelled: nothing is written and the project keeps no name.
  commands.FileNew1Execute();
  ui.Clear();
  commands.FileSave1Execute();
  EXPECT_EQ(prompt.saveAsked, 2);
  EXPECT_EQ(ws.Proj.ProjectFileName, "");
  EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(ProjectCommandsTest, SaveWithAFileNameWritesWithoutAQuestionOrCaption) {
  ws.Proj.ProjectFileName = dir / "set1.korva";
  dir.Write("set1.korva", "old content");
  ws.Proj.slot(5).Title = "CHANGED";
  commands.FileSave1Execute();
  EXPECT_EQ(prompt.saveAsked, 0);
  EXPECT_EQ(dir.Read("set1.korva"), ProjectFileText(ws));
  EXPECT_NE(dir.Read("set1.korva").find("CHANGED"), std::string::npos);
  EXPECT_TRUE(ws.Proj.ProjectModified);
  ASSERT_EQ(ui.Calls().size(), 1u);
  EXPECT_EQ(ui.Calls()[0].what, RecordedCall::What::Status);
  EXPECT_EQ(ui.Calls()[0].text, "Project saved!");
  EXPECT_EQ(ui.Calls()[0].seconds, 2);
}

TEST_F(ProjectCommandsTest, SaveAsOntoAnExistingFileAsksAndNoLeavesEverything) {
  const std::string original = "<not a project>\r\n\x01\xFF";
  dir.Write("other.korva", original);
  ws.Proj.ProjectFileName = dir / "set1.korva";
  const Snapshot before = Take(ws.Proj);

  ui.QueueAnswer(MsgButton::No);
  EXPECT_FALSE(commands.FileSaveAs1Accept(dir / "other.korva"));
  const auto asked = Centered();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, "Overwrite existing file?");
  EXPECT_EQ(asked[0].kind, MsgKind::Confirmation);
  EXPECT_EQ(asked[0].buttons, MsgButton::Yes | MsgButton::No);
  EXPECT_EQ(dir.Read("other.korva"), original);
  EXPECT_TRUE(Take(ws.Proj) == before);
  EXPECT_EQ(ui.Calls().size(), 1u);  // no caption, no status text
}

TEST_F(ProjectCommandsTest, SaveAsOntoAnExistingFileAnsweredYesReplacesIt) {
  dir.Write("other.korva", "old");
  ws.Proj.slot(1) = Slot{1, "SURF", 0};
  ui.QueueAnswer(MsgButton::Yes);
  EXPECT_TRUE(commands.FileSaveAs1Accept(dir / "other.korva"));
  EXPECT_EQ(Centered().size(), 1u);
  EXPECT_EQ(dir.Read("other.korva"), ProjectFileText(ws));
  EXPECT_EQ(ws.Proj.ProjectFileName, dir / "other.korva");
  EXPECT_EQ(ui.UnusedAnswers(), 0u);
}

TEST_F(ProjectCommandsTest, SaveAsSetsTheNameAndItsOwnStatusText) {
  EXPECT_TRUE(commands.FileSaveAs1Accept(dir / "set1.korva"));
  EXPECT_TRUE(Centered().empty());  // a new file: no question
  EXPECT_EQ(ws.Proj.ProjectFileName, dir / "set1.korva");
  EXPECT_TRUE(ws.Proj.ProjectModified);
  EXPECT_TRUE(FileExists(dir / "set1.korva"));

  const auto calls = ui.Calls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].text, "Project saved!");
  EXPECT_EQ(calls[1].what, RecordedCall::What::Status);
  EXPECT_EQ(calls[1].text, "Project Saved: set1.korva");
  EXPECT_EQ(calls[1].seconds, 3);
}

TEST_F(ProjectCommandsTest, FailedWritesRaiseAndClaimNoSuccess) {
  std::filesystem::create_directory(dir / "taken.korva");
  dir.Write("plain", "a file, not a directory");
  for (const std::string& path : {dir / "taken.korva", dir / "plain/set1.korva"}) {
    ui.Clear();
    EXPECT_ANY_THROW(commands.FileSaveAs1Accept(path)) << path;
    EXPECT_TRUE(ui.Calls().empty()) << path;  // no question or status text
    // The project keeps its name: Save goes on to write where it did.
    EXPECT_EQ(ws.Proj.ProjectFileName, "");
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir / "taken.korva"));
  EXPECT_TRUE(std::filesystem::is_empty(dir / "taken.korva"));

  // Save to that name fails the same way.
  ws.Proj.ProjectFileName = dir / "taken.korva";
  ui.Clear();
  EXPECT_ANY_THROW(commands.FileSave1Execute());
  EXPECT_TRUE(ui.Calls().empty());
  // Nothing half-written is left beside the targets.
  std::vector<std::string> left;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"plain", "taken.korva"}));
}

TEST_F(ProjectCommandsTest, ChoosingARomSetsIndexAndSanitisedTitle) {
  const int longName = test::AddRom(ws, "The Legend of Something Long (USA) [!].nes", 1, 16384, 8192);
  const int parenFirst = test::AddRom(ws, "(Hack) Rocket.nes", 2, 16384, 8192);
  const int punctuated = test::AddRom(ws, "Duck, Hunt; @Home.nes", 3, 16384, 8192);
  const int accented = test::AddRom(ws, "Éclair Ærø.nes", 4, 16384, 8192);

  ws.Proj.slot(7) = Slot{-1, "TYPED BY HAND", 3};
  ChooseSlotROM(ws.Proj, ws.Library, 7, longName);
  EXPECT_EQ(ws.Proj.slot(7).ROMIndex, longName);
  EXPECT_EQ(ws.Proj.slot(7).Title, "THE LEGEND OF SOMET");
  EXPECT_EQ(ws.Proj.slot(7).Title.size(), kTitleMaxLength);
  EXPECT_EQ(ws.Proj.slot(7).Icon, 3);  // the icon is not the ROM's
  EXPECT_TRUE(ws.Proj.ProjectModified);

  ChooseSlotROM(ws.Proj, ws.Library, 1, parenFirst);
  EXPECT_EQ(ws.Proj.slot(1).Title, "");
  ChooseSlotROM(ws.Proj, ws.Library, 16, punctuated);
  EXPECT_EQ(ws.Proj.slot(16).ROMIndex, punctuated);
  EXPECT_EQ(ws.Proj.slot(16).Title, "DUCK HUNT HOME");
  ChooseSlotROM(ws.Proj, ws.Library, 3, accented);
  EXPECT_EQ(ws.Proj.slot(3).Title, "ECLAIR AERO");
  // Only the chosen slot changes.
  EXPECT_EQ(ws.Proj.slot(2).ROMIndex, -1);
  EXPECT_EQ(ws.Proj.slot(2).Title, "");
}

TEST_F(ProjectCommandsTest, ChoosingNoRomClearsTheIndexAndKeepsTheTitle) {
  for (const int index : {-1, 2, 1000}) {
    ws.Proj.slot(4) = Slot{1, "KEEP ME", 1};
    ws.Proj.ProjectModified = false;
    ChooseSlotROM(ws.Proj, ws.Library, 4, index);
    EXPECT_EQ(ws.Proj.slot(4).ROMIndex, -1) << index;
    EXPECT_EQ(ws.Proj.slot(4).Title, "KEEP ME") << index;
    EXPECT_EQ(ws.Proj.slot(4).Icon, 1) << index;
    EXPECT_TRUE(ws.Proj.ProjectModified) << index;
  }
}

// A ROM named by a script: exact name, CRC-32, unique prefix; else the candidates.
TEST_F(ProjectCommandsTest, MatchRomNameExactThenCrcThenAUniquePrefix) {
  RomLibrary& library = ws.Library;
  library = {};
  const int rocket = test::AddRom(ws, "Rocket.nes", 0x0000BEEF, 16384, 8192);
  const int rocketRally = test::AddRom(ws, "Rocket Rally.nes", 0x72522F6D, 16384, 8192);
  const int mole = test::AddRom(ws, "Mole Patrol.nes", 0x11111111, 16384, 8192);
  const int moleCopy = test::AddRom(ws, "mole patrol.zip", 0x11111111, 16384, 8192);  // the same game
  const int twinA = test::AddRom(ws, "Twin.nes", 0x22222222, 16384, 8192);
  const int twinB = test::AddRom(ws, "Twin.zip", 0x33333333, 16384, 8192);
  const int hexName = test::AddRom(ws, "72522F6D.nes", 0x44444444, 16384, 8192);
  const struct {
    const char* name;
    int index;
    std::vector<int> candidates;
    bool ambiguous;
  } cases[] = {
      {"Rocket", rocket, {}, false},                 // exact, though a prefix of another
      {"rocket r", rocketRally, {}, false},          // the one case-blind prefix
      {"ROCKET RALLY", rocketRally, {}, false},
      {"72522F6D", hexName, {}, false},              // a display name comes before a CRC-32
      {"0000beef", rocket, {}, false},               // CRC-32, either case
      {"mole", mole, {}, false},                     // two names, one game: the first
      {"Twin", -1, {twinA, twinB}, true},            // equal names of two games
      {"roc", -1, {rocket, rocketRally}, true},
      {"rally", -1, {rocketRally}, false},           // no prefix: the names that contain it
      {"Zapper", -1, {}, false},
      {"0BADF00D", -1, {}, false},                   // a CRC-32 no ROM has
  };
  for (const auto& c : cases) {
    const ROMMatch match = MatchROMName(library, c.name);
    EXPECT_EQ(match.Index, c.index) << c.name;
    EXPECT_EQ(match.Candidates, c.candidates) << c.name;
    EXPECT_EQ(match.Ambiguous, c.ambiguous) << c.name;
  }
  (void)moleCopy;
}

// The one ranking of ROM names, shared by the window's ROM box and korva slot.
TEST(RomNameRanking, EqualThenStartThenInsideWhateverTheCase) {
  const struct {
    const char* name;
    const char* text;
    RomNameRank rank;
  } cases[] = {
      {"Rocket Rally", "rocket rally", RomNameRank::kEqual},
      {"Rocket Rally", "ROCKET", RomNameRank::kStart},
      {"Rocket Rally", "t ra", RomNameRank::kInside},
      {"Rocket Rally", "Rocket Rally 2", RomNameRank::kNone},
      {"Rocket", "", RomNameRank::kStart},
      {"", "", RomNameRank::kEqual},
      {"\xC3\x89" "clair \xC5\xBD", "\xC3\xA9" "CLAIR \xC5\xBE", RomNameRank::kEqual},  // accented capitals
      {"Stra\xC3\x9F" "e", "STRASSE", RomNameRank::kNone},  // no letter becomes two
      {"Caf\xC3\xA9", "cafe", RomNameRank::kNone},  // accents count
      {"a\xFF", "A\xFE", RomNameRank::kNone},  // bytes that are not UTF-8
      {"a\xFF", "A\xFF", RomNameRank::kEqual},
  };
  for (const auto& c : cases) EXPECT_EQ(RankRomName(c.name, c.text), c.rank) << c.name << " / " << c.text;
}

TEST_F(ProjectCommandsTest, SlotRomInfoShowsTheChosenRomsSizes) {
  const int odd = test::AddRom(ws, "Odd.nes", 5, 16384 + 1023, 24576 + 1);
  ws.Proj.slot(1).ROMIndex = 0;
  ws.Proj.slot(2).ROMIndex = 1;
  ws.Proj.slot(3).ROMIndex = odd;
  ws.Proj.slot(5).ROMIndex = 99;  // an index the library no longer holds
  const char* const shown[] = {"(PRG 32kb / CHR 8kb)", "(PRG 16kb / CHR 8kb)", "(PRG 16kb / CHR 24kb)", "", ""};
  for (int n = 1; n <= 5; ++n) EXPECT_EQ(SlotROMInfo(ws.Proj, ws.Library, n), shown[n - 1]) << n;
}

// A new ROM library keeps each slot's ROM by CRC: found again, or missing
// until a library that holds it comes; the project's file text stays.
TEST_F(ProjectCommandsTest, ANewLibraryKeepsEverySlotsRomByCrc) {
  ws.Proj.slot(1) = Slot{0, "ROCKET", 1};               // 0BADF00D: in the new library, at another index
  ws.Proj.slot(2) = Slot{1, "SURF", 2};                 // 00C0FFEE: not in it
  ws.Proj.slot(3) = Slot{-1, "LOST", 3, 0x12345678};    // missing, and found there
  ws.Proj.slot(4) = Slot{-1, "TYPED", 0};               // empty, with a title
  const std::string text = ProjectFileText(ws);
  Workspace next;
  test::AddRom(next, "Other.nes", 0x12345678, 16384, 8192);
  test::AddRom(next, "Rocket Rally (USA).nes", 0x0BADF00D, 32768, 8192);
  EXPECT_EQ(ReplaceLibrary(ws, next.Library), 1);
  const std::vector<std::pair<int, std::uint32_t>> slots = {{1, 0}, {-1, 0x00C0FFEE}, {0, 0}, {-1, 0}};
  for (int n = 1; n <= 4; ++n) {
    EXPECT_EQ(ws.Proj.slot(n).ROMIndex, slots[n - 1].first) << n;
    EXPECT_EQ(ws.Proj.slot(n).MissingCRC, slots[n - 1].second) << n;
  }
  EXPECT_EQ(ProjectFileText(ws), text);
  EXPECT_EQ(ws.Library.ROMNames, (std::vector<std::string>{"Other", "Rocket Rally (USA)"}));
}

}  // namespace
}  // namespace korva
