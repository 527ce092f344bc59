#pragma once
// The project file (*.korva): the cartridge settings and the sixteen slots as
// a small XML document. A slot names its ROM by CRC-32 alone, so a project
// stays valid when ROM files are renamed or moved; a ROM that ROMList does
// not hold stays named in its slot as missing until a ROM library that holds
// it is loaded. An empty slot is written with CRC 00000000, so a CRC of 0
// never names a ROM.
#include "project/Workspace.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// A project file that cannot be read as a project. The message is the text
// the user sees ("Node \"Icons\" not found", the XML parser's description).
class ProjectFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The document that WriteProjectFile writes for the workspace's project:
// UTF-8, an XML declaration, two-space indentation, CR LF line ends. It is
// well-formed XML 1.0: the control characters a title may hold (0x03, 0x08,
// 0x16) are left out. A slot names its ROM by SlotCRC: a missing ROM's CRC
// is written back as it was read.
std::string ProjectFileText(const Workspace& ws);

// Writes the workspace's project to `path`, replacing an existing file
// atomically. Sets ProjectModified first (also when the write then fails),
// shows "Project saved!" when done. A file that cannot be written raises
// FileError.
void WriteProjectFile(Workspace& ws, const std::string& path, UserInterface& ui);

// The project in the file at `path`, its slots resolved against `library`:
// a slot whose CRC ROMList holds gets that ROM (the first entry with it); a
// slot whose CRC it does not hold keeps the CRC as a missing ROM, with its
// title and icon, so that a save writes the file back as it was. Every
// slot's title and icon are read, also those of empty slots. ProjectFileName
// is `path`; ProjectModified is false. Shows nothing. Raises
// ProjectFileError (or FileError when the file cannot be read); the caller's
// project is then untouched, since only a complete read returns one.
Project ReadProjectFile(const std::string& path, const RomLibrary& library);

// The same for a document already in memory, `text`, as if read from the file
// at `path`.
Project ReadProjectText(std::string_view text, const std::string& path, const RomLibrary& library);

}  // namespace korva
