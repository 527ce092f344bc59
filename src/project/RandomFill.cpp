#include "project/RandomFill.h"

#include "builder/ImageBuilder.h"
#include "project/ProjectCommands.h"

#include <array>
#include <chrono>
#include <optional>
#include <random>
#include <vector>

namespace korva {

namespace {

using Layout = std::array<int, SlotCount>;  // a ROMList index per slot, slot 1 first

// Enough draws that a list with one half-bank game in a thousand still gives
// a plain uniform draw nearly always; each costs one placement of 16 games.
constexpr int kDraws = 1000;

bool Buildable(const RomLibrary& library, const Layout& layout) {
  std::array<const TROMInfo*, SlotCount> roms{};
  for (std::size_t i = 0; i < roms.size(); ++i) roms[i] = &library.ROMList[static_cast<std::size_t>(layout[i])];
  return FitGames(roms).Buildable();
}

std::optional<Layout> DrawLayout(const RomLibrary& library, std::mt19937_64& rng) {
  std::uniform_int_distribution<std::size_t> draw(0, library.ROMList.size() - 1);
  Layout layout{};
  for (int attempt = 0; attempt < kDraws; ++attempt) {
    for (int& index : layout) index = static_cast<int>(draw(rng));
    if (Buildable(library, layout)) return layout;
  }
  // Past the limit: the last draw with one slot given a half-bank game the
  // cartridge can take.
  std::vector<int> halfBank;
  for (std::size_t i = 0; i < library.ROMList.size(); ++i) {
    std::array<const TROMInfo*, SlotCount> alone{&library.ROMList[i]};
    if (FitGames(alone).Buildable()) halfBank.push_back(static_cast<int>(i));
  }
  if (halfBank.empty()) return std::nullopt;
  std::uniform_int_distribution<std::size_t> slot(0, SlotCount - 1), game(0, halfBank.size() - 1);
  for (int attempt = 0; attempt < kDraws; ++attempt) {
    layout[slot(rng)] = halfBank[game(rng)];
    if (Buildable(library, layout)) return layout;
  }
  // Sixteen half-bank games always fit.
  for (int& index : layout) index = halfBank[game(rng)];
  return layout;
}

}  // namespace

RandomFillResult RandomFill(Workspace& ws, UserInterface& ui, std::uint64_t seed, const ChooseROMFn& choose) {
  if (ws.Library.ROMList.empty() || ws.Library.ROMNames.size() != ws.Library.ROMList.size()) {
    // Nothing to draw from: the slots stay as they are.
    ui.ShowStatusMessage("No ROMs to choose from: scan a ROM directory first.", 5);
    return RandomFillResult::NoROMs;
  }
  std::mt19937_64 rng(seed);
  const std::optional<Layout> layout = DrawLayout(ws.Library, rng);
  if (!layout) {
    ui.ShowStatusMessage(
        "No ROM in the list has PRG 16kb and CHR 8kb, which every cartridge needs: the slots stay as they are.", 5);
    return RandomFillResult::NoHalfBankGame;
  }
  if (ws.Proj.ProjectModified &&
      ui.ShowCenteredMessage(
          "Randomize ROMs will choose a random ROM for every slot. The current project has been modified; press "
          "OK to proceed.",
          MsgKind::Information, MsgButton::OK | MsgButton::Cancel) != MsgButton::OK) {
    return RandomFillResult::Cancelled;
  }
  for (int n = 1; n <= SlotCount; ++n) {
    const int k = (*layout)[static_cast<std::size_t>(n - 1)];
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
