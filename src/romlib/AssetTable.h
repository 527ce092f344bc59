#pragma once
// The table that the build generates from the registered data assets
// (tools/embed.cpp writes it). Only Assets.cpp reads it.
#include <cstddef>

namespace korva::assets_detail {

struct AssetEntry {
  const char* name;            // nullptr ends the table
  const unsigned char* data;
  std::size_t size;
};

extern const AssetEntry kAssetTable[];

}  // namespace korva::assets_detail
