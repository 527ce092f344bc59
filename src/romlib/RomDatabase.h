#pragma once
// The ROM database file korva_db.xml: the compatible ROMs that the last scan
// found, and the directory they lie in.
//
//   <KORVA Build="12">
//     <ROMPath>/home/me/roms/</ROMPath>
//     <ROMDB>
//       <ROM CRC32="836C4FA7"><Filename>Game.nes</Filename></ROM>
//       <ROM CRC32="0123ABCD"><Filename>Other.zip</Filename>
//         <INES Mapper="0" ChrRomSize="8192" PrgRomSize="32768" Mirroring="v"/></ROM>
//     </ROMDB>
//   </KORVA>
//
// INES holds what the image's own header said, for ROMs the header database
// did not know at scan time. The scan (romlib/Scan.h) writes the file with
// RomDatabaseWriter below. A Filename may name a file in a subdirectory of
// ROMPath ("Europe/Game.nes", "/" between the parts), when the scan included
// subfolders.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

// ROMList, ROMNames and ROMPath: the compatible ROMs of the ROM database file,
// their display names (file names without extension) and their directory
// (ending in a path separator). Element i of ROMList has ListIndex i and is
// item i of every slot's ROM list.
struct RomLibrary {
  std::vector<TROMInfo> ROMList;
  std::vector<std::string> ROMNames;
  std::string ROMPath;

  // A ROM's full path: ROMPath followed directly by its Filename.
  std::string FullPath(const TROMInfo& rom) const { return ROMPath + rom.Filename; }
};

inline constexpr const char* kRomDatabaseName = "korva_db.xml";

// What the window offers when the file is missing (Information, OK and
// Cancel; OK starts the scan command). The loader does not show it.
inline constexpr const char* kRomDatabaseMissingMessage =
    "Unable to locate KORVA ROMDB file, but we can generate it now.\r\n\r\n"
    "Press OK to browse for directory to scan for compatible ROMs.";
inline constexpr const char* kRomDatabaseCorruptMessage = "korva_db.xml is corrupt, re-scan ROM directory to repair!";
inline constexpr const char* kRomDatabaseOutOfSyncMessage =
    "Scanned ROM database is out of sync, please re-scan your ROM directory.";

// A ROM database file that cannot be read: not readable (the message carries
// the system's reason), not well-formed XML (the parser's description), or
// without ROMPath, ROMDB or a Filename.
class RomDatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where a program keeps korva_db.xml. A program run from the build tree or
// from a folder of its own keeps it beside itself; an installed program
// (cmake --install, the package) never writes into its own directory. Which
// one a program is, is fixed when it is linked: korva_core holds
// BesideProgram, and the installed executables are linked with the object
// korva_placement_installed, whose UserData takes its place (src/CMakeLists.txt).
enum class RomDatabasePlacement { BesideProgram, UserData };
extern const RomDatabasePlacement kRomDatabasePlacement;

// The directory that holds korva_db.xml, ending in a separator. BesideProgram:
// the program's directory when it is writable, otherwise the per-user data
// directory ($XDG_DATA_HOME/korva, default ~/.local/share/korva). UserData:
// always the per-user data directory. The scan creates that directory when it
// writes the file; the scan and the loader both use this.
std::string RomDatabaseDirectory(RomDatabasePlacement placement = kRomDatabasePlacement);
// RomDatabaseDirectory() followed by "korva_db.xml".
std::string DefaultRomDatabasePath();

enum class RomDatabaseStatus {
  Loaded,   // the library was replaced
  Missing,  // no file: nothing changed; the caller may offer a scan
  Corrupt,  // root element not KORVA: the corrupt message was shown, nothing changed
};

struct RomDatabaseLoad {
  RomDatabaseStatus Status = RomDatabaseStatus::Missing;
  bool OutOfSync = false;  // a listed file was missing or read again
  int Count = 0;           // entries in ROMList after a load
};

// Called once the new ROMList, ROMNames and ROMPath are in place, before the
// out-of-sync message and the status text: the window clears every slot's
// ROMIndex and gives each cbROM%d the new ROMNames, with no selection.
using RomListsRebuilt = std::function<void(const RomLibrary&)>;

// Loads the ROM database file at `path` into `library`:
// - nothing at `path`: returns Missing, shows nothing, changes nothing;
// - root element not exactly "KORVA": the plain message box "korva_db.xml is
//   corrupt, re-scan ROM directory to repair!" (caption "Error"), Corrupt;
// - otherwise every ROM element whose file exists under ROMPath becomes an
//   entry, in document order: the header database's record when it knows the
//   CRC, else the INES element's values, else the file read again (both of
//   these mark the load out of sync, as does a missing file). Then
//   `rebuilt`, then "Scanned ROM database is out of sync, please re-scan
//   your ROM directory." when out of sync, then the status text "Loaded
//   KORVA Game Database, %d ROMs" for 10 seconds.
// A file that cannot be read (permission denied, a directory, over 256 MiB:
// refused by its size before it is read), malformed XML or a missing
// ROMPath, ROMDB or Filename element raises RomDatabaseError and leaves
// `library` as it was.
RomDatabaseLoad LoadRomDatabase(const std::string& path, const HeaderDatabase& headerDb, RomLibrary& library,
                                UserInterface& ui, const RomListsRebuilt& rebuilt = {});

// The same for a document already in memory, `text`, as if read from the file
// at `path` (which only names it in messages). Never Missing.
RomDatabaseLoad LoadRomDatabaseText(std::string_view text, const std::string& path, const HeaderDatabase& headerDb,
                                    RomLibrary& library, UserInterface& ui, const RomListsRebuilt& rebuilt = {});

// Builds the text of a ROM database file, one entry at a time, in the order
// they are added: the declaration (UTF-8), KORVA with Build, ROMPath, ROMDB.
// A file written from it loads back (LoadRomDatabase) with the same ROMPath,
// names and values.
class RomDatabaseWriter {
 public:
  // `romPath` ends in a separator; NameCanBeStored(romPath) must hold.
  explicit RomDatabaseWriter(const std::string& romPath);
  ~RomDatabaseWriter();
  RomDatabaseWriter(const RomDatabaseWriter&) = delete;
  RomDatabaseWriter& operator=(const RomDatabaseWriter&) = delete;

  // One ROM element: CRC32 and Filename (rom.Filename, under ROMPath, for
  // which NameCanBeStored must hold), and the INES element when the record
  // came from the image's own header (Source kSourceINesHeader).
  void Add(const TROMInfo& rom);

  // The document, indented, with every carriage return of a name written as
  // "&#13;" so that a parser reads it back as one.
  std::string Text() const;

 private:
  struct Document;
  std::unique_ptr<Document> doc_;
};

// Replaces the file at `path` with `text` atomically (WriteFileAtomic),
// creating its directory when it is missing. Raises FileError.
void WriteRomDatabase(const std::string& path, std::string_view text);

// The number of entries of the ROM database file at `path`; -1 when there is
// no file there or it cannot be read as one.
int CountRomDatabaseEntries(const std::string& path);

// True when `name` can be written into the file and read back the same by
// any XML 1.0 parser: valid UTF-8 (no overlong forms or surrogates) of
// characters XML 1.0 allows, which leaves out every control character but
// tab, line feed and carriage return (the scan writes the carriage return as
// "&#13;"), and U+FFFE and U+FFFF.
bool NameCanBeStored(std::string_view name);

}  // namespace korva
