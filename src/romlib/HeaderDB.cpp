#include "romlib/HeaderDB.h"

#include "romlib/Assets.h"
#include "romlib/FileUtil.h"
#include "romlib/NumberText.h"
#include "romlib/ZipRead.h"

#include <cstdint>

namespace korva {

namespace {

constexpr std::size_t kFieldCount = 6;
// An override text larger than this is not a header database.
constexpr std::size_t kMaxOverrideSize = 64u * 1024u * 1024u;

std::int32_t DecimalOr(std::string_view text, std::int32_t fallback) { return ParseDecimal(text).value_or(fallback); }

std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

}  // namespace

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

TROMInfo ParseHeaderLine(std::string_view line, int lineNumber) {
  std::string_view fields[kFieldCount];
  std::size_t count = 0;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    const std::string_view field = line.substr(start, comma == std::string_view::npos ? line.npos : comma - start);
    if (count < kFieldCount) fields[count] = field;
    ++count;
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  const std::string where = "line " + std::to_string(lineNumber) + ": ";
  if (count != kFieldCount)
    throw HeaderDBError(where + "expected 6 fields, found " + std::to_string(count) + " in " + Quoted(line));
  TROMInfo rom;
  const std::optional<std::uint32_t> crc = fields[0].size() <= 8 ? ParseHex32(fields[0]) : std::nullopt;
  if (!crc)
    throw HeaderDBError(where + "the CRC " + Quoted(fields[0]) + " is not a hexadecimal number");
  rom.CRC32 = *crc;
  rom.Mapper = DecimalOr(fields[1], -1);
  rom.PrgRomSize = DecimalOr(fields[2], 0);
  rom.ChrRomSize = DecimalOr(fields[3], 0);
  rom.Mirroring = std::string(fields[4]);
  rom.Timing = fields[5] == "0" || fields[5] == "2" ? "NesNtsc" : "NesPal";
  return rom;
}

HeaderDatabase ParseHeaderDatabase(std::string_view text) {
  // Editors that save UTF-8 may put a byte order mark in front.
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  const auto lines = SplitLines(text);
  std::vector<TROMInfo> records;
  records.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    records.push_back(ParseHeaderLine(lines[i], static_cast<int>(i + 1)));
  }
  return HeaderDatabase(std::move(records));
}

HeaderDatabase BuiltInHeaderDatabase() {
  const auto archive = FindAsset("NES20DB");
  if (archive.empty()) throw std::runtime_error("The built-in header database NES20DB is missing");
  TZipRead zip(archive.data(), archive.size());
  if (zip.Count() < 1) throw std::runtime_error("The built-in header database NES20DB holds no file");
  const auto bytes = zip.UnZip(0);
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  try {
    return ParseHeaderDatabase(text);
  } catch (const HeaderDBError& e) {
    throw std::runtime_error(std::string("The built-in header database is damaged (") + e.what() + ")");
  }
}

HeaderDatabase LoadHeaderDatabase(UserInterface& ui, const std::string& overridePath) {
  if (!FileExists(overridePath)) return BuiltInHeaderDatabase();
  std::string problem;
  try {
    const auto bytes = ReadWholeFile(overridePath, kMaxOverrideSize);
    HeaderDatabase db = ParseHeaderDatabase(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    // An override without entries would switch header correction off.
    if (!db.empty()) return db;
    problem = "it holds no entries";
  } catch (const HeaderDBError& e) {
    problem = e.what();
  } catch (const FileError& e) {
    problem = e.what();
  }
  ui.ShowCenteredMessage(overridePath + " is not used: " + problem +
                             ".\r\n\r\nThe built-in header database is used instead.",
                         MsgKind::Warning, static_cast<MsgButtons>(MsgButton::OK));
  return BuiltInHeaderDatabase();
}

}  // namespace korva
