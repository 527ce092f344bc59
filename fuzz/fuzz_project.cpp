// Reads arbitrary bytes as a .korva project file against a fixed ROM list.
// Only ProjectFileError may come out. A project that reads is written again
// and read back: the second text must equal the first.
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
    ws.Library.ROMNames.push_back(NameWithoutExtension(name));
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
  fuzz::QuietUI ui;
  Workspace ws = fixed;
  try {
    ReadProjectText(ws, fuzz::AsText(data, size), "/projects/fuzz.korva", ui);
  } catch (const ProjectFileError&) {
    return 0;
  }
  const std::string text = ProjectFileText(ws);
  Workspace again = fixed;
  ReadProjectText(again, text, "/projects/fuzz.korva", ui);
  if (ProjectFileText(again) != text) std::abort();
  return 0;
}
