#pragma once
// Everything the main window owns for the whole run: the header database
// table, the ROM library (ROMList, ROMNames, ROMPath) and the project. The
// window, the command line and the tests each hold one and hand it to the
// core's operations together with their UserInterface.
#include "project/Model.h"
#include "romlib/ROMInfo.h"
#include "romlib/RomDatabase.h"

namespace korva {

struct Workspace {
  HeaderDatabase HeaderDB;
  RomLibrary Library;
  Project Proj;
  // The ROM database file the Library was loaded from (empty: none). The
  // front end that loads it sets it; the export never writes over it.
  std::string DatabasePath;
};

}  // namespace korva
