#pragma once
// The --db PATH option that the ROM database commands share.
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

// The --db path, or where the program keeps korva_db.xml.
std::string DatabasePathOf(const DbArgs& args);

}  // namespace korva::cli
