#pragma once
// Numbers read from text that came from outside (a ROM database entry, a
// project file, a header database line, the update server's answer): the
// whole text is the number, or there is none. No spaces, no prefix, nothing
// after the digits; the callers decide what a field without a number means.
#include <cstdint>
#include <optional>
#include <string_view>

namespace korva {

// A decimal integer that fits 32 bits: one optional sign ("+" or "-") and at
// least one digit. "+-5", "", "12x" and "2147483648" give nullopt.
std::optional<std::int32_t> ParseDecimal(std::string_view text);

// Hexadecimal digits of either case, no "$" or "0x", whose value fits 32 bits
// (leading zeros do not count against it). "", "-1" and "100000000" give nullopt.
std::optional<std::uint32_t> ParseHex32(std::string_view text);

}  // namespace korva
