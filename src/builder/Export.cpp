#include "builder/Export.h"

#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

#include <filesystem>

namespace korva {

std::string BasePath(const std::string& projectFileName) {
  const auto nameStart = projectFileName.find_last_of(kPathSeparator);
  const auto dot = projectFileName.rfind('.');
  if (dot == std::string::npos || (nameStart != std::string::npos && dot < nameStart)) return projectFileName;
  return projectFileName.substr(0, dot);
}

std::string FullDirectoryOf(const std::string& path) {
  std::error_code ec;
  std::string directory = std::filesystem::absolute(path, ec).lexically_normal().parent_path().string();
  if (ec) directory = ".";
  if (directory.empty() || directory.back() != kPathSeparator) directory += kPathSeparator;
  return directory;
}

std::string ExportCheckMessage(const Workspace& ws) {
  const Project& project = ws.Proj;
  const RomLibrary& library = ws.Library;
  if (project.ProjectFileName.empty()) return "Please save project before exporting!";

  const auto roms = SlotRoms(project, library);
  std::string lines;
  for (int n = 1; n <= SlotCount; ++n) {
    if (project.slot(n).IsMissing())
      lines += "Slot " + std::to_string(n) + " - ROM missing (CRC " + CrcText(project.slot(n).MissingCRC) +
               "): scan the directory that holds it!\r\n";
    else if (!roms[static_cast<std::size_t>(n - 1)])
      lines += "Slot " + std::to_string(n) + " - No ROM assigned!\r\n";
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

bool ExportProject(Workspace& ws, const TemplateChoice& templates, UserInterface& ui) {
  if (!PassesExportChecks(ws, ui)) return false;
  // Copy: the save must not be able to change the name under the build.
  const std::string projectFile = ws.Proj.ProjectFileName;
  // A name that cannot be written stops the export before the save.
  CheckWritable(projectFile);
  for (const std::string& path : ImagePaths(BasePath(projectFile))) CheckWritable(path);
  const std::string directory = FullDirectoryOf(projectFile);
  const Templates loaded = LoadTemplates(templates, directory);
  WriteProjectFile(ws, projectFile, ui);
  if (!BuildImages(ws.Proj, ws.Library, loaded, BasePath(projectFile), ui)) return false;

  std::string replaced;
  if (loaded.MenuRomFromFile) replaced = "menu program: " + loaded.MenuRomSource;
  if (loaded.InstRomFromFile) replaced += (replaced.empty() ? "" : "; ") + ("instruction ROM: " + loaded.InstRomSource);
  ui.ShowCenteredMessage("Programming files for KORVA exported to project directory!\r\n\r\n" + directory +
                             (replaced.empty() ? "" : "\r\n\r\n(" + replaced + ")"),
                         MsgKind::Information, static_cast<MsgButtons>(MsgButton::OK));
  return true;
}

}  // namespace korva
