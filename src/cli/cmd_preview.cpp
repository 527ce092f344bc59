// korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N]
// [--menu-template FILE] [--palette rgb|ntsc]: the cartridge's menu screen as
// a PNG, without burning anything. Loads and checks the project as `korva
// build` does (same messages, same templates), builds the images in memory,
// draws the menu's first frame from them in the arcade's RGB colours (or a
// NES's NTSC ones) and writes it (default: beside the project,
// "NAME-menu.png"). What the arcade shows otherwise than a NES goes to
// stderr. Nothing else is written.
#include "builder/Export.h"
#include "builder/ImageBuilder.h"
#include "builder/MenuScreen.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "cli/PngFile.h"
#include "cli/ProjectLoad.h"
#include "romlib/FileUtil.h"

#include <iostream>
#include <optional>
#include <stdexcept>

namespace korva::cli {

namespace {

constexpr const char* kArgs =
    "PROJECT.korva [-o FILE.png] [--db PATH] [--scale N] [--menu-template FILE] [--palette rgb|ntsc]";
constexpr const char* kUsage =
    "usage: korva preview PROJECT.korva [-o FILE.png] [--db PATH] [--scale N] [--menu-template FILE] "
    "[--palette rgb|ntsc]\n";
constexpr int kMaxScale = 8;

int RunPreview(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> rest = rawArgs;
  std::optional<std::string> output;
  TemplateChoice choice;
  int scale = 1;
  ScreenPalette palette = ScreenPalette::Rgb;
  try {
    output = TakeOption(rest, "-o");
    choice.MenuRomFile = TakeOption(rest, "--menu-template").value_or("");
    if (const auto text = TakeOption(rest, "--scale")) {
      const bool digit = text->size() == 1 && (*text)[0] >= '1' && (*text)[0] <= '0' + kMaxScale;
      if (!digit) throw std::invalid_argument("--scale takes a whole number from 1 to 8, not \"" + *text + "\"");
      scale = (*text)[0] - '0';
    }
    if (const auto text = TakeOption(rest, "--palette")) {
      if (*text != "rgb" && *text != "ntsc")
        throw std::invalid_argument("--palette takes rgb or ntsc, not \"" + *text + "\"");
      palette = *text == "rgb" ? ScreenPalette::Rgb : ScreenPalette::Ntsc;
    }
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva preview: " << e.what() << "\n" << kUsage;
    return 2;
  }
  return RunOnProject("preview", kUsage, rest, [&](Workspace& ws, UserInterface& ui) {
    const CartridgeBuild build = BuildCartridge(ws, choice);
    if (!build.Built()) {
      ui.ShowCenteredMessage(build.Refusal, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
      return 1;
    }
    MenuFrame frame;
    if (const std::string why = RenderMenuScreen(build.Images, frame, palette); !why.empty()) {
      std::cerr << "korva preview: " << why << " The menu program came from " << build.Used.MenuRomSource << ".\n";
      return 1;
    }
    const std::string path = output ? *output : WithoutExtension(ws.Proj.ProjectFileName) + "-menu.png";
    if (const std::string clash = OutputClash(path, BuildInputs(ws, build.Used)); !clash.empty()) {
      std::cerr << "korva preview: " << clash << "\n";
      return 1;
    }
    WriteFileAtomic(path, std::span<const std::uint8_t>(EncodePng(frame.Rgb, kScreenWidth, kScreenHeight, scale)));
    for (const std::string& note : frame.ArcadeNotes) std::cerr << "korva preview: " << note << "\n";
    Notes() << "Menu preview (" << ScreenPaletteName(palette) << ") written to " << path << "\n";
    return 0;
  });
}
}  // namespace

const Command kPreviewCommand{"preview", kArgs,
                              "draw the cartridge's menu screen into a PNG (default beside the project, NAME-menu.png)\n"
                              "      in the arcade's RGB colours (--palette ntsc: a NES's); the built-in menu program\n"
                              "      unless a FILE is named, as for build",
                              &RunPreview};

}  // namespace korva::cli
