#pragma once
// The ROM database file korva_db.xml: the compatible ROMs that the last scan
// found, and the directory they lie in.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <functional>
#include <string>
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

}  // namespace korva
