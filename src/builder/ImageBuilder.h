#pragma once
// The PRG and CHR images: a patched copy of the menu program template plus
// every slot's game, placed by the three-pass placement, each image 512 KB,
// then the instruction ROM image. Everything here works in memory: the
// export (builder/Export.h) writes the three files as one set.
#include "project/Model.h"
#include "romlib/RomDatabase.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva {

constexpr std::size_t kImageSize = 524288;
constexpr std::size_t kMenuTemplateSize = 24586;
constexpr std::size_t kMenuPatchHeaderSize = 10;
constexpr std::size_t kMenuPrgSize = 16384;
constexpr std::size_t kMenuChrSize = 8192;
constexpr std::size_t kMenuPrgImageOffset = 0x4000;
constexpr std::uint16_t kMenuPrgBase = 0xC000;
constexpr std::size_t kMenuTitleLength = 19;
constexpr std::size_t kSlotEntrySize = 6;

// The two templates of a build, as byte blocks.
struct Templates {
  std::vector<std::uint8_t> MenuRom;   // 24,586 bytes: patch header, menu PRG, menu CHR
  std::vector<std::uint8_t> InstRom;   // 8,192 bytes
  std::string MenuRomSource;           // where they came from, for messages
  std::string InstRomSource;
  std::string MenuRomPath;             // the file read, when one was
  std::string InstRomPath;
  bool MenuRomFromFile = false;        // not the built-in template
  bool InstRomFromFile = false;
};

// Where a build takes its templates from. The built-in templates (assets
// MENUROM and INSTROM) serve unless a file replaces one explicitly: a file
// the user named, or, when FromProjectDirectory is set, a "menurom.bin" or
// "instrom.bin" in the project's own directory. A file in the working
// directory never counts.
struct TemplateChoice {
  // (The `{}` lets a designated initializer leave a file out without a warning.)
  std::string MenuRomFile{};  // empty: none named
  std::string InstRomFile{};
  bool FromProjectDirectory = false;
};

// The templates of `choice`; `projectDirectory` ends in a separator. A
// file's source reads "menurom.bin from the project directory", or is the
// named path. Raises FileError when a file that replaces a template cannot be
// read. Nothing is checked here; see CheckTemplates.
Templates LoadTemplates(const TemplateChoice& choice = {}, const std::string& projectDirectory = "");

// The five addresses of the menu template's patch header.
struct MenuPatchHeader {
  std::uint16_t InstLine1 = 0;
  std::uint16_t InstLine2 = 0;
  std::uint16_t SlotCount = 0;
  std::uint16_t TitlePointers = 0;
  std::uint16_t SlotTable = 0;
};

// An empty text when both templates can be used, else why not: a wrong size,
// an address outside 0xC000 to 0xFFFF, or a structure (an instruction line
// field, the slot count, the title pointer table or a title entry it names,
// the slot table) that does not lie whole inside the menu PRG.
std::string CheckTemplates(const Templates& templates);

// The patch header of a menu template of the right size.
MenuPatchHeader ReadPatchHeader(std::span<const std::uint8_t> menuRom);

// Where one slot's game lies in the images and how the menu starts it. The
// six byte fields are the slot table entry, in this order.
struct SlotPlacement {
  bool Placed = false;
  std::uint8_t Icon = 0;
  std::uint8_t VerticalMirroring = 0;
  std::uint8_t HalfBank = 0;
  std::uint8_t PrgBank = 0;
  std::uint8_t ChrBank = 0;
  std::uint8_t Mapper = 0;
  std::uint32_t PrgOffset = 0;
  std::uint32_t ChrOffset = 0;
};

using Placement = std::array<SlotPlacement, SlotCount>;

// A half-bank game: exactly 16 KB of PRG and 8 KB of CHR.
bool IsHalfBankGame(const TROMInfo& rom);

// The three-pass placement. roms[i] is slot i + 1's ROM record, or nullptr
// for a slot without a ROM (left unplaced). icons[i] is its menu icon.
Placement PlaceGames(const std::array<const TROMInfo*, SlotCount>& roms, const std::array<int, SlotCount>& icons);

// What the three-pass placement makes of a set of games, without reading or
// building anything: where each game lands, how much of each 512 KB image
// the menu and the games take (up to the end of the last game in it), and
// what stops the build. The export decides by this same result, so a
// cartridge that fits here is one the export places.
struct CartridgeFit {
  Placement Slots{};
  std::uint32_t PrgUsed = 0;     // bytes; at least the menu's 32 KB bank
  std::uint32_t ChrUsed = 0;     // bytes; at least the menu's 8 KB
  bool HasHalfBankGame = false;  // one game of PRG 16 KB and CHR 8 KB
  int UnusableSlot = 0;          // the first slot (1 to 16) whose game the cartridge cannot take, or 0
  int OverflowSlot = 0;          // the first slot whose game ends past 512 KB of PRG or CHR, or 0
  bool Buildable() const { return HasHalfBankGame && UnusableSlot == 0 && OverflowSlot == 0; }
};

// The fit of roms[i] (nullptr: an empty slot, ignored) with icons[i].
CartridgeFit FitGames(const std::array<const TROMInfo*, SlotCount>& roms, const std::array<int, SlotCount>& icons = {});

// Each slot's ROM record from ROMList, nullptr for a slot without a valid ROM.
std::array<const TROMInfo*, SlotCount> SlotRoms(const Project& project, const RomLibrary& library);

// Each slot's menu icon, slot 1 first.
std::array<int, SlotCount> SlotIcons(const Project& project);

// The 19 bytes written into a menu title field for a slot title (cut to 19):
// the title, one space when it has at most 18 characters, then "%" up to 18
// characters. Shorter than 19 where the template's "%" stays.
std::string MenuTitleText(const std::string& title);

// The template's 16 KB menu PRG (CPU $C000-$FFFF) patched for the project:
// both instruction lines, every slot's title, the slot count (16) and the
// slot table of `slots`. The template must have passed CheckTemplates.
std::vector<std::uint8_t> PatchMenuProgram(const Project& project, const Templates& templates,
                                           const Placement& slots);

// The three images of a build in memory.
struct CartridgeImages {
  std::vector<std::uint8_t> Prg;
  std::vector<std::uint8_t> Chr;
  std::vector<std::uint8_t> InstRom;
  Placement Slots{};
};

// What AssembleImages made: the three images, or why it refused.
struct ImageAssembly {
  CartridgeImages Images;  // empty when refused
  std::string Refusal;     // the message the user sees, "Cannot build rom! ..."; empty when built
  bool Built() const { return Refusal.empty(); }
};

// Builds the three images in memory, in this order, and stops at the first
// refusal:
// 1. checks what needs no file: a half-bank game among the slots, usable
//    templates (CheckTemplates), every slot's ROM record one the cartridge
//    takes, every game inside the images;
// 2. reads every slot's game whole (ReadRomImage, whose reason the refusal
//    gives) and checks it: the CRC-32 of its data is the one in
//    its record (else the file was replaced or changed after the scan: the
//    refusal names the slot, the file, both CRCs and asks for a rescan),
//    and the cartridge can hold it (CheckCompatibility with the image's
//    size: the data holds the record's PRG and CHR);
// 3. patches the menu program, places the games and pads with 0xFF.
// Every refusal names the slot and the file it concerns. Reads the slots'
// ROM files and nothing else; writes nothing; shows nothing.
ImageAssembly AssembleImages(const Project& project, const RomLibrary& library, const Templates& templates);

// The three files of a build for the base path, in the order they are
// written: "%s-prg.bin", "%s-chr.bin" and "%s-instrom.bin".
std::array<std::string, 3> ImagePaths(const std::string& basePath);

// The figures an EPROM programmer shows for a chip it has read: the CRC-32
// of the image and the 16-bit sum of its bytes.
struct ImageFigures {
  std::uint32_t Crc32 = 0;
  std::uint16_t Sum = 0;
};
ImageFigures FiguresOf(std::span<const std::uint8_t> image);

// "CRC-32 1A2B3C4D, sum 5E6F".
std::string FiguresText(const ImageFigures& figures);

}  // namespace korva
