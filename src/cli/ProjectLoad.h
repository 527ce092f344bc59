#pragma once
// Loading what `korva build` and `korva show` work on: the header database,
// the ROM database file and a project file, into one workspace.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <functional>
#include <string>
#include <vector>

namespace korva::cli {

// Loads the header database, the ROM database file at `dbPath` and the
// project at `projectPath`. False after printing why to stderr (no ROM
// database file, a corrupt one, a project that cannot be read), prefixed
// with "korva COMMAND: ".
bool LoadProjectWorkspace(const char* command, const std::string& projectPath, const std::string& dbPath,
                          Workspace& ws, UserInterface& ui);

// The body of a command of the form `korva COMMAND PROJECT.korva [--db PATH]`:
// parses the arguments (exit status 2 with `usage` on stderr when they are
// wrong), loads the workspace (1 when that fails), then returns what `run`
// returns.
int RunOnProject(const char* command, const char* usage, const std::vector<std::string>& args,
                 const std::function<int(Workspace&, UserInterface&)>& run);

}  // namespace korva::cli
