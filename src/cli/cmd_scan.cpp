// korva scan DIR [--db PATH] [--threads N] [--recursive] [--force]: scans a
// ROM directory into the ROM database file and loads it back. --threads is the
// number of threads that read and identify files (1: one file after another;
// by default one per core, at most four); the result is the same either way.
// --recursive takes the files in subdirectories too. A scan that would leave
// fewer than half the ROMs the file had replaces it only with --force.
// Everything it prints, the summary at the end too, goes to stderr: its
// output is the file. Ctrl+C cancels the scan and leaves the file as it was.
#include "cli/Command.h"
#include "cli/ConsoleUI.h"
#include "cli/DbOption.h"
#include "romlib/HeaderDB.h"
#include "romlib/RomDatabase.h"
#include "romlib/Scan.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <stdexcept>

namespace korva::cli {

namespace {

// Draws a progress bar on stderr when it is a terminal and prints the labels
// there too; replaces a file that would lose more than half its ROMs only
// when told to (--force).
class ConsoleScanObserver : public ScanObserver {
 public:
  explicit ConsoleScanObserver(bool force)
      : force_(force), bar_(::isatty(STDERR_FILENO) == 1 && CurrentVerbosity() != Verbosity::Quiet) {}

  void ScanStarted(const std::string& label) override { Notes() << label << "\n" << std::flush; }
  void SetProgressMax(int maximum) override { max_ = maximum; }
  void SetProgress(int position) override {
    if (!bar_ || max_ <= 0) return;
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(static_cast<long long>(position) * kWidth / max_);
    if (filled == lastFilled_ && position != max_ && position % 64 != 0) return;
    lastFilled_ = filled;
    std::cerr << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << position << "/"
              << max_ << std::flush;
    drawn_ = true;
  }
  void SetLabel(const std::string& text) override {
    ClearBar();
    Notes() << text << "\n" << std::flush;
  }
  bool ConfirmReplace(int, int) override { return force_; }
  // The window loads the file again to refill its lists; the command line
  // has none, and its summary already says what the file holds. (Loading it
  // again took about a tenth of a 10,000-file scan's time and more than half
  // its page faults: docs/performance.md.)
  void ReloadDatabase() override {}
  void ScanFinished(const ScanResult&) override { ClearBar(); }

 private:
  void ClearBar() {
    if (drawn_) std::cerr << "\r\033[K" << std::flush;
    drawn_ = false;
  }

  bool force_;
  bool bar_;
  bool drawn_ = false;
  int max_ = 0;
  int lastFilled_ = -1;
};

constexpr const char* kUsage = "usage: korva scan DIR [--db PATH] [--threads N] [--recursive] [--force]\n";

// Takes every `flag` out of `args`; true when there was one.
bool TakeFlag(std::vector<std::string>& args, const std::string& flag) {
  const auto end = std::remove(args.begin(), args.end(), flag);
  const bool found = end != args.end();
  args.erase(end, args.end());
  return found;
}

// Set by the first Ctrl+C; a second one ends the program at once.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) { interrupted.store(true); }

// Takes "--threads N" (1 to 16) out of `args`; -1 when it is not there.
int TakeThreadsOption(std::vector<std::string>& args) {
  const std::optional<std::string> text = TakeOption(args, "--threads");
  if (!text) return -1;
  const bool digits = text->size() <= 2 && text->find_first_not_of("0123456789") == std::string::npos;
  const int threads = digits ? std::stoi(*text) : 0;
  if (threads < 1 || threads > 16)
    throw std::invalid_argument("--threads takes a number from 1 to 16, not \"" + *text + "\"");
  return threads;
}

int RunScan(const std::vector<std::string>& rawArgs) {
  DbArgs args;
  ScanOptions options;
  bool force = false;
  try {
    std::vector<std::string> rest = rawArgs;
    const int threads = TakeThreadsOption(rest);
    options.ReadHelpers = threads < 0 ? -1 : threads - 1;
    options.Recursive = TakeFlag(rest, "--recursive");
    force = TakeFlag(rest, "--force");
    args = ParseDbArgs(rest);
  } catch (const std::invalid_argument& e) {
    std::cerr << "korva scan: " << e.what() << "\n" << kUsage;
    return 2;
  }
  if (args.Positional.size() != 1) {
    std::cerr << kUsage;
    return 2;
  }
  ConsoleUI ui;
  const HeaderDatabase headerDb = LoadHeaderDatabase(ui);
  const std::string dbPath = DatabasePathOf(args);
  ConsoleScanObserver observer(force);

  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  struct sigaction before {};
  ::sigaction(SIGINT, &action, &before);
  options.Cancel = &interrupted;
  const ScanResult result = ScanRomDirectory(args.Positional[0], headerDb, dbPath, observer, options);
  ::sigaction(SIGINT, &before, nullptr);

  // A summary of good news is a note (-q leaves it out); one that reports
  // files left out for their names or as unreadable, or a scan that wrote
  // nothing, is always printed.
  std::ostream& summary = result.Written && ScanSummaryKind(result) == MsgKind::Information ? Notes() : std::cerr;
  for (const std::string& line : ScanSummary(result)) summary << line << "\n";
  if (result.Declined)
    std::cerr << "korva scan: " << dbPath << " was not replaced: the scan kept " << result.Count
              << " ROMs, fewer than half of its " << result.Previous
              << ". Run again with --force to replace it.\n";
  if (result.Cancelled) return 130;
  if (!result.Written || !result.Error.empty()) return 1;
  Notes() << "Wrote " << dbPath << "\n";
  return 0;
}
}  // namespace

const Command kScanCommand{"scan", "DIR [--db PATH] [--threads N] [--recursive] [--force]",
                           "scan DIR for compatible ROMs and write the ROM database file korva_db.xml", &RunScan};

}  // namespace korva::cli
