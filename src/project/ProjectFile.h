#pragma once
// The project file (*.korva): the cartridge settings and the sixteen slots as
// a small XML document. A slot names its ROM by CRC-32 alone, so a project
// stays valid when ROM files are renamed or moved, as long as a ROM with that
// CRC-32 is in ROMList when the project is opened. An empty slot is written
// with CRC 00000000, so a CRC of 0 never names a ROM.
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
// 0x16) are left out.
std::string ProjectFileText(const Workspace& ws);

// Writes the workspace's project to `path`, replacing an existing file
// atomically. Sets ProjectModified first (also when the write then fails),
// shows "Project saved!" when done. A file that cannot be written raises
// FileError.
void WriteProjectFile(Workspace& ws, const std::string& path, UserInterface& ui);

// A slot the file gives a ROM that is not in ROMList: the read leaves it
// empty, so a save would drop it.
struct UnresolvedSlot {
  int Slot = 0;            // 1 to 16
  std::uint32_t CRC32 = 0;  // what the file names (never 0)
  std::string Title;       // as read
};

// Replaces the workspace's project by the one in the file at `path`. Starts
// with NewProject; slots whose ROM is not in ROMList are left empty and, when
// they carry a title, listed in a "Warning!" box. Sets ProjectFileName only at
// the end of a completed read. Returns the slots left empty that way (titled
// or not), in slot order. Raises ProjectFileError (or FileError when the file
// cannot be read); the slots filled before the failure stay filled.
std::vector<UnresolvedSlot> ReadProjectFile(Workspace& ws, const std::string& path, UserInterface& ui);

// The same for a document already in memory, `text`, as if read from the file
// at `path` (which becomes ProjectFileName).
std::vector<UnresolvedSlot> ReadProjectText(Workspace& ws, std::string_view text, const std::string& path,
                                            UserInterface& ui);

}  // namespace korva
