#include "project/ProjectCommands.h"

#include "project/Model.h"
#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

#include <exception>

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
    ReadProjectFile(ws_, path, ui_);
    return true;
  } catch (const std::exception& e) {
    ui_.ShowPlainMessage(std::string("Unable to load project file!\r\n\r\n") + e.what(), "Error", MsgKind::Error);
    return false;
  }
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
  ws_.Proj.ProjectFileName = path;
  // A failed write goes on to the caller; the caption and the status text
  // keep what they showed.
  WriteProjectFile(ws_, path, ui_);
  ui_.UpdateCaption(path);
  ui_.ShowStatusMessage("Project Saved: " + FileNamePart(path), 3);
  return true;
}

void ChooseSlotROM(Project& project, const RomLibrary& library, int n, int index) {
  Slot& slot = project.slot(n);
  project.ProjectModified = true;
  if (index < 0 || static_cast<std::size_t>(index) >= library.ROMList.size() ||
      static_cast<std::size_t>(index) >= library.ROMNames.size()) {
    slot.ROMIndex = -1;
    return;
  }
  slot.ROMIndex = index;
  // A ROM in a subfolder ("Europe/Game") is titled by its own name.
  slot.Title = StorableTitle(FileNamePart(library.ROMNames[static_cast<std::size_t>(index)]), kTitleMaxLength);
}

std::string SlotROMInfo(const Project& project, const RomLibrary& library, int n) {
  const int index = project.slot(n).ROMIndex;
  if (index < 0 || static_cast<std::size_t>(index) >= library.ROMList.size()) return {};
  return ROMInfoText(library.ROMList[static_cast<std::size_t>(index)]);
}

}  // namespace korva
