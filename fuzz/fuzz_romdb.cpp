// Loads arbitrary bytes as korva_db.xml. The entries' files are looked for in
// a directory of a few fixed ROM files (the working directory; ROMPath "" or
// "./" reaches it): one the header database knows, one it does not, one in an
// archive, a damaged archive and a file too short to be an image. Only
// RomDatabaseError may come out; after it the library is as it was, after a
// load its lists agree with each other and with the count. The target works
// in that directory, so the paths given to libFuzzer must be absolute.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

namespace {

using namespace korva;

const HeaderDatabase& Files() {
  static const HeaderDatabase headerDb = [] {
    const std::string& dir = fuzz::ScratchDirectory();
    const fuzz::Bytes known = fuzz::NesImage(1, 1, 0, true, 1);
    fuzz::PutFile(dir + "known.nes", known);
    fuzz::PutFile(dir + "unknown.nes", fuzz::NesImage(2, 1, 3, false, 2));
    fuzz::PutFile(dir + "zipped.zip", fuzz::StoredZip({{"game.nes", fuzz::NesImage(1, 1, 0, false, 3)}}));
    fuzz::PutFile(dir + "broken.zip", {'P', 'K', 3, 4, 0});
    fuzz::PutFile(dir + "short.nes", {'N', 'E', 'S', 0x1A, 1, 1});
    if (::chdir(dir.c_str()) != 0) std::abort();
    const std::uint32_t crc = crc::Crc32(0, known.data() + 16, known.size() - 16);
    return ParseHeaderDatabase(CrcText(crc) + ",0,16384,8192,v,0\n");
  }();
  return headerDb;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const HeaderDatabase& headerDb = Files();
  fuzz::QuietUI ui;
  RomLibrary library;
  library.ROMPath = "/before/";
  library.ROMNames = {"Before"};
  int rebuilt = 0;
  try {
    const RomDatabaseLoad load = LoadRomDatabaseText(fuzz::AsText(data, size), "korva_db.xml", headerDb, library, ui,
                                                     [&](const RomLibrary&) { ++rebuilt; });
    if (load.Status == RomDatabaseStatus::Loaded) {
      if (rebuilt != 1 || library.ROMList.size() != library.ROMNames.size() ||
          library.ROMList.size() != static_cast<std::size_t>(load.Count))
        std::abort();
      for (std::size_t i = 0; i < library.ROMList.size(); ++i)
        if (library.ROMList[i].ListIndex != static_cast<std::int32_t>(i)) std::abort();
      return 0;
    }
  } catch (const RomDatabaseError&) {
  }
  if (rebuilt != 0 || library.ROMPath != "/before/" || library.ROMNames.size() != 1) std::abort();
  return 0;
}
