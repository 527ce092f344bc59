#pragma once
// UTF-8 read and written in one place: every text the program takes from
// outside (archive entry names, ROM database names, titles, JSON strings)
// is decoded here.
#include <cstddef>
#include <string>
#include <string_view>

namespace korva {

// What NextCodePoint gives for a byte that does not start a well-formed
// sequence; no character has this value.
constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// The character that starts at `text[pos]`, advancing `pos` past it
// (`pos` < text.size()). A well-formed sequence is the shortest form of a
// value up to U+10FFFF that is not a surrogate; a byte that starts none (an
// overlong form, a surrogate, a sequence cut short or broken, a stray
// continuation byte) is kNotUtf8 and advances `pos` by one.
char32_t NextCodePoint(std::string_view text, std::size_t& pos);

// Appends the UTF-8 form of `code` (a value up to U+10FFFF).
void AppendUtf8(std::string& out, char32_t code);

// `text` with each byte that does not start a well-formed sequence replaced
// by U+FFFD.
std::string ValidUtf8(std::string_view text);

}  // namespace korva
