// Loads arbitrary bytes as korva_db.xml. The entries' files are looked for in
// a directory of a few fixed ROM files (the working directory; ROMPath "" or
// "./" reaches it): one the header database knows, one it does not, one in an
// archive, a damaged archive and a file too short to be an image. Nothing
// may come out but a result: Loaded with lists that agree with each other, or
// Unusable with its reason and no entries. The target works in that
// directory, so the paths given to libFuzzer must be absolute.
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


bool Loaded(const RomDatabaseLoad& load) { return load.Status == RomDatabaseStatus::Loaded; }

RomDatabaseLoad Load(std::string_view text, const HeaderDatabase& headerDb) {
  RomDatabaseLoad load = LoadRomDatabaseText(text, "korva_db.xml", headerDb);
  const RomLibrary& library = load.Library;
  if (Loaded(load)) {
    if (library.ROMList.size() != library.ROMNames.size() || !load.Problem.empty()) std::abort();
    for (std::size_t i = 0; i < library.ROMList.size(); ++i)
      if (library.ROMList[i].ListIndex != static_cast<std::int32_t>(i)) std::abort();
  } else if (load.Status != RomDatabaseStatus::Unusable || load.Problem.empty() || !library.ROMList.empty()) {
    std::abort();
  }
  return load;
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
  const RomDatabaseLoad sliced = Load(text, headerDb);
  const std::optional<std::string> other = WithDoctype(text);
  if (!other) return 0;
  const RomDatabaseLoad whole = Load(*other, headerDb);
  // Reasons may differ in the byte offset only.
  if (sliced.Status != whole.Status || sliced.Damaged != whole.Damaged ||
      (sliced.Problem.find(" at byte ") == std::string::npos && sliced.Problem != whole.Problem) ||
      sliced.OutOfSync != whole.OutOfSync || sliced.Library.ROMPath != whole.Library.ROMPath ||
      sliced.Library.ROMList != whole.Library.ROMList || sliced.Library.ROMNames != whole.Library.ROMNames)
    std::abort();
  return 0;
}
