#pragma once
// Sub-commands of the `korva` command line tool. Each command lives in a file
// of its own (cmd_NAME.cpp) that defines its Command, declared here; the
// table in main.cpp lists them all:
//
//   const Command kInfoCommand{"info", "FILE...", "identify ROM images", &RunInfo};
//
// A command gets its arguments after the command name and returns the exit
// status.
#include <string>
#include <vector>

namespace korva::cli {

using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  const char* name;
  const char* usage;
  const char* summary;
  CommandFn run;
};

extern const Command kBuildCommand, kDemoCommand, kInfoCommand, kListCommand, kNewCommand, kPlayCommand,
    kPreviewCommand, kRandomizeCommand, kScanCommand, kSetCommand, kShowCommand, kSlotCommand, kVerifyCommand;

}  // namespace korva::cli
