#pragma once
// The menu preview: the first settled frame of the cartridge's menu screen,
// drawn from the bytes of the images (the menu PRG at CPU $C000-$FFFF and the
// menu CHR that the board shows at power-on), with the cursor on slot 1.
//
// The picture follows the menu program's layout table (docs/menu.md): the
// table at $F000 says which palettes, attribute table, PPU settings and
// character map the menu uses, what its draw list puts where and how a slot
// line is made; the menu program draws from the same table. A menu without
// that table (a menurom.bin written for another board) has no layout we
// know, and nothing is drawn.
#include "builder/ImageBuilder.h"
#include "project/Model.h"
#include "romlib/RomDatabase.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva {

constexpr int kScreenWidth = 256;
constexpr int kScreenHeight = 240;
constexpr std::uint16_t kMenuLayoutAddress = 0xF000;

// The 64 colours of the NES palette as 0xRRGGBB: the palette of the emulator
// the tests run the cartridge on (jsnes 3.0.0, its NTSC table).
extern const std::array<std::uint32_t, 64> kNesPalette;

// One frame: kScreenWidth x kScreenHeight pixels, three bytes (red, green,
// blue) each, row after row from the top.
struct MenuFrame {
  std::vector<std::uint8_t> Rgb;
};

// Draws the frame from the 16 KB menu PRG (CPU $C000-$FFFF) and the 8 KB
// menu CHR into `out`. Returns an empty text when it was drawn, else why not
// (no layout table we know, a table entry pointing outside the menu PRG, a
// draw list item we do not know, PPU settings the frame cannot show: sprites
// or colour emphasis); `out` is then left as it was. Reads only inside the
// two spans.
std::string RenderMenuScreen(std::span<const std::uint8_t> menuPrg, std::span<const std::uint8_t> menuChr,
                             MenuFrame& out);

// The same from the whole PRG and CHR images (512 KB each, as the export
// writes them): the menu PRG at image offset 0x4000, the menu CHR at 0.
std::string RenderMenuScreen(const CartridgeImages& images, MenuFrame& out);

// The menu of the project's cartridge as it stands, for a window that shows
// it while the project is edited: the menu PRG patched as the image builder
// patches it, placed from the ROMs that are chosen (a slot without a ROM
// keeps its title and icon), and the template's menu CHR. Reads no ROM file.
// Returns an empty text when drawn, else why not (an unusable template, or
// see RenderMenuScreen).
std::string PreviewMenu(const Project& project, const RomLibrary& library, const Templates& templates,
                        MenuFrame& out);

}  // namespace korva
