#pragma once
// The project commands: New Project, Open, Save and Save As, the choice of a
// slot's ROM, and the slots' ROMs across a change of ROM library. None of
// them asks about unsaved changes: the window asks before it runs them
// (ProjectModified cannot tell; see its comment in Model.h). The
// file names come through FileNamePrompt, which the window answers with its
// file dialogs and the tests and the command line answer themselves.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// Asks the user for a project file name. nullopt when the user cancels.
class FileNamePrompt {
 public:
  virtual ~FileNamePrompt() = default;
  virtual std::optional<std::string> AskOpenProjectFile() = 0;
  virtual std::optional<std::string> AskSaveProjectFile() = 0;
};

// A command that cannot go on; its message is meant for the application's
// error box ("File specified does not exist.").
class CommandError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The file dialogs' filter and default extension.
inline constexpr const char* kProjectFileFilter = "KORVA Project (*.korva)|*.korva";
inline constexpr const char* kProjectExtension = ".korva";

// `path` with ".korva" appended when its file name has no extension.
std::string WithProjectExtension(const std::string& path);

class ProjectCommands {
 public:
  ProjectCommands(Workspace& workspace, UserInterface& ui, FileNamePrompt& prompt)
      : ws_(workspace), ui_(ui), prompt_(prompt) {}
  ProjectCommands(const ProjectCommands&) = delete;
  ProjectCommands& operator=(const ProjectCommands&) = delete;

  // New Project: the project is reset at once.
  void FileNew1Execute();

  // Open: asks for a file, then FileOpen1Accept. Returns false when the
  // user cancels.
  bool FileOpen1Execute();
  // Open of `path`. A path that names no file raises CommandError("File
  // specified does not exist."). A file that cannot be read as a project
  // shows "Unable to load project file!" and the reason (Error, OK) and
  // returns false. Either way the project stays as it was: only a complete
  // read replaces it, and then the status bar says "Loaded project: %s" and
  // true is returned. Slots whose ROM is missing (Slot::IsMissing) are for
  // the caller to report.
  bool FileOpen1Accept(const std::string& path);

  // Save: writes to ProjectFileName, or acts as Save As while it is empty.
  void FileSave1Execute();

  // Save As: asks for a file, then FileSaveAs1Accept. Returns false when the
  // user cancels or refuses to overwrite.
  bool FileSaveAs1Execute();
  // Save As to `path`: asks "Overwrite existing file?" when it exists, then
  // writes it, makes it the project's file and says "Project Saved: %s".
  // Returns false when the user answers No. A write that fails raises
  // FileError and leaves ProjectFileName as it was.
  bool FileSaveAs1Accept(const std::string& path);

 private:
  Workspace& ws_;
  UserInterface& ui_;
  FileNamePrompt& prompt_;
};

// A ROM chosen for slot n (1 to 16) from its list (cbROMChange): the slot's
// ROMIndex becomes `index`, its Title the sanitised display name without a
// subfolder (at most 19 characters), and ProjectModified becomes true. An
// index outside ROMList (no selection) leaves the slot without a ROM, missing
// or not, and keeps its title.
void ChooseSlotROM(Project& project, const RomLibrary& library, int n, int index);

// Clear Slot: slot n (1 to 16) becomes empty as in a new project (no ROM, no
// title, no icon), and ProjectModified becomes true.
void ClearSlot(Project& project, int n);

// How a ROM's display name holds the text a user typed or a script gave,
// without regard to the case of A to Z and of the accented Latin letters: the
// one ranking of ROM names, by which the slot's ROM box orders what it offers
// (equal names first, then those that start with the text, then the rest) and
// MatchROMName looks for a name. An empty text starts every name but the
// empty one, which it equals.
enum class RomNameRank { kEqual, kStart, kInside, kNone };
RomNameRank RankRomName(std::string_view name, std::string_view text);

// The ROM a script names for a slot (`korva slot --rom`), looked up in
// ROMNames and ROMList, in this order:
// - a display name equal to `name`, case and all (several equal names are one ROM only when
//   they share a CRC-32, else they are ambiguous);
// - a CRC-32 of eight hexadecimal digits, either case: the first entry with it,
//   as a project file resolves it;
// - the one display name that starts with `name` (RankRomName).
// Index is the ROMList index found, or -1; then Candidates holds the entries
// `name` could mean, in list order: the ambiguous ones (Ambiguous set), or,
// when nothing matched, those whose display name contains `name` ignoring
// case (maybe none).
struct ROMMatch {
  int Index = -1;
  std::vector<int> Candidates;
  bool Ambiguous = false;
};
ROMMatch MatchROMName(const RomLibrary& library, std::string_view name);

// The ROM information of slot n: "(PRG %dkb / CHR %dkb)" with the chosen
// ROM's sizes in kilobytes, or empty when the slot has no ROM.
std::string SlotROMInfo(const Project& project, const RomLibrary& library, int n);

// The CRC-32 that names a slot's ROM: its entry's in ROMList, the missing
// ROM's, or 0 for an empty slot.
std::uint32_t SlotCRC(const Slot& slot, const RomLibrary& library);

// A slot that names a missing ROM gets the first entry of ROMList with that
// CRC, when there is one; any other slot stays as it is.
void ResolveSlot(Slot& slot, const RomLibrary& library);

// Puts `library` in place of the workspace's ROM library. Every slot keeps
// the ROM it names, by CRC: as the new list's first entry with that CRC, or
// as a missing ROM when the new list has none. Returns the number of slots
// whose ROM is missing afterwards.
int ReplaceLibrary(Workspace& ws, RomLibrary library);

}  // namespace korva
