// Randomize: the question, the fill of all sixteen slots and what it leaves alone.
#include "project/RandomFill.h"

#include "BuildFixtures.h"
#include "RecordingUI.h"
#include "builder/ImageBuilder.h"
#include "project/ProjectCommands.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

namespace korva {
namespace {

using test::RecordedCall;
using test::RecordingUI;

constexpr const char* kQuestion =
    "Randomize ROMs will choose a random ROM for every slot. The current project has been modified; press OK to "
    "proceed.";

std::vector<int> RomIndices(const Project& p) {
  std::vector<int> out;
  for (const Slot& s : p.Slots) out.push_back(s.ROMIndex);
  return out;
}

class RandomFillTest : public ::testing::Test {
 protected:
  void SetUp() override {
    NewProject(ws.Proj, ui);
    ui.Clear();
  }
  void AddRoms(int count) {
    static const char* const names[] = {"Rocket Rally (USA).nes", "Sky Surfer.zip", "Robo Rescue Squad 2.nes",
                                        "Tank Tracks (Europe).nes", "Pipe Dream Deluxe Edition Plus.nes"};
    for (int i = 0; i < count; ++i)
      test::AddRom(ws, names[i % 5], 0x1000u + static_cast<unsigned>(i), i % 2 ? 16384 : 32768, 8192);
  }
  // A project that a fill must partly keep: cartridge texts, a file name, icons.
  void Customise() {
    ws.Proj.Cartridge = CartridgeSettings{"MY CART", "LINE ONE", "LINE TWO", 2};
    ws.Proj.ProjectFileName = "/games/set1.korva";
    for (int n = 1; n <= SlotCount; ++n) ws.Proj.slot(n) = Slot{-1, "HAND " + std::to_string(n), 3};
  }
  std::vector<RecordedCall> Centered() const {
    std::vector<RecordedCall> out;
    for (const auto& c : ui.Calls())
      if (c.what == RecordedCall::What::Centered) out.push_back(c);
    return out;
  }

  Workspace ws;
  RecordingUI ui;
};

TEST_F(RandomFillTest, WithoutRomsNothingChangesAndTheStatusTextSaysWhy) {
  Customise();
  for (const bool modified : {false, true}) {
    ws.Proj.ProjectModified = modified;
    ui.Clear();
    EXPECT_EQ(RandomFill(ws, ui, 7), RandomFillResult::NoROMs);
    for (int n = 1; n <= SlotCount; ++n) {
      EXPECT_EQ(ws.Proj.slot(n).ROMIndex, -1);
      EXPECT_EQ(ws.Proj.slot(n).Title, "HAND " + std::to_string(n));
      EXPECT_EQ(ws.Proj.slot(n).Icon, 3);
    }
    EXPECT_EQ(ws.Proj.ProjectModified, modified);
    EXPECT_TRUE(Centered().empty());  // nothing to ask about
    ASSERT_EQ(ui.StatusTexts().size(), 1u);
    EXPECT_NE(ui.StatusTexts()[0].find("No ROMs"), std::string::npos) << ui.StatusTexts()[0];
  }
}

TEST_F(RandomFillTest, AsksOnlyWhileTheProjectIsModified) {
  AddRoms(3);
  EXPECT_EQ(RandomFill(ws, ui, 1), RandomFillResult::Filled);
  EXPECT_TRUE(Centered().empty());
  // A completed fill leaves the project unmodified, so a second press asks nothing.
  EXPECT_EQ(RandomFill(ws, ui, 2), RandomFillResult::Filled);
  EXPECT_TRUE(Centered().empty());

  ws.Proj.ProjectModified = true;
  ui.QueueAnswer(MsgButton::OK);
  EXPECT_EQ(RandomFill(ws, ui, 3), RandomFillResult::Filled);
  const auto asked = Centered();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text, kQuestion);
  EXPECT_EQ(asked[0].kind, MsgKind::Information);
  EXPECT_EQ(asked[0].buttons, MsgButton::OK | MsgButton::Cancel);
}

TEST_F(RandomFillTest, CancelChangesNothing) {
  AddRoms(3);
  Customise();
  ws.Proj.slot(2).ROMIndex = 1;
  ws.Proj.ProjectModified = true;
  const Project before = ws.Proj;
  int chosen = 0;
  ui.QueueAnswer(MsgButton::Cancel);
  EXPECT_EQ(RandomFill(ws, ui, 5, [&](int, int) { ++chosen; }), RandomFillResult::Cancelled);
  EXPECT_EQ(chosen, 0);
  EXPECT_EQ(RomIndices(ws.Proj), RomIndices(before));
  for (int n = 1; n <= SlotCount; ++n) {
    EXPECT_EQ(ws.Proj.slot(n).Title, before.slot(n).Title);
    EXPECT_EQ(ws.Proj.slot(n).Icon, 3);
  }
  EXPECT_TRUE(ws.Proj.ProjectModified);
  EXPECT_EQ(ui.Calls().size(), 1u);  // the question and nothing else
}

TEST_F(RandomFillTest, AFillGivesEverySlotARomNoIconAndItsTitle) {
  AddRoms(5);
  Customise();
  ws.Proj.ProjectModified = false;
  EXPECT_EQ(RandomFill(ws, ui, 42), RandomFillResult::Filled);
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = ws.Proj.slot(n);
    ASSERT_GE(slot.ROMIndex, 0) << n;
    ASSERT_LT(slot.ROMIndex, 5) << n;
    EXPECT_EQ(slot.Icon, 0) << n;
    EXPECT_EQ(slot.Title, SanitizeTitle(ws.Library.ROMNames[static_cast<std::size_t>(slot.ROMIndex)], 19)) << n;
  }
  EXPECT_FALSE(ws.Proj.ProjectModified);
  EXPECT_EQ(ws.Proj.Cartridge.CartTitle, "MY CART");
  EXPECT_EQ(ws.Proj.Cartridge.InstLine1, "LINE ONE");
  EXPECT_EQ(ws.Proj.Cartridge.InstLine2, "LINE TWO");
  EXPECT_EQ(ws.Proj.Cartridge.Icons, 2);
  EXPECT_EQ(ws.Proj.ProjectFileName, "/games/set1.korva");
  EXPECT_TRUE(ui.Calls().empty());
}

TEST_F(RandomFillTest, AOneRomListPutsThatRomInEverySlot) {
  test::AddRom(ws, "Rocket Rally (USA).nes", 0x1000u, 16384, 8192);
  EXPECT_EQ(RandomFill(ws, ui), RandomFillResult::Filled);
  EXPECT_EQ(RomIndices(ws.Proj), std::vector<int>(SlotCount, 0));
  for (const Slot& s : ws.Proj.Slots) EXPECT_EQ(s.Title, "ROCKET RALLY");
}

// Every fill can be built: a half-bank game in it, every game one the
// cartridge takes, all within the images, however rare the half-bank games.
TEST_F(RandomFillTest, EveryFillIsALayoutTheBuildAccepts) {
  const struct {
    const char* what;
    int bigGames;
    int halfBankGames;
    bool unusable;  // a game with 4 KB of CHR in the list, which no fill may take
  } lists[] = {{"half of them half-bank", 4, 4, false},
               {"one half-bank game in 2000", 1999, 1, false},
               {"an unusable game beside them", 3, 1, true}};
  for (const auto& list : lists) {
    ws.Library = {};
    for (int i = 0; i < list.bigGames; ++i)
      test::AddRom(ws, "Big " + std::to_string(i) + ".nes", 0x100000u + static_cast<unsigned>(i), 32768, 32768);
    for (int i = 0; i < list.halfBankGames; ++i)
      test::AddRom(ws, "Half " + std::to_string(i) + ".nes", 0x200000u + static_cast<unsigned>(i), 16384, 8192);
    if (list.unusable) test::AddRom(ws, "Small CHR.nes", 0x300000u, 16384, 4096);
    for (std::uint64_t seed = 0; seed < 8; ++seed) {
      ASSERT_EQ(RandomFill(ws, ui, seed), RandomFillResult::Filled) << list.what;
      EXPECT_TRUE(FitGames(SlotRoms(ws.Proj, ws.Library)).Buildable()) << list.what << ", seed " << seed;
    }
  }
}

TEST_F(RandomFillTest, WithoutAHalfBankGameNothingChangesAndTheStatusTextSaysWhy) {
  for (int i = 0; i < 3; ++i) test::AddRom(ws, "Big " + std::to_string(i) + ".nes", 0x10u + i, 32768, 8192);
  test::AddRom(ws, "Mapper Four.nes", 0x300000u, 16384, 8192, 4);  // half-bank sizes, but unusable
  Customise();
  ws.Proj.ProjectModified = true;  // not even asked
  EXPECT_EQ(RandomFill(ws, ui, 3), RandomFillResult::NoHalfBankGame);
  for (int n = 1; n <= SlotCount; ++n) EXPECT_EQ(ws.Proj.slot(n).Title, "HAND " + std::to_string(n));
  EXPECT_TRUE(Centered().empty());
  ASSERT_EQ(ui.StatusTexts().size(), 1u);
  EXPECT_NE(ui.StatusTexts()[0].find("PRG 16kb and CHR 8kb"), std::string::npos) << ui.StatusTexts()[0];
}

TEST_F(RandomFillTest, TheSeedDecidesTheFillAndEveryRomCanBeDrawn) {
  AddRoms(5);
  RandomFill(ws, ui, 1234);
  const std::vector<int> first = RomIndices(ws.Proj);
  NewProject(ws.Proj, ui);
  RandomFill(ws, ui, 1234);
  EXPECT_EQ(RomIndices(ws.Proj), first);
  RandomFill(ws, ui, 4321);
  EXPECT_NE(RomIndices(ws.Proj), first);

  // Over a few fills each of the five ROMs turns up, the first and the last too.
  std::set<int> drawn;
  for (std::uint64_t seed = 0; seed < 20; ++seed) {
    RandomFill(ws, ui, seed);
    for (int i : RomIndices(ws.Proj)) drawn.insert(i);
  }
  EXPECT_EQ(drawn, (std::set<int>{0, 1, 2, 3, 4}));

  // The clock-seeded fill draws anew on every use.
  std::set<std::vector<int>> fills;
  for (int i = 0; i < 5; ++i) {
    RandomFill(ws, ui);
    fills.insert(RomIndices(ws.Proj));
  }
  EXPECT_GT(fills.size(), 1u);
}

TEST_F(RandomFillTest, TheChoiceGoesThroughTheCallbackOncePerSlotInOrder) {
  AddRoms(4);
  ws.Proj.slot(9).Icon = 2;
  std::vector<std::pair<int, int>> calls;
  EXPECT_EQ(RandomFill(ws, ui, 99,
                       [&](int n, int index) {
                         calls.emplace_back(n, index);
                         ChooseSlotROM(ws.Proj, ws.Library, n, index);
                       }),
            RandomFillResult::Filled);
  ASSERT_EQ(calls.size(), static_cast<std::size_t>(SlotCount));
  for (int n = 1; n <= SlotCount; ++n) {
    EXPECT_EQ(calls[static_cast<std::size_t>(n - 1)].first, n);
    EXPECT_EQ(calls[static_cast<std::size_t>(n - 1)].second, ws.Proj.slot(n).ROMIndex);
  }
  // The callback chose the ROMs; the icons and the flag are the fill's own.
  EXPECT_EQ(ws.Proj.slot(9).Icon, 0);
  EXPECT_FALSE(ws.Proj.ProjectModified);

  // The same seed through the model's own choice gives the same ROMs.
  const std::vector<int> viaCallback = RomIndices(ws.Proj);
  NewProject(ws.Proj, ui);
  RandomFill(ws, ui, 99);
  EXPECT_EQ(RomIndices(ws.Proj), viaCallback);
}

}  // namespace
}  // namespace korva
