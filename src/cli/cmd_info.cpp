// korva info FILE...: identifies ROM images the way the scan does and tells
// whether the cartridge can hold them.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/JsonWriter.h"
#include "romlib/HeaderDB.h"
#include "romlib/ROMInfo.h"
#include "romlib/RomImage.h"

namespace {

std::string SizeText(std::int32_t bytes) {
  std::string text = std::to_string(bytes) + " bytes";
  if (bytes > 0 && bytes % 1024 == 0) text += " (" + std::to_string(bytes / 1024) + " KB)";
  return text;
}

std::string MirroringText(const std::string& m) {
  if (m == "v") return "v (vertical)";
  if (m == "h") return "h (horizontal)";
  return m.empty() ? "-" : m;
}

std::string SourceText(std::int32_t source) {
  switch (source) {
    case korva::kSourceHeaderDatabase: return "header database";
    case korva::kSourceINesHeader: return "iNES header";
    default: return "none";
  }
}

int RunInfo(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> args = rawArgs;
  const bool json = korva::cli::TakeFlag(args, "--json");
  for (const std::string& a : args)
    if (a.rfind("--", 0) == 0) {
      std::cerr << "korva info: unknown option " << a << "\nusage: korva info [--json] FILE...\n";
      return 2;
    }
  if (args.empty()) {
    std::cerr << "usage: korva info [--json] FILE...\n";
    return 2;
  }
  // --json: the same facts as one document (docs/json.md), each file's
  // record or its error in the order given.
  std::optional<korva::cli::JsonWriter> out;
  if (json) out.emplace(std::cout).BeginObject().Member("format", korva::cli::kJsonFormat).Key("files").BeginArray();
  // The header database wins over each image's own header, as in a scan.
  korva::cli::ConsoleUI ui;
  const korva::HeaderDatabase headerDb = korva::LoadHeaderDatabase(ui);
  int status = 0;
  korva::RomImageBuffer buffer;  // one for all the files
  for (const std::string& path : args) {
    auto fail = [&](const std::string& reason) {
      std::cerr << "korva info: " << path << ": " << reason << "\n";
      if (out) out->BeginObject().Member("path", path).Member("error", reason).EndObject();
      status = 1;
    };
    const korva::RomReadStatus read = korva::ReadRomImage(path, buffer);
    if (!read.Ok()) {
      fail(read.Reason());
      continue;
    }
    const korva::TROMInfo rom = korva::MakeROMInfo(buffer.Image, headerDb);
    const korva::CompatibilityCheck check = korva::CheckCompatibility(rom, buffer.Image.size());
    const std::string& refusal = check.Text;
    if (out) {
      out->BeginObject()
          .Member("path", path)
          .Member("crc32", korva::CrcText(rom.CRC32))
          .Member("mapper", rom.Mapper)
          .Member("prgBytes", rom.PrgRomSize)
          .Member("chrBytes", rom.ChrRomSize)
          .Member("mirroring", rom.Mirroring)
          .Member("timing", rom.Timing)
          .Member("source", SourceText(rom.Source))
          .Member("cartridgeCanHoldIt", refusal.empty());
      (refusal.empty() ? out->Key("refusal").Null() : out->Member("refusal", refusal)).EndObject();
      continue;
    }
    std::cout << path << "\n"
              << "  CRC32      " << korva::CrcText(rom.CRC32) << "\n"
              << "  Mapper     " << rom.Mapper << "\n"
              << "  PRG ROM    " << SizeText(rom.PrgRomSize) << "\n"
              << "  CHR ROM    " << SizeText(rom.ChrRomSize) << "\n"
              << "  Mirroring  " << MirroringText(rom.Mirroring) << "\n"
              << "  Timing     " << (rom.Timing.empty() ? "-" : rom.Timing) << "\n"
              << "  Source     " << SourceText(rom.Source) << "\n"
              << "  Cartridge  " << (refusal.empty() ? "can hold it" : "cannot hold it: " + refusal) << "\n";
  }
  if (out) out->EndArray().EndObject().Finish();
  return status;
}
}  // namespace

const korva::cli::Command korva::cli::kInfoCommand{
    "info", "[--json] FILE...",
    "identify .nes and .zip ROM images and tell whether the cartridge can hold them\n"
    "      (--json: as JSON)",
    &RunInfo};
