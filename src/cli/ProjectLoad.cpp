#include "cli/ProjectLoad.h"

#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"

#include <iostream>

namespace korva::cli {

bool LoadProjectWorkspace(const char* command, const std::string& projectPath, const std::string& dbPath,
                          Workspace& ws, UserInterface& ui) {
  ws.HeaderDB = LoadHeaderDatabase(ui);
  NewProject(ws.Proj, ui);
  const RomDatabaseLoad load = LoadRomDatabase(dbPath, ws.HeaderDB, ws.Library, ui);
  if (load.Status == RomDatabaseStatus::Missing) {
    std::cerr << "korva " << command << ": there is no ROM database file " << dbPath
              << "; create it with \"korva scan DIR\"\n";
    return false;
  }
  if (load.Status == RomDatabaseStatus::Corrupt) return false;
  try {
    ReadProjectFile(ws, projectPath, ui);
  } catch (const ProjectFileError& e) {
    std::cerr << "korva " << command << ": cannot load project " << projectPath << ": " << e.what() << "\n";
    return false;
  } catch (const FileError& e) {
    std::cerr << "korva " << command << ": " << e.what() << "\n";
    return false;
  }
  return true;
}

}  // namespace korva::cli
