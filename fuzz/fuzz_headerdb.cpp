// Parses arbitrary bytes as a nescartdb.txt override. Only HeaderDBError may
// come out. A table that parses has one record per non-empty line, and each
// record's CRC finds a record with that CRC.
#include <cstdint>
#include <cstdlib>

#include "FuzzSupport.h"
#include "romlib/HeaderDB.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text = korva::fuzz::AsText(data, size);
  try {
    const korva::HeaderDatabase db = korva::ParseHeaderDatabase(text);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // the reader skips a byte order mark
    std::size_t lines = 0;
    for (const std::string_view line : korva::SplitLines(text)) lines += line.empty() ? 0 : 1;
    if (db.size() != lines) std::abort();
    for (const korva::TROMInfo& rom : db.Records())
      if (db.Find(rom.CRC32).CRC32 != rom.CRC32) std::abort();
  } catch (const korva::HeaderDBError&) {
  }
  return 0;
}
