#include "romlib/Assets.h"

#include "romlib/AssetTable.h"

#include <cctype>

namespace korva {

namespace {
bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}
}  // namespace

std::span<const std::uint8_t> FindAsset(std::string_view name) {
  for (const auto* entry = assets_detail::kAssetTable; entry->name != nullptr; ++entry) {
    if (EqualNoCase(entry->name, name))
      return {reinterpret_cast<const std::uint8_t*>(entry->data), entry->size};
  }
  return {};
}

}  // namespace korva
