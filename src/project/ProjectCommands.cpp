#include "project/ProjectCommands.h"

#include "project/Model.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"
#include "romlib/NumberText.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <utility>

namespace korva {

std::string WithProjectExtension(const std::string& path) {
  const std::string name = FileNamePart(path);
  if (name.empty() || name.find('.') != std::string::npos) return path;
  return path + kProjectExtension;
}

void ProjectCommands::FileNew1Execute() { NewProject(ws_.Proj, ui_); }

bool ProjectCommands::FileOpen1Execute() {
  const std::optional<std::string> path = prompt_.AskOpenProjectFile();
  if (!path || path->empty()) return false;
  return FileOpen1Accept(WithProjectExtension(*path));
}

bool ProjectCommands::FileOpen1Accept(const std::string& path) {
  if (!FileExists(path)) throw CommandError("File specified does not exist.");
  try {
    ws_.Proj = ReadProjectFile(path, ws_.Library);
  } catch (const std::exception& e) {
    ui_.ShowCenteredMessage(std::string("Unable to load project file!\r\n\r\n") + e.what(), MsgKind::Error,
                            static_cast<MsgButtons>(MsgButton::OK));
    return false;
  }
  ui_.ShowStatusMessage("Loaded project: " + FileNamePart(path), 5);
  return true;
}

void ProjectCommands::FileSave1Execute() {
  if (ws_.Proj.ProjectFileName.empty()) {
    FileSaveAs1Execute();
    return;
  }
  WriteProjectFile(ws_, ws_.Proj.ProjectFileName, ui_);
}

bool ProjectCommands::FileSaveAs1Execute() {
  const std::optional<std::string> path = prompt_.AskSaveProjectFile();
  if (!path || path->empty()) return false;
  return FileSaveAs1Accept(WithProjectExtension(*path));
}

bool ProjectCommands::FileSaveAs1Accept(const std::string& path) {
  if (FileExists(path) &&
      ui_.ShowCenteredMessage("Overwrite existing file?", MsgKind::Confirmation, MsgButton::Yes | MsgButton::No) !=
          MsgButton::Yes) {
    return false;
  }
  // A failed write goes on to the caller; the project keeps its file name
  // and the status text what it showed.
  WriteProjectFile(ws_, path, ui_);
  ws_.Proj.ProjectFileName = path;
  ui_.ShowStatusMessage("Project Saved: " + FileNamePart(path), 3);
  return true;
}

void ChooseSlotROM(Project& project, const RomLibrary& library, int n, int index) {
  Slot& slot = project.slot(n);
  project.ProjectModified = true;
  slot.MissingCRC = 0;
  if (index < 0 || static_cast<std::size_t>(index) >= library.ROMList.size() ||
      static_cast<std::size_t>(index) >= library.ROMNames.size()) {
    slot.ROMIndex = -1;
    return;
  }
  slot.ROMIndex = index;
  // A ROM in a subfolder ("Europe/Game") is titled by its own name.
  slot.Title = StorableTitle(FileNamePart(library.ROMNames[static_cast<std::size_t>(index)]), kTitleMaxLength);
}

void ClearSlot(Project& project, int n) {
  project.slot(n) = Slot{};
  project.ProjectModified = true;
}

namespace {

char LowerCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Where `part` starts in `text` ignoring the case of A to Z, or npos.
std::size_t FindIgnoringCase(std::string_view text, std::string_view part) {
  const auto at = std::search(text.begin(), text.end(), part.begin(), part.end(),
                              [](char a, char b) { return LowerCase(a) == LowerCase(b); });
  return at == text.end() && !part.empty() ? std::string_view::npos : static_cast<std::size_t>(at - text.begin());
}

// A CRC-32 as a script writes it: eight hexadecimal digits, either case.
std::optional<std::uint32_t> CrcOf(std::string_view text) {
  return text.size() == 8 ? ParseHex32(text) : std::nullopt;
}

}  // namespace

ROMMatch MatchROMName(const RomLibrary& library, std::string_view name) {
  const std::size_t count = std::min(library.ROMList.size(), library.ROMNames.size());
  std::vector<int> exact, prefix, contains;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& entry = library.ROMNames[i];
    const std::size_t at = FindIgnoringCase(entry, name);
    if (entry == name) exact.push_back(static_cast<int>(i));
    if (at == 0) prefix.push_back(static_cast<int>(i));
    if (at != std::string_view::npos) contains.push_back(static_cast<int>(i));
  }
  // Entries that are all one game (one CRC-32) are one ROM: the first.
  ROMMatch match;
  const auto decide = [&](std::vector<int>& found) {
    if (found.empty()) return false;
    const std::uint32_t crc = library.ROMList[static_cast<std::size_t>(found.front())].CRC32;
    if (std::all_of(found.begin(), found.end(),
                    [&](int i) { return library.ROMList[static_cast<std::size_t>(i)].CRC32 == crc; }))
      match.Index = found.front();
    else
      match.Candidates = std::move(found), match.Ambiguous = true;
    return true;
  };
  if (decide(exact)) return match;
  if (const auto crc = CrcOf(name)) {
    const TROMInfo found = FindROMByCRC(library.ROMList, *crc);
    if (!found.Empty() && static_cast<std::size_t>(found.ListIndex) < count) {
      match.Index = found.ListIndex;
      return match;
    }
  }
  if (!decide(prefix)) match.Candidates = std::move(contains);
  return match;
}

std::string SlotROMInfo(const Project& project, const RomLibrary& library, int n) {
  const int index = project.slot(n).ROMIndex;
  if (index < 0 || static_cast<std::size_t>(index) >= library.ROMList.size()) return {};
  return ROMInfoText(library.ROMList[static_cast<std::size_t>(index)]);
}

std::uint32_t SlotCRC(const Slot& slot, const RomLibrary& library) {
  if (slot.ROMIndex >= 0 && static_cast<std::size_t>(slot.ROMIndex) < library.ROMList.size())
    return library.ROMList[static_cast<std::size_t>(slot.ROMIndex)].CRC32;
  return slot.MissingCRC;
}

void ResolveSlot(Slot& slot, const RomLibrary& library) {
  if (!slot.IsMissing()) return;
  const TROMInfo found = FindROMByCRC(library.ROMList, slot.MissingCRC);
  if (found.Empty() || static_cast<std::size_t>(found.ListIndex) >= library.ROMList.size()) return;
  slot.ROMIndex = found.ListIndex;
  slot.MissingCRC = 0;
}

int ReplaceLibrary(Workspace& ws, RomLibrary library) {
  for (Slot& slot : ws.Proj.Slots) {
    slot.MissingCRC = SlotCRC(slot, ws.Library);
    slot.ROMIndex = -1;
  }
  ws.Library = std::move(library);
  int missing = 0;
  for (Slot& slot : ws.Proj.Slots) {
    ResolveSlot(slot, ws.Library);
    missing += slot.IsMissing() ? 1 : 0;
  }
  return missing;
}

}  // namespace korva
