// korva info FILE...: identifies ROM images the way the scan does and tells
// whether the cartridge can hold them.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/JsonWriter.h"
#include "romlib/HeaderDB.h"
#include "romlib/FileUtil.h"
#include "romlib/ROMInfo.h"
#include "romlib/ZipRead.h"

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

// Why the cartridge cannot hold `rom`; empty when it can. The tests follow the
// compatibility rule's order.
std::string Refusal(const korva::TROMInfo& rom) {
  if (rom.Mapper != 0 && rom.Mapper != 3 && rom.Mapper != 87)
    return "mapper " + std::to_string(rom.Mapper) + " (needs 0, 3 or 87)";
  if (rom.Timing != "NesNtsc") return "timing " + rom.Timing + " (needs NesNtsc)";
  if (rom.PrgRomSize != 16384 && rom.PrgRomSize != 32768)
    return "PRG ROM of " + std::to_string(rom.PrgRomSize) + " bytes (needs 16384 or 32768)";
  if (rom.ChrRomSize < 8192 || rom.ChrRomSize > 32768)
    return "CHR ROM of " + std::to_string(rom.ChrRomSize) + " bytes (needs 8192 to 32768)";
  return "";
}

// Why a .zip gives no record, in the ZIP reader's own words; empty when it
// holds one file that could be read.
std::string ZipProblem(const std::string& path) {
  try {
    korva::TZipRead zip(path);
    if (zip.Count() != 1)
      return "the archive holds " + std::to_string(zip.Count()) + " files, not exactly one";
    (void)zip.UnZip(0);
    return "";
  } catch (const korva::ESynZipException& e) {
    return e.what();
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
  for (const std::string& path : args) {
    auto fail = [&](const std::string& reason) {
      std::cerr << "korva info: " << path << ": " << reason << "\n";
      if (out) out->BeginObject().Member("path", path).Member("error", reason).EndObject();
      status = 1;
    };
    if (!korva::HasExtension(path, ".nes") && !korva::HasExtension(path, ".zip")) {
      fail("not a .nes or .zip file");
      continue;
    }
    // The cause, before the readers turn it into an empty record.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      fail(errno == ENOENT ? "no such file" : std::strerror(errno));
      continue;
    }
    if (!S_ISREG(st.st_mode)) {
      fail(S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file");
      continue;
    }
    if (static_cast<std::uint64_t>(st.st_size) > korva::kMaxRomFileSize) {
      fail("is too large: " + std::to_string(st.st_size) + " bytes, over the 64 MiB no NES ROM comes near");
      continue;
    }
    korva::TROMInfo rom;
    try {
      if (korva::HasExtension(path, ".zip")) {
        if (const std::string problem = ZipProblem(path); !problem.empty()) {
          fail(problem);
          continue;
        }
      }
      rom = korva::ReadRomFile(path, headerDb);
    } catch (const korva::FileError& e) {
      fail(e.what());
      continue;
    }
    if (rom.Mapper == -1 && rom.CRC32 == 0) {
      fail("not an iNES image");
      continue;
    }
    const std::string refusal = Refusal(rom);
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

const korva::cli::Command info("info", "[--json] FILE...",
                               "identify .nes and .zip ROM images and tell whether the cartridge can hold them\n"
                               "      (--json: as JSON)",
                               &RunInfo);

}  // namespace
