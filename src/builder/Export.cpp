#include "builder/Export.h"

#include "project/ProjectFile.h"
#include "romlib/FileUtil.h"

namespace korva {

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

CartridgeBuild BuildCartridge(const Workspace& ws, const TemplateChoice& choice) {
  CartridgeBuild build;
  build.Refusal = ExportCheckMessage(ws);
  if (!build.Built()) return build;
  try {
    build.Used = LoadTemplates(choice, FullDirectoryOf(ws.Proj.ProjectFileName));
  } catch (const FileError& e) {
    build.Refusal = std::string("Cannot build rom! ") + e.what();
    return build;
  }
  ImageAssembly assembly = AssembleImages(ws.Proj, ws.Library, build.Used);
  build.Images = std::move(assembly.Images);
  build.Refusal = std::move(assembly.Refusal);
  return build;
}

std::vector<InputFile> BuildInputs(const Workspace& ws, const Templates& used) {
  std::vector<InputFile> inputs;
  if (!ws.Proj.ProjectFileName.empty()) inputs.push_back({ws.Proj.ProjectFileName, "the project file"});
  if (!ws.DatabasePath.empty()) inputs.push_back({ws.DatabasePath, "the ROM database"});
  if (used.MenuRomFromFile) inputs.push_back({used.MenuRomPath, "the menu program template"});
  if (used.InstRomFromFile) inputs.push_back({used.InstRomPath, "the instruction ROM template"});
  const auto roms = SlotRoms(ws.Proj, ws.Library);
  for (int n = 1; n <= SlotCount; ++n)
    if (const TROMInfo* rom = roms[static_cast<std::size_t>(n - 1)])
      inputs.push_back({ws.Library.FullPath(*rom), "the ROM of slot " + std::to_string(n)});
  // The user's other ROMs are theirs too, in no slot or not.
  for (const TROMInfo& rom : ws.Library.ROMList) inputs.push_back({ws.Library.FullPath(rom), "a ROM in the ROM database"});
  return inputs;
}

std::string OutputClash(const std::string& output, const std::vector<InputFile>& inputs) {
  if (!FileExists(output)) return {};  // a new file is none of them; saves a stat per ROM
  for (const InputFile& input : inputs)
    if (SameFile(output, input.Path))
      return "Cannot write \"" + output + "\": it is " + input.What + " (\"" + input.Path + "\"). Nothing was written.";
  return {};
}

std::string ExportedMessage(const std::string& projectFile, const CartridgeBuild& build) {
  const Templates& used = build.Used;
  std::string replaced;
  if (used.MenuRomFromFile) replaced = "menu program: " + used.MenuRomSource;
  if (used.InstRomFromFile) replaced += (replaced.empty() ? "" : "; ") + ("instruction ROM: " + used.InstRomSource);
  std::string text = "Programming files for KORVA exported to project directory!\r\n\r\n" +
                     FullDirectoryOf(projectFile) + (replaced.empty() ? "" : "\r\n\r\n(" + replaced + ")") + "\r\n";
  const auto paths = ImagePaths(WithoutExtension(projectFile));
  const std::vector<std::uint8_t>* images[] = {&build.Images.Prg, &build.Images.Chr, &build.Images.InstRom};
  for (std::size_t i = 0; i < paths.size(); ++i)
    text += "\r\n" + FileNamePart(paths[i]) + ": " + FiguresText(FiguresOf(*images[i]));
  return text;
}

bool ExportProject(Workspace& ws, const TemplateChoice& templates, UserInterface& ui) {
  const auto refuse = [&ui](const std::string& why) {
    ui.ShowCenteredMessage(why, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
    return false;
  };
  // Steps 1 and 2: check, read, verify, assemble.
  const CartridgeBuild build = BuildCartridge(ws, templates);
  if (!build.Built()) return refuse(build.Refusal);

  // Step 3: where the files go. Copy: the save must not be able to change
  // the name under the write.
  const std::string projectFile = ws.Proj.ProjectFileName;
  const auto paths = ImagePaths(WithoutExtension(projectFile));
  std::vector<InputFile> inputs = BuildInputs(ws, build.Used);
  for (const std::string& path : paths)
    if (const std::string clash = OutputClash(path, inputs); !clash.empty()) return refuse(clash);
  inputs.erase(inputs.begin());  // the project file is saved over itself
  if (const std::string clash = OutputClash(projectFile, inputs); !clash.empty()) return refuse(clash);
  CheckWritable(projectFile);
  for (const std::string& path : paths) CheckWritable(path);

  // Step 4: the project, then the images as one set.
  WriteProjectFile(ws, projectFile, ui);
  const FileContent set[] = {{paths[0], build.Images.Prg}, {paths[1], build.Images.Chr},
                             {paths[2], build.Images.InstRom}};
  WriteFilesAtomic(set);
  ui.ShowCenteredMessage(ExportedMessage(projectFile, build), MsgKind::Information,
                         static_cast<MsgButtons>(MsgButton::OK));
  return true;
}

}  // namespace korva
