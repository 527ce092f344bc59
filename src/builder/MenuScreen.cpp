#include "builder/MenuScreen.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korva {

const std::array<std::uint32_t, 64> kNesPalette = {
    0x525252, 0x0000B4, 0x0000A0, 0x3D00B1, 0x690074, 0x5B0000, 0x5F0000, 0x401800,
    0x102F00, 0x084A08, 0x006700, 0x004212, 0x00286D, 0x000000, 0x000000, 0x000000,
    0xE7D5C4, 0x0040FF, 0x220EDC, 0x6B47FF, 0x9F00D7, 0xD70A68, 0xBC1900, 0xB15400,
    0x5B6A00, 0x038C00, 0x00AB00, 0x00882C, 0x0072A4, 0x000000, 0x000000, 0x000000,
    0xF8F8F8, 0x3CABFF, 0x8179FF, 0xC55BFF, 0xF248FF, 0xFF49DF, 0xFF6D47, 0xF7B400,
    0xFFE000, 0x75E300, 0x2BF403, 0x2EB878, 0x18E2E5, 0x787878, 0x000000, 0x000000,
    0xFFFFFF, 0xBEF2FF, 0xB8B8F8, 0xD8B8F8, 0xFFB6FF, 0xFFC3FF, 0xFFD1C7, 0xFFDA9A,
    0xF8ED88, 0xDDFF83, 0xB8F8B8, 0xACF8F5, 0xB0FFFF, 0xF8D8F8, 0x000000, 0x000000,
};

namespace {

// The 2C03's colours as its DAC levels, 0 to 7 for red, green and blue, one
// octal digit each: the table of the NESdev wiki's "PPU palettes" page
// (section "2C03 and 2C05"), digit for digit. A level L gives the 8-bit value
// 255 * L / 7, rounded.
constexpr std::array<unsigned, 64> kRgbLevels = {
    0333, 0014, 0006, 0326, 0403, 0503, 0510, 0420, 0320, 0120, 0031, 0040, 0022, 0000, 0000, 0000,
    0555, 0036, 0027, 0407, 0507, 0704, 0700, 0630, 0430, 0140, 0040, 0053, 0044, 0000, 0000, 0000,
    0777, 0357, 0447, 0637, 0707, 0737, 0740, 0750, 0660, 0360, 0070, 0276, 0077, 0000, 0000, 0000,
    0777, 0567, 0657, 0757, 0747, 0755, 0764, 0772, 0773, 0572, 0473, 0276, 0467, 0000, 0000, 0000,
};

constexpr std::array<std::uint32_t, 64> RgbFromLevels() {
  std::array<std::uint32_t, 64> colours{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    std::uint32_t c = 0;
    for (unsigned shift = 6;; shift -= 3) {
      c = (c << 8) | (255 * ((kRgbLevels[i] >> shift) & 7) + 3) / 7;
      if (shift == 0) break;
    }
    colours[i] = c;
  }
  return colours;
}

}  // namespace

const std::array<std::uint32_t, 64> kRgbPalette = RgbFromLevels();

const char* ScreenPaletteName(ScreenPalette palette) {
  return palette == ScreenPalette::Rgb ? "PlayChoice-10 (RGB)" : "NES (NTSC)";
}

namespace {

// The layout table's mark and version, and its fields' offsets (menu.s).
constexpr char kMark[] = "KORVA-LAYOUT";
constexpr std::size_t kMarkLength = sizeof kMark - 1;
constexpr std::uint8_t kVersion = 1;
enum Field : unsigned {
  Ctrl = 13, Mask = 14, Fill = 15, Palettes = 16, Attributes = 18, CharMap = 20, Count = 22, Titles = 24,
  SlotTable = 26, MaxSlots = 28, TitleLength = 29, Cursor = 30, CursorBack = 31, Icon = 32, Icons = 33,
  IconShift = 34, Items = 35
};
enum Item : std::uint8_t { End = 0, Run = 1, Text = 2 };

// The PPU settings the frame shows: name table select (PPUCTRL bits 0-1),
// background pattern table (bit 4); greyscale, the leftmost column, the
// background and colour emphasis (PPUMASK bits 0, 1, 3, 5-7). Sprites are
// not drawn.
constexpr std::uint8_t kMaskSprites = 0x10;

// A colour as one PPU's colour emphasis makes it (PPUMASK bits 5, 6, 7: red,
// green, blue). The RGB PPU turns the emphasised channels fully on; the
// emulator's NTSC PPU darkens the others to three quarters, and not at all
// while greyscale is on (jsnes 3.0.0 does so).
std::uint32_t Emphasised(std::uint32_t colour, std::uint8_t mask, ScreenPalette palette) {
  const unsigned bits = (mask >> 5) & 7;
  if (bits == 0) return colour;
  if (palette == ScreenPalette::Rgb) {
    if (bits & 1) colour |= 0xFF0000;
    if (bits & 2) colour |= 0x00FF00;
    if (bits & 4) colour |= 0x0000FF;
    return colour;
  }
  if (mask & 1) return colour;
  unsigned channel[3] = {(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF};
  const bool dark[3] = {(bits & 6) != 0, (bits & 5) != 0, (bits & 3) != 0};
  for (int c = 0; c < 3; ++c)
    if (dark[c]) channel[c] = channel[c] * 3 / 4;
  return (channel[0] << 16) | (channel[1] << 8) | channel[2];
}

std::string Hex(unsigned value, int digits) {
  char text[8];
  std::snprintf(text, sizeof text, "$%0*X", digits, value);
  return text;
}

// What the arcade's RGB PPU shows otherwise than a NES, for the 32 palette
// bytes and PPUMASK the menu leaves: the background entries the frame uses
// whose colour the RGB PPU does not have (black there, not black on a NES),
// and colour emphasis.
std::vector<std::string> ArcadeNotes(const std::array<std::uint8_t, 32>& palette, std::uint8_t mask) {
  std::vector<std::string> notes;
  const std::uint8_t grey = (mask & 1) ? 0x30 : 0x3F;
  for (unsigned i = 0; i < 16; ++i) {
    if (i != 0 && (i & 3) == 0) continue;  // $3F04, $3F08, $3F0C: never drawn, the backdrop shows
    const unsigned colour = palette[i] & grey;
    if (kRgbPalette[colour] != 0 || kNesPalette[colour] == 0) continue;
    const std::string entry = i == 0 ? "the backdrop"
                                     : "background palette " + std::to_string(i / 4) + ", colour " + std::to_string(i & 3);
    notes.push_back("Palette entry " + Hex(0x3F00 + i, 4) + " (" + entry + ") is colour " + Hex(colour, 2) +
                    ", which the arcade's RGB PPU does not have: the arcade shows black there.");
  }
  if (const unsigned bits = (mask >> 5) & 7; bits != 0) {
    static const char* const kNames[8] = {"", "red", "green", "red and green", "blue", "red and blue",
                                          "green and blue", "red, green and blue"};
    notes.push_back(std::string("The menu sets colour emphasis (PPUMASK ") + Hex(mask, 2) + ": " + kNames[bits] +
                    "): the arcade's RGB PPU turns " + kNames[bits] +
                    " fully on, where a NES darkens the other colours, so the two show the menu differently.");
  }
  return notes;
}

// The menu's writes to the PPU, on the board's horizontal mirroring, and the
// frame they make. Every read of the menu PRG is checked: the first one
// outside it (or any other fault) is kept as `error` and later reads give 0.
class MenuPpu {
 public:
  MenuPpu(std::span<const std::uint8_t> prg, std::span<const std::uint8_t> chr) : prg_(prg), chr_(chr) {}

  std::string error;

  // As the 6502 reads: an address past $FFFF wraps to $0000.
  std::uint8_t Byte(unsigned address, const char* what) {
    address &= 0xFFFF;
    if (address < kMenuPrgBase || address - kMenuPrgBase >= prg_.size()) {
      if (error.empty()) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "The menu layout's %s at 0x%04X does not lie inside the menu program (0xC000 to 0xFFFF).", what,
                      address);
        error = text;
      }
      return 0;
    }
    return prg_[address - kMenuPrgBase];
  }
  unsigned Word(unsigned address, const char* what) {
    return Byte(address, what) | (Byte(address + 1, what) << 8);
  }

  void SetAddress(unsigned address) { v_ = address & 0x3FFF; }
  void Write(std::uint8_t value) {
    if (v_ >= 0x3F00) {
      unsigned i = v_ & 0x1F;
      if ((i & 3) == 0) i &= 0x0F;  // $3F10, $3F14, $3F18, $3F1C are $3F00, $3F04...
      palette_[i] = value;
    } else if (v_ >= 0x2000) {
      ciram_[NameTableIndex(v_)] = value;
    }  // below $2000: the pattern tables are CHR ROM
    v_ = (v_ + 1) & 0x3FFF;
  }

  void Draw(std::uint8_t ctrl, std::uint8_t mask, ScreenPalette palette, MenuFrame& out) const {
    out.Rgb.resize(static_cast<std::size_t>(kScreenWidth) * kScreenHeight * 3);
    out.ArcadeNotes = ArcadeNotes(palette_, mask);
    const auto& colourTable = palette == ScreenPalette::Rgb ? kRgbPalette : kNesPalette;
    const unsigned table = 0x2000 + 0x400u * (ctrl & 3);
    const unsigned patterns = (ctrl & 0x10) ? 0x1000 : 0;
    const std::uint8_t grey = (mask & 1) ? 0x30 : 0x3F;
    const bool background = (mask & 8) != 0;
    const bool leftColumn = (mask & 2) != 0;
    std::array<std::uint32_t, 16> colours{};
    for (unsigned i = 0; i < 16; ++i)
      colours[i] = Emphasised(colourTable[palette_[(i & 3) == 0 ? 0 : i] & grey], mask, palette);
    std::uint8_t* px = out.Rgb.data();
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int col = 0; col < 32; ++col) {
        const unsigned at = table + static_cast<unsigned>((y / 8) * 32 + col);
        const std::uint8_t tile = ciram_[NameTableIndex(at)];
        const std::uint8_t attribute =
            ciram_[NameTableIndex(table + 0x3C0 + static_cast<unsigned>((y / 32) * 8 + col / 4))];
        const unsigned group = (attribute >> ((((y / 16) & 1) << 2) | (((col / 2) & 1) << 1))) & 3;
        const std::size_t row = patterns + tile * 16u + static_cast<unsigned>(y & 7);
        const std::uint8_t low = chr_[row], high = chr_[row + 8];
        for (int b = 7; b >= 0; --b) {
          const bool shown = background && (leftColumn || col > 0);
          const unsigned value = shown ? (((low >> b) & 1) | (((high >> b) & 1) << 1)) : 0;
          const std::uint32_t c = colours[value == 0 ? 0 : group * 4 + value];
          *px++ = static_cast<std::uint8_t>(c >> 16);
          *px++ = static_cast<std::uint8_t>(c >> 8);
          *px++ = static_cast<std::uint8_t>(c);
        }
      }
    }
  }

 private:
  // Horizontal mirroring: $2000 and $2400 are the first 1 KB, $2800 and
  // $2C00 the second; $3000-$3EFF repeat $2000-$2EFF.
  static unsigned NameTableIndex(unsigned address) {
    const unsigned a = (address - 0x2000) & 0x0FFF;
    return ((a >> 11) & 1) * 0x400 + (a & 0x3FF);
  }

  std::span<const std::uint8_t> prg_;
  std::span<const std::uint8_t> chr_;
  std::array<std::uint8_t, 2048> ciram_{};
  std::array<std::uint8_t, 32> palette_{};
  unsigned v_ = 0;
};

}  // namespace

std::string RenderMenuScreen(std::span<const std::uint8_t> menuPrg, std::span<const std::uint8_t> menuChr,
                             MenuFrame& out, ScreenPalette palette) {
  if (menuPrg.size() != kMenuPrgSize || menuChr.size() != kMenuChrSize)
    return "The menu program needs 16 KB of PRG and 8 KB of CHR.";
  const std::size_t layout = kMenuLayoutAddress - kMenuPrgBase;
  if (std::memcmp(menuPrg.data() + layout, kMark, kMarkLength) != 0 || menuPrg[layout + kMarkLength] != kVersion)
    return "The menu program has no layout we know (it was not made from KORVA Builder's menu, perhaps for "
           "another board), so there is no preview.";

  MenuPpu ppu(menuPrg, menuChr);
  const auto field = [&](Field f) { return ppu.Byte(kMenuLayoutAddress + f, "table"); };
  const auto pointer = [&](Field f) { return ppu.Word(kMenuLayoutAddress + f, "table"); };
  const std::uint8_t ctrl = field(Ctrl), mask = field(Mask);
  if (mask & kMaskSprites) return "The menu layout turns on sprites, which the preview does not draw.";
  const unsigned charMap = pointer(CharMap);
  const auto text = [&](unsigned address, unsigned length, const char* what) {
    for (unsigned i = 0; i < length; ++i) {
      const std::uint8_t c = ppu.Byte(address + i, what);
      if (c == 0) break;
      ppu.Write(ppu.Byte(charMap + c, "character map"));
    }
  };

  // The order the menu draws in: palettes, the whole name table (fill tile,
  // attribute table), the draw list, the slot lines, the cursor.
  ppu.SetAddress(0x3F00);
  for (unsigned i = 0; i < 32; ++i) ppu.Write(ppu.Byte(pointer(Palettes) + i, "palettes"));
  ppu.SetAddress(0x2000);
  for (unsigned i = 0; i < 960; ++i) ppu.Write(field(Fill));
  for (unsigned i = 0; i < 64; ++i) ppu.Write(ppu.Byte(pointer(Attributes) + i, "attribute table"));

  for (unsigned item = pointer(Items); ppu.error.empty();) {
    const std::uint8_t kind = ppu.Byte(item, "draw list");
    if (kind == End) break;
    ppu.SetAddress(ppu.Word(item + 1, "draw list"));
    if (kind == Run) {
      const std::uint8_t tile = ppu.Byte(item + 3, "draw list");
      for (unsigned i = ppu.Byte(item + 4, "draw list"); i > 0; --i) ppu.Write(tile);
      item += 5;
    } else if (kind == Text) {
      text(ppu.Word(item + 3, "draw list"), ppu.Byte(item + 5, "draw list"), "text");
      item += 6;
    } else {
      return "The menu layout's draw list has an item of kind " + std::to_string(kind) + ", which we do not know.";
    }
  }

  const unsigned count = std::min(ppu.Byte(pointer(Count), "slot count"), field(MaxSlots));
  for (unsigned n = 0; n < count && ppu.error.empty(); ++n) {
    const unsigned entry = ppu.Word(pointer(Titles) + 2 * n, "title pointer table");
    const unsigned title = ppu.Word(entry, "title entry");
    ppu.SetAddress(title);
    text(entry + 4, field(TitleLength), "title entry");
    const std::uint8_t icon = ppu.Byte(pointer(SlotTable) + kSlotEntrySize * n, "slot table");
    if (icon != 0 && icon <= field(Icons)) {
      ppu.SetAddress(title + field(IconShift));
      ppu.Write(static_cast<std::uint8_t>(field(Icon) + 2 * (icon - 1)));
      ppu.Write(static_cast<std::uint8_t>(field(Icon) + 2 * (icon - 1) + 1));
    }
  }
  if (count > 0) {
    ppu.SetAddress(ppu.Word(ppu.Word(pointer(Titles), "title pointer table"), "title entry") - field(CursorBack));
    ppu.Write(field(Cursor));
  }
  if (!ppu.error.empty()) return ppu.error;
  ppu.Draw(ctrl, mask, palette, out);
  return {};
}

std::string RenderMenuScreen(const CartridgeImages& images, MenuFrame& out, ScreenPalette palette) {
  if (images.Prg.size() < kMenuPrgImageOffset + kMenuPrgSize || images.Chr.size() < kMenuChrSize)
    return "The images are too short to hold the menu.";
  return RenderMenuScreen(std::span<const std::uint8_t>(images.Prg).subspan(kMenuPrgImageOffset, kMenuPrgSize),
                          std::span<const std::uint8_t>(images.Chr).first(kMenuChrSize), out, palette);
}

std::string PreviewMenu(const Project& project, const RomLibrary& library, const Templates& templates,
                        MenuFrame& out, ScreenPalette palette) {
  if (std::string why = CheckTemplates(templates); !why.empty()) return why;
  const auto icons = SlotIcons(project);
  Placement slots = PlaceGames(SlotRoms(project, library), icons);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i].Icon = static_cast<std::uint8_t>(icons[i]);
  const std::vector<std::uint8_t> prg = PatchMenuProgram(project, templates, slots);
  return RenderMenuScreen(prg, std::span<const std::uint8_t>(templates.MenuRom).subspan(
                                   kMenuPatchHeaderSize + kMenuPrgSize, kMenuChrSize),
                          out, palette);
}

}  // namespace korva
