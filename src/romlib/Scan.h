#pragma once
// The ROM directory scan: every .zip and .nes file in a directory (and, when
// asked, in its subdirectories) is read, and each compatible ROM not seen
// before in the scan becomes one entry of the ROM database file
// (romlib/RomDatabase.h), which is then written and loaded again.
//
// The scan runs on any thread. Everything it shows goes through a
// ScanObserver, which the window carries over to its UI thread and the command
// line prints; the scan itself shows nothing and returns what happened.
#include "romlib/ROMInfo.h"
#include "romlib/UserInterface.h"

#include <atomic>
#include <string>
#include <vector>

namespace korva {

struct ScanResult;

// What a scan shows while it runs, in this order:
//   ScanStarted, SetProgressMax, SetProgress (once per file, then the
//   maximum), ConfirmReplace (only when asked, see ScanRomDirectory),
//   SetLabel (the final line), ReloadDatabase, ScanFinished.
// ScanFinished is called exactly once on every path, also when the scan
// stops before it starts (an invalid path), is cancelled or ends with an error.
class ScanObserver {
 public:
  virtual ~ScanObserver() = default;

  // Disable the main window, set the scanning flag, show `label`
  // ("Scanning: " and the directory), show the progress dialog.
  virtual void ScanStarted(const std::string& label) = 0;
  // The progress bar's range is 0 to `maximum` (the number of files).
  virtual void SetProgressMax(int maximum) = 0;
  virtual void SetProgress(int position) = 0;
  // Every file is read and the scan kept `found` ROMs, fewer than half of the
  // `had` entries of the ROM database file it would replace: true replaces
  // the file, false keeps it as it is. Nothing is written before the answer.
  virtual bool ConfirmReplace(int had, int found) = 0;
  // Replace the dialog's label.
  virtual void SetLabel(const std::string& text) = 0;
  // The file is written: load the ROM database again (LoadRomDatabase),
  // refilling the lists with its messages and status text. An exception
  // thrown here ends the scan with that error.
  virtual void ReloadDatabase() = 0;
  // Enable the main window, clear the scanning flag, close the dialog, and
  // show how the scan ended (ScanSummary). Nothing it throws escapes the scan.
  virtual void ScanFinished(const ScanResult& result) = 0;
};

// How the scan went; every count is of candidate files.
struct ScanResult {
  std::string Directory;    // ROMPath as the scan resolved it (ends in a separator)
  bool Invalid = false;     // not an existing directory: nothing was scanned
  bool Written = false;     // korva_db.xml was replaced
  bool Cancelled = false;   // stopped by ScanOptions::Cancel: nothing written
  bool Declined = false;    // ConfirmReplace said no: nothing written
  int Previous = -1;        // entries of the ROM database file before the scan, -1: none or unreadable
  int Files = 0;            // candidate files listed whose names can be stored
  int Examined = 0;         // of those, read before the scan ended
  int Count = 0;            // kept: ROM entries written (or that would have been)
  int Incompatible = 0;     // ROM images the cartridge cannot hold
  int Duplicates = 0;       // compatible ROMs whose CRC an earlier file had
  int Skipped = 0;          // names the ROM database file cannot hold
  int Unreadable = 0;       // not a ROM image, or not readable (and folders that could not be listed)
  std::vector<std::string> UnreadableFiles;  // the first kNamedUnreadable: "name: reason"
  std::string Error;        // empty unless the scan ended with an error
};

// How many unreadable files a ScanResult names.
inline constexpr int kNamedUnreadable = 5;

struct ScanOptions {
  // Also the files in every subdirectory, each directory once however many
  // links lead to it; Filename is then the path under ROMPath, with "/".
  bool Recursive = false;
  // Threads that read and identify files ahead of the scan (-1: one for each
  // core beyond the first, at most three). The results, their order, the
  // progress reports and the errors are those of reading one by one.
  int ReadHelpers = -1;
  // Set from any thread to stop the scan: every thread checks it before each
  // file (and each directory it lists), so the scan ends within a file's
  // read; then nothing is written and the old file stays whole.
  const std::atomic<bool>* Cancel = nullptr;
};

// "Scanning: ", "Finished scanning, %d compatible roms found".
std::string ScanningLabel(const std::string& directory);
std::string FinishedLabel(int count);

// What the front ends show when a scan ends: a first line saying how it
// ended ("Invalid path: %s", "Scanning %s stopped: ..." and whether the file
// was changed, cancelled, kept, finished), then, when files were read, the
// counts: "Kept: %d compatible ROMs", "Incompatible: %d", "Duplicates: %d",
// "Names that cannot be stored: %d", "Unreadable: %d" and the unreadable
// files named.
std::vector<std::string> ScanSummary(const ScanResult& result);
// The kind of message the summary is: Error when the scan did not run or
// ended with an error, Warning when it wrote the file but left files out
// whose names cannot be stored or that could not be read, else Information.
MsgKind ScanSummaryKind(const ScanResult& result);

// The directory a path names, as ROMPath holds it: absolute, ending in a
// separator, symbolic links kept as the user named them; a ".." goes up from
// what the system finds at that point (the link's target, not the link's
// own directory), as every program that opens the path sees it.
std::string ScanDirectoryPath(const std::string& directory);

// The candidate files in `directory` (which ends in a separator): regular
// files whose names end in .zip or .nes in any case, as full paths, sorted by
// their path under `directory` without regard to case. `recursive`: also those
// in every subdirectory reachable from it (links followed, each directory
// once); a subdirectory that cannot be read is added to `unreadable` as
// "path/: reason" when given. Raises std::filesystem errors when `directory`
// itself cannot be read.
std::vector<std::string> ListRomCandidates(const std::string& directory, bool recursive = false,
                                           std::vector<std::string>* unreadable = nullptr,
                                           const std::atomic<bool>* cancel = nullptr);

// Scans `directory` and writes the ROM database file at `databasePath`
// (replaced atomically; its directory is created when missing), with
// ROMPath = ScanDirectoryPath(directory).
// - Empty, or not an existing directory: Invalid, nothing else happens.
// - A file whose name the file cannot hold (NameCanBeStored) is left out and
//   counted (Skipped); a directory whose name it cannot hold ends the scan
//   with an error.
// - A file that is no ROM image or cannot be read is left out and counted
//   (Unreadable) with its reason; the scan goes on.
// - When the ROM database file had entries and the scan kept fewer than half
//   as many, the observer is asked (ConfirmReplace) before anything is written.
// - An error while listing `directory` or writing (a failed write) ends the
//   scan: the old file stays.
ScanResult ScanRomDirectory(const std::string& directory, const HeaderDatabase& headerDb,
                            const std::string& databasePath, ScanObserver& observer, const ScanOptions& options = {});

// The number of read-ahead threads a scan uses by default.
int DefaultScanHelpers();

}  // namespace korva
