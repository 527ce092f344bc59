#pragma once
// The ROM directory scan: every .zip and .nes file directly in a directory is
// read, and each compatible ROM not seen before in the scan becomes one entry
// of the ROM database file (romlib/RomDatabase.h), which is then written and
// loaded again.
//
// The scan runs on any thread. Everything it does to a window goes through a
// ScanObserver, and every message through a UserInterface, so the window can
// carry both over to its UI thread and the command line can draw its own
// progress bar.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <string>
#include <vector>

namespace korva {

// What a scan shows while it runs, in this order:
//   ScanStarted, SetProgressMax, SetProgress (once per file, then the
//   maximum), SetLabel (the final line), ReloadDatabase, ScanFinished.
// ScanFinished is called exactly once on every path, also when the scan
// stops before it starts (an invalid path) or ends with an error.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;

  // Disable the main window, set the scanning flag, show `label`
  // ("Scanning: " and the directory), show the progress dialog.
  virtual void ScanStarted(const std::string& label) = 0;
  // The progress bar's range is 0 to `maximum` (the number of files).
  virtual void SetProgressMax(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  // Replace the dialog's label.
  virtual void SetLabel(const std::string& text) = 0;
  // The file is written: load the ROM database again (LoadRomDatabase),
  // refilling the lists with its messages and status text. An exception
  // thrown here ends the scan with that error.
  virtual void ReloadDatabase() = 0;
  // Enable the main window, clear the scanning flag, close the dialog.
  virtual void ScanFinished() = 0;
};

struct ScanResult {
  bool Written = false;  // korva_db.xml was replaced
  int Files = 0;         // candidate files listed
  int Count = 0;         // ROM entries written
  int Skipped = 0;       // candidate files left out: their names cannot be stored
  std::string Error;     // empty unless the scan ended with an error (already shown)
};

// "Scanning: ", "Finished scanning, %d compatible roms found".
std::string ScanningLabel(const std::string& directory);
std::string FinishedLabel(int count);
// "%d files skipped: their names cannot be stored" ("1 file skipped: its name ...").
std::string SkippedLabel(int count);

// The candidate files directly in `directory` (which ends in a separator):
// regular files whose names end in .zip or .nes in any case, as full paths,
// sorted by name without regard to case. Raises std::filesystem errors.
std::vector<std::string> ListRomCandidates(const std::string& directory);

// Scans `directory` and writes the ROM database file at `databasePath`
// (replaced atomically; its directory is created when missing). ROMPath is
// `directory` made absolute and lexically normal (symbolic links are kept),
// ending in a separator.
// - Empty, or not an existing directory: "Invalid path: %s" (Error), nothing else.
// - A file whose name the file cannot hold (NameCanBeStored) is left out; after
//   ScanFinished one Warning line (SkippedLabel) counts them. A directory whose
//   name it cannot hold ends the scan with an error.
// - Any error while listing, reading or writing (a .nes file that cannot be
//   read, a failed write) ends the scan: the old file stays, and after
//   ScanFinished the error is shown through `ui` (Error).
// `readHelpers` threads read and identify files ahead of the scan (-1: one
// for each core beyond the first, at most three). The results, their order, the
// progress reports and the errors are those of reading the files one by one.
ScanResult ScanRomDirectory(std::string directory, const HeaderDatabase& headerDb, const std::string& databasePath,
                            UserInterface& ui, ScanObserver& observer, int readHelpers = -1);

// The number of read-ahead threads a scan uses by default.
int DefaultScanHelpers();

}  // namespace korva
