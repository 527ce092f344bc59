#pragma once
// Data assets built into the program: the header database archive (NES20DB),
// the instruction ROM template (INSTROM) and the menu program template
// (MENUROM). The bytes live for the whole run of the program.
#include <cstdint>
#include <span>
#include <string_view>

namespace korva {

// The whole content of the asset named `name`, compared without regard to
// case ("MenuROM" finds MENUROM). An empty span when there is no such asset.
std::span<const std::uint8_t> FindAsset(std::string_view name);

}  // namespace korva
