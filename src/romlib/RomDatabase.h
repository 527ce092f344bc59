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

#include <memory>
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
  Loaded,    // Library holds the file's entries
  Missing,   // nothing at the path
  Unusable,  // the file is there but cannot be used; Problem says why
};

// What a load of the ROM database file found. The loader shows nothing:
// the window and the command line each say what it means in their own way.
struct RomDatabaseLoad {
  RomDatabaseStatus Status = RomDatabaseStatus::Missing;
  RomLibrary Library;      // Loaded: the entries, their names and ROMPath
  bool OutOfSync = false;  // Loaded: a listed file was missing or had to be read again
  bool Damaged = false;    // Unusable: the content is at fault (not XML, not a ROM database)
  std::string Problem;     // Unusable: what is wrong, naming the file
};

// Loads the ROM database file at `path`:
// - nothing at `path`: Missing;
// - every ROM element whose file exists under ROMPath becomes an entry, in
//   document order: the header database's record when it knows the CRC, else
//   the INES element's values, else the file read again (both of these mark
//   the load out of sync, as does a missing file): Loaded;
// - Unusable, with the reason: a file that cannot be read (permission denied,
//   a directory, over 256 MiB: refused by its size before it is read; the
//   system's reason), and, Damaged, malformed XML (the parser's description
//   and where), a root element other than exactly "KORVA", or a missing
//   ROMPath, ROMDB or Filename element.
RomDatabaseLoad LoadRomDatabase(const std::string& path, const HeaderDatabase& headerDb);

// The same for a document already in memory, `text`, as if read from the file
// at `path` (which only names it in the reasons). Never Missing.
RomDatabaseLoad LoadRomDatabaseText(std::string_view text, const std::string& path, const HeaderDatabase& headerDb);

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
