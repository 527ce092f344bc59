#pragma once
// The export: the three programming files of a project, built in memory and
// written beside the project file as one set. In this order, and nothing is
// written before the last check has passed:
//   1. check the project (ExportCheckMessage) and load the templates;
//   2. read and verify every game, assemble the three images (AssembleImages);
//   3. check where they go: never over one of the build's inputs, and every
//      name writable;
//   4. save the project, then write the three images as one set.
#include "builder/ImageBuilder.h"
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <string>
#include <vector>

namespace korva {

// The first of the export checks that fails, as the message the user sees
// (project never saved, a slot without a ROM or whose ROM is missing from
// the ROM database, no 16 KB PRG game, ROM files that cannot be found), or an
// empty text when all pass.
std::string ExportCheckMessage(const Workspace& ws);

// A build in memory: the images and the templates they were made from, or
// the message that refuses it.
struct CartridgeBuild {
  CartridgeImages Images;
  Templates Used;
  std::string Refusal;  // empty when built
  bool Built() const { return Refusal.empty(); }
};

// Steps 1 and 2: the export's checks, the templates of `choice` (the project
// directory being the project file's), every game read and verified, the
// three images assembled. Reads the templates and the ROM files, writes
// nothing, shows nothing. A template file that cannot be read is a refusal
// naming it. `korva build`, `korva preview`, `korva verify` and the window
// all build through this.
CartridgeBuild BuildCartridge(const Workspace& ws, const TemplateChoice& choice);

// One file a build reads, and what it is to the user ("the ROM database",
// "the ROM of slot 3").
struct InputFile {
  std::string Path;
  std::string What;
};

// Every file the build of `ws` read or belongs to: the project file, the ROM
// database (ws.DatabasePath), the templates read from files, each slot's ROM
// file, then every ROM file of the database.
std::vector<InputFile> BuildInputs(const Workspace& ws, const Templates& used);

// Why `output` must not be written: it is one of `inputs` (the same file by
// device and inode, whatever the spelling, links followed), as the message
// the user sees; empty when it is none of them.
std::string OutputClash(const std::string& output, const std::vector<InputFile>& inputs);

// The message of a successful export: the directory, the templates that
// files replaced ("(menu program: menurom.bin from the project directory)"),
// then each image's name, CRC-32 and 16-bit byte sum.
std::string ExportedMessage(const std::string& projectFile, const CartridgeBuild& build);

// The whole command, steps 1 to 4. A refusal is shown as an Error message
// and nothing is written; on success the message above is shown as
// Information. True when the project and the three files were written. A
// name that cannot be written (CheckWritable) and a failed write raise
// FileError to the caller; a failure while writing the images leaves all
// three as they were (WriteFilesAtomic), the project saved.
bool ExportProject(Workspace& ws, const TemplateChoice& templates, UserInterface& ui);

}  // namespace korva
