// Loads arbitrary bytes as korva_db.xml. The entries' files are looked for in
// a directory of a few fixed ROM files (the working directory; ROMPath "" or
// "./" reaches it): one the header database knows, one it does not, one in an
// archive, a damaged archive and a file too short to be an image. Only
// RomDatabaseError may come out; after it the library is as it was, after a
// load its lists agree with each other and with the count. The target works
// in that directory, so the paths given to libFuzzer must be absolute.
//
// The loader reads a UTF-8 file in slices found by its own scan and parses
// anything else as one document. A document type declaration, which changes
// nothing else here, sends the same text the second way: both must give the
// same result.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

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


struct Outcome {
  bool loaded = false;
  RomDatabaseLoad load;
  RomLibrary library;
  std::string error;
};

Outcome Load(std::string_view text, const HeaderDatabase& headerDb) {
  fuzz::QuietUI ui;
  Outcome out;
  out.library.ROMPath = "/before/";
  out.library.ROMNames = {"Before"};
  int rebuilt = 0;
  try {
    out.load = LoadRomDatabaseText(text, "korva_db.xml", headerDb, out.library, ui,
                                   [&](const RomLibrary&) { ++rebuilt; });
    out.loaded = out.load.Status == RomDatabaseStatus::Loaded;
  } catch (const RomDatabaseError& e) {
    out.error = e.what();
  }
  if (out.loaded) {
    if (rebuilt != 1 || out.library.ROMList.size() != out.library.ROMNames.size() ||
        out.library.ROMList.size() != static_cast<std::size_t>(out.load.Count))
      std::abort();
    for (std::size_t i = 0; i < out.library.ROMList.size(); ++i)
      if (out.library.ROMList[i].ListIndex != static_cast<std::int32_t>(i)) std::abort();
  } else if (rebuilt != 0 || out.library.ROMPath != "/before/" || out.library.ROMNames.size() != 1) {
    std::abort();
  }
  return out;
}

// The text with "<!DOCTYPE KORVA>" after a UTF-8 byte order mark and an XML
// declaration, or nothing when it may be in another encoding or its
// declaration does not end.
std::optional<std::string> WithDoctype(std::string_view text) {
  std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  if (text.size() < at + 4 || text[at] != '<' || text.substr(at, 4).find('\0') != std::string_view::npos)
    return std::nullopt;
  if (text.substr(at).starts_with("<?xml")) {
    const auto end = text.find("?>", at);
    if (end == std::string_view::npos) return std::nullopt;
    at = end + 2;
  }
  return std::string(text.substr(0, at)) + "<!DOCTYPE KORVA>" + std::string(text.substr(at));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const HeaderDatabase& headerDb = Files();
  const std::string_view text = fuzz::AsText(data, size);
  const Outcome sliced = Load(text, headerDb);
  const std::optional<std::string> other = WithDoctype(text);
  if (!other) return 0;
  const Outcome whole = Load(*other, headerDb);
  // Error texts may differ in the byte offset only.
  if (sliced.loaded != whole.loaded || sliced.load.Status != whole.load.Status ||
      sliced.error.empty() != whole.error.empty() ||
      (sliced.error.find(" at byte ") == std::string::npos && sliced.error != whole.error) ||
      sliced.load.OutOfSync != whole.load.OutOfSync || sliced.library.ROMPath != whole.library.ROMPath ||
      sliced.library.ROMList != whole.library.ROMList || sliced.library.ROMNames != whole.library.ROMNames)
    std::abort();
  return 0;
}
