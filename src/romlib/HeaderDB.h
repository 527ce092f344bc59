#pragma once
// Loading the header database: the built-in NES20DB archive, or a text file
// "nescartdb.txt" in the working directory that replaces it whole.
//
// Text format: one game per line (CR LF, a lone CR or a lone LF ends a line),
// six comma-separated fields, no header line:
//   CRC (hexadecimal), mapper, PRG bytes, CHR bytes, mirroring, timing digit
// A mapper that is not a decimal integer becomes -1, sizes that are not become
// 0, the mirroring text is kept as it stands, and timing "0" or "2" is NTSC,
// anything else PAL. assets/header/README.md describes the built-in data.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// A header database text that cannot be used. The message names the line.
class HeaderDBError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The name of the override file, looked for in the working directory.
inline constexpr const char* kHeaderOverrideName = "nescartdb.txt";

// The lines of `text`, split at CR LF, lone CR or lone LF. A final line break
// does not start another line.
std::vector<std::string_view> SplitLines(std::string_view text);

// One record from one line, or raises HeaderDBError for a line with other
// than six fields or a first field that is not 1 to 8 hexadecimal digits.
// `lineNumber` (1-based) goes into the message.
TROMInfo ParseHeaderLine(std::string_view line, int lineNumber);

// The table for a whole text, in line order. A UTF-8 byte order mark at the
// start and empty lines are skipped; any other malformed line raises
// HeaderDBError.
HeaderDatabase ParseHeaderDatabase(std::string_view text);

// The built-in database, from the NES20DB archive's first file entry. The
// archive is part of the program: its absence or damage raises an error
// (ESynZipException or std::runtime_error).
HeaderDatabase BuiltInHeaderDatabase();

// The database the program uses: the file at `overridePath` when it exists,
// otherwise the built-in one. An override that cannot be read, holds a
// malformed line or holds no entries at all is refused with a warning through
// `ui` that names the file and the line (or "it holds no entries"), and the
// built-in database is used.
HeaderDatabase LoadHeaderDatabase(UserInterface& ui, const std::string& overridePath = kHeaderOverrideName);

}  // namespace korva
