#include "cli/DbOption.h"

#include "romlib/RomDatabase.h"

#include <stdexcept>

namespace korva::cli {

DbArgs ParseDbArgs(const std::vector<std::string>& args) {
  DbArgs parsed;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--db") {
      if (i + 1 >= args.size() || args[i + 1].empty()) throw std::invalid_argument("--db needs a path");
      parsed.DbPath = args[++i];
    } else if (a.rfind("--db=", 0) == 0) {
      if (a.size() == 5) throw std::invalid_argument("--db needs a path");
      parsed.DbPath = a.substr(5);
    } else if (a.rfind("--", 0) == 0) {
      throw std::invalid_argument("unknown option " + a);
    } else {
      parsed.Positional.push_back(a);
    }
  }
  return parsed;
}

std::string DatabasePathOf(const DbArgs& args) {
  return args.DbPath ? *args.DbPath : DefaultRomDatabasePath();
}

}  // namespace korva::cli
