#include "cli/DbOption.h"

#include "romlib/RomDatabase.h"

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

}  // namespace korva::cli
