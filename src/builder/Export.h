#pragma once
// The export command: checks that the project can be built, saves it, and
// writes the three programming files beside the project file.
#include "builder/ImageBuilder.h"
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <string>

namespace korva {

// The project file's path without its extension (everything from the last
// "." of the file-name part on); a name without extension stays whole.
std::string BasePath(const std::string& projectFileName);

// The directory part of a path, with its trailing separator; empty when the
// path has none.
std::string DirectoryPart(const std::string& path);

// The first of the export checks that fails, as the message the user sees
// (project never saved, a slot without a ROM, no 16 KB PRG game, ROM files
// that cannot be found), or an empty text when all pass.
std::string ExportCheckMessage(const Workspace& ws);

// The export checks as the user meets them: false after showing the first
// one that fails (ExportCheckMessage) as an Error message.
bool PassesExportChecks(const Workspace& ws, UserInterface& ui);

// The whole command: the checks (a failed one is shown as an Error message),
// the save, the build and the success message. True when the three files
// were written. Errors while saving or building (files that cannot be read or
// written) propagate to the caller.
bool ExportProject(Workspace& ws, const Templates& templates, UserInterface& ui);

}  // namespace korva
