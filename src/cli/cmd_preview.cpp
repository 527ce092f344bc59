// korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N]
// [--menu-template FILE]: the cartridge's menu screen as a PNG, without
// burning anything. Loads and checks the project as `korva build` does (same
// messages, same templates), builds the images in memory, draws the menu's
// first frame from them and writes it (default: beside the project,
// "NAME-menu.png"). Nothing else is written.
#include "builder/Export.h"
#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"
#include "cli/Command.h"
#include "cli/DbOption.h"
#include "cli/PngFile.h"
#include "cli/ProjectLoad.h"
#include "romlib/FileUtil.h"

#include <iostream>
#include <optional>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kArgs = "PROJECT.korva [-o FILE.png] [--db PATH] [--scale N] [--menu-template FILE]";
constexpr const char* kUsage =
    "usage: korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N] [--menu-template FILE]\n";
constexpr int kMaxScale = 8;

int RunPreview(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  std::optional<std::string> output;
  TemplateChoice choice;
  int scale = 1;
  try {
    output = TakeOption(rest, "-o");
    choice.MenuRomFile = TakeOption(rest, "--menu-template").value_or("");
    if (const auto text = TakeOption(rest, "--scale")) {
      const bool digit = text->size() == 1 && (*text)[0] >= '1' && (*text)[0] <= '0' + kMaxScale;
      if (!digit) throw std::invalid_argument("--scale takes a whole number from 1 to 8, not \"" + *text + "\"");
      scale = (*text)[0] - '0';
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva preview: " << e.what() << "\n" << kUsage;
    return 2;
  }
  return RunOnProject("preview", kUsage, rest, [&](Workspace& ws, UserInterface& ui) {
    if (!PassesExportChecks(ws, ui)) return 1;
    const Templates templates = LoadTemplates(choice, FullDirectoryOf(ws.Proj.ProjectFileName));
    CartridgeImages images;
    if (!AssembleImages(ws.Proj, ws.Library, templates, ui, images)) return 1;
    MenuFrame frame;
    if (const std::string why = RenderMenuScreen(images, frame); !why.empty()) {
      std::cerr << "korva preview: " << why << " The menu program came from " << templates.MenuRomSource << ".\n";
      return 1;
    }
    const std::string path = output ? *output : BasePath(ws.Proj.ProjectFileName) + "-menu.png";
    WriteFileAtomic(path, std::span<const std::uint8_t>(EncodePng(frame.Rgb, kScreenWidth, kScreenHeight, scale)));
    std::cerr << "Menu preview written to " << path << "\n";
    return 0;
  });
}
}  // namespace

const Command kPreviewCommand{"preview", kArgs,
                              "draw the cartridge's menu screen into a PNG (default beside the project, NAME-menu.png)\n"
                              "      (the built-in menu program unless a FILE is named, as for build)",
                              &RunPreview};

}  // namespace korva::cli
