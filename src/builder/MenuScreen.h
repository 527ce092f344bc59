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

// The 64 colours of the PlayChoice-10's RGB PPU (the 2C03) as 0xRRGGBB
// (docs/menu.md says where they come from).
extern const std::array<std::uint32_t, 64> kRgbPalette;

// The colours a frame is drawn in: the arcade's RGB PPU ("PlayChoice-10
// (RGB)"), or a NES on a television as the emulator shows it ("NES (NTSC)").
enum class ScreenPalette { Rgb, Ntsc };

// The palette's name as the window and the messages show it.
const char* ScreenPaletteName(ScreenPalette palette);

// One frame: kScreenWidth x kScreenHeight pixels, three bytes (red, green,
// blue) each, row after row from the top.
struct MenuFrame {
  std::vector<std::uint8_t> Rgb;
  // What the arcade shows otherwise than a NES does, one sentence each,
  // whichever palette the frame is drawn in: a palette entry the menu shows
  // whose colour the RGB PPU does not have (named by its address, $3F00 to
  // $3F0F), and colour emphasis. Empty for our own menu.
  std::vector<std::string> ArcadeNotes;
};

// Draws the frame from the 16 KB menu PRG (CPU $C000-$FFFF) and the 8 KB
// menu CHR into `out`, in `palette`'s colours (colour emphasis as that PPU
// makes it). Returns an empty text when it was drawn, else why not (no layout
// table we know, a table entry pointing outside the menu PRG, a draw list
// item we do not know, sprites, which the frame does not draw); `out` is then
// left as it was. Reads only inside the two spans.
std::string RenderMenuScreen(std::span<const std::uint8_t> menuPrg, std::span<const std::uint8_t> menuChr,
                             MenuFrame& out, ScreenPalette palette = ScreenPalette::Rgb);

// The same from the whole PRG and CHR images (512 KB each, as the export
// writes them): the menu PRG at image offset 0x4000, the menu CHR at 0.
std::string RenderMenuScreen(const CartridgeImages& images, MenuFrame& out,
                             ScreenPalette palette = ScreenPalette::Rgb);

// The menu of the project's cartridge as it stands, for a window that shows
// it while the project is edited: the menu PRG patched as the image builder
// patches it, placed from the ROMs that are chosen (a slot without a ROM
// keeps its title and icon), and the template's menu CHR. Reads no ROM file.
// Returns an empty text when drawn, else why not (an unusable template, or
// see RenderMenuScreen).
std::string PreviewMenu(const Project& project, const RomLibrary& library, const Templates& templates,
                        MenuFrame& out, ScreenPalette palette = ScreenPalette::Rgb);

}  // namespace korva
