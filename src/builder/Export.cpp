#include "builder/Export.h"

#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

namespace korva {

std::string BasePath(const std::string& projectFileName) {
  const auto nameStart = projectFileName.find_last_of("/\\:");
  const auto dot = projectFileName.rfind('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return projectFileName;
  return projectFileName.substr(0, dot);
}

std::string DirectoryPart(const std::string& path) {
  const auto cut = path.find_last_of("/\\:");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string ExportCheckMessage(const Workspace& ws) {
  const Project& project = ws.Proj;
  const RomLibrary& library = ws.Library;
  if (project.ProjectFileName.empty()) return "Please save project before exporting!";

  const auto roms = SlotRoms(project, library);
  std::string lines;
  for (int n = 1; n <= SlotCount; ++n) {
    if (!roms[static_cast<std::size_t>(n - 1)]) lines += "Slot " + std::to_string(n) + " - No ROM assigned!\r\n";
  }
  if (!lines.empty()) return "All slots must have ROM assigned, review:\r\n\r\n" + lines;

  bool any16 = false;
  for (const TROMInfo* rom : roms) any16 = any16 || rom->PrgRomSize == 16384;
  if (!any16)
    return "ROM selection over max capacity!\r\n\r\nAt least one slot must have a ROM assigned that is PRG 16kb.";

  for (int n = 1; n <= SlotCount; ++n) {
    const TROMInfo& rom = *roms[static_cast<std::size_t>(n - 1)];
    if (!FileExists(library.FullPath(rom)))
      lines += "Slot " + std::to_string(n) + " - File not found: " + rom.Filename + "\r\n";
  }
  if (!lines.empty()) return "Selected ROM files cannot be found!\r\n\r\n" + lines;
  return {};
}

bool PassesExportChecks(const Workspace& ws, UserInterface& ui) {
  const std::string why = ExportCheckMessage(ws);
  if (why.empty()) return true;
  ui.ShowCenteredMessage(why, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
  return false;
}

bool ExportProject(Workspace& ws, const Templates& templates, UserInterface& ui) {
  if (!PassesExportChecks(ws, ui)) return false;
  // Copy: the save must not be able to change the name under the build.
  const std::string projectFile = ws.Proj.ProjectFileName;
  WriteProjectFile(ws, projectFile, ui);
  if (!BuildImages(ws.Proj, ws.Library, templates, BasePath(projectFile), ui)) return false;
  ui.ShowCenteredMessage("Programming files for KORVA exported to project directory!\r\n\r\n" + DirectoryPart(projectFile),
                         MsgKind::Information, static_cast<MsgButtons>(MsgButton::OK));
  return true;
}

}  // namespace korva
