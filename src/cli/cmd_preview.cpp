// korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N]: the
// cartridge's menu screen as a PNG, without burning anything. Loads and
// checks the project as `korva build` does (same messages), builds the images
// in memory, draws the menu's first frame from them and writes it (default:
// beside the project, "NAME-menu.png"). Nothing else is written.
#include "builder/Export.h"
#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"
#include "cli/Command.h"
#include "cli/PngFile.h"
#include "cli/ProjectLoad.h"
#include "romlib/FileUtil.h"

#include <iostream>
#include <optional>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kUsage = "usage: korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N]\n";
constexpr int kMaxScale = 8;

// Takes `name VALUE` or `name=VALUE` out of `args`.
std::optional<std::string> TakeOption(std::vector<std::string>& args, const std::string& name) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string value;
    std::size_t taken = 1;
    if (args[i] == name) {
      if (i + 1 >= args.size() || args[i + 1].empty()) throw std::invalid_argument(name + " needs a value");
      value = args[i + 1];
      taken = 2;
    } else if (args[i].rfind(name + "=", 0) == 0 && args[i].size() > name.size() + 1) {
      value = args[i].substr(name.size() + 1);
    } else {
      continue;
    }
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i + taken));
    return value;
  }
  return std::nullopt;
}

int RunPreview(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  std::optional<std::string> output;
  int scale = 1;
  try {
    output = TakeOption(rest, "-o");
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
    const Templates templates = LoadTemplates();
    CartridgeImages images;
    if (!AssembleImages(ws.Proj, ws.Library, templates, ui, images)) return 1;
    MenuFrame frame;
    if (const std::string why = RenderMenuScreen(images, frame); !why.empty()) {
      std::cerr << "korva preview: " << why << " The menu program came from " << templates.MenuRomSource << ".\n";
      return 1;
    }
    const std::string path = output ? *output : BasePath(ws.Proj.ProjectFileName) + "-menu.png";
    WriteFileAtomic(path, std::span<const std::uint8_t>(EncodePng(frame.Rgb, kScreenWidth, kScreenHeight, scale)));
    std::cout << "Menu preview written to " << path << "\n";
    return 0;
  });
}

const Command previewCommand("preview", "PROJECT.korva [-o FILE.png] [--db PATH] [--scale N]",
                             "draw the cartridge's menu screen into a PNG (default beside the project, NAME-menu.png)",
                             &RunPreview);

}  // namespace

}  // namespace korva::cli
