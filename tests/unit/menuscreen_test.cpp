// The menu preview: the window's preview (no ROM read) is the frame of the
// built images, each project field moves only its own cells, a menu PRG
// whose layout table is missing or damaged is refused with the reason, the
// arcade's colours are the NTSC frame mapped through the documented 2C03
// table, and what the arcade shows otherwise is said.
#include "builder/MenuScreen.h"

#include "BuildFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <sstream>
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
      const test::Bytes image = test::FilledINesImage(1, 1, 0, n % 2 == 0, 0x10, 0x20);
      dir.Write(name, image);
      ws.Proj.slot(n).ROMIndex = test::AddRom(ws, name, test::DataCrc(image), 16384, 8192);
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
  const ImageAssembly assembly = AssembleImages(c.ws.Proj, c.ws.Library, c.templates);
  ASSERT_TRUE(assembly.Built()) << assembly.Refusal;
  CartridgeImages images = assembly.Images;
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
  const ImageAssembly assembly = AssembleImages(c.ws.Proj, c.ws.Library, c.templates);
  ASSERT_TRUE(assembly.Built()) << assembly.Refusal;
  CartridgeImages images = assembly.Images;
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
      {"sprites and emphasis", [&](auto& prg) { prg[layout + 14] |= 0xF0; }, "sprites"},
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

namespace korva {
namespace {

// The 2C03's colours as the NESdev wiki's "PPU palettes" page prints them
// (section "2C03 and 2C05"): red, green and blue levels 0 to 7, each 255 * L / 7.
constexpr const char* kWiki2C03 =
    "333,014,006,326,403,503,510,420,320,120,031,040,022,000,000,000,"
    "555,036,027,407,507,704,700,630,430,140,040,053,044,000,000,000,"
    "777,357,447,637,707,737,740,750,660,360,070,276,077,000,000,000,"
    "777,567,657,757,747,755,764,772,773,572,473,276,467,000,000,000";

std::vector<std::uint32_t> WikiColours() {
  std::vector<std::uint32_t> colours;
  std::istringstream in(kWiki2C03);
  for (std::string levels; std::getline(in, levels, ',');) {
    std::uint32_t c = 0;
    for (const char l : levels) c = (c << 8) | static_cast<std::uint32_t>(std::lround(255.0 * (l - '0') / 7));
    colours.push_back(c);
  }
  return colours;
}

std::uint32_t Pixel(const MenuFrame& f, std::size_t i) {
  return (std::uint32_t{f.Rgb[3 * i]} << 16) | (std::uint32_t{f.Rgb[3 * i + 1]} << 8) | f.Rgb[3 * i + 2];
}

// The built images of the test cartridge and where their menu's layout fields
// lie in the PRG image.
struct BuiltMenu {
  CartridgeImages images;
  std::size_t layout = kMenuPrgImageOffset + (kMenuLayoutAddress - kMenuPrgBase);
  BuiltMenu() {
    Cartridge c;
    ImageAssembly built = AssembleImages(c.ws.Proj, c.ws.Library, c.templates);
    EXPECT_TRUE(built.Built()) << built.Refusal;
    images = std::move(built.Images);
  }
  std::uint8_t& Mask() { return images.Prg[layout + 14]; }
  void SetBackdrop(std::uint8_t colour) { PaletteByte(0) = PaletteByte(16) = colour; }
  std::uint8_t& PaletteByte(unsigned entry) {
    const unsigned at = images.Prg[layout + 16] | (images.Prg[layout + 17] << 8);
    return images.Prg[kMenuPrgImageOffset + (at - kMenuPrgBase) + entry];
  }
  MenuFrame Render(ScreenPalette palette) {
    MenuFrame frame;
    EXPECT_EQ(RenderMenuScreen(images, frame, palette), "");
    return frame;
  }
};

// Sweep s puts colour s + i into palette byte i, so every entry holds every
// colour once and every colour is the backdrop once (byte 16, $3F10, is
// written last to the backdrop's cell). Each pixel of the
// RGB frame is then the documented colour of the entry whose NTSC colour the
// NTSC frame has there (the NTSC table repeats only black, which the 2C03
// also draws black).
TEST(MenuPalette, TheRgbFrameIsTheNtscFrameMappedThroughTheTwoTables) {
  const std::vector<std::uint32_t> wiki = WikiColours();
  ASSERT_EQ(wiki.size(), 64u);
  std::map<std::uint32_t, std::uint32_t> ntscToRgb;
  for (unsigned c = 0; c < 64; ++c) {
    const auto [at, added] = ntscToRgb.emplace(kNesPalette[c], wiki[c]);
    ASSERT_EQ(at->second, wiki[c]) << "NTSC colour " << c << " repeats one the 2C03 draws otherwise";
  }
  BuiltMenu menu;
  std::set<std::uint32_t> backdrops;
  for (unsigned sweep = 0; sweep < 64; ++sweep) {
    for (unsigned i = 0; i < 32; ++i) menu.PaletteByte(i) = static_cast<std::uint8_t>((sweep + i) % 64);
    const MenuFrame ntsc = menu.Render(ScreenPalette::Ntsc), rgb = menu.Render(ScreenPalette::Rgb);
    ASSERT_EQ(rgb.Rgb.size(), ntsc.Rgb.size());
    for (std::size_t i = 0; i < rgb.Rgb.size() / 3; ++i)
      ASSERT_EQ(Pixel(rgb, i), ntscToRgb.at(Pixel(ntsc, i))) << "sweep " << sweep << ", pixel " << i;
    backdrops.insert(Pixel(rgb, 0));  // the top left corner is backdrop
    EXPECT_EQ(Pixel(rgb, 0), wiki[(sweep + 16) % 64]);
  }
  EXPECT_EQ(backdrops.size(), std::set<std::uint32_t>(wiki.begin(), wiki.end()).size());
}

// Colour emphasis as each PPU makes it, on a backdrop of colour $00 (NTSC
// 0x525252, RGB 0x6D6D6D): the RGB PPU turns the emphasised channels fully
// on, the emulator's NTSC PPU darkens the others to three quarters unless
// greyscale is on.
TEST(MenuPalette, ColourEmphasisAsEachPpuMakesIt) {
  const struct {
    std::uint8_t mask;
    std::uint32_t rgb, ntsc;
  } cases[] = {
      {0x0A, 0x6D6D6D, 0x525252}, {0x2A, 0xFF6D6D, 0x523D3D}, {0x4A, 0x6DFF6D, 0x3D523D},
      {0x8A, 0x6D6DFF, 0x3D3D52}, {0xCA, 0x6DFFFF, 0x3D3D3D}, {0xEB, 0xFFFFFF, 0x525252},
  };
  for (const auto& k : cases) {
    BuiltMenu menu;
    menu.SetBackdrop(0x00);
    menu.Mask() = k.mask;
    EXPECT_EQ(Pixel(menu.Render(ScreenPalette::Rgb), 0), k.rgb) << std::hex << int{k.mask};
    EXPECT_EQ(Pixel(menu.Render(ScreenPalette::Ntsc), 0), k.ntsc) << std::hex << int{k.mask};
  }
}

// Our menu draws nothing the arcade shows otherwise; a colour the RGB PPU
// lacks ($2D, $3D) in an entry the frame shows is named by its entry, and
// emphasis is said, in either palette.
TEST(MenuPalette, SaysWhatTheArcadeShowsOtherwise) {
  const struct {
    const char* what;
    std::function<void(BuiltMenu&)> change;
    std::vector<std::string> notes;  // a piece of each
  } cases[] = {
      {"our menu", [](BuiltMenu&) {}, {}},
      {"$2D in palette 3, colour 2", [](BuiltMenu& m) { m.PaletteByte(14) = 0x2D; }, {"$3F0E (background palette 3, colour 2) is colour $2D"}},
      {"$3D as the backdrop", [](BuiltMenu& m) { m.SetBackdrop(0x3D); }, {"$3F00 (the backdrop) is colour $3D"}},
      {"$2D where the backdrop shows", [](BuiltMenu& m) { m.PaletteByte(4) = 0x2D; }, {}},
      {"$2D in a sprite palette", [](BuiltMenu& m) { m.PaletteByte(17) = 0x2D; }, {}},
      {"$2D made white by greyscale", [](BuiltMenu& m) { m.PaletteByte(1) = 0x2D, m.Mask() |= 1; }, {}},
      {"$0D, black on both", [](BuiltMenu& m) { m.PaletteByte(1) = 0x0D; }, {}},
      {"emphasis", [](BuiltMenu& m) { m.Mask() |= 0xA0; }, {"colour emphasis (PPUMASK $AA: red and blue)"}},
      {"both", [](BuiltMenu& m) { m.PaletteByte(5) = 0x3D, m.Mask() |= 0x40; },
       {"$3F05 (background palette 1, colour 1) is colour $3D", "PPUMASK $4A: green"}},
  };
  for (const auto& k : cases) {
    BuiltMenu menu;
    k.change(menu);
    for (ScreenPalette palette : {ScreenPalette::Rgb, ScreenPalette::Ntsc}) {
      const MenuFrame frame = menu.Render(palette);
      ASSERT_EQ(frame.ArcadeNotes.size(), k.notes.size()) << k.what;
      for (std::size_t i = 0; i < k.notes.size(); ++i)
        EXPECT_NE(frame.ArcadeNotes[i].find(k.notes[i]), std::string::npos) << k.what << ": " << frame.ArcadeNotes[i];
    }
  }
}

}  // namespace
}  // namespace korva
