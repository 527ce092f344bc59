// korva: the command line front of KORVA Builder.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "project/Model.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>

namespace {

using korva::cli::Command;

// Every sub-command, in the order the usage lists them (by name). A new
// command is a file cmd_NAME.cpp defining its Command (declared in
// cli/Command.h), listed here and in src/CMakeLists.txt.
const Command* const kCommands[] = {
    &korva::cli::kBuildCommand,
    &korva::cli::kDemoCommand,
    &korva::cli::kInfoCommand,
    &korva::cli::kListCommand,
    &korva::cli::kNewCommand,
    &korva::cli::kPlayCommand,
    &korva::cli::kPreviewCommand,
    &korva::cli::kRandomizeCommand,
    &korva::cli::kScanCommand,
    &korva::cli::kSetCommand,
    &korva::cli::kShowCommand,
    &korva::cli::kSlotCommand,
    &korva::cli::kVerifyCommand,
};

void PrintUsage(std::ostream& out) {
  out << korva::VersionText() << ": PlayChoice-10 multi-game cartridge builder\n\n"
      << "usage: korva [-q | -v] COMMAND [ARGS...]\n       korva --version\n\n"
      << "  -q, --quiet    say nothing on stderr but warnings and errors\n"
      << "  -v, --verbose  also say each step of loading (the window's status-bar texts)\n\n"
      << "Exit status: 0 done, 1 refused or failed, 2 a wrong command line.\n\ncommands:\n";
  for (const Command* c : kCommands)
    out << "  " << c->name << " " << c->usage << "\n      " << c->summary << "\n";
}
}  // namespace

int main(int argc, char** argv) {
  // A write past the file-size limit (ulimit -f) fails with "File too large"
  // instead of killing the program in the middle of a save, so the save says
  // so and removes its temporaries.
  std::signal(SIGXFSZ, SIG_IGN);
  // -q and -v may stand anywhere: before the command or among its arguments.
  std::vector<std::string> words;
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "-q" || word == "--quiet") korva::cli::SetVerbosity(korva::cli::Verbosity::Quiet);
    else if (word == "-v" || word == "--verbose") korva::cli::SetVerbosity(korva::cli::Verbosity::Verbose);
    else words.emplace_back(word);
  }
  if (words.empty() || words[0] == "--help" || words[0] == "-h") {
    PrintUsage(words.empty() ? std::cerr : std::cout);
    return words.empty() ? 2 : 0;
  }
  if (words[0] == "--version") {
    std::cout << korva::VersionText() << "\n";
    return 0;
  }
  const std::vector<std::string> args(words.begin() + 1, words.end());
  for (const Command* c : kCommands) {
    if (c->name == words[0]) {
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
  std::cerr << "korva: unknown command \"" << words[0] << "\"\n\n";
  PrintUsage(std::cerr);
  return 2;
}
