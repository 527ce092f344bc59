#pragma once
// Sub-commands of the `korva` command line tool. Each command lives in a file
// of its own and registers itself with a static Command object:
//
//   static korva::cli::Command info("info", "FILE...", "identify ROM images", &RunInfo);
//
// A command gets its arguments after the command name and returns the exit
// status.
#include <string>
#include <vector>

namespace korva::cli {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  Command(const char* name, const char* usage, const char* summary, CommandFn run);
  const char* name;
  const char* usage;
  const char* summary;
  CommandFn run;
};

// All registered commands, in registration order.
const std::vector<const Command*>& Commands();

}  // namespace korva::cli
