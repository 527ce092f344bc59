#include "cli/DbOption.h"

#include "romlib/FileUtil.h"

#include <iostream>
#include <stdexcept>

namespace korva::cli {

std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name, bool emptyAllowed) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::size_t taken = 2;
    std::string value;
    if (args[i] == name) {
      if (i + 1 >= args.size()) throw std::invalid_argument(name + " needs a value");
      value = args[i + 1];
    } else if (args[i].rfind(name + "=", 0) == 0) {
      value = args[i].substr(name.size() + 1);
      taken = 1;
    } else {
      continue;
    }
    if (value.empty() && !emptyAllowed) throw std::invalid_argument(name + " needs a value");
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + taken));
    return value;
  }
  return std::nullopt;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  return std::erase(args, name) > 0;
}

DbArgs ParseDbArgs(const std::vector<std::string>& args) {
  DbArgs parsed;
  parsed.Positional = args;
  parsed.DbPath = TakeOption(parsed.Positional, "--db");
  for (const std::string& a : parsed.Positional)
    if (a.rfind("--", 0) == 0) throw std::invalid_argument("unknown option " + a);
  return parsed;
}

std::string DatabasePathOf(const DbArgs& args) {
  return args.DbPath ? *args.DbPath : DefaultRomDatabasePath();
}

std::string MissingDatabaseAdvice(const std::string& dbPath, const std::string& projectPath) {
  if (!projectPath.empty()) {
    const std::string beside = FullDirectoryOf(projectPath) + kRomDatabaseName;
    if (FileExists(beside) && !SameFile(beside, dbPath))
      return "the project's directory holds one: name it with --db " + beside;
  }
  return "create it with \"korva scan DIR\"";
}

std::optional<RomLibrary> LoadRomLibrary(const char* command, const std::string& dbPath,
                                         const HeaderDatabase& headerDb, UserInterface& ui,
                                         const std::string& projectPath) {
  RomDatabaseLoad load = LoadRomDatabase(dbPath, headerDb);
  switch (load.Status) {
    case RomDatabaseStatus::Missing:
      std::cerr << "korva " << command << ": there is no ROM database file " << dbPath << "; "
                << MissingDatabaseAdvice(dbPath, projectPath) << "\n";
      return std::nullopt;
    case RomDatabaseStatus::Unusable:
      std::cerr << "korva " << command << ": " << load.Problem << "; scan the ROM directory again (\"korva scan DIR\")"
                << " to write it anew\n";
      return std::nullopt;
    case RomDatabaseStatus::Loaded:
      break;
  }
  if (load.OutOfSync)
    ui.ShowCenteredMessage("Scanned ROM database is out of sync, please re-scan your ROM directory.",
                           MsgKind::Information, static_cast<MsgButtons>(MsgButton::OK));
  ui.ShowStatusMessage("Loaded KORVA Game Database, " + std::to_string(load.Library.ROMList.size()) + " ROMs", 10);
  return std::move(load.Library);
}

}  // namespace korva::cli
