// Reads arbitrary bytes the way the ROM reader reads a file's (as a .nes
// image and as a .zip archive), makes the record and applies the
// compatibility rule with the image's size.
#include <cstdint>
#include <vector>

#include "romlib/ROMInfo.h"
#include "romlib/RomImage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const korva::HeaderDatabase headerDb(
      {korva::TROMInfo{"", 0xFFFFFFFFu, 0, 16384, 8192, "h", "NesNtsc", -1, 0}});
  korva::IsCompatible(korva::MakeROMInfo({data, size}, headerDb));
  static korva::RomImageBuffer buffer;  // reused, as a scan's thread does
  for (const bool archive : {false, true}) {
    (archive ? buffer.Archive : buffer.Image).assign(data, data + size);
    if (!korva::DecodeRomImage(archive, buffer).Ok()) continue;
    const korva::TROMInfo rom = korva::MakeROMInfo(buffer.Image, headerDb);
    korva::CheckCompatibility(rom, buffer.Image.size());
  }
  return 0;
}
