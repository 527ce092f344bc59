#pragma once
// The project model: sixteen menu slots and the cartridge-wide settings, the
// project file name and the ProjectModified flag, the title character set,
// SanitizeTitle and NewProject.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <array>
#include <string>
#include <string_view>

namespace korva {

constexpr int BuildNumber = 12;
constexpr int SlotCount = 16;
constexpr std::size_t kTitleMaxLength = 19;     // slot titles and CartTitle
constexpr std::size_t kInstLineMaxLength = 24;  // InstLine1, InstLine2

// The menu icon names; a slot's Icon is the index 0 to 3.
inline constexpr std::array<std::string_view, 4> IconNames = {"No Icon", "1-Player", "2-Player", "Zapper"};

struct Slot {
  int ROMIndex = -1;  // -1 (no ROM) or an index into ROMList
  std::string Title;  // at most 19 characters, upper case
  int Icon = 0;       // index into IconNames
};

struct CartridgeSettings {
  std::string CartTitle;  // at most 19 characters, upper case
  std::string InstLine1;  // at most 24 characters, upper case
  std::string InstLine2;  // at most 24 characters, upper case
  int Icons = 1;          // game icon mode: 0 "1 Player", 1 "2 Player", 2 "Lightgun"
};

struct Project {
  std::array<Slot, SlotCount> Slots{};  // Slots[0] is slot 1
  CartridgeSettings Cartridge;
  std::string ProjectFileName;  // empty until saved or opened
  bool ProjectModified = false;

  // Slot n, numbered 1 to 16.
  Slot& slot(int n) { return Slots.at(static_cast<std::size_t>(n - 1)); }
  const Slot& slot(int n) const { return Slots.at(static_cast<std::size_t>(n - 1)); }
};

}  // namespace korva
