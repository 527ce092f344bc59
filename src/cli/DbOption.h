#pragma once
// The --db PATH option that the ROM database commands share, and their load
// of the ROM database file.
#include "romlib/RomDatabase.h"
#include "romlib/UserInterface.h"

#include <optional>
#include <string>
#include <vector>

namespace korva::cli {

// Splits `args` into positional arguments and the --db PATH (or --db=PATH)
// option. Raises std::invalid_argument for --db without a path or another
// option starting with "--".
struct DbArgs {
  std::vector<std::string> Positional;
  std::optional<std::string> DbPath;
};
DbArgs ParseDbArgs(const std::vector<std::string>& args);

// Takes the option `name` ("--threads") with its value, as "NAME VALUE" or
// "NAME=VALUE", out of `args`: its value, or nullopt when it is not there.
// Raises std::invalid_argument ("NAME needs a value") when the value is
// missing, or empty unless `emptyAllowed` (a title may be empty).
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name,
                                      bool emptyAllowed = false);

// Takes every `name` ("--json") out of `args`: true when there was one.
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

// The --db path, or where the program keeps korva_db.xml.
std::string DatabasePathOf(const DbArgs& args);

// What to do about a ROM database file `dbPath` that does not exist: name the
// korva_db.xml beside the project `projectPath` (as "korva demo" writes one)
// when there is one, else make one with "korva scan DIR".
std::string MissingDatabaseAdvice(const std::string& dbPath, const std::string& projectPath);

// Loads the ROM database file at `dbPath` and says what the load found: the
// out-of-sync message and "Loaded KORVA Game Database, %d ROMs" through `ui`,
// or, on stderr after "korva COMMAND: ", that there is no such file or why it
// cannot be used, and how to make it anew (for a project `projectPath`, when
// given, see MissingDatabaseAdvice). The library, or nullopt when the load gave
// none.
std::optional<RomLibrary> LoadRomLibrary(const char* command, const std::string& dbPath,
                                         const HeaderDatabase& headerDb, UserInterface& ui,
                                         const std::string& projectPath = {});

}  // namespace korva::cli
