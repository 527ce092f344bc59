// The menu preview of a 16-slot project (every title 19 characters, every
// icon mode): the frame drawn from the images, and the whole step the window
// takes on every keystroke (patch the menu, place the games, draw).
#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"

#include <benchmark/benchmark.h>

namespace {

using namespace korva;

struct SixteenSlots {
  Project project;
  RomLibrary library;
  Templates templates = LoadTemplates();
  SixteenSlots() {
    for (int n = 1; n <= SlotCount; ++n) {
      TROMInfo rom;
      rom.PrgRomSize = n % 2 ? 16384 : 32768;
      rom.ChrRomSize = 8192;
      rom.Mirroring = "v";
      library.ROMList.push_back(rom);
      project.slot(n).ROMIndex = n - 1;
      project.slot(n).Title = std::string("GAME NUMBER ") + static_cast<char>('A' + n) + " 12345";
      project.slot(n).Icon = n % 4;
    }
    project.Cartridge.InstLine1 = "ABCDEFGHIJKLMNOPQRSTUVWX";
    project.Cartridge.InstLine2 = "PRESS START TO PLAY 1234";
  }
};

void BM_MenuScreen_FromImages(benchmark::State& state) {
  const SixteenSlots s;
  CartridgeImages images;
  images.Prg.assign(kImageSize, 0xFF);
  images.Chr.assign(kImageSize, 0xFF);
  const auto prg = PatchMenuProgram(s.project, s.templates, PlaceGames(SlotRoms(s.project, s.library), SlotIcons(s.project)));
  std::copy(prg.begin(), prg.end(), images.Prg.begin() + kMenuPrgImageOffset);
  const auto chr = s.templates.MenuRom.begin() + kMenuPatchHeaderSize + kMenuPrgSize;
  std::copy(chr, chr + kMenuChrSize, images.Chr.begin());
  MenuFrame frame;
  for (auto _ : state) {
    benchmark::DoNotOptimize(RenderMenuScreen(images, frame));
    benchmark::DoNotOptimize(frame.Rgb.data());
  }
}
BENCHMARK(BM_MenuScreen_FromImages)->Unit(benchmark::kMicrosecond);

void BM_MenuScreen_WindowPreview(benchmark::State& state) {
  const SixteenSlots s;
  MenuFrame frame;
  for (auto _ : state) {
    benchmark::DoNotOptimize(PreviewMenu(s.project, s.library, s.templates, frame));
    benchmark::DoNotOptimize(frame.Rgb.data());
  }
}
BENCHMARK(BM_MenuScreen_WindowPreview)->Unit(benchmark::kMicrosecond);

}  // namespace
