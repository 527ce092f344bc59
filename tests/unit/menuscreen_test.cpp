// The menu preview: the window's preview (no ROM read) is the frame of the
// built images, each project field moves only its own cells, and a menu PRG
// whose layout table is missing or damaged is refused with the reason.
#include "builder/MenuScreen.h"

#include "BuildFixtures.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

namespace korva {
namespace {

using test::RecordingUI;
using test::TempDir;
using Cells = std::set<std::pair<int, int>>;

// The 8x8 cells (row, column) in which two frames differ.
Cells DifferentCells(const MenuFrame& a, const MenuFrame& b) {
  Cells cells;
  for (std::size_t i = 0; i < a.Rgb.size(); ++i)
    if (a.Rgb[i] != b.Rgb[i]) cells.insert({static_cast<int>(i / 3 / kScreenWidth / 8), static_cast<int>(i / 3 % kScreenWidth / 8)});
  return cells;
}

// Sixteen half-bank games in a scratch directory, one to a slot.
struct Cartridge {
  TempDir dir;
  Workspace ws;
  Templates templates = LoadTemplates();
  Cartridge() {
    ws.Library.ROMPath = dir.path();
    for (int n = 1; n <= SlotCount; ++n) {
      const std::string name = "game" + std::to_string(n) + ".nes";
      dir.Write(name, test::FilledINesImage(1, 1, 0, n % 2 == 0, 0x10, 0x20));
      ws.Proj.slot(n).ROMIndex = test::AddRom(ws, name, 0x1000u + n, 16384, 8192);
      ws.Proj.slot(n).Title = "GAME " + std::to_string(n);
      ws.Proj.slot(n).Icon = n % 4;
    }
    ws.Proj.Cartridge.InstLine1 = "LINE ONE";
  }
  MenuFrame Preview() const {
    MenuFrame frame;
    EXPECT_EQ(PreviewMenu(ws.Proj, ws.Library, templates, frame), "");
    return frame;
  }
};

TEST(MenuPreview, IsTheFrameOfTheBuiltImagesWithOrWithoutTheRoms) {
  Cartridge c;
  RecordingUI ui;
  CartridgeImages images;
  ASSERT_TRUE(AssembleImages(c.ws.Proj, c.ws.Library, c.templates, ui, images));
  MenuFrame built;
  ASSERT_EQ(RenderMenuScreen(images, built), "");
  ASSERT_EQ(built.Rgb.size(), 256u * 240u * 3u);
  EXPECT_EQ(DifferentCells(built, c.Preview()), Cells{});
  // The ROMs decide where games go, not what the menu shows.
  for (int n = 1; n <= SlotCount; ++n) c.ws.Proj.slot(n).ROMIndex = -1;
  EXPECT_EQ(DifferentCells(built, c.Preview()), Cells{});
}

TEST(MenuPreview, EachFieldChangesOnlyItsOwnCells) {
  const struct {
    const char* what;
    void (*edit)(Project&);
    Cells cells;
  } cases[] = {
      {"title of slot 3", [](Project& p) { p.slot(3).Title = "HAME 3"; }, {{9, 6}}},
      {"icon of slot 1", [](Project& p) { p.slot(1).Icon = 0; }, {{7, 26}, {7, 27}}},
      {"instruction line 2", [](Project& p) { p.Cartridge.InstLine2 = "X"; }, {{3, 4}}},
      {"lower case shown as upper", [](Project& p) { p.slot(16).Title = "game 16"; }, {}},
  };
  for (const auto& k : cases) {
    Cartridge c;
    const MenuFrame before = c.Preview();
    k.edit(c.ws.Proj);
    EXPECT_EQ(DifferentCells(before, c.Preview()), k.cells) << k.what;
  }
}

TEST(MenuPreview, RefusesAMenuWithoutAUsableLayout) {
  Cartridge c;
  RecordingUI ui;
  CartridgeImages images;
  ASSERT_TRUE(AssembleImages(c.ws.Proj, c.ws.Library, c.templates, ui, images));
  const std::size_t layout = kMenuPrgImageOffset + (kMenuLayoutAddress - kMenuPrgBase);
  const auto word = [](std::vector<std::uint8_t>& prg, std::size_t at, unsigned v) {
    prg[at] = v & 0xFF, prg[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  const unsigned items = images.Prg[layout + 35] | (images.Prg[layout + 36] << 8);
  const std::size_t item = kMenuPrgImageOffset + (items - kMenuPrgBase);
  const struct {
    const char* what;
    std::function<void(std::vector<std::uint8_t>&)> damage;
    const char* says;
  } cases[] = {
      {"no mark", [&](auto& prg) { prg[layout] = 'X'; }, "no layout we know"},
      {"another version", [&](auto& prg) { prg[layout + 12] = 2; }, "no layout we know"},
      {"palettes outside", [&](auto& prg) { word(prg, layout + 16, 0x8000); }, "palettes at 0x8000 does not lie inside"},
      {"title pointer table at the end", [&](auto& prg) { word(prg, layout + 24, 0xFFFF); }, "title pointer table at 0x0000"},
      {"unknown item", [&](auto& prg) { prg[item] = 7; }, "item of kind 7"},
      {"text off the end", [&](auto& prg) { word(prg, item + 13, 0xFFFE), prg[0x7FFE] = prg[0x7FFF] = 'A'; },
       "text at 0x0000"},
      {"sprites", [&](auto& prg) { prg[layout + 14] |= 0x10; }, "sprites"},
  };
  for (const auto& k : cases) {
    CartridgeImages damaged = images;
    k.damage(damaged.Prg);
    MenuFrame frame;
    const std::string why = RenderMenuScreen(damaged, frame);
    EXPECT_NE(why.find(k.says), std::string::npos) << k.what << ": " << why;
    EXPECT_TRUE(frame.Rgb.empty()) << k.what;
  }
}

}  // namespace
}  // namespace korva
