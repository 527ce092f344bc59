// korva info FILE...: identifies ROM images the way the scan does and tells
// whether the cartridge can hold them.
#include <iostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ConsoleUI.h"
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

int RunInfo(const std::vector<std::string>& args) {
  if (args.empty()) {
    std::cerr << "usage: korva info FILE...\n";
    return 2;
  }
  // The header database wins over each image's own header, as in a scan.
  korva::cli::ConsoleUI ui;
  const korva::HeaderDatabase headerDb = korva::LoadHeaderDatabase(ui);
  int status = 0;
  korva::RomImageBuffer buffer;  // one for all the files
  for (const std::string& path : args) {
    const korva::RomReadStatus read = korva::ReadRomImage(path, buffer);
    if (!read.Ok()) {
      std::cerr << "korva info: " << path << ": " << read.Reason() << "\n";
      status = 1;
      continue;
    }
    const korva::TROMInfo rom = korva::MakeROMInfo(buffer.Image, headerDb);
    const korva::CompatibilityCheck check = korva::CheckCompatibility(rom, buffer.Image.size());
    std::cout << path << "\n"
              << "  CRC32      " << korva::CrcText(rom.CRC32) << "\n"
              << "  Mapper     " << rom.Mapper << "\n"
              << "  PRG ROM    " << SizeText(rom.PrgRomSize) << "\n"
              << "  CHR ROM    " << SizeText(rom.ChrRomSize) << "\n"
              << "  Mirroring  " << MirroringText(rom.Mirroring) << "\n"
              << "  Timing     " << (rom.Timing.empty() ? "-" : rom.Timing) << "\n"
              << "  Source     " << SourceText(rom.Source) << "\n"
              << "  Cartridge  " << (check.Compatible() ? "can hold it" : "cannot hold it: " + check.Text) << "\n";
  }
  return status;
}

const korva::cli::Command info("info", "FILE...",
                               "identify .nes and .zip ROM images and tell whether the cartridge can hold them",
                               &RunInfo);

}  // namespace
