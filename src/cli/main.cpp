// korva: the command line front of KORVA Builder.
#include "cli/Command.h"
#include "project/Model.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>

namespace {

using korva::cli::Command;

// Every sub-command, in the order the usage lists them (by name). A new
// command is a file cmd_NAME.cpp defining its Command (declared in
// cli/Command.h), listed here and in src/CMakeLists.txt.
const Command* const kCommands[] = {
    &korva::cli::kBuildCommand, &korva::cli::kDemoCommand, &korva::cli::kInfoCommand, &korva::cli::kListCommand,
    &korva::cli::kPreviewCommand, &korva::cli::kScanCommand, &korva::cli::kShowCommand,
};

void PrintUsage(std::ostream& out) {
  out << korva::VersionText() << ": PlayChoice-10 multi-game cartridge builder\n\n"
      << "usage: korva COMMAND [ARGS...]\n       korva --version\n\ncommands:\n";
  for (const Command* c : kCommands)
    out << "  " << c->name << " " << c->usage << "\n      " << c->summary << "\n";
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    PrintUsage(argc < 2 ? std::cerr : std::cout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::cout << korva::VersionText() << "\n";
    return 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const Command* c : kCommands) {
    if (std::strcmp(c->name, argv[1]) == 0) {
      // -h or --help anywhere after a command: its usage, on stdout.
      if (std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "-h" || a == "--help"; })) {
        std::cout << "usage: korva " << c->name << " " << c->usage << "\n      " << c->summary << "\n";
        return 0;
      }
      try {
        return c->run(args);
      } catch (const std::exception& e) {
        std::cerr << "korva " << c->name << ": " << e.what() << "\n";
        return 1;
      }
    }
  }
  std::cerr << "korva: unknown command \"" << argv[1] << "\"\n\n";
  PrintUsage(std::cerr);
  return 2;
}
