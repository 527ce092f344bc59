// Opens arbitrary bytes as a ZIP archive held in memory and extracts every
// entry both ways. Only ESynZipException may come out; the sanitizers catch
// any read outside the bytes.
#include <cstdint>
#include <cstring>
#include <memory>

#include "romlib/ZipRead.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    korva::TZipRead zip(data, size);
    for (int i = 0; i < zip.Count(); ++i) {
      korva::TFileInfo info;
      zip.RetrieveFileInfo(i, info);
      zip.LocalUncompressedSize(i);
      try {
        zip.UnZip(i);
      } catch (const korva::ESynZipException&) {
      }
      try {
        std::size_t total = 0;
        zip.UnZip(i, [&](const std::uint8_t*, std::size_t n) { total += n; });
      } catch (const korva::ESynZipException&) {
      }
    }
  } catch (const korva::ESynZipException&) {
  }
  return 0;
}
