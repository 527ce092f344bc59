#pragma once
// Loading what `korva build` and `korva show` work on: the header database,
// the ROM database file and a project file, into one workspace.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <string>

namespace korva::cli {

// Loads the header database, the ROM database file at `dbPath` and the
// project at `projectPath`. False after printing why to stderr (no ROM
// database file, a corrupt one, a project that cannot be read), prefixed
// with "korva COMMAND: ".
bool LoadProjectWorkspace(const char* command, const std::string& projectPath, const std::string& dbPath,
                          Workspace& ws, UserInterface& ui);

}  // namespace korva::cli
