#include "romlib/Assets.h"

#include "romlib/AssetTable.h"
#include "romlib/FileUtil.h"

namespace korva {

std::span<const std::uint8_t> FindAsset(std::string_view name) {
  for (const auto* entry = assets_detail::kAssetTable; entry->name != nullptr; ++entry) {
    if (EqualIgnoringCase(entry->name, name))
      return {reinterpret_cast<const std::uint8_t*>(entry->data), entry->size};
  }
  return {};
}

}  // namespace korva
