// The program the kill test kills: it saves a ROM database, a project and the
// three images over and over, in two versions that differ in every file, the
// way the window and the command line save them (the scan, the save and the
// export of the core).
//   korva_kill_writer roms DIR        writes the demo games to DIR/a/ and DIR/b/
//   korva_kill_writer once A|B ROMS OUT   saves version A or B into OUT once
//   korva_kill_writer loop ROMS OUT   saves A, B, A, ... until killed
// ROMS is the directory given to "roms". A save that fails ends the program
// with status 1 and the error on stderr.
#include "builder/Export.h"
#include "builder/ImageBuilder.h"
#include "project/Model.h"
#include "project/Workspace.h"
#include "romlib/Assets.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"
#include "romlib/Scan.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>

namespace {

using namespace korva;

class Quiet : public UserInterface, public ScanObserver {
 public:
  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons) override {
    if (kind == MsgKind::Error) throw std::runtime_error(text);
    return MsgButton::OK;
  }
  void ShowStatusMessage(const std::string&, int) override {}
  void ScanStarted(const std::string&) override {}
  void SetProgressMax(int) override {}
  void SetProgress(int) override {}
  bool ConfirmReplace(int, int) override { return true; }
  void SetLabel(const std::string&) override {}
  void ReloadDatabase() override {}
  void ScanFinished(const ScanResult&) override {}
};

// Version A lists the games of ROMS/a/ in slot order, version B those of
// ROMS/b/ in reverse order with other titles: the database (its ROMPath),
// the project and all three images differ.
void SaveVersion(char version, const std::string& roms, const std::string& out) {
  Quiet ui;
  Workspace ws;
  ws.HeaderDB = BuiltInHeaderDatabase();
  const std::string db = out + "/" + kRomDatabaseName;
  const ScanResult scan = ScanRomDirectory(roms + (version == 'A' ? "/a/" : "/b/"), ws.HeaderDB, db, ui);
  if (!scan.Written) throw std::runtime_error("the scan wrote nothing: " + scan.Error);
  ws.Library = LoadRomDatabase(db, ws.HeaderDB).Library;
  ws.DatabasePath = db;
  NewProject(ws.Proj, ui);
  for (int n = 1; n <= SlotCount; ++n) {
    Slot& slot = ws.Proj.slot(n);
    slot.ROMIndex = version == 'A' ? n - 1 : SlotCount - n;
    slot.Title = std::string(version == 'A' ? "GAME " : "OTHER ") + std::to_string(n);
  }
  ws.Proj.Cartridge.CartTitle = version == 'A' ? "KILL TEST A" : "KILL TEST B";
  ws.Proj.Cartridge.InstLine1 = version == 'A' ? "FIRST VERSION" : "SECOND VERSION";
  ws.Proj.ProjectFileName = out + "/set.korva";
  if (!ExportProject(ws, TemplateChoice{}, ui)) throw std::runtime_error("the export stopped");
}

int Run(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "roms" && argc == 3) {
    for (const char* sub : {"/a/", "/b/"}) {
      std::filesystem::create_directories(std::string(argv[2]) + sub);
      for (int i = 1; i <= SlotCount; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "DEMOGAME%02d", i);
        WriteFileAtomic(std::string(argv[2]) + sub + name + ".nes", FindAsset(name));
      }
    }
    return 0;
  }
  if (mode == "once" && argc == 5) {
    SaveVersion(argv[2][0], argv[3], argv[4]);
    return 0;
  }
  if (mode == "loop" && argc == 4) {
    for (unsigned i = 0;; ++i) SaveVersion(i % 2 ? 'B' : 'A', argv[2], argv[3]);
  }
  std::cerr << "usage: korva_kill_writer roms DIR | once A|B ROMS OUT | loop ROMS OUT\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "korva_kill_writer: " << e.what() << "\n";
    return 1;
  }
}
