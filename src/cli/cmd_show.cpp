// korva show PROJECT.korva [--db PATH]: the cartridge fields and the sixteen
// slots of a project as the reader resolves them against the ROM database
// file, with where each game would lie in the images.
#include "builder/ImageBuilder.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/JsonWriter.h"
#include "cli/ProjectLoad.h"
#include "romlib/ROMInfo.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kUsage = "usage: korva show PROJECT.korva [--db PATH] [--json]\n";

void PrintProject(const Workspace& ws) {
  const Project& p = ws.Proj;
  const CartridgeSettings& c = p.Cartridge;
  std::cout << "Project:    " << p.ProjectFileName << "\n"
            << "CartTitle:  \"" << c.CartTitle << "\"\n"
            << "Icons:      " << c.Icons << " (" << IconModeNames[static_cast<std::size_t>(std::clamp(c.Icons, 0, 2))] << ")\n"
            << "InstLine1:  \"" << c.InstLine1 << "\"\n"
            << "InstLine2:  \"" << c.InstLine2 << "\"\n\n";

  const auto roms = SlotRoms(p, ws.Library);
  std::array<int, SlotCount> icons{};
  for (int n = 1; n <= SlotCount; ++n) icons[static_cast<std::size_t>(n - 1)] = p.slot(n).Icon;
  const CartridgeFit fit = FitGames(roms, icons);
  const Placement& placement = fit.Slots;

  // The ROM column is as wide as its longest entry, so the bank columns line up.
  std::array<std::string, SlotCount> names;
  std::size_t width = std::string_view("(no ROM)").size();
  for (int n = 1; n <= SlotCount; ++n) {
    const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)];
    std::string& name = names[static_cast<std::size_t>(n - 1)];
    name = rom                     ? ws.Library.ROMNames.at(static_cast<std::size_t>(p.slot(n).ROMIndex)) + " " +
                                         ROMInfoText(*rom)
           : p.slot(n).IsMissing() ? "(missing: not in the ROM database)"
                                   : "(no ROM)";
    width = std::max(width, name.size());
  }
  const int romWidth = static_cast<int>(width);
  std::printf("Slot  CRC32     %-21s %-9s %-*s  PRG bank  CHR bank  Half\n", "Title", "Icon", romWidth, "ROM");
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = p.slot(n);
    const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)];
    const SlotPlacement& at = placement[static_cast<std::size_t>(n - 1)];
    const std::string title = "\"" + slot.Title + "\"";
    const std::string icon(IconNames[static_cast<std::size_t>(std::clamp(slot.Icon, 0, 3))]);
    const char* name = names[static_cast<std::size_t>(n - 1)].c_str();
    if (!rom)
      std::printf("%4d  %-8s  %-21s %-9s %s\n", n, slot.IsMissing() ? CrcText(slot.MissingCRC).c_str() : "-",
                  title.c_str(), icon.c_str(), name);
    else
      std::printf("%4d  %s  %-21s %-9s %-*s  %8d  %8d  %4d\n", n, CrcText(rom->CRC32).c_str(), title.c_str(),
                  icon.c_str(), romWidth, name, at.PrgBank, at.ChrBank, at.HalfBank);
  }
  std::string missing;
  for (int n = 1; n <= SlotCount; ++n)
    if (p.slot(n).IsMissing()) missing += (missing.empty() ? "" : ", ") + std::to_string(n);
  if (!missing.empty())
    std::cout << "\nMissing ROMs (slots " << missing << "): scan the directories that hold them into the ROM "
              << "database; the project file keeps them as they are.\n";
  // What the window's capacity gauge says: the space used and what stops a build.
  const auto kb = [](std::uint32_t bytes) { return (bytes + 1023) / 1024; };
  const unsigned limit = static_cast<unsigned>(kImageSize / 1024);
  std::printf("\nUsed:       PRG %u/%u KB  CHR %u/%u KB\n", kb(fit.PrgUsed), limit, kb(fit.ChrUsed), limit);
  if (fit.OverflowSlot != 0)
    std::printf("Slot %d no longer fits into the images: the build would be refused.\n", fit.OverflowSlot);
  if (fit.UnusableSlot != 0)
    std::printf("Slot %d holds a game the cartridge cannot take: the build would be refused.\n", fit.UnusableSlot);
  if (!fit.HasHalfBankGame)
    std::cout << "No slot holds a half-bank game (PRG 16kb, CHR 8kb): the build would be refused.\n";
  std::cout << std::flush;
}

// The same facts as one JSON document (docs/json.md).
void WriteProjectJson(const Workspace& ws) {
  const Project& p = ws.Proj;
  const CartridgeSettings& c = p.Cartridge;
  const auto roms = SlotRoms(p, ws.Library);
  const CartridgeFit fit = FitGames(roms, SlotIcons(p));
  JsonWriter json(std::cout);
  json.BeginObject().Member("format", kJsonFormat).Member("project", p.ProjectFileName);
  json.Key("cartridge")
      .BeginObject()
      .Member("title", c.CartTitle)
      .Member("icons", c.Icons)
      .Member("iconsName", IconModeNames[static_cast<std::size_t>(std::clamp(c.Icons, 0, 2))])
      .Member("line1", c.InstLine1)
      .Member("line2", c.InstLine2)
      .EndObject();
  json.Key("slots").BeginArray();
  for (int n = 1; n <= SlotCount; ++n) {
    const Slot& slot = p.slot(n);
    const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)];
    const SlotPlacement& at = fit.Slots[static_cast<std::size_t>(n - 1)];
    json.BeginObject()
        .Member("slot", n)
        .Member("title", slot.Title)
        .Member("icon", slot.Icon)
        .Member("iconName", IconNames[static_cast<std::size_t>(std::clamp(slot.Icon, 0, 3))]);
    if (!rom) {
      json.Key("rom").Null().Key("placement").Null().EndObject();
      continue;
    }
    json.Key("rom")
        .BeginObject()
        .Member("index", slot.ROMIndex)
        .Member("crc32", CrcText(rom->CRC32))
        .Member("name", ws.Library.ROMNames.at(static_cast<std::size_t>(slot.ROMIndex)))
        .Member("file", rom->Filename)
        .Member("prgBytes", rom->PrgRomSize)
        .Member("chrBytes", rom->ChrRomSize)
        .EndObject();
    json.Key("placement")
        .BeginObject()
        .Member("prgBank", at.PrgBank)
        .Member("chrBank", at.ChrBank)
        .Member("halfBank", at.HalfBank != 0)
        .Member("prgOffset", static_cast<std::int64_t>(at.PrgOffset))
        .Member("chrOffset", static_cast<std::int64_t>(at.ChrOffset))
        .EndObject();
    json.EndObject();
  }
  json.EndArray();
  json.Member("halfBankGame", fit.HasHalfBankGame)
      .Member("prgUsedBytes", static_cast<std::int64_t>(fit.PrgUsed))
      .Member("chrUsedBytes", static_cast<std::int64_t>(fit.ChrUsed));
  // The first slot that stops a build, or null.
  for (const auto& [key, slot] : {std::pair{"overflowSlot", fit.OverflowSlot}, {"unusableSlot", fit.UnusableSlot}}) {
    json.Key(key);
    if (slot != 0) json.Number(slot);
    else json.Null();
  }
  json.Member("buildable", fit.Buildable());
  json.EndObject().Finish();
}

int RunShow(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> args = rawArgs;
  const bool json = TakeFlag(args, "--json");
  return RunOnProject("show", kUsage, args, [json](Workspace& ws, UserInterface&) {
    if (json) WriteProjectJson(ws);
    else PrintProject(ws);
    return 0;
  });
}
}  // namespace

const Command kShowCommand{"show", "PROJECT.korva [--db PATH] [--json]",
                           "print a project's cartridge fields and slots with their placement (--json: as JSON)",
                           &RunShow};

}  // namespace korva::cli
