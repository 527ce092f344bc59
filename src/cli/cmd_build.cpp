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
  DbArgs args;
  try {
    args = ParseDbArgs(rawArgs);
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva build: " << e.what() << "\n" << kUsage;
    return 2;
  }
  if (args.Positional.size() != 1) {
    std::cerr << kUsage;
    return 2;
  }
  ConsoleUI ui;
  Workspace ws;
  if (!LoadProjectWorkspace("build", args.Positional[0], DatabasePathOf(args), ws, ui)) return 1;
  const Templates templates = LoadTemplates();
  return ExportProject(ws, templates, ui) ? 0 : 1;
}

const Command buildCommand("build", "PROJECT.korva [--db PATH]",
                           "export the project's PRG, CHR and instruction ROM images beside it", &RunBuild);

}  // namespace

}  // namespace korva::cli
