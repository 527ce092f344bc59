// Benchmarks of the loads that start-up and every scan pay for, the scan's
// listing, and one full sixteen-slot export.
#include "builder/ImageBuilder.h"
#include "project/Model.h"
#include "romlib/CRC.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"
#include "romlib/Scan.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

class QuietUI : public korva::UserInterface {
 public:
  korva::MsgButton ShowCenteredMessage(const std::string&, korva::MsgKind, korva::MsgButtons) override {
    return korva::MsgButton::OK;
  }
  void ShowStatusMessage(const std::string&, int) override {}
};

std::string ScratchDir(const char* name) {
  const auto dir = std::filesystem::temp_directory_path() / name;
  std::filesystem::create_directories(dir);
  return dir.string() + "/";
}

void BM_HeaderDatabase_LoadBuiltIn(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(korva::BuiltInHeaderDatabase());
}
BENCHMARK(BM_HeaderDatabase_LoadBuiltIn)->Unit(benchmark::kMillisecond);

void BM_HeaderDatabase_Find(benchmark::State& state) {
  const korva::HeaderDatabase db = korva::BuiltInHeaderDatabase();
  std::uint32_t crc = 0x836C4FA7;
  for (auto _ : state) {
    benchmark::DoNotOptimize(db.Find(crc));
    crc = crc * 1664525u + 1013904223u;
  }
}
BENCHMARK(BM_HeaderDatabase_Find);

// A directory of 10,000 (one-byte) ROM files, "Game 00000.nes" on.
std::string TenThousandFiles() {
  const std::string dir = ScratchDir("korva-bench-romdb");
  for (int i = 0; i < 10000; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "Game %05d.nes", i);
    if (!korva::FileExists(dir + name)) std::ofstream(dir + name).put('\0');
  }
  return dir;
}

// A ROM database of 10,000 entries, each with an INES element and an (empty)
// file beside it, as a scan of a large collection writes it.
void BM_RomDatabase_Load10000(benchmark::State& state) {
  const std::string dir = TenThousandFiles();
  std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<KORVA Build=\"12\">\n  <ROMPath>" + dir +
                    "</ROMPath>\n  <ROMDB>\n";
  for (int i = 0; i < 10000; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "Game %05d.nes", i);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", 0x10000000u + static_cast<unsigned>(i) * 7919u);
    xml += std::string("    <ROM CRC32=\"") + crc + "\">\n      <Filename>" + name +
           "</Filename>\n      <INES Mapper=\"0\" ChrRomSize=\"8192\" PrgRomSize=\"32768\" Mirroring=\"v\"/>\n"
           "    </ROM>\n";
  }
  xml += "  </ROMDB>\n</KORVA>\n";
  korva::WriteFileAtomic(dir + "korva_db.xml", std::string_view(xml));
  const korva::HeaderDatabase headerDb = korva::BuiltInHeaderDatabase();
  for (auto _ : state) {
    const korva::RomDatabaseLoad load = korva::LoadRomDatabase(dir + "korva_db.xml", headerDb);
    benchmark::DoNotOptimize(load.Library.ROMList.size());
  }
}
BENCHMARK(BM_RomDatabase_Load10000)->Unit(benchmark::kMillisecond);

// The scan's listing of the same directory: one reading of it and the
// case-blind sort.
void BM_Scan_ListCandidates10000(benchmark::State& state) {
  const std::string dir = TenThousandFiles();
  for (auto _ : state) benchmark::DoNotOptimize(korva::ListRomCandidates(dir).size());
}
BENCHMARK(BM_Scan_ListCandidates10000)->Unit(benchmark::kMillisecond);

// One export of sixteen half-bank games with the built-in templates: the
// three images assembled and written.
void BM_Export_SixteenSlots(benchmark::State& state) {
  const std::string dir = ScratchDir("korva-bench-export");
  korva::RomLibrary library;
  library.ROMPath = dir;
  korva::Project project;
  for (int n = 1; n <= korva::SlotCount; ++n) {
    std::vector<std::uint8_t> image(16 + 16384 + 8192, static_cast<std::uint8_t>(n));
    image[0] = 'N', image[1] = 'E', image[2] = 'S', image[3] = 0x1A, image[4] = 1, image[5] = 1;
    for (int i = 4 + 2; i < 16; ++i) image[static_cast<std::size_t>(i)] = 0;
    const std::string name = "game" + std::to_string(n) + ".nes";
    korva::WriteFileAtomic(dir + name, image);
    korva::TROMInfo rom;
    rom.Filename = name;
    rom.CRC32 = korva::crc::Crc32(0, image.data() + 16, image.size() - 16);
    rom.Mapper = 0;
    rom.PrgRomSize = 16384;
    rom.ChrRomSize = 8192;
    rom.Mirroring = "h";
    rom.Timing = "NesNtsc";
    rom.ListIndex = n - 1;
    library.ROMList.push_back(rom);
    library.ROMNames.push_back("game" + std::to_string(n));
    project.slot(n).ROMIndex = n - 1;
    project.slot(n).Title = "GAME " + std::to_string(n);
  }
  const korva::Templates templates = korva::LoadTemplates();
  for (auto _ : state) {
    const korva::ImageAssembly assembly = korva::AssembleImages(project, library, templates);
    if (!assembly.Built()) {
      state.SkipWithError("build refused");
      break;
    }
    const auto paths = korva::ImagePaths(dir + "bench");
    const korva::FileContent set[] = {{paths[0], assembly.Images.Prg}, {paths[1], assembly.Images.Chr},
                                      {paths[2], assembly.Images.InstRom}};
    korva::WriteFilesAtomic(set);
  }
}
BENCHMARK(BM_Export_SixteenSlots)->Unit(benchmark::kMillisecond);

}  // namespace
