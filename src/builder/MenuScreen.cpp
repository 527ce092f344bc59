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
// background pattern table (bit 4); greyscale, the leftmost column and the
// background (PPUMASK bits 0, 1, 3). Sprites and colour emphasis are not drawn.
constexpr std::uint8_t kMaskUnsupported = 0xF0;

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

  void Draw(std::uint8_t ctrl, std::uint8_t mask, MenuFrame& out) const {
    out.Rgb.resize(static_cast<std::size_t>(kScreenWidth) * kScreenHeight * 3);
    const unsigned table = 0x2000 + 0x400u * (ctrl & 3);
    const unsigned patterns = (ctrl & 0x10) ? 0x1000 : 0;
    const std::uint8_t grey = (mask & 1) ? 0x30 : 0x3F;
    const bool background = (mask & 8) != 0;
    const bool leftColumn = (mask & 2) != 0;
    std::array<std::uint32_t, 16> colours{};
    for (unsigned i = 0; i < 16; ++i)
      colours[i] = kNesPalette[palette_[(i & 3) == 0 ? 0 : i] & grey];
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
                             MenuFrame& out) {
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
  if (mask & kMaskUnsupported) return "The menu layout turns on sprites or colour emphasis, which the preview does not draw.";
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
  ppu.Draw(ctrl, mask, out);
  return {};
}

std::string RenderMenuScreen(const CartridgeImages& images, MenuFrame& out) {
  if (images.Prg.size() < kMenuPrgImageOffset + kMenuPrgSize || images.Chr.size() < kMenuChrSize)
    return "The images are too short to hold the menu.";
  return RenderMenuScreen(std::span<const std::uint8_t>(images.Prg).subspan(kMenuPrgImageOffset, kMenuPrgSize),
                          std::span<const std::uint8_t>(images.Chr).first(kMenuChrSize), out);
}

std::string PreviewMenu(const Project& project, const RomLibrary& library, const Templates& templates,
                        MenuFrame& out) {
  if (std::string why = CheckTemplates(templates); !why.empty()) return why;
  const auto icons = SlotIcons(project);
  Placement slots = PlaceGames(SlotRoms(project, library), icons);
  for (std::size_t i = 0; i < slots.size(); ++i) slots[i].Icon = static_cast<std::uint8_t>(icons[i]);
  const std::vector<std::uint8_t> prg = PatchMenuProgram(project, templates, slots);
  return RenderMenuScreen(prg, std::span<const std::uint8_t>(templates.MenuRom).subspan(
                                   kMenuPatchHeaderSize + kMenuPrgSize, kMenuChrSize),
                          out);
}

}  // namespace korva
