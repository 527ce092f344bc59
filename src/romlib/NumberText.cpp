#include "romlib/NumberText.h"

#include <charconv>

namespace korva {

namespace {

template <typename T>
std::optional<T> ParseWhole(std::string_view text, int base) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::int32_t> ParseDecimal(std::string_view text) {
  // from_chars takes a minus sign but no plus sign; a plus may not be
  // followed by a second sign.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.starts_with('-')) return std::nullopt;
  }
  return ParseWhole<std::int32_t>(text, 10);
}

std::optional<std::uint32_t> ParseHex32(std::string_view text) { return ParseWhole<std::uint32_t>(text, 16); }

}  // namespace korva
