// korva verify PROJECT.korva [--db PATH] [--prg F] [--chr F] [--inst F]
// [--menu-template FILE] [--inst-template FILE]: checks three images against
// the project and its ROMs, by default the ones the export wrote beside the
// project, or files read back from burnt chips. One line per slot and per
// image on stdout; exit status 0 only when all three match.
#include "builder/Verify.h"
#include "cli/Command.h"
#include "cli/DbOption.h"
#include "cli/ProjectLoad.h"

#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [--db PATH] [--prg F] [--chr F] [--inst F] [--menu-template FILE] [--inst-template FILE]";

int RunVerify(const std::vector<std::string>& rawArgs) {
  const std::string usage = std::string("usage: korva verify ") + kArgs + "\n";
  std::vector<std::string> args = rawArgs;
  std::optional<std::string> files[3];
  TemplateChoice templates;
  try {
    files[0] = TakeOption(args, "--prg");
    files[1] = TakeOption(args, "--chr");
    files[2] = TakeOption(args, "--inst");
    templates.MenuRomFile = TakeOption(args, "--menu-template").value_or("");
    templates.InstRomFile = TakeOption(args, "--inst-template").value_or("");
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva verify: " << e.what() << "\n" << usage;
    return 2;
  }
  return RunOnProject("verify", usage.c_str(), args, [&](Workspace& ws, UserInterface&) {
    std::array<std::string, 3> paths = ExportedImagePaths(ws.Proj.ProjectFileName);
    for (std::size_t i = 0; i < 3; ++i)
      if (files[i]) paths[i] = *files[i];
    const VerifyReport report = VerifyImages(ws, templates, paths);
    if (!report.Refusal.empty()) {
      std::cerr << "korva verify: " << report.Refusal << "\n";
      return 1;
    }
    std::cout << VerifyReportText(report);
    return report.Matches() ? 0 : 1;
  });
}

const Command verifyCommand("verify", kArgs,
                            "check three images (the exported ones, or read back from chips) against the project\n"
                            "      and its ROMs, slot by slot and image by image",
                            &RunVerify);

}  // namespace

}  // namespace korva::cli
