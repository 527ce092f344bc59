#pragma once
// Randomize: fills all sixteen slots with ROMs drawn at random from ROMList,
// each slot on its own (the same ROM may land in several), so that the
// cartridge can be built: the layout fits the images and holds a half-bank
// game. The cartridge fields and ProjectFileName stay as they are.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <functional>

namespace korva {

enum class RandomFillResult {
  Filled,          // every slot has a ROM, "No Icon" and a title from its ROM
  Cancelled,       // the user declined the question; nothing changed
  NoROMs,          // ROMList is empty; nothing changed, the status bar says why
  NoHalfBankGame,  // no ROM in ROMList has PRG 16 KB and CHR 8 KB, so no layout can be
                   // built; nothing changed, the status bar says why
};

// Chooses ROM `index` for slot n as the user would (the window selects it in
// the slot's list and runs its change handler).
using ChooseROMFn = std::function<void(int n, int index)>;

// Draws sixteen ROMs, each uniformly from ROMList, until FitGames (the
// export's own rule) finds the layout buildable, or up to a limit of draws;
// past it one slot, itself drawn, gets a half-bank game drawn from those in
// the list. While ProjectModified is set the user is asked first (OK or
// Cancel); a list that cannot give a buildable layout is reported before any
// question. `choose` defaults to ChooseSlotROM on the model and is called for
// slots 1 to 16 in order. The draws come from a generator seeded with `seed`,
// so a seed gives the same fill of the same list; RandomFill without a seed
// takes the clock's high-resolution counter, anew on every use.
// ProjectModified is false after a completed fill.
RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, std::uint64_t seed, const ChooseROMFn& choose = {});
RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, const ChooseROMFn& choose = {});

}  // namespace korva
