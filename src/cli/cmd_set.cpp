// korva set PROJECT.korva [--title T] [--line1 T] [--line2 T] [--icons MODE]
// [--db PATH]: changes the cartridge fields of a project and saves it. The
// ROM database resolves the slots as for any load, so that the save keeps
// them; a project whose ROMs it does not hold is left alone.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectEdit.h"

#include <iostream>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [--title T] [--line1 T] [--line2 T] [--icons 1-player|2-player|lightgun] [--db PATH]";

int RunSet(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  CartridgeOptions options;
  DbArgs args;
  try {
    options = TakeCartridgeOptions(rest);
    args = ParseDbArgs(rest);
    if (args.Positional.size() != 1)
      throw UsageError(args.Positional.empty() ? "which project file?" : "one project file at a time");
    if (!options.Any()) throw UsageError("nothing to set: give --title, --line1, --line2 or --icons");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva set: " << e.what() << "\nusage: korva set " << kArgs << "\n";
    return 2;
  }
  ConsoleUI ui;
  Workspace ws;
  if (!LoadProjectToEdit("set", args.Positional[0], DatabasePathOf(args), ws, ui)) return 1;
  if (!ApplyCartridgeOptions("set", options, ws.Proj.Cartridge)) return 1;
  return SaveProject("set", ws, ui) ? 0 : 1;
}
}  // namespace

const Command kSetCommand{"set", kArgs, "change a project's cartridge title, instruction lines or game icon mode",
                          &RunSet};

}  // namespace korva::cli
