#include "project/RandomFill.h"

#include "project/ProjectCommands.h"

#include <chrono>
#include <random>

namespace korva {

RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, std::uint64_t seed, const ChooseROMFn& choose) {
  const std::size_t count = ws.Library.ROMList.size();
  if (count == 0) {
    // Nothing to draw from: the slots stay as they are.
    ui.ShowStatusMessage("No ROMs to choose from: scan a ROM directory first.", 5);
    return RandomFillResult::NoROMs;
  }
  if (ws.Proj.ProjectModified &&
      ui.ShowCenteredMessage(
          "Randomize ROMs will choose a random ROM for every slot. The current project has been modified; press "
          "OK to proceed.",
          MsgKind::Information, MsgButton::OK | MsgButton::Cancel) != MsgButton::OK) {
    return RandomFillResult::Cancelled;
  }
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<std::size_t> draw(0, count - 1);
  for (int n = 1; n <= SlotCount; ++n) {
    const int k = static_cast<int>(draw(rng));
    if (choose) {
      choose(n, k);
    } else {
      ChooseSlotROM(ws.Proj, ws.Library, n, k);
    }
    ws.Proj.slot(n).Icon = 0;
  }
  ws.Proj.ProjectModified = false;
  return RandomFillResult::Filled;
}

RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, const ChooseROMFn& choose) {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return RandomFill(ws, ui, static_cast<std::uint64_t>(ticks), choose);
}

}  // namespace korva
