// korva build PROJECT.korva [--db PATH] [--menu-template FILE] [--inst-template FILE]:
// the export command without a window. Loads the ROM database file and the
// project, then checks, saves and builds exactly as the window's Export does.
// The built-in templates serve unless a file is named for one; a file in the
// working or the project directory is never taken on its own. Exit status 0
// only when all three programming files were written.
#include "builder/Export.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectLoad.h"

#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kUsage =
    "usage: korva build PROJECT.korva [--db PATH] [--menu-template FILE] [--inst-template FILE]\n";

int RunBuild(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> args = rawArgs;
  TemplateChoice templates;
  try {
    templates.MenuRomFile = TakeOption(args, "--menu-template").value_or("");
    templates.InstRomFile = TakeOption(args, "--inst-template").value_or("");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva build: " << e.what() << "\n" << kUsage;
    return 2;
  }
  return RunOnProject("build", kUsage, args, [&](Workspace& ws, UserInterface& ui) {
    return ExportProject(ws, templates, ui) ? 0 : 1;
  });
}
}  // namespace

const Command kBuildCommand{"build", "PROJECT.korva [--db PATH] [--menu-template FILE] [--inst-template FILE]",
                            "export the project's PRG, CHR and instruction ROM images beside it\n"
                            "      (the built-in menu program and instruction ROM templates unless a FILE is named)",
                            &RunBuild};

}  // namespace korva::cli
