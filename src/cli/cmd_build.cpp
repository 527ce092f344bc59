// korva build PROJECT.korva [--db PATH]: the export command without a
// window. Loads the ROM database file and the project, then checks, saves and
// builds exactly as the window's Export does; messages go to stdout and
// stderr. Exit status 0 only when all three programming files were written.
#include "builder/Export.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectLoad.h"

#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kUsage = "usage: korva build PROJECT.korva [--db PATH]\n";

int RunBuild(const std::vector<std::string>& rawArgs) {
  return RunOnProject("build", kUsage, rawArgs, [](Workspace& ws, UserInterface& ui) {
    return ExportProject(ws, LoadTemplates(), ui) ? 0 : 1;
  });
}

const Command buildCommand("build", "PROJECT.korva [--db PATH]",
                           "export the project's PRG, CHR and instruction ROM images beside it", &RunBuild);

}  // namespace

}  // namespace korva::cli
