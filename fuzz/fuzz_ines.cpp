// Makes a ROM record from arbitrary bytes, directly and as the single entry
// of a ZIP archive in memory (the way the .zip reader does it).
#include <cstdint>
#include <vector>

#include "romlib/ROMInfo.h"
#include "romlib/ZipRead.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const korva::HeaderDatabase headerDb(
      {korva::TROMInfo{"", 0xFFFFFFFFu, 0, 16384, 8192, "h", "NesNtsc", -1, 0}});
  const korva::TROMInfo direct = korva::MakeROMInfo({data, size}, headerDb);
  korva::IsCompatible(direct);
  try {
    korva::TZipRead zip(data, size);
    if (zip.Count() == 1) {
      korva::TFileInfo info;
      if (zip.RetrieveFileInfo(0, info)) {
        std::vector<std::uint8_t> bytes = zip.UnZip(0);
        if (bytes.size() > info.zfullSize) bytes.resize(info.zfullSize);
        korva::IsCompatible(korva::MakeROMInfo(bytes, headerDb));
      }
    }
  } catch (const korva::ESynZipException&) {
  }
  return 0;
}
