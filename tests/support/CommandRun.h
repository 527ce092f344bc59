#pragma once
// Runs a command line through the shell and collects what it printed, for
// the tests that run the korva tool end to end.
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace korva::test {

struct CommandRun {
  int status = -1;   // the exit status; -1 when the command did not exit
  std::string out;   // stdout and stderr, in the order written (stdout alone without `withStderr`)
};

inline CommandRun RunCommand(const std::string& command, bool withStderr = true) {
  CommandRun run;
  FILE* pipe = ::popen((command + (withStderr ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
  const int raw = ::pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

// A path in single quotes, for a shell command line.
inline std::string Quote(const std::string& path) { return "'" + path + "'"; }

// The whole file as bytes; empty when it cannot be read.
inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace korva::test
