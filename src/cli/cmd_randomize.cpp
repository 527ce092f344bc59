// korva randomize PROJECT.korva [--seed N] [--db PATH]: the window's
// Randomize on a project file: every slot gets a ROM drawn from the ROM
// database, its title from the ROM name and no icon, in a layout the
// cartridge can be built from. The same seed and database give the same
// fill; without --seed the clock seeds it, and the seed is said on stderr.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectEdit.h"
#include "project/RandomFill.h"

#include <charconv>
#include <chrono>
#include <iostream>

namespace korva::cli {

namespace {

constexpr const char* kArgs = "PROJECT.korva [--seed N] [--db PATH]";

std::uint64_t SeedOf(const std::string& text) {
  std::uint64_t seed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seed, 10);
  if (ec != std::errc() || end != text.data() + text.size())
    throw UsageError("--seed takes a whole number from 0 to 18446744073709551615, not \"" + text + "\"");
  return seed;
}

int RunRandomize(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  DbArgs args;
  std::optional<std::uint64_t> seed;
  try {
    if (const auto text = TakeOption(rest, "--seed")) seed = SeedOf(*text);
    args = ParseDbArgs(rest);
    if (args.Positional.size() != 1)
      throw UsageError(args.Positional.empty() ? "which project file?" : "one project file at a time");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva randomize: " << e.what() << "\nusage: korva randomize " << kArgs << "\n";
    return 2;
  }
  ConsoleUI ui;
  Workspace ws;
  const std::string dbPath = DatabasePathOf(args);
  if (!LoadProjectToEdit("randomize", args.Positional[0], dbPath, ws, ui)) return 1;
  if (!seed) seed = static_cast<std::uint64_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
  switch (RandomFill(ws, ui, *seed)) {
    case RandomFillResult::NoROMs:
      std::cerr << "korva randomize: the ROM database " << dbPath
                << " holds no ROMs; scan a ROM directory first (\"korva scan DIR\")\n";
      return 1;
    case RandomFillResult::NoHalfBankGame:
      std::cerr << "korva randomize: no ROM in the ROM database " << dbPath
                << " has PRG 16 KB and CHR 8 KB, which every cartridge needs; nothing was changed\n";
      return 1;
    case RandomFillResult::Cancelled:  // a loaded project is unmodified: nothing is asked
    case RandomFillResult::Filled:
      break;
  }
  if (!SaveProject("randomize", ws, ui)) return 1;
  Notes() << "Filled the 16 slots of " << ws.Proj.ProjectFileName << " (--seed " << *seed << ")\n";
  return 0;
}
}  // namespace

const Command kRandomizeCommand{"randomize", kArgs,
                                "fill every slot with a ROM drawn at random, in a layout the cartridge can be built "
                                "from\n      (the same --seed gives the same fill)",
                                &RunRandomize};

}  // namespace korva::cli
