// The ROM database placement of a program, compiled twice (src/CMakeLists.txt):
// with KORVA_INSTALLED=0 into korva_core, with KORVA_INSTALLED=1 into the
// object that the installed executables are linked with. This file holds
// nothing else, so that the installed object replaces korva_core's copy
// whole; a second definition would stop the link rather than pass unseen.
#include "romlib/RomDatabase.h"

namespace korva {

const RomDatabasePlacement kRomDatabasePlacement =
    KORVA_INSTALLED ? RomDatabasePlacement::UserData : RomDatabasePlacement::BesideProgram;

}  // namespace korva
