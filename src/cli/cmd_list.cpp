// korva list [--db PATH]: loads the ROM database file and lists its ROMs.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/JsonWriter.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

const char* SourceName(std::int32_t source) {
  switch (source) {
    case kSourceHeaderDatabase: return "header database";
    case kSourceINesHeader: return "iNES header";
    default: return "database file";
  }
}

std::string SizeText(std::int32_t bytes) {
  if (bytes >= 0 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + "K";
  return std::to_string(bytes);
}

void PrintLibrary(const RomLibrary& library) {
  std::cout << "ROMPath: " << library.ROMPath << "\n";
  std::size_t width = 4;
  for (const auto& name : library.ROMNames) width = std::max(width, name.size());
  char line[128];
  for (std::size_t i = 0; i < library.ROMList.size(); ++i) {
    const TROMInfo& rom = library.ROMList[i];
    std::string name = library.ROMNames[i];
    name.resize(width, ' ');
    std::snprintf(line, sizeof line, "%4d  %s  ", rom.ListIndex, CrcText(rom.CRC32).c_str());
    std::cout << line << name;
    std::snprintf(line, sizeof line, "  PRG %5s  CHR %5s  mapper %3d  %-2s %s\n", SizeText(rom.PrgRomSize).c_str(),
                  SizeText(rom.ChrRomSize).c_str(), rom.Mapper, rom.Mirroring.c_str(), SourceName(rom.Source));
    std::cout << line;
  }
  std::cout << std::flush;
}

// The same facts as one JSON document (docs/json.md).
void WriteLibraryJson(const RomLibrary& library) {
  JsonWriter json(std::cout);
  json.BeginObject().Member("format", kJsonFormat).Member("romPath", library.ROMPath).Key("roms").BeginArray();
  for (std::size_t i = 0; i < library.ROMList.size(); ++i) {
    const TROMInfo& rom = library.ROMList[i];
    json.BeginObject()
        .Member("index", rom.ListIndex)
        .Member("crc32", CrcText(rom.CRC32))
        .Member("name", library.ROMNames[i])
        .Member("file", rom.Filename)
        .Member("prgBytes", rom.PrgRomSize)
        .Member("chrBytes", rom.ChrRomSize)
        .Member("mapper", rom.Mapper)
        .Member("mirroring", rom.Mirroring)
        .Member("source", SourceName(rom.Source))
        .EndObject();
  }
  json.EndArray().EndObject().Finish();
}

int RunList(const std::vector<std::string>& rawArgs) {
  DbArgs args;
  bool json = false;
  try {
    std::vector<std::string> rest = rawArgs;
    json = TakeFlag(rest, "--json");
    args = ParseDbArgs(rest);
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva list: " << e.what() << "\nusage: korva list [--db PATH] [--json]\n";
    return 2;
  }
  if (!args.Positional.empty()) {
    std::cerr << "usage: korva list [--db PATH] [--json]\n";
    return 2;
  }
  ConsoleUI ui;
  const std::optional<RomLibrary> library = LoadRomLibrary("list", DatabasePathOf(args), LoadHeaderDatabase(ui), ui);
  if (!library) return 1;
  (json ? WriteLibraryJson : PrintLibrary)(*library);
  return 0;
}
}  // namespace

const Command kListCommand{"list", "[--db PATH] [--json]",
                           "list the ROMs of the ROM database file korva_db.xml (--json: as JSON)", &RunList};

}  // namespace korva::cli
