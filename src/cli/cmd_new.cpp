// korva new PROJECT.korva [--title T] [--line1 T] [--line2 T] [--icons MODE]
// [--force]: writes a new project, with the window's New Project defaults
// and the cartridge fields given. An existing file is replaced only with
// --force. No ROM database is needed: every slot is empty.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/ProjectEdit.h"
#include "project/Model.h"
#include "project/ProjectCommands.h"
#include "romlib/FileUtil.h"

#include <algorithm>
#include <iostream>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [--title T] [--line1 T] [--line2 T] [--icons 1-player|2-player|lightgun] [--force]";

int RunNew(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> args = rawArgs;
  CartridgeOptions options;
  bool force = false;
  try {
    options = TakeCartridgeOptions(args);
    const auto forced = std::find(args.begin(), args.end(), "--force");
    if ((force = forced != args.end())) args.erase(forced);
    for (const std::string& a : args)
      if (a.size() > 1 && a[0] == '-') throw UsageError("unknown option " + a);
    if (args.size() != 1) throw UsageError(args.empty() ? "which project file?" : "one project file at a time");
  } catch (const UsageError& e) {
    std::cerr << "korva new: " << e.what() << "\nusage: korva new " << kArgs << "\n";
    return 2;
  }
  // As the window's Save As: a name without an extension gets ".korva".
  const std::string path = WithProjectExtension(args[0]);
  if (!force && ::korva::FileExists(path)) {
    std::cerr << "korva new: " << path << " already exists; add --force to replace it\n";
    return 1;
  }
  ConsoleUI ui;
  Workspace ws;
  NewProject(ws.Proj, ui);
  if (!ApplyCartridgeOptions("new", options, ws.Proj.Cartridge)) return 1;
  ws.Proj.ProjectFileName = path;
  if (!SaveProject("new", ws, ui)) return 1;
  Notes() << "Wrote the new project " << path << "\n";
  return 0;
}
}  // namespace

const Command kNewCommand{"new", kArgs,
                          "write a new project with the window's defaults and the cartridge fields given\n"
                          "      (an existing file only with --force)",
                          &RunNew};

}  // namespace korva::cli
