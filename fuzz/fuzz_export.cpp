// The export of a fuzzed project in memory: the project is read from the
// input against a fixed library of ROM files (made once at start-up: half-
// and full-bank games, one in an archive, an archive of two files, a file
// shorter than its record, a ROM too large, a file of neither type, and one
// that is not there), then the export's checks, its project text and the
// three images run as the export command runs them, with nothing written.
// Only ProjectFileError may come out; a build that succeeds gives images of
// the right sizes and an instruction ROM with a valid checksum.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "builder/Export.h"
#include "builder/InstRom.h"
#include "romlib/CRC.h"
#include "project/ProjectFile.h"

namespace {

using namespace korva;

struct Fixture {
  Workspace ws;
  Templates templates;
  // The CRC-32 of each file's data, which the build checks. The records
  // carry round numbers instead, which the corpus's project files name.
  std::vector<std::uint32_t> dataCrcs;
};

Fixture Make() {
  Fixture f;
  const std::string& dir = fuzz::ScratchDirectory();
  RomLibrary& lib = f.ws.Library;
  lib.ROMPath = dir;
  const auto add = [&](const char* name, std::uint32_t crc, int mapper, std::int32_t prg, std::int32_t chr,
                       const fuzz::Bytes* file, const fuzz::Bytes* inside = nullptr) {
    lib.ROMList.push_back({name, crc, mapper, prg, chr, "v", "NesNtsc",
                           static_cast<std::int32_t>(lib.ROMList.size()), 0});
    lib.ROMNames.push_back(WithoutExtension(name));
    if (file) fuzz::PutFile(dir + name, *file);
    // An archive's data is its entry's; a .nes file's its own.
    const fuzz::Bytes* image = inside ? inside : file;
    f.dataCrcs.push_back(image && image->size() > 16 ? crc::Crc32(0, image->data() + 16, image->size() - 16) : crc);
  };
  const fuzz::Bytes half = fuzz::NesImage(1, 1, 0, false, 1);
  const fuzz::Bytes half2 = fuzz::NesImage(1, 1, 0, true, 2);
  const fuzz::Bytes full = fuzz::NesImage(2, 4, 3, true, 3);
  const fuzz::Bytes zipped = fuzz::StoredZip({{"Half2.nes", half2}});
  const fuzz::Bytes two = fuzz::StoredZip({{"a.nes", half}, {"b.nes", half2}});
  const fuzz::Bytes shortFile(half.begin(), half.begin() + 16 + 16384);
  add("Half.nes", 0x11111111, 0, 16384, 8192, &half);
  add("Half2.zip", 0x22222222, 0, 16384, 8192, &zipped, &half2);
  add("Full.nes", 0x33333333, 3, 32768, 32768, &full);
  add("Cnrom.nes", 0x44444444, 3, 32768, 8192, &full);
  add("Short.nes", 0x55555555, 0, 16384, 8192, &shortFile);
  add("Two.zip", 0x66666666, 0, 16384, 8192, &two);
  add("Odd.bin", 0x77777777, 0, 16384, 8192, &half);
  add("Gone.nes", 0x88888888, 0, 16384, 8192, nullptr);
  add("Large.nes", 0x99999999, 4, 65536, 8192, &full);
  add("Half copy.nes", 0x11111111, 0, 16384, 8192, &half);
  f.templates = LoadTemplates();  // the built-in ones
  return f;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Fixture fixture = Make();
  fuzz::QuietUI ui;
  Workspace ws = fixture.ws;
  try {
    ws.Proj = ReadProjectText(fuzz::AsText(data, size), fixture.ws.Library.ROMPath + "fuzz.korva", ws.Library);
  } catch (const ProjectFileError&) {
    return 0;
  }
  if (!ExportCheckMessage(ws).empty()) return 0;
  ws.Proj.ProjectModified = true;
  const std::string projectText = ProjectFileText(ws);
  for (std::size_t i = 0; i < ws.Library.ROMList.size(); ++i) ws.Library.ROMList[i].CRC32 = fixture.dataCrcs[i];
  const ImageAssembly assembly = AssembleImages(ws.Proj, ws.Library, fixture.templates);
  if (!assembly.Built()) return 0;
  const CartridgeImages& images = assembly.Images;
  if (projectText.empty() || images.Prg.size() != kImageSize || images.Chr.size() != kImageSize ||
      images.InstRom.size() != kInstRomImageSize || InstRomChecksum(images.InstRom) != kInstRomChecksumValue)
    std::abort();
  return 0;
}
