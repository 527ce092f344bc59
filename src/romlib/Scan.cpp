#include "romlib/Scan.h"

#include "romlib/FileUtil.h"
#include "romlib/RomDatabase.h"
#include "romlib/RomImage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <utility>

namespace korva {

namespace {

namespace fs = std::filesystem;

bool Cancelled(const std::atomic<bool>* cancel) { return cancel != nullptr && cancel->load(std::memory_order_relaxed); }

// What reading one candidate gave: its record and whether the cartridge can
// hold it, or why the file could not be read as a ROM image.
struct Candidate {
  TROMInfo rom;
  bool compatible = false;
  std::string error;  // empty when the file was read
};

// Reads a candidate into `buffer`, which the calling thread keeps from one
// file to the next, so that reading allocates (and the system maps fresh
// pages) only for a file larger than all before it.
Candidate ReadCandidate(const std::string& file, const HeaderDatabase& headerDb, RomImageBuffer& buffer) {
  Candidate c;
  try {
    const RomReadStatus read = ReadRomImage(file, buffer);
    if (!read.Ok()) {
      c.error = read.Reason();
      return c;
    }
    c.rom = MakeROMInfo(buffer.Image, headerDb);
    c.compatible = CheckCompatibility(c.rom, buffer.Image.size()).Compatible();
  } catch (const std::bad_alloc&) {
    c.error = "not enough memory to read it";
  }
  return c;
}

// Reads and identifies the candidate files on the scanning thread and, when
// asked, on helper threads that read ahead of it. Take hands the results out
// strictly in list order, so the scan sees exactly what reading the files one
// after the other would give it. No thread reads more than kWindow files
// ahead, and none claims a file once the scan is cancelled.
class ReadAhead {
 public:
  static constexpr std::size_t kWindow = 64;

  ReadAhead(const std::vector<std::string>& files, const HeaderDatabase& headerDb, int helpers,
            const std::atomic<bool>* cancel)
      : files_(files), headerDb_(headerDb), cancel_(cancel), slots_(std::min(files.size(), kWindow)) {
    const std::size_t wanted = files.size() < 2 ? 0 : static_cast<std::size_t>(std::max(helpers, 0));
    for (std::size_t k = 0; k < wanted; ++k) helpers_.emplace_back([this] { HelperLoop(); });
  }
  ~ReadAhead() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    window_.notify_all();
    for (std::thread& t : helpers_) t.join();
  }
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The result of file i; i counts up from 0 by one on every call, so i is
  // always the number of results taken. Once the scan is cancelled the
  // helpers claim no more files, but Take still reads file i itself.
  Candidate Take(std::size_t i) {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (SlotOf(i).ready) break;
        // A helper has this file in hand (and finishes it even when the scan
        // is cancelled meanwhile). Wait for it only when there is nothing
        // else to read: every file in reach is claimed, or the scan is
        // cancelled and nobody claims more.
        if (next_ > i && (next_ >= files_.size() || next_ >= taken_ + kWindow || Cancelled(cancel_))) {
          ready_.wait(lock, [&] { return SlotOf(i).ready; });
          break;
        }
      }
      // This file or, while a helper has it in hand, the next one nobody has
      // claimed: the scanning thread reads too rather than wait, so that two
      // threads read at once.
      ReadNext(buffer_);
    }
    Candidate taken;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Slot& slot = SlotOf(i);
      taken = std::move(slot.result);
      slot = Slot{};
      taken_ = i + 1;
    }
    window_.notify_all();
    return taken;
  }

 private:
  struct Slot {
    Candidate result;
    bool ready = false;
  };

  // The files in hand lie within kWindow of the next one to take, so a ring
  // of kWindow slots holds them all.
  Slot& SlotOf(std::size_t i) { return slots_[i % slots_.size()]; }

  // Claims the next file nobody has claimed and reads it. False when none is
  // left, or when the next one lies kWindow or more ahead of the scan: its
  // slot in the ring may still hold a result the scan has not taken.
  bool ReadNext(RomImageBuffer& buffer) {
    std::size_t i;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (next_ >= files_.size() || next_ >= taken_ + kWindow) return false;
      i = next_++;
    }
    Slot done{ReadCandidate(files_[i], headerDb_, buffer), true};
    {
      std::lock_guard<std::mutex> lock(mutex_);
      SlotOf(i) = std::move(done);
    }
    ready_.notify_all();
    return true;
  }

  void HelperLoop() {
    RomImageBuffer buffer;  // this thread's own
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        window_.wait(lock, [&] { return stop_ || next_ >= files_.size() || next_ < taken_ + kWindow; });
        if (stop_ || next_ >= files_.size()) return;
      }
      if (Cancelled(cancel_)) return;
      // Another thread may have claimed the last file in reach meanwhile; then
      // this reads nothing and the wait above comes again.
      ReadNext(buffer);
    }
  }

  const std::vector<std::string>& files_;
  const HeaderDatabase& headerDb_;
  const std::atomic<bool>* cancel_;
  std::vector<Slot> slots_;
  RomImageBuffer buffer_;  // the scanning thread's, used only in Take
  std::mutex mutex_;
  std::condition_variable ready_;   // a slot became ready
  std::condition_variable window_;  // the scan took a result, or the end
  std::size_t next_ = 0;            // the first file nobody has claimed
  std::size_t taken_ = 0;           // the files the scan has taken
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

bool IsCandidateName(std::string_view name) { return HasExtension(name, ".zip") || HasExtension(name, ".nes"); }

std::string SystemReason(int error) { return std::generic_category().message(error); }

// The key names are sorted by: the name in lower case, then the name itself,
// so names that differ only in case still come in a fixed order.
struct Keyed {
  std::string key, name;
  bool operator<(const Keyed& other) const {
    const int order = key.compare(other.key);
    return order != 0 ? order < 0 : name < other.name;
  }
};

Keyed KeyOf(std::string name) {
  std::string key = name;
  for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return {std::move(key), std::move(name)};
}

// Lists the candidates of a directory tree: their names under the top
// directory, with "/" between the parts. The tree is walked level by level,
// each level in sorted order, and a directory is known by its device and
// inode: one reached again (a link to a parent, two links to one place) is
// listed once, under its shortest name, the first in sorted order.
class TreeLister {
 public:
  TreeLister(const std::string& top, std::vector<std::string>* unreadable, const std::atomic<bool>* cancel)
      : top_(top), unreadable_(unreadable), cancel_(cancel) {}

  std::vector<std::string> List() {
    std::vector<std::string> level = {""};
    while (!level.empty() && !Cancelled(cancel_)) {
      std::vector<Keyed> next;
      for (const std::string& prefix : level) ListOne(prefix, next);
      std::sort(next.begin(), next.end());
      level.clear();
      for (Keyed& k : next) level.push_back(std::move(k.name));
    }
    return std::move(names_);
  }

 private:
  // Lists the directory `prefix` ("" or ending in "/"): its candidates go to
  // names_, its subdirectories to `subdirectories`.
  void ListOne(const std::string& prefix, std::vector<Keyed>& subdirectories) {
    const int fd = ::open((top_ + prefix).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
    if (dir == nullptr) {
      const int error = errno;
      if (fd >= 0) ::close(fd);
      return Unreadable(prefix, error);
    }
    struct Closer {
      DIR* d;
      ~Closer() { ::closedir(d); }
    } closer{dir};
    struct stat self {};
    if (::fstat(fd, &self) != 0) return Unreadable(prefix, errno);
    if (!visited_.insert({self.st_dev, self.st_ino}).second) return;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        if (errno != 0) Unreadable(prefix, errno);
        return;
      }
      const std::string_view name(entry->d_name);
      if (name == "." || name == "..") continue;
      const bool candidate = IsCandidateName(name);
      const bool maybeDirectory = entry->d_type == DT_DIR || entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN;
      if (!candidate && !maybeDirectory) continue;
      struct stat st {};
      if (entry->d_type == DT_DIR) {
        st.st_mode = S_IFDIR;
      } else if (entry->d_type == DT_REG) {
        st.st_mode = S_IFREG;
      } else if (::fstatat(fd, entry->d_name, &st, 0) != 0) {
        continue;  // a link to nothing
      }
      if (S_ISDIR(st.st_mode)) {
        subdirectories.push_back(KeyOf(prefix + std::string(name) + "/"));
      } else if (candidate && S_ISREG(st.st_mode)) {
        names_.push_back(prefix + std::string(name));
      }
    }
  }

  // The top directory's own errors end the listing; a subdirectory's are
  // noted and the rest goes on.
  void Unreadable(const std::string& prefix, int error) {
    if (prefix.empty())
      throw fs::filesystem_error("directory iterator cannot open directory", top_,
                                 std::error_code(error, std::generic_category()));
    if (unreadable_ != nullptr) unreadable_->push_back(prefix + ": " + SystemReason(error));
  }

  const std::string& top_;
  std::vector<std::string>* unreadable_;
  const std::atomic<bool>* cancel_;
  std::vector<std::string> names_;
  std::set<std::pair<dev_t, ino_t>> visited_;
};

void NoteUnreadable(ScanResult& result, std::string text) {
  if (static_cast<int>(result.UnreadableFiles.size()) < kNamedUnreadable) result.UnreadableFiles.push_back(std::move(text));
  ++result.Unreadable;
}

// Lists and reads the candidate files into `writer`; fills in the counts of
// `result`. False when the scan was cancelled.
bool ScanFiles(const std::string& directory, const HeaderDatabase& headerDb, ScanObserver& observer,
               const ScanOptions& options, RomDatabaseWriter& writer, ScanResult& result) {
  std::vector<std::string> unlisted;
  std::vector<std::string> files = ListRomCandidates(directory, options.Recursive, &unlisted, options.Cancel);
  for (std::string& folder : unlisted) NoteUnreadable(result, std::move(folder));
  // Names that cannot be stored leave the list; the rest keep their order,
  // so the first of several files with one CRC is the same either way.
  const auto stored = std::stable_partition(files.begin(), files.end(), [&](const std::string& file) {
    return NameCanBeStored(std::string_view(file).substr(directory.size()));
  });
  result.Skipped = static_cast<int>(files.end() - stored);
  files.erase(stored, files.end());
  result.Files = static_cast<int>(files.size());
  observer.SetProgressMax(result.Files);
  if (Cancelled(options.Cancel)) return false;

  std::unordered_set<std::uint32_t> seen;
  ReadAhead reader(files, headerDb, options.ReadHelpers < 0 ? DefaultScanHelpers() : options.ReadHelpers,
                   options.Cancel);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (Cancelled(options.Cancel)) return false;
    observer.SetProgress(static_cast<int>(i + 1));
    const std::string& file = files[i];
    Candidate read = reader.Take(i);
    ++result.Examined;
    std::string relative = file.substr(directory.size());
    if (!read.error.empty()) {
      NoteUnreadable(result, relative + ": " + read.error);
      continue;
    }
    TROMInfo& rom = read.rom;
    if (!read.compatible) {
      ++result.Incompatible;
      continue;
    }
    if (!seen.insert(rom.CRC32).second) {  // the first file with a CRC wins
      ++result.Duplicates;
      continue;
    }
    rom.Filename = std::move(relative);
    writer.Add(rom);
    ++result.Count;
  }
  observer.SetProgress(result.Files);
  return true;
}

// Tells the observer that the scan is over; nothing it throws escapes.
void Finish(ScanObserver& observer, const ScanResult& result) {
  try {
    observer.ScanFinished(result);
  } catch (...) {
  }
}

std::string WithCount(int count, const char* what) { return std::string(what) + ": " + std::to_string(count); }

}  // namespace

int DefaultScanHelpers() {
  // Past four readers the files come no faster: the kernel's reads and the
  // bookkeeping of the scan itself take over.
  const unsigned cores = std::thread::hardware_concurrency();
  return cores <= 1 ? 0 : static_cast<int>(std::min(cores - 1, 3u));
}

std::string ScanningLabel(const std::string& directory) { return "Scanning: " + directory; }

std::string FinishedLabel(int count) {
  return "Finished scanning, " + std::to_string(count) + " compatible roms found";
}

std::vector<std::string> ScanSummary(const ScanResult& r) {
  if (r.Invalid) return {"Invalid path: " + r.Directory};
  std::vector<std::string> lines;
  if (!r.Error.empty()) {
    lines.push_back("Scanning " + r.Directory + " stopped: " + r.Error);
    if (!r.Written) lines.push_back("The ROM database file was not changed.");
    return lines;
  }
  if (r.Cancelled) {
    return {"Scanning " + r.Directory + " was cancelled after " + std::to_string(r.Examined) + " of " +
                std::to_string(r.Files) + " files.",
            "The ROM database file was not changed."};
  }
  if (r.Declined) {
    lines.push_back("The ROM database file was not changed: it keeps its " + std::to_string(r.Previous) +
                    " ROMs. The scan of " + r.Directory + " found:");
  } else {
    lines.push_back("Finished scanning " + r.Directory);
  }
  lines.push_back("Kept: " + std::to_string(r.Count) + (r.Count == 1 ? " compatible ROM" : " compatible ROMs"));
  lines.push_back(WithCount(r.Incompatible, "Incompatible"));
  lines.push_back(WithCount(r.Duplicates, "Duplicates"));
  lines.push_back(WithCount(r.Skipped, "Names that cannot be stored"));
  lines.push_back(WithCount(r.Unreadable, "Unreadable"));
  for (const std::string& file : r.UnreadableFiles) lines.push_back("  " + file);
  if (r.Unreadable > static_cast<int>(r.UnreadableFiles.size()))
    lines.push_back("  and " + std::to_string(r.Unreadable - static_cast<int>(r.UnreadableFiles.size())) + " more");
  return lines;
}

MsgKind ScanSummaryKind(const ScanResult& r) {
  if (r.Invalid || !r.Error.empty()) return MsgKind::Error;
  if (r.Written && (r.Skipped > 0 || r.Unreadable > 0)) return MsgKind::Warning;
  return MsgKind::Information;
}

std::string ScanDirectoryPath(const std::string& directory) {
  // An empty name is no directory (it must not become the working directory).
  if (directory.empty()) return directory;
  std::error_code ec;
  fs::path full = fs::absolute(directory, ec);
  if (ec) full = directory;
  // The parts up to the last "..": the system resolves those, link by link,
  // so they are asked of it; the parts after it stay as written.
  fs::path head, tail;
  bool afterDotDot = false;
  for (const fs::path& part : full) {
    if (part == "..") {
      head /= tail;
      head /= part;
      tail.clear();
      afterDotDot = true;
    } else if (afterDotDot) {
      tail /= part;
    } else {
      head /= part;
    }
  }
  std::string path;
  if (!afterDotDot) {
    path = full.lexically_normal().string();
  } else {
    const fs::path resolved = fs::canonical(head, ec);
    // A ".." the system cannot go up from: the path as given, which is then
    // no directory either.
    path = ec ? full.string() : (resolved / tail).lexically_normal().string();
  }
  if (path.back() != kPathSeparator) path += kPathSeparator;
  return path;
}

std::vector<std::string> ListRomCandidates(const std::string& directory, bool recursive,
                                           std::vector<std::string>* unreadable, const std::atomic<bool>* cancel) {
  std::vector<std::string> found =
      recursive ? TreeLister(directory, unreadable, cancel).List() : ListFiles(directory, IsCandidateName);
  // Each name's sort key is made once; the directory goes in front once they
  // are sorted.
  std::vector<Keyed> keyed;
  keyed.reserve(found.size());
  for (std::string& name : found) keyed.push_back(KeyOf(std::move(name)));
  std::sort(keyed.begin(), keyed.end());
  std::vector<std::string> names;
  names.reserve(keyed.size());
  for (Keyed& k : keyed) names.push_back(directory + k.name);
  return names;
}

ScanResult ScanRomDirectory(const std::string& directory, const HeaderDatabase& headerDb,
                            const std::string& databasePath, ScanObserver& observer, const ScanOptions& options) {
  ScanResult result;
  result.Directory = ScanDirectoryPath(directory);
  if (!DirectoryExists(result.Directory)) {
    result.Invalid = true;
    Finish(observer, result);
    return result;
  }

  observer.ScanStarted(ScanningLabel(result.Directory));
  try {
    if (!NameCanBeStored(result.Directory))
      throw std::runtime_error("the directory's name cannot be stored in the ROM database file");
    // The listing, the records and the document are gone before the file is
    // loaded again, so a large directory is not held in memory twice.
    std::string xml;
    bool complete = false;
    {
      RomDatabaseWriter writer(result.Directory);
      complete = ScanFiles(result.Directory, headerDb, observer, options, writer, result);
      if (complete) xml = writer.Text();
    }
    if (!complete || Cancelled(options.Cancel)) {
      result.Cancelled = true;
    } else {
      result.Previous = CountRomDatabaseEntries(databasePath);
      if (result.Count * 2 < result.Previous && !observer.ConfirmReplace(result.Previous, result.Count)) {
        result.Declined = true;
      } else {
        WriteRomDatabase(databasePath, xml);
        result.Written = true;
        observer.SetLabel(FinishedLabel(result.Count));
        observer.ReloadDatabase();
      }
    }
  } catch (const std::exception& e) {
    result.Error = e.what();
  } catch (...) {
    result.Error = "unknown error";
  }
  Finish(observer, result);
  return result;
}

}  // namespace korva
