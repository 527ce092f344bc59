// Reads arbitrary bytes as a .korva project file against a fixed ROM list.
// Only ProjectFileError may come out. A project that reads is written and
// read back: the same slots and texts, and the same text when written again.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "project/ProjectFile.h"

namespace {

using namespace korva;

Workspace Fixed() {
  Workspace ws;
  const auto add = [&ws](const char* name, std::uint32_t crc, std::int32_t prg, std::int32_t chr) {
    TROMInfo rom{name, crc, 0, prg, chr, "v", "NesNtsc", static_cast<std::int32_t>(ws.Library.ROMList.size()), 0};
    ws.Library.ROMList.push_back(rom);
    ws.Library.ROMNames.push_back(WithoutExtension(name));
  };
  add("Alpha.nes", 0x1234ABCD, 16384, 8192);
  add("Beta.zip", 0x00C0FFEE, 32768, 32768);
  add("Alpha copy.nes", 0x1234ABCD, 16384, 8192);
  add("Zero.nes", 0, 16384, 8192);
  ws.Library.ROMPath = "/roms/";
  return ws;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Workspace fixed = Fixed();
  Workspace ws = fixed;
  try {
    ws.Proj = ReadProjectText(fuzz::AsText(data, size), "/projects/fuzz.korva", ws.Library);
  } catch (const ProjectFileError&) {
    return 0;
  }
  const std::string text = ProjectFileText(ws);
  Workspace again = fixed;
  again.Proj = ReadProjectText(text, "/projects/fuzz.korva", again.Library);
  for (std::size_t i = 0; i < ws.Proj.Slots.size(); ++i) {
    const Slot &a = ws.Proj.Slots[i], &b = again.Proj.Slots[i];
    if (a.ROMIndex != b.ROMIndex || a.MissingCRC != b.MissingCRC || a.Title != b.Title || a.Icon != b.Icon)
      std::abort();
  }
  const CartridgeSettings &a = ws.Proj.Cartridge, &b = again.Proj.Cartridge;
  if (a.CartTitle != b.CartTitle || a.InstLine1 != b.InstLine1 || a.InstLine2 != b.InstLine2 || a.Icons != b.Icons ||
      ProjectFileText(again) != text)
    std::abort();
  return 0;
}
