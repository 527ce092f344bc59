// korva demo [DIR] [--force]: the bundled demo. Writes the sixteen test games that are
// built into the program, scans them into a ROM database in DIR, makes a
// demo project with one game per slot, and exports the three programming
// images beside it. The paths of the three images go to stdout, what it does
// on the way to stderr.
#include "builder/Export.h"
#include "builder/ImageBuilder.h"
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "project/Model.h"
#include "project/ProjectFile.h"
#include "project/Workspace.h"
#include "romlib/Assets.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"
#include "romlib/Scan.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace korva::cli {
namespace {

struct DemoGame {
  std::string file;   // "rocket-rally.nes"
  std::string title;  // "ROCKET RALLY"
  int icon = 0;
};

// The demo set's list (tests/games/games.txt, built in as DEMOGAMES):
// number, PRG KB, CHR KB, mapper, mirroring, icon, file stem, title.
std::vector<DemoGame> DemoGames() {
  const auto list = FindAsset("DEMOGAMES");
  if (list.empty()) throw std::runtime_error("the demo games are not built into this program");
  std::istringstream in(std::string(list.begin(), list.end()));
  std::vector<DemoGame> games;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    std::istringstream fields(line);
    std::string number, prg, chr, mapper, mirroring, stem, title;
    int icon = 0;
    fields >> number >> prg >> chr >> mapper >> mirroring >> icon >> stem;
    std::getline(fields >> std::ws, title);
    while (!title.empty() && (title.back() == '\r' || title.back() == ' ')) title.pop_back();
    if (stem.empty() || title.empty() || icon < 0 || icon > 3)
      throw std::runtime_error("the built-in demo game list is damaged: \"" + line + "\"");
    games.push_back({stem + ".nes", title, icon});
  }
  if (games.size() != SlotCount) throw std::runtime_error("the built-in demo game list does not hold 16 games");
  return games;
}

// The scan's window side: the command line only reports the end.
class QuietObserver : public ScanObserver {
 public:
  void ScanStarted(const std::string&) override {}
  void SetProgressMax(int) override {}
  void SetProgress(int) override {}
  bool ConfirmReplace(int, int) override { return true; }
  void SetLabel(const std::string&) override {}
  void ReloadDatabase() override {}
  void ScanFinished(const ScanResult& result) override {
    if (result.Written) return;
    for (const std::string& line : ScanSummary(result)) std::cerr << line << "\n";
  }
};

int RunDemo(const std::vector<std::string>& rawArgs) {
  std::vector<std::string> args = rawArgs;
  const auto force = std::find(args.begin(), args.end(), "--force");
  const bool overwrite = force != args.end();
  if (overwrite) args.erase(force);
  if (args.size() > 1 || (!args.empty() && args[0].starts_with("-"))) {
    std::cerr << "usage: korva demo [DIR] [--force]\n";
    return 2;
  }
  namespace fs = std::filesystem;
  const fs::path dir = fs::absolute(args.empty() ? fs::path("korva-demo") : fs::path(args[0]));
  // The demo writes demo.korva, korva_db.xml, three images and roms/: never
  // over what a user keeps there, unless told to.
  std::error_code ec;
  if (fs::exists(dir, ec) && !fs::is_directory(dir, ec)) {
    std::cerr << "korva demo: " << dir.string() << " is a file, not a directory; name a new or empty directory\n";
    return 1;
  }
  if (!overwrite && fs::exists(dir, ec) && !(fs::is_directory(dir, ec) && fs::is_empty(dir, ec))) {
    std::cerr << "korva demo: " << dir.string()
              << " is not an empty directory; name a new or empty one, or add --force to write the demo's files "
                 "over those of the same names there\n";
    return 1;
  }
  const fs::path romDir = dir / "roms";
  fs::create_directories(romDir);

  const auto games = DemoGames();
  for (std::size_t i = 0; i < games.size(); ++i) {
    char name[32];  // room for any size_t, which the compiler cannot rule out
    std::snprintf(name, sizeof name, "DEMOGAME%02zu", i + 1);
    const auto bytes = FindAsset(name);
    if (bytes.empty()) throw std::runtime_error(std::string("demo game ") + name + " is not built into this program");
    WriteFileAtomic((romDir / games[i].file).string(), bytes);
  }
  Notes() << "Wrote " << games.size() << " test games to " << romDir.string() << "/\n";

  ConsoleUI ui;
  Workspace ws;
  ws.HeaderDB = BuiltInHeaderDatabase();
  const std::string dbPath = (dir / kRomDatabaseName).string();
  QuietObserver observer;
  const ScanResult scan = ScanRomDirectory(romDir.string() + "/", ws.HeaderDB, dbPath, observer);
  if (!scan.Written) return 1;
  std::optional<RomLibrary> library = LoadRomLibrary("demo", dbPath, ws.HeaderDB, ui);
  if (!library) throw std::runtime_error("the demo ROM database could not be loaded");
  ws.Library = std::move(*library);
  ws.DatabasePath = dbPath;
  Notes() << "ROM database: " << dbPath << " (" << ws.Library.ROMList.size() << " ROMs)\n";

  NewProject(ws.Proj, ui);
  for (int n = 1; n <= SlotCount; ++n) {
    const DemoGame& game = games[static_cast<std::size_t>(n - 1)];
    Slot& slot = ws.Proj.slot(n);
    for (std::size_t r = 0; r < ws.Library.ROMList.size(); ++r)
      if (ws.Library.ROMList[r].Filename == game.file) slot.ROMIndex = static_cast<int>(r);
    if (slot.ROMIndex < 0) throw std::runtime_error("the scan did not take the demo game " + game.file);
    slot.Title = game.title;
    slot.Icon = game.icon;
  }
  ws.Proj.Cartridge.CartTitle = "KORVA DEMO";
  ws.Proj.Cartridge.InstLine1 = "CHOOSE A GAME";
  ws.Proj.Cartridge.InstLine2 = "PRESS START TO PLAY";
  const std::string projectPath = (dir / "demo.korva").string();
  WriteProjectFile(ws, projectPath, ui);
  ws.Proj.ProjectFileName = projectPath;
  Notes() << "Project: " << projectPath << "\n";

  if (!ExportProject(ws, TemplateChoice{}, ui)) return 1;
  const std::string base = WithoutExtension(projectPath);
  for (const char* suffix : {"-prg.bin", "-chr.bin", "-instrom.bin"}) std::cout << base << suffix << "\n";
  return ui.ErrorShown() ? 1 : 0;
}
}  // namespace

const Command kDemoCommand{"demo", "[DIR] [--force]",
                           "write the bundled test games, a demo project and its images into a new or empty DIR\n"
                           "      (default ./korva-demo; --force writes over files of the same names in DIR)",
                           &RunDemo};

}  // namespace korva::cli
