#include "builder/ImageBuilder.h"

#include "builder/InstRom.h"
#include "romlib/Assets.h"
#include "romlib/FileUtil.h"
#include "romlib/CRC.h"
#include "romlib/RomImage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korva {

namespace {

// A template file is small; a larger file is the wrong file.
constexpr std::size_t kMaxTemplateFileSize = 1024 * 1024;

// One template: the named file, else `fileName` in the project directory
// when asked for, else the built-in asset.
std::vector<std::uint8_t> LoadTemplate(const std::string& named, const std::string& projectDirectory,
                                       const char* fileName, const char* asset, std::string& source,
                                       std::string& path, bool& fromFile) {
  fromFile = true;
  if (!named.empty()) {
    source = path = named;
    return ReadWholeFile(named, kMaxTemplateFileSize);
  }
  if (!projectDirectory.empty() && FileExists(projectDirectory + fileName)) {
    source = std::string(fileName) + " from the project directory";
    path = projectDirectory + fileName;
    return ReadWholeFile(path, kMaxTemplateFileSize);
  }
  fromFile = false;
  source = "the built-in " + std::string(asset) + " template";
  const auto bytes = FindAsset(asset);
  return {bytes.begin(), bytes.end()};
}

std::uint16_t ReadWord(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

// An empty text when the `size` bytes at CPU address `address` lie inside the
// menu PRG, else what is wrong with `what`.
std::string CheckArea(const char* what, unsigned address, std::size_t size) {
  if (address < kMenuPrgBase || address - kMenuPrgBase + size > kMenuPrgSize)
    return std::string("the ") + what + " at 0x" + Hex4(address) +
           " does not lie inside the menu program (0xC000 to 0xFFFF)";
  return {};
}

std::string Sprintf(const char* format, auto... args) {
  char text[1024];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

}  // namespace

Templates LoadTemplates(const TemplateChoice& choice, const std::string& projectDirectory) {
  const std::string directory = choice.FromProjectDirectory ? projectDirectory : std::string();
  Templates t;
  t.MenuRom = LoadTemplate(choice.MenuRomFile, directory, "menurom.bin", "MENUROM", t.MenuRomSource, t.MenuRomPath,
                           t.MenuRomFromFile);
  t.InstRom = LoadTemplate(choice.InstRomFile, directory, "instrom.bin", "INSTROM", t.InstRomSource, t.InstRomPath,
                           t.InstRomFromFile);
  return t;
}

MenuPatchHeader ReadPatchHeader(std::span<const std::uint8_t> menuRom) {
  MenuPatchHeader h;
  if (menuRom.size() < kMenuPatchHeaderSize) return h;
  h.InstLine1 = ReadWord(menuRom, 0);
  h.InstLine2 = ReadWord(menuRom, 2);
  h.SlotCount = ReadWord(menuRom, 4);
  h.TitlePointers = ReadWord(menuRom, 6);
  h.SlotTable = ReadWord(menuRom, 8);
  return h;
}

std::string CheckTemplates(const Templates& templates) {
  const auto& menu = templates.MenuRom;
  if (menu.size() != kMenuTemplateSize)
    return Sprintf("The menu program template (%s) is %zu bytes; it must be 24586 bytes.",
                   templates.MenuRomSource.c_str(), menu.size());
  if (templates.InstRom.size() != kInstRomTemplateSize)
    return Sprintf("The instruction ROM template (%s) is %zu bytes; it must be 8192 bytes.",
                   templates.InstRomSource.c_str(), templates.InstRom.size());

  const MenuPatchHeader h = ReadPatchHeader(menu);
  std::string why = CheckArea("instruction line 1 field", h.InstLine1, kInstLineMaxLength + 1);
  if (why.empty()) why = CheckArea("instruction line 2 field", h.InstLine2, kInstLineMaxLength + 1);
  if (why.empty()) why = CheckArea("slot count byte", h.SlotCount, 1);
  if (why.empty()) why = CheckArea("title pointer table", h.TitlePointers, 2 * SlotCount);
  if (why.empty()) why = CheckArea("slot table", h.SlotTable, kSlotEntrySize * SlotCount);
  if (why.empty()) {
    const std::span<const std::uint8_t> prg(menu.data() + kMenuPatchHeaderSize, kMenuPrgSize);
    for (int n = 0; n < SlotCount && why.empty(); ++n) {
      const unsigned entry = ReadWord(prg, h.TitlePointers - kMenuPrgBase + 2u * static_cast<unsigned>(n));
      why = CheckArea("title entry", entry, 4 + kMenuTitleLength + 1);
    }
  }
  if (!why.empty()) return "The menu program template (" + templates.MenuRomSource + ") is not usable: " + why + ".";
  return {};
}

bool IsHalfBankGame(const TROMInfo& rom) { return rom.PrgRomSize == 16384 && rom.ChrRomSize == 8192; }

Placement PlaceGames(const std::array<const TROMInfo*, SlotCount>& roms, const std::array<int, SlotCount>& icons) {
  Placement placed{};
  const auto place = [&](std::size_t i, std::uint32_t prg, std::uint32_t chr, bool halfBank) {
    SlotPlacement& p = placed[i];
    p.Placed = true;
    p.PrgOffset = prg;
    p.ChrOffset = chr;
    p.HalfBank = halfBank ? 1 : 0;
  };

  // First pass: the first half-bank game shares the first PRG bank with the
  // menu and takes the CHR bank after the menu's.
  for (std::size_t i = 0; i < roms.size(); ++i) {
    if (roms[i] && IsHalfBankGame(*roms[i])) {
      place(i, 0, 0x2000, true);
      break;
    }
  }
  std::uint32_t prg = 0x8000, chr = 0x4000;
  // Second pass: the other half-bank games, two to a 32 KB PRG bank.
  for (std::size_t i = 0; i < roms.size(); ++i) {
    if (roms[i] && !placed[i].Placed && IsHalfBankGame(*roms[i])) {
      place(i, prg, chr, true);
      prg += static_cast<std::uint32_t>(roms[i]->PrgRomSize);
      chr += static_cast<std::uint32_t>(roms[i]->ChrRomSize);
    }
  }
  while (prg % 0x8000 != 0) prg += 0x4000;
  while (chr % 0x8000 != 0) chr += 0x2000;
  // Third pass: each full-bank game owns a 32 KB PRG bank and a 32 KB CHR window.
  for (std::size_t i = 0; i < roms.size(); ++i) {
    if (roms[i] && !placed[i].Placed) {
      place(i, prg, chr, false);
      prg += 0x8000;
      chr += 0x8000;
    }
  }

  for (std::size_t i = 0; i < roms.size(); ++i) {
    SlotPlacement& p = placed[i];
    if (!p.Placed) continue;
    p.Icon = static_cast<std::uint8_t>(icons[i]);
    p.VerticalMirroring = (!roms[i]->Mirroring.empty() && roms[i]->Mirroring[0] == 'v') ? 1 : 0;
    p.PrgBank = static_cast<std::uint8_t>(p.PrgOffset / 16384);
    p.ChrBank = static_cast<std::uint8_t>(p.ChrOffset / 8192);
    p.Mapper = static_cast<std::uint8_t>(roms[i]->Mapper & 0xFF);
  }
  return placed;
}

CartridgeFit FitGames(const std::array<const TROMInfo*, SlotCount>& roms, const std::array<int, SlotCount>& icons) {
  CartridgeFit fit;
  fit.Slots = PlaceGames(roms, icons);
  fit.PrgUsed = static_cast<std::uint32_t>(kMenuPrgImageOffset + kMenuPrgSize);
  fit.ChrUsed = static_cast<std::uint32_t>(kMenuChrSize);
  for (int n = 1; n <= SlotCount; ++n) {
    const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)];
    if (!rom) continue;
    const SlotPlacement& p = fit.Slots[static_cast<std::size_t>(n - 1)];
    const std::uint32_t prgEnd = p.PrgOffset + static_cast<std::uint32_t>(std::max(rom->PrgRomSize, 0));
    const std::uint32_t chrEnd = p.ChrOffset + static_cast<std::uint32_t>(std::max(rom->ChrRomSize, 0));
    fit.PrgUsed = std::max(fit.PrgUsed, prgEnd);
    fit.ChrUsed = std::max(fit.ChrUsed, chrEnd);
    fit.HasHalfBankGame = fit.HasHalfBankGame || IsHalfBankGame(*rom);
    if (fit.UnusableSlot == 0 && !IsCompatible(*rom)) fit.UnusableSlot = n;
    if (fit.OverflowSlot == 0 && (prgEnd > kImageSize || chrEnd > kImageSize)) fit.OverflowSlot = n;
  }
  return fit;
}

std::array<const TROMInfo*, SlotCount> SlotRoms(const Project& project, const RomLibrary& library) {
  std::array<const TROMInfo*, SlotCount> roms{};
  for (int n = 1; n <= SlotCount; ++n) {
    const int index = project.slot(n).ROMIndex;
    if (index >= 0 && static_cast<std::size_t>(index) < library.ROMList.size())
      roms[static_cast<std::size_t>(n - 1)] = &library.ROMList[static_cast<std::size_t>(index)];
  }
  return roms;
}

std::array<int, SlotCount> SlotIcons(const Project& project) {
  std::array<int, SlotCount> icons{};
  for (int n = 1; n <= SlotCount; ++n) icons[static_cast<std::size_t>(n - 1)] = project.slot(n).Icon;
  return icons;
}

std::string MenuTitleText(const std::string& title) {
  std::string text = title.substr(0, kMenuTitleLength);
  if (text.size() <= 18) text += ' ';
  while (text.size() < 18) text += '%';
  return text;
}

std::vector<std::uint8_t> PatchMenuProgram(const Project& project, const Templates& templates,
                                           const Placement& slots) {
  const MenuPatchHeader h = ReadPatchHeader(templates.MenuRom);
  std::vector<std::uint8_t> menuPrg(templates.MenuRom.begin() + kMenuPatchHeaderSize,
                                    templates.MenuRom.begin() + kMenuPatchHeaderSize + kMenuPrgSize);
  const auto at = [&menuPrg](unsigned address) { return menuPrg.begin() + (address - kMenuPrgBase); };

  const std::string line1 = SanitizeTitle(project.Cartridge.InstLine1, kInstLineMaxLength);
  const std::string line2 = SanitizeTitle(project.Cartridge.InstLine2, kInstLineMaxLength);
  std::copy(line1.begin(), line1.end(), at(h.InstLine1));
  std::copy(line2.begin(), line2.end(), at(h.InstLine2));

  for (int n = 1; n <= SlotCount; ++n) {
    const unsigned entry = ReadWord(menuPrg, h.TitlePointers - kMenuPrgBase + 2u * static_cast<unsigned>(n - 1));
    const std::string text = MenuTitleText(project.slot(n).Title);
    std::copy(text.begin(), text.end(), at(entry + 4));
  }
  *at(h.SlotCount) = static_cast<std::uint8_t>(SlotCount);

  for (std::size_t i = 0; i < slots.size(); ++i) {
    const SlotPlacement& p = slots[i];
    const std::uint8_t entry[kSlotEntrySize] = {p.Icon, p.VerticalMirroring, p.HalfBank, p.PrgBank, p.ChrBank, p.Mapper};
    std::copy(std::begin(entry), std::end(entry), at(h.SlotTable + static_cast<unsigned>(i * kSlotEntrySize)));
  }
  return menuPrg;
}

namespace {

// The checks that need no file: a half-bank game, usable templates, every
// slot's record one the cartridge takes, every game inside the images.
std::string CheckCartridge(const std::array<const TROMInfo*, SlotCount>& roms, const CartridgeFit& fit,
                           const Templates& templates) {
  if (!fit.HasHalfBankGame) return "At least one ROM needs to be PRG 16kb";
  if (std::string why = CheckTemplates(templates); !why.empty()) return why;
  for (int n = 1; n <= SlotCount; ++n) {
    const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)];
    if (!rom) return Sprintf("Slot %d has no ROM assigned.", n);
    if (const CompatibilityCheck check = CheckCompatibility(*rom); !check.Compatible())
      return Sprintf("Slot %d: \"%s\" has %s.", n, rom->Filename.c_str(), check.Text.c_str());
  }
  if (fit.OverflowSlot != 0)
    return Sprintf("Slot %d: \"%s\" does not fit into the images.", fit.OverflowSlot,
                   roms[static_cast<std::size_t>(fit.OverflowSlot - 1)]->Filename.c_str());
  return {};
}

// Reads slot n's game whole into `buffer` and checks it against its record:
// the CRC-32 of its data must be the one the scan recorded (else the file
// was replaced or changed since), and the data must hold PRG and CHR.
std::string ReadGame(int n, const TROMInfo& rom, const RomLibrary& library, RomImageBuffer& buffer) {
  const char* name = rom.Filename.c_str();
  if (const RomReadStatus read = ReadRomImage(library.FullPath(rom), buffer); !read.Ok())
    return Sprintf("Slot %d: \"%s\" cannot be read: %s.", n, name, read.Reason().c_str());
  const std::vector<std::uint8_t>& image = buffer.Image;
  const std::size_t have = image.size() > kINesHeaderSize ? image.size() - kINesHeaderSize : 0;
  const std::uint32_t crc = have == 0 ? crc::OneShot(crc::kPresetCRC32, nullptr, 0)
                                      : crc::Crc32(0, image.data() + kINesHeaderSize, have);
  if (crc != rom.CRC32)
    return Sprintf("Slot %d: \"%s\" now holds data with CRC-32 %s, not %s as when it was scanned. "
                   "Rescan the ROM directory.",
                   n, name, CrcText(crc).c_str(), CrcText(rom.CRC32).c_str());
  if (const CompatibilityCheck check = CheckCompatibility(rom, image.size()); !check.Compatible())
    return Sprintf("Slot %d: \"%s\" has %s.", n, name, check.Text.c_str());
  return {};
}

}  // namespace

ImageAssembly AssembleImages(const Project& project, const RomLibrary& library, const Templates& templates) {
  ImageAssembly result;
  const auto refuse = [&result](const std::string& why) {
    result.Refusal = "Cannot build rom! " + why;
    return result;
  };

  // Check everything that needs no file.
  const auto roms = SlotRoms(project, library);
  const CartridgeFit fit = FitGames(roms, SlotIcons(project));
  if (const std::string why = CheckCartridge(roms, fit, templates); !why.empty()) return refuse(why);

  // The menu: every byte that no data lands on stays 0xFF.
  CartridgeImages& out = result.Images;
  out.Slots = fit.Slots;
  const std::vector<std::uint8_t> menuPrg = PatchMenuProgram(project, templates, out.Slots);
  out.Prg.assign(kImageSize, 0xFF);
  out.Chr.assign(kImageSize, 0xFF);
  std::copy(menuPrg.begin(), menuPrg.end(), out.Prg.begin() + kMenuPrgImageOffset);
  const auto menuChr = templates.MenuRom.begin() + kMenuPatchHeaderSize + kMenuPrgSize;
  std::copy(menuChr, menuChr + kMenuChrSize, out.Chr.begin());

  // Every game read whole, checked against its record, and copied in.
  RomImageBuffer buffer;  // one for all the games
  for (int n = 1; n <= SlotCount; ++n) {
    const TROMInfo& rom = *roms[static_cast<std::size_t>(n - 1)];
    if (const std::string why = ReadGame(n, rom, library, buffer); !why.empty()) {
      result.Images = {};
      return refuse(why);
    }
    const SlotPlacement& p = out.Slots[static_cast<std::size_t>(n - 1)];
    const auto prg = buffer.Image.begin() + kINesHeaderSize;
    const auto chr = prg + rom.PrgRomSize;
    std::copy(prg, chr, out.Prg.begin() + p.PrgOffset);
    std::copy(chr, chr + rom.ChrRomSize, out.Chr.begin() + p.ChrOffset);
  }
  out.InstRom = BuildInstRomImage(templates.InstRom, project.Cartridge);
  return result;
}

std::array<std::string, 3> ImagePaths(const std::string& basePath) {
  return {basePath + "-prg.bin", basePath + "-chr.bin", basePath + "-instrom.bin"};
}

ImageFigures FiguresOf(std::span<const std::uint8_t> image) {
  ImageFigures figures;
  figures.Crc32 = crc::Crc32(0, image.data(), image.size());
  unsigned sum = 0;
  for (const std::uint8_t byte : image) sum += byte;
  figures.Sum = static_cast<std::uint16_t>(sum);
  return figures;
}

std::string FiguresText(const ImageFigures& figures) {
  return "CRC-32 " + CrcText(figures.Crc32) + ", sum " + Sprintf("%04X", figures.Sum);
}

}  // namespace korva
