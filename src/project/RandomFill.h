#pragma once
// Randomize: fills all sixteen slots with ROMs drawn at random from ROMList,
// each slot on its own (the same ROM may land in several). The cartridge
// fields and ProjectFileName stay as they are.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <functional>

namespace korva {

enum class RandomFillResult {
  Filled,     // every slot has a ROM, "No Icon" and a title from its ROM
  Cancelled,  // the user declined the question; nothing changed
  NoROMs,     // ROMList is empty; nothing changed, the status bar says why
};

// Chooses ROM `index` for slot n as the user would (the window selects it in
// the slot's list and runs its change handler).
using ChooseROMFn = std::function<void(int n, int index)>;

// While ProjectModified is set the user is asked first (OK or Cancel).
// `choose` defaults to ChooseSlotROM on the model. The draws come from a
// generator seeded with `seed`; RandomFill without a seed takes the clock's
// high-resolution counter, anew on every use. ProjectModified is false after
// a completed fill.
RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, std::uint64_t seed, const ChooseROMFn& choose = {});
RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, const ChooseROMFn& choose = {});

}  // namespace korva
