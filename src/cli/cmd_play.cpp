// korva play PROJECT.korva [--db PATH] [-o FILE.html] [--open]
// [--menu-template FILE] [--inst-template FILE]: the cartridge in a web
// browser before it is burnt. Builds the images in memory exactly as `korva
// build` does (same checks, same messages, same refusals, same templates) and
// writes one self-contained HTML page that runs them on jsnes with the KORVA
// board model (default: beside the project, "NAME-play.html"). Nothing else
// is written. --open hands the page to the desktop's browser (xdg-open).
#include "builder/Export.h"
#include "builder/PlayPage.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/ProjectLoad.h"
#include "romlib/FileUtil.h"

#include <spawn.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>

extern char** environ;

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [--db PATH] [-o FILE.html] [--open] [--menu-template FILE] [--inst-template FILE]";
constexpr const char* kUsage =
    "usage: korva play PROJECT.korva [--db PATH] [-o FILE.html] [--open] [--menu-template FILE] "
    "[--inst-template FILE]\n";

// Starts the desktop's opener on `path` and does not wait for the browser.
bool OpenInBrowser(const std::string& path) {
  std::string file = path;
  char program[] = "xdg-open";
  char* argv[] = {program, file.data(), nullptr};
  pid_t pid = 0;
  return posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) == 0;
}

int RunPlay(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  std::optional<std::string> output;
  TemplateChoice choice;
  const auto open = std::find(rest.begin(), rest.end(), "--open");
  const bool openPage = open != rest.end();
  if (openPage) rest.erase(open);
  try {
    output = TakeOption(rest, "-o");
    choice.MenuRomFile = TakeOption(rest, "--menu-template").value_or("");
    choice.InstRomFile = TakeOption(rest, "--inst-template").value_or("");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva play: " << e.what() << "\n" << kUsage;
    return 2;
  }
  return RunOnProject("play", kUsage, rest, [&](Workspace& ws, UserInterface& ui) {
    const CartridgeBuild build = BuildCartridge(ws, choice);
    if (!build.Built()) {
      ui.ShowCenteredMessage(build.Refusal, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
      return 1;
    }
    const std::string path = output ? *output : PlayPagePath(ws.Proj.ProjectFileName);
    if (const std::string clash = OutputClash(path, BuildInputs(ws, build.Used)); !clash.empty()) {
      std::cerr << "korva play: " << clash << "\n";
      return 1;
    }
    WriteFileAtomic(path, std::string_view(PlayPage(ws.Proj, build.Images)));
    Notes() << "Play page written to " << path << "\n";
    if (openPage && !OpenInBrowser(path)) {
      std::cerr << "korva play: could not start xdg-open to show the page: " << std::strerror(errno) << "\n";
      return 1;
    }
    return 0;
  });
}
}  // namespace

const Command kPlayCommand{"play", kArgs,
                           "write the cartridge as a web page that plays it in a browser, offline\n"
                           "      (default beside the project, NAME-play.html; the images built as for build)",
                           &RunPlay};

}  // namespace korva::cli
