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

}  // namespace korva::cli
