#include "project/Model.h"
#include "romlib/FileUtil.h"
#include "romlib/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace korva {

bool IsTitleChar(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case ' ': case '!': case '#': case '$': case '&': case '\'': case '(': case ')': case '*':
    case '+': case '-': case '.': case '/': case ':': case '<': case '=': case '>': case '?':
    case 0x03: case 0x08: case 0x16:
      return true;
    default:
      return false;
  }
}

std::string SanitizeTitle(std::string_view text, std::size_t maxLength) {
  std::string kept;
  kept.reserve(text.size());
  for (char ch : text) {
    if (IsTitleChar(static_cast<unsigned char>(ch))) kept.push_back(ch);
  }
  if (const auto paren = kept.find('('); paren != std::string::npos) {
    kept.erase(paren);
    const auto blank = [](char ch) { return static_cast<unsigned char>(ch) <= 0x20; };
    std::size_t begin = 0, end = kept.size();
    while (begin < end && blank(kept[begin])) ++begin;
    while (end > begin && blank(kept[end - 1])) --end;
    kept = kept.substr(begin, end - begin);
  }
  if (kept.size() > maxLength) kept.resize(maxLength);
  for (char& ch : kept) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return kept;
}

std::string StorableTitle(std::string_view text, std::size_t maxLength) {
  std::string printable;
  printable.reserve(text.size());
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) >= 0x20) printable.push_back(ch);
  }
  return SanitizeTitle(printable, maxLength);
}

namespace {

// The plain letter of each code point from U+00C0 to U+024F and from U+1E00
// to U+1EFF, "_" where there is none: the first character of the code
// point's canonical decomposition (Unicode's UnicodeData.txt) when that is an
// ASCII letter, and by hand a few letters that do not decompose (Ø, Đ, Ł, ı,
// ...). The letters spelt out with two are in kSpeltOut.
constexpr std::string_view kLatinPlain =
    "AAAAAA_CEEEEIIIIDNOOOOO_OUUUUY__aaaaaa_ceeeeiiiidnooooo_ouuuuy_y"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi__JjKkkLlLlLlL"
    "lLlNnNnNnn__OoOoOo__RrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZz_"
    "________________________________Oo_____________Uu_______________"
    "_____________AaIiOoUuUuUuUuUu_AaAa____GgKkOoOo__j___Gg__NnAa____"
    "AaAaEeEeIiIiOoOoRrRrUuUuSsTt__Hh______AaEeOoOoOoOoYy____________"
    "________________";
constexpr std::string_view kLatinExtendedPlain =
    "AaBbBbBbCcDdDdDdDdDdEeEeEeEeEeFfGgHhHhHhHhHhIiIiKkKkKkLlLlLlLlMm"
    "MmMmNnNnNnNnOoOoOoOoPpPpRrRrRrRrSsSsSsSsSsTtTtTtTtUuUuUuUuUuVvVv"
    "WwWwWwWwWwXxXxYyZzZzZzhtwy______AaAaAaAaAaAaAaAaAaAaAaAaEeEeEeEe"
    "EeEeEeEeIiIiOoOoOoOoOoOoOoOoOoOoOoOoUuUuUuUuUuUuUuYyYyYyYy______";

struct SpeltOut {
  char32_t code;
  std::string_view ascii;
};
constexpr SpeltOut kSpeltOut[] = {
    {0x00C6, "AE"}, {0x00DE, "TH"}, {0x00DF, "ss"}, {0x00E6, "ae"}, {0x00FE, "th"}, {0x0132, "IJ"},
    {0x0133, "ij"}, {0x0152, "OE"}, {0x0153, "oe"}, {0x1E9E, "SS"},
    // Punctuation that has an ASCII form.
    {0x00A0, " "}, {0x00AD, ""}, {0x2010, "-"}, {0x2011, "-"}, {0x2012, "-"}, {0x2013, "-"}, {0x2014, "-"},
    {0x2015, "-"}, {0x2018, "'"}, {0x2019, "'"}, {0x201A, "'"}, {0x201B, "'"}, {0x2032, "'"}, {0x201C, "\""},
    {0x201D, "\""}, {0x201E, "\""}, {0x201F, "\""}, {0x2033, "\""}, {0x2026, "..."}, {0x2044, "/"}, {0x2212, "-"},
    {0x200B, ""}, {0x200C, ""}, {0x200D, ""}, {0x2060, ""}, {0xFEFF, ""}, {0x202F, " "}, {0x205F, " "},
    {0x3000, " "}};

// The ASCII form of one code point, or nothing when it has none.
std::optional<std::string_view> PlainForm(char32_t code) {
  static constexpr std::string_view kAscii =
      " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
  const auto fromTable = [](std::string_view table, char32_t first, char32_t c) -> std::optional<std::string_view> {
    if (c < first || c - first >= table.size() || table[c - first] == '_') return std::nullopt;
    return table.substr(c - first, 1);
  };
  if (code == '\t' || code == '\n' || code == '\r' || code == 0x85 || code == 0x2028 || code == 0x2029 ||
      (code >= 0x2000 && code <= 0x200A))
    return " ";
  for (const SpeltOut& s : kSpeltOut)
    if (s.code == code) return s.ascii;
  if (code >= 0xFF01 && code <= 0xFF5E) return kAscii.substr(code - 0xFF01 + 1, 1);  // full-width forms
  if (auto plain = fromTable(kLatinPlain, 0x00C0, code)) return plain;
  return fromTable(kLatinExtendedPlain, 0x1E00, code);
}

}  // namespace

std::string PlainLetters(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size();) {
    const std::size_t start = pos;
    const char32_t code = NextCodePoint(utf8, pos);
    if (code < 0x80 && code != '\t' && code != '\n' && code != '\r') {
      out += static_cast<char>(code);
    } else if (const auto plain = PlainForm(code)) {
      out += *plain;
    } else if (code == kNotUtf8) {
      AppendUtf8(out, 0xFFFD);  // a byte that is not UTF-8
    } else {
      out.append(utf8.substr(start, pos - start));
    }
  }
  return out;
}

CleanedTitle CleanTitleText(std::string_view utf8) {
  CleanedTitle result;
  const std::string plain = PlainLetters(utf8);
  result.Text.reserve(plain.size());
  for (std::size_t pos = 0; pos < plain.size();) {
    const std::size_t start = pos;
    const char32_t code = NextCodePoint(plain, pos);
    if (code >= 0x20 && code < 0x7F && IsTitleChar(static_cast<unsigned char>(code))) {
      const char c = static_cast<char>(code);
      result.Text += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      continue;
    }
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) continue;  // control characters
    std::string shown(plain.substr(start, pos - start));
    if (std::find(result.Dropped.begin(), result.Dropped.end(), shown) == result.Dropped.end())
      result.Dropped.push_back(std::move(shown));
  }
  return result;
}

void NewProject(Project& project, UserInterface& ui) {
  for (auto& slot : project.Slots) slot = Slot{};
  project.Cartridge.CartTitle = std::string(kDefaultCartTitle);
  project.Cartridge.InstLine1 = std::string(kDefaultInstLine1);
  project.Cartridge.InstLine2 = std::string(kDefaultInstLine2);
  project.Cartridge.Icons = kDefaultIcons;
  project.ProjectModified = false;
  project.ProjectFileName.clear();
  ui.ShowStatusMessage("New project created!", 2);
}

std::string ROMInfoText(const TROMInfo& rom) {
  if (rom.Empty()) return {};
  char text[64];
  std::snprintf(text, sizeof text, "(PRG %dkb / CHR %dkb)", rom.PrgRomSize / 1024, rom.ChrRomSize / 1024);
  return text;
}

std::string VersionText() { return std::string(kApplicationTitle) + " [Build " + std::to_string(BuildNumber) + "]"; }

}  // namespace korva
