#pragma once
// The export command: checks that the project can be built, saves it, and
// writes the three programming files beside the project file.
#include "builder/ImageBuilder.h"
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <string>

namespace korva {

// The project file's path without its extension (everything from the last
// "." of the file-name part on); a name without extension stays whole. Only
// "/" separates directories (":" and "\" are parts of names).
std::string BasePath(const std::string& projectFileName);

// The directory a path lies in, absolute and lexically normal, with its
// trailing separator: the working directory for a bare name.
std::string FullDirectoryOf(const std::string& path);

// The first of the export checks that fails, as the message the user sees
// (project never saved, a slot without a ROM or whose ROM is missing from
// the ROM database, no 16 KB PRG game, ROM files that cannot be found), or an
// empty text when all pass.
std::string ExportCheckMessage(const Workspace& ws);

// The export checks as the user meets them: false after showing the first
// one that fails (ExportCheckMessage) as an Error message.
bool PassesExportChecks(const Workspace& ws, UserInterface& ui);

// The whole command: the checks (a failed one is shown as an Error message),
// the templates of `templates` (after the checks, the project directory being
// the project file's), the save, the build and the success message, which
// names every template a file replaced ("(menu program: menurom.bin from the
// project directory)"). True when the three files were written. The project
// file and the three image names are checked (CheckWritable) before the
// save, so a name that cannot be written stops the export before anything
// is written. Errors while loading, saving or building (files that cannot be
// read or written) propagate to the caller.
bool ExportProject(Workspace& ws, const TemplateChoice& templates, UserInterface& ui);

}  // namespace korva
