// korva: the command line front of KORVA Builder.
#include "cli/Command.h"
#include "project/Model.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <iostream>

namespace korva::cli {

namespace {
std::vector<const Command*>& Registry() {
  static std::vector<const Command*> commands;
  return commands;
}
}  // namespace

Command::Command(const char* name_, const char* usage_, const char* summary_, CommandFn run_)
    : name(name_), usage(usage_), summary(summary_), run(run_) {
  Registry().push_back(this);
}

const std::vector<const Command*>& Commands() { return Registry(); }

}  // namespace korva::cli

namespace {
void PrintUsage(std::ostream& out) {
  out << korva::VersionText() << ": PlayChoice-10 multi-game cartridge builder\n\n"
      << "usage: korva COMMAND [ARGS...]\n       korva --version\n\ncommands:\n";
  auto commands = korva::cli::Commands();
  std::sort(commands.begin(), commands.end(),
            [](const auto* a, const auto* b) { return std::strcmp(a->name, b->name) < 0; });
  for (const auto* c : commands)
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
  for (const auto* c : korva::cli::Commands()) {
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
