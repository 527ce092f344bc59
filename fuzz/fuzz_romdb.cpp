// Loads arbitrary bytes as korva_db.xml. The entries' files are looked for in
// a directory of a few fixed ROM files (the working directory; ROMPath "" or
// "./" reaches it): one the header database knows, one it does not, one in an
// archive, a damaged archive and a file too short to be an image. Nothing
// may come out but a result: Loaded with lists that agree with each other, or
// Unusable with its reason and no entries. The target works in that
// directory, so the paths given to libFuzzer must be absolute.
//
// The loader reads a UTF-8 file in slices found by its own scan and parses
// anything else as one document. A space before the first '<', which changes
// nothing else here, sends the same text the second way: both must give the
// same result. A document type declaration is refused, however the rest of a
// file that loads would be read.
#include <unistd.h>

#include <cctype>
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

// A text the loader may read in slices: UTF-8 after an optional byte order
// mark, starting with '<', without a NUL byte, and with no other encoding
// named in its XML declaration. A space before the first '<' would change
// how pugixml reads any other text (a NUL byte makes "<" the start of UTF-16,
// an encoding named at the very start is honoured), and the loader never
// slices one of those anyway.
bool MaySlice(std::string_view text, std::size_t at) {
  if (text.size() < at + 4 || text[at] != '<' || text.find('\0') != std::string_view::npos) return false;
  if (!text.substr(at).starts_with("<?xml")) return true;
  const std::string_view declaration = text.substr(at, text.find("?>", at) - at);
  const auto encoding = declaration.find("encoding");
  if (encoding == std::string_view::npos) return true;
  const auto quote = declaration.find_first_of("\"'", encoding);
  if (quote == std::string_view::npos) return false;
  std::string value(declaration.substr(quote + 1, 6));
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return value == "utf-8\"" || value == "utf-8'";
}

// The text with `insert` after a UTF-8 byte order mark and, when `afterDeclaration`,
// after an XML declaration that ends.
std::optional<std::string> WithInserted(std::string_view text, std::string_view insert, bool afterDeclaration) {
  std::size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  if (!MaySlice(text, at)) return std::nullopt;
  if (afterDeclaration && text.substr(at).starts_with("<?xml")) {
    const auto end = text.find("?>", at);
    if (end == std::string_view::npos) return std::nullopt;
    at = end + 2;
  }
  return std::string(text.substr(0, at)).append(insert).append(text.substr(at));
}

// An error text up to the byte offset, which a space before the text moves.
std::string_view WithoutOffset(std::string_view error) { return error.substr(0, error.find(" at byte ")); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const HeaderDatabase& headerDb = Files();
  const std::string_view text = fuzz::AsText(data, size);
  const RomDatabaseLoad sliced = Load(text, headerDb);
  const std::optional<std::string> spaced = WithInserted(text, " ", false);
  if (!spaced) return 0;
  const RomDatabaseLoad whole = Load(*spaced, headerDb);
  if (sliced.Status != whole.Status || sliced.Damaged != whole.Damaged ||
      WithoutOffset(sliced.Problem) != WithoutOffset(whole.Problem) || sliced.OutOfSync != whole.OutOfSync ||
      sliced.Library.ROMPath != whole.Library.ROMPath || sliced.Library.ROMList != whole.Library.ROMList ||
      sliced.Library.ROMNames != whole.Library.ROMNames)
    std::abort();
  if (!Loaded(sliced)) return 0;
  const std::optional<std::string> declared = WithInserted(text, "<!DOCTYPE KORVA>", true);
  if (!declared) return 0;
  const RomDatabaseLoad refused = Load(*declared, headerDb);
  if (Loaded(refused) || refused.Problem.find("document type declaration") == std::string::npos) std::abort();
  return 0;
}
