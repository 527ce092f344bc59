#include "romlib/Utf8.h"

namespace korva {

char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 1;
  char32_t code = lead, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1Fu, least = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0Fu, least = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07u, least = 0x10000;
  else if (lead >= 0x80) code = kNotUtf8;
  if (length > text.size() - pos) code = kNotUtf8;
  for (std::size_t i = 1; i < length && code != kNotUtf8; ++i)
    code = (byte(pos + i) & 0xC0u) == 0x80 ? (code << 6) | (byte(pos + i) & 0x3Fu) : kNotUtf8;
  if (code != kNotUtf8 && (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) code = kNotUtf8;
  pos += code == kNotUtf8 ? 1 : length;
  return code;
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return;
  }
  const int continuation = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[continuation] | (code >> (6 * continuation)));
  for (int shift = 6 * (continuation - 1); shift >= 0; shift -= 6)
    out += static_cast<char>(0x80 | ((code >> shift) & 0x3F));
}

std::string ValidUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t start = pos;
    if (NextCodePoint(text, pos) == kNotUtf8) AppendUtf8(out, 0xFFFD);
    else out.append(text.substr(start, pos - start));
  }
  return out;
}

}  // namespace korva
