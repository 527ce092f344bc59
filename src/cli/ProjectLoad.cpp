#include "cli/ProjectLoad.h"

#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"

#include <iostream>
#include <stdexcept>

namespace korva::cli {

bool LoadProjectWorkspace(const char* command, const std::string& projectPath, const std::string& dbPath,
                          Workspace& ws, UserInterface& ui) {
  ws.HeaderDB = LoadHeaderDatabase(ui);
  std::optional<RomLibrary> library = LoadRomLibrary(command, dbPath, ws.HeaderDB, ui, projectPath);
  if (!library) return false;
  ws.Library = std::move(*library);
  ws.DatabasePath = dbPath;
  try {
    ws.Proj = ReadProjectFile(projectPath, ws.Library);
  } catch (const ProjectFileError& e) {
    std::cerr << "korva " << command << ": cannot load project " << projectPath << ": " << e.what() << "\n";
    return false;
  } catch (const FileError& e) {
    std::cerr << "korva " << command << ": " << e.what() << "\n";
    return false;
  }
  ui.ShowStatusMessage("Loaded project: " + FileNamePart(projectPath), 5);
  return true;
}

int RunOnProject(const char* command, const char* usage, const std::vector<std::string>& rawArgs,
                 const std::function<int(Workspace&, UserInterface&)>& run) {
  DbArgs args;
  try {
    args = ParseDbArgs(rawArgs);
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva " << command << ": " << e.what() << "\n" << usage;
    return 2;
  }
  if (args.Positional.size() != 1) {
    std::cerr << usage;
    return 2;
  }
  ConsoleUI ui;
  Workspace ws;
  if (!LoadProjectWorkspace(command, args.Positional[0], DatabasePathOf(args), ws, ui)) return 1;
  return run(ws, ui);
}

}  // namespace korva::cli
