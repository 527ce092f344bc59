#pragma once
// The PlayChoice-10 character set: the one-byte codes of the instruction
// ROM's own font. Digits are 0 to 9, letters A to Z are 10 to 35, a few
// punctuation marks have codes of their own, and every other character
// becomes the blank, 63. There is no case folding: "a" is a blank.
#include <cstdint>

namespace korva {

constexpr std::uint8_t kPC10Blank = 0x3F;

// The PlayChoice-10 character code of one 8-bit character.
std::uint8_t EncodePC10Char(char c);

}  // namespace korva
