#include "project/ProjectCommands.h"

#include "project/Model.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"
#include "romlib/NumberText.h"
#include "romlib/Utf8.h"

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
  // A ROM in a subfolder ("Europe/Game") is titled by its own name, its
  // accented letters made plain as in a typed title ("Éclair" is "ECLAIR").
  slot.Title = StorableTitle(PlainLetters(FileNamePart(library.ROMNames[static_cast<std::size_t>(index)])),
                             kTitleMaxLength);
}

void ClearSlot(Project& project, int n) {
  project.slot(n) = Slot{};
  project.ProjectModified = true;
}

namespace {

// The character at text[pos], advancing pos, with the case of A to Z and of
// the accented Latin letters (U+00C0 to U+017E) folded to small letters. A
// byte that is not UTF-8 stands for itself, above every character.
char32_t FoldedCodePoint(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  const char32_t c = NextCodePoint(text, pos);
  if (c == kNotUtf8) return 0x110000 + static_cast<unsigned char>(text[start]);
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if ((c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c | 1;
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return c + (c & 1);
  return c == 0x178 ? 0xFF : c;
}

// A CRC-32 as a script writes it: eight hexadecimal digits, either case.
std::optional<std::uint32_t> CrcOf(std::string_view text) {
  return text.size() == 8 ? ParseHex32(text) : std::nullopt;
}

}  // namespace

RomNameRank RankRomName(std::string_view name, std::string_view text) {
  // Where `text` ends when it matches `name` from byte `at` on, or npos.
  const auto endOfMatchAt = [&](std::size_t at) {
    for (std::size_t t = 0; t < text.size();)
      if (at >= name.size() || FoldedCodePoint(name, at) != FoldedCodePoint(text, t)) return std::string_view::npos;
    return at;
  };
  for (std::size_t at = 0;; NextCodePoint(name, at)) {
    if (const std::size_t end = endOfMatchAt(at); end != std::string_view::npos)
      return at > 0 ? RomNameRank::kInside : end == name.size() ? RomNameRank::kEqual : RomNameRank::kStart;
    if (at >= name.size()) return RomNameRank::kNone;
  }
}

ROMMatch MatchROMName(const RomLibrary& library, std::string_view name) {
  const std::size_t count = std::min(library.ROMList.size(), library.ROMNames.size());
  std::vector<int> exact, prefix, contains;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& entry = library.ROMNames[i];
    const RomNameRank rank = RankRomName(entry, name);
    if (entry == name) exact.push_back(static_cast<int>(i));
    if (rank <= RomNameRank::kStart) prefix.push_back(static_cast<int>(i));
    if (rank != RomNameRank::kNone) contains.push_back(static_cast<int>(i));
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
