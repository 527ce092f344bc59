#include "romlib/Scan.h"

#include "romlib/FileUtil.h"
#include "romlib/RomDatabase.h"

#include <pugixml.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unordered_set>

namespace korva {

namespace {

namespace fs = std::filesystem;

std::string BaseName(const std::string& path) {
  const auto sep = path.find_last_of(kPathSeparator);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// The record of one candidate file. A .nes file that cannot be read ends the
// scan; any other file that cannot be read, and an image shorter than its
// header's PRG + CHR, reads as the empty record, which the scan leaves out.
TROMInfo ReadCandidate(const std::string& file, const HeaderDatabase& headerDb) {
  RomImageBuffer buffer;
  const RomReadStatus read = ReadRomImage(file, buffer);
  if (read.IsFileError() && HasExtension(file, ".nes"))
    throw FileError((read.Error() == RomReadError::kCannotOpen ? "Cannot open \"" : "Cannot read \"") + file +
                    "\": " + read.Reason());
  if (!read.Ok()) return {};
  TROMInfo rom = MakeROMInfo(buffer.Image, headerDb);
  if (CheckCompatibility(rom, buffer.Image.size()).Reason == Incompatibility::kShortImage) return {};
  return rom;
}

// Reads and identifies the candidate files on the scanning thread and, when
// asked, on helper threads that read ahead of it. Take hands the records out
// strictly in list order, and an error reading a file comes out of Take for
// that file, so the scan sees exactly what reading the files one after the
// other would give it. No thread reads more than kWindow files ahead.
class ReadAhead {
 public:
  static constexpr std::size_t kWindow = 64;

  ReadAhead(const std::vector<std::string>& files, const HeaderDatabase& headerDb, int helpers)
      : files_(files), headerDb_(headerDb), slots_(std::min(files.size(), kWindow)) {
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

  // The record of file i; i counts up from 0 by one on every call, so i is
  // always the number of records taken.
  TROMInfo Take(std::size_t i) {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (SlotOf(i).ready) break;
        if (next_ >= files_.size() || next_ >= taken_ + kWindow) {
          // Every file in reach is in a helper's hands, this one too: wait.
          ready_.wait(lock, [&] { return SlotOf(i).ready; });
          break;
        }
      }
      // This file or, while a helper has it in hand, the next one nobody has
      // claimed: the scanning thread reads too rather than wait.
      ReadNext();
    }
    std::exception_ptr error;
    TROMInfo rom;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      Slot& slot = SlotOf(i);
      error = slot.error;
      rom = std::move(slot.rom);
      slot = Slot{};
      taken_ = i + 1;
    }
    window_.notify_all();
    if (error) std::rethrow_exception(error);
    return rom;
  }

 private:
  struct Slot {
    TROMInfo rom;
    std::exception_ptr error;
    bool ready = false;
  };

  // The files in hand lie within kWindow of the next one to take, so a ring
  // of kWindow slots holds them all.
  Slot& SlotOf(std::size_t i) { return slots_[i % slots_.size()]; }

  // Claims the next file nobody has claimed and reads it. False when none is
  // left, or when the next one lies kWindow or more ahead of the scan: its
  // slot in the ring may still hold a record the scan has not taken.
  bool ReadNext() {
    std::size_t i;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (next_ >= files_.size() || next_ >= taken_ + kWindow) return false;
      i = next_++;
    }
    Slot done;
    try {
      done.rom = ReadCandidate(files_[i], headerDb_);
    } catch (...) {
      done.error = std::current_exception();
    }
    done.ready = true;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      SlotOf(i) = std::move(done);
    }
    ready_.notify_all();
    return true;
  }

  void HelperLoop() {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        window_.wait(lock, [&] { return stop_ || next_ >= files_.size() || next_ < taken_ + kWindow; });
        if (stop_ || next_ >= files_.size()) return;
      }
      // Another thread may have claimed the last file in reach meanwhile; then
      // this reads nothing and the wait above comes again.
      ReadNext();
    }
  }

  const std::vector<std::string>& files_;
  const HeaderDatabase& headerDb_;
  std::vector<Slot> slots_;
  std::mutex mutex_;
  std::condition_variable ready_;   // a slot became ready
  std::condition_variable window_;  // the scan took a record, or the end
  std::size_t next_ = 0;            // the first file nobody has claimed
  std::size_t taken_ = 0;           // the files the scan has taken
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

// Collects what pugixml writes, with every carriage return as "&#13;":
// pugixml writes one in text as it is, and a parser reads that back as a line
// feed. pugixml ends its own lines with a line feed alone, so every carriage
// return is one of a name's.
struct StringWriter : pugi::xml_writer {
  std::string out;
  void write(const void* data, std::size_t size) override {
    std::string_view rest(static_cast<const char*>(data), size);
    for (auto cr = rest.find('\r'); cr != std::string_view::npos; cr = rest.find('\r')) {
      out.append(rest.substr(0, cr)).append("&#13;");
      rest.remove_prefix(cr + 1);
    }
    out.append(rest);
  }
};

// Lists and reads the candidate files and returns the text of the ROM
// database file; fills in the counts of `result`.
std::string ScanToXml(const std::string& directory, const HeaderDatabase& headerDb, ScanObserver& observer,
                      int readHelpers, ScanResult& result) {
  if (!NameCanBeStored(directory))
    throw std::runtime_error("the directory's name cannot be stored in the ROM database file");
  pugi::xml_document doc;
  auto decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "utf-8";
  auto root = doc.append_child("KORVA");
  root.append_attribute("Build") = std::to_string(KORVA_BUILD_NUMBER).c_str();
  root.append_child("ROMPath").text() = directory.c_str();
  auto romDb = root.append_child("ROMDB");

  std::vector<std::string> files = ListRomCandidates(directory);
  const auto stored = std::partition(files.begin(), files.end(),
                                     [](const std::string& file) { return NameCanBeStored(BaseName(file)); });
  result.Skipped = static_cast<int>(files.end() - stored);
  files.erase(stored, files.end());
  result.Files = static_cast<int>(files.size());
  observer.SetProgressMax(result.Files);

  std::unordered_set<std::uint32_t> seen;
  ReadAhead reader(files, headerDb, readHelpers < 0 ? DefaultScanHelpers() : readHelpers);
  for (std::size_t i = 0; i < files.size(); ++i) {
    observer.SetProgress(static_cast<int>(i + 1));
    const std::string& file = files[i];
    const TROMInfo rom = reader.Take(i);
    if (seen.count(rom.CRC32) != 0) continue;  // the first file with a CRC wins
    if (!IsCompatible(rom)) continue;
    auto e = romDb.append_child("ROM");
    e.append_attribute("CRC32") = CrcText(rom.CRC32).c_str();
    e.append_child("Filename").text() = BaseName(file).c_str();
    if (rom.Source == kSourceINesHeader) {
      auto ines = e.append_child("INES");
      ines.append_attribute("Mapper") = rom.Mapper;
      ines.append_attribute("ChrRomSize") = rom.ChrRomSize;
      ines.append_attribute("PrgRomSize") = rom.PrgRomSize;
      ines.append_attribute("Mirroring") = rom.Mirroring.c_str();
    }
    seen.insert(rom.CRC32);
    ++result.Count;
  }
  observer.SetProgress(result.Files);

  StringWriter text;
  doc.save(text, "  ", pugi::format_default, pugi::encoding_utf8);
  return std::move(text.out);
}

// Tells the observer that the scan is over; nothing it throws escapes.
void Finish(ScanObserver& observer) {
  try {
    observer.ScanFinished();
  } catch (...) {
  }
}

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

std::string SkippedLabel(int count) {
  return count == 1 ? "1 file skipped: its name cannot be stored"
                    : std::to_string(count) + " files skipped: their names cannot be stored";
}

std::vector<std::string> ListRomCandidates(const std::string& directory) {
  // Each name is sorted by its lower-case form, made once, and then by the
  // name itself, so names that differ only in case still come in a fixed
  // order; the directory goes in front once they are sorted.
  struct Keyed {
    std::string key, name;
  };
  std::vector<Keyed> keyed;
  for (std::string& name : ListFiles(directory, [](std::string_view name) {
         return HasExtension(name, ".zip") || HasExtension(name, ".nes");
       })) {
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    keyed.push_back({std::move(key), std::move(name)});
  }
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    const int order = a.key.compare(b.key);
    return order != 0 ? order < 0 : a.name < b.name;
  });
  std::vector<std::string> names;
  names.reserve(keyed.size());
  for (Keyed& k : keyed) names.push_back(directory + k.name);
  return names;
}

ScanResult ScanRomDirectory(std::string directory, const HeaderDatabase& headerDb, const std::string& databasePath,
                            UserInterface& ui, ScanObserver& observer, int readHelpers) {
  ScanResult result;

  // The full path, so that the file names the same directory from anywhere;
  // symbolic links stay as the user named them. An empty name is no
  // directory (it must not become the root).
  if (!directory.empty()) {
    std::error_code ec;
    const fs::path full = fs::absolute(directory, ec).lexically_normal();
    if (!ec) directory = full.string();
    if (directory.back() != kPathSeparator) directory += kPathSeparator;
  }
  if (!DirectoryExists(directory)) {
    ui.ShowCenteredMessage("Invalid path: " + directory, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
    Finish(observer);
    return result;
  }

  observer.ScanStarted(ScanningLabel(directory));
  try {
    // The listing, the records and the document are gone before the file is
    // loaded again, so a large directory is not held in memory twice.
    const std::string xml = ScanToXml(directory, headerDb, observer, readHelpers, result);
    const fs::path target(databasePath);
    if (target.has_parent_path()) {
      std::error_code ec;
      fs::create_directories(target.parent_path(), ec);
    }
    WriteFileAtomic(databasePath, xml);
    result.Written = true;

    observer.SetLabel(FinishedLabel(result.Count));
    observer.ReloadDatabase();
  } catch (const std::exception& e) {
    result.Error = e.what();
  } catch (...) {
    result.Error = "unknown error";
  }
  // The window is enabled again before the messages are shown over it.
  Finish(observer);
  if (result.Written && result.Skipped > 0)
    ui.ShowCenteredMessage(SkippedLabel(result.Skipped), MsgKind::Warning, static_cast<MsgButtons>(MsgButton::OK));
  if (!result.Error.empty()) {
    std::string text = "Scanning " + directory + " stopped: " + result.Error;
    if (!result.Written) text += "\r\n\r\nThe ROM database file was not changed.";
    ui.ShowCenteredMessage(text, MsgKind::Error, static_cast<MsgButtons>(MsgButton::OK));
  }
  return result;
}

}  // namespace korva
