#include "romlib/FileUtil.h"

#include "romlib/CRC.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// Closes a descriptor when it goes out of scope.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

std::vector<std::uint8_t> ReadFileBytes(int fd, std::size_t size, const std::string& path) {
  std::vector<std::uint8_t> bytes(size);
  std::size_t used = 0;
  while (used < size) {
    const ssize_t n = ::pread(fd, bytes.data() + used, size - used, static_cast<off_t>(used));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot read \"" + path + "\": " + Reason(errno));
    if (n == 0) throw FileError("Cannot read \"" + path + "\": the file became shorter while it was read");
    used += static_cast<std::size_t>(n);
  }
  return bytes;
}

std::optional<std::vector<std::uint8_t>> ReadFileWithin(const std::string& path, std::size_t maxSize) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw FileError("Cannot open \"" + path + "\": " + Reason(errno));
  FdCloser closer(fd);

  struct stat st {};
  if (::fstat(fd, &st) != 0) throw FileError("Cannot read \"" + path + "\": " + Reason(errno));
  if (S_ISDIR(st.st_mode)) throw FileError("Cannot read \"" + path + "\": it is a directory");
  if (!S_ISREG(st.st_mode)) throw FileError("Cannot read \"" + path + "\": it is not a regular file");
  if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > maxSize) return std::nullopt;

  // The reported size must all be there. Past it a small probe tells whether
  // there is more (files of /proc report no size at all), so the usual case
  // costs one read of the whole file and one empty read, and no growing.
  std::vector<std::uint8_t> bytes = ReadFileBytes(fd, static_cast<std::size_t>(st.st_size), path);
  for (;;) {
    std::uint8_t probe[4096];
    const ssize_t n = ::pread(fd, probe, sizeof probe, static_cast<off_t>(bytes.size()));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("Cannot read \"" + path + "\": " + Reason(errno));
    if (n == 0) break;
    if (static_cast<std::size_t>(n) > maxSize - bytes.size()) return std::nullopt;
    bytes.insert(bytes.end(), probe, probe + n);
  }
  return bytes;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path, std::size_t maxSize) {
  std::optional<std::vector<std::uint8_t>> bytes = ReadFileWithin(path, maxSize);
  if (!bytes)
    throw FileError("Cannot read \"" + path + "\": the file is larger than " + std::to_string(maxSize) + " bytes");
  return std::move(*bytes);
}

namespace {

std::string CannotWrite(const std::string& path, int error) {
  return "Cannot write \"" + path + "\": " + Reason(error);
}

// The file a write of `path` lands on: `path` itself, or what the symbolic
// link (or chain of links) there names, which need not exist yet.
std::string WriteTarget(const std::string& path) {
  std::string target = path;
  for (int depth = 0; depth < 40; ++depth) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return target;
    std::string link(4096, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) throw FileError(CannotWrite(path, errno));
    link.resize(static_cast<std::size_t>(n));
    target = link.front() == '/' ? link : DirectoryOf(target) + "/" + link;
  }
  throw FileError(CannotWrite(path, ELOOP));
}

// Raises what creating or replacing `target` directly would raise, as far as
// it is known before writing: a name too long for its directory, a missing
// directory, a directory in the way, a file or directory the user may not
// write to. `existing` receives the file's status when there is one.
bool CheckTarget(const std::string& path, const std::string& target, struct stat& existing) {
  const std::string dir = DirectoryOf(target);
  const long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && FileNamePart(target).size() > static_cast<std::size_t>(nameMax))
    throw FileError(CannotWrite(path, ENAMETOOLONG));
  if (::stat(target.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) throw FileError(CannotWrite(path, EISDIR));
    if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) throw FileError(CannotWrite(path, errno));
    return true;
  }
  if (errno != ENOENT) throw FileError(CannotWrite(path, errno));
  if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) throw FileError(CannotWrite(path, errno));
  return false;
}

// The name of every temporary file a save makes: ".korva-HHHHHHHH-XXXXXX",
// HHHHHHHH the CRC-32 of the name of the file it replaces and XXXXXX
// mkstemp's six letters or digits. The name is short, so a target name as
// long as the directory allows can still be written, and a save recognises
// its own leftovers by the name of the file it replaces.
constexpr char kTempPrefix[] = ".korva-";
constexpr std::size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX

std::string TempStem(const std::string& target) {
  const std::string name = FileNamePart(target);
  char hash[16];
  std::snprintf(hash, sizeof hash, "%08X-", crc::Crc32(0, name.data(), name.size()));
  return kTempPrefix + std::string(hash);
}

bool IsTempOf(std::string_view name, const std::string& stem) {
  if (name.size() != stem.size() + kTempSuffixLength || !name.starts_with(stem)) return false;
  return std::all_of(name.end() - kTempSuffixLength, name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

// A temporary file of a save lives as long as its writer holds a lock on it;
// one of `target`'s temporaries that nobody holds was left by a save of the
// same file that was killed, and goes. Nothing else in the directory is
// touched, whatever its name.
void RemoveStaleTemporaries(const std::string& dir, const std::string& target) {
  const std::string stem = TempStem(target);
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name(entry->d_name);
    if (!IsTempOf(name, stem)) continue;
    const std::string full = dir + "/" + std::string(name);
    const int fd = ::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {}, named {};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) &&
        ::lstat(full.c_str(), &named) == 0 && named.st_ino == held.st_ino && named.st_dev == held.st_dev)
      ::unlink(full.c_str());
    ::close(fd);
  }
  ::closedir(listing);
}

// The mode a new file gets: 0666 less the process's umask, read without
// changing it.
mode_t NewFileMode() {
  mode_t mask = 022;
  try {
    const auto status = ReadFileWithin("/proc/self/status", 1 << 16);
    if (status) {
      const std::string_view text(reinterpret_cast<const char*>(status->data()), status->size());
      const auto at = text.find("Umask:");
      if (at != std::string_view::npos)
        mask = static_cast<mode_t>(std::strtoul(std::string(text.substr(at + 6, 8)).c_str(), nullptr, 8));
    }
  } catch (const FileError&) {
  }
  return 0666 & ~mask;
}

}  // namespace

void CheckWritable(const std::string& path) {
  if (path.empty()) throw FileError("Cannot write a file without a name");
  struct stat existing {};
  CheckTarget(path, WriteTarget(path), existing);
}

namespace {

// One file of a set on its way: where it lands and the temporary that holds
// its new bytes (locked through `fd` until the set is done).
struct PendingFile {
  std::string path;    // as the caller named it, for messages
  std::string target;  // the file replaced: `path`, or what the link there names
  std::string dir;
  struct stat old {};
  bool replacing = false;
  std::string temp;    // the new bytes, flushed
  int fd = -1;
  std::string backup;  // a second name of the old file while the set is renamed
  int backupFd = -1;
};

// A temporary beside the target, locked for as long as it exists so that
// no other save takes it for a stale one. A cleaner that got in between
// creation and lock has removed the name: then try again.
void CreateTemporary(PendingFile& f) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    f.temp = f.dir + "/" + TempStem(f.target) + std::string(kTempSuffixLength, 'X');
    const int fd = ::mkostemp(f.temp.data(), O_CLOEXEC);
    if (fd < 0) throw FileError(CannotWrite(f.path, errno));
    struct stat held {}, named {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::lstat(f.temp.c_str(), &named) == 0 &&
        held.st_ino == named.st_ino && held.st_dev == named.st_dev) {
      f.fd = fd;
      return;
    }
    ::close(fd);
  }
  f.temp.clear();
  throw FileError(CannotWrite(f.path, EAGAIN));
}

// Writes and flushes the new bytes into the file's temporary. The replaced
// file's owner and group stay where the system allows it (else the new file
// is the saver's, as any new file is), then its mode.
void FillTemporary(PendingFile& f, std::span<const std::uint8_t> bytes) {
  CreateTemporary(f);
  if (f.replacing && (f.old.st_uid != ::geteuid() || f.old.st_gid != ::getegid()) &&
      ::fchown(f.fd, f.old.st_uid, f.old.st_gid) != 0 && ::fchown(f.fd, static_cast<uid_t>(-1), f.old.st_gid) != 0) {
  }
  if (::fchmod(f.fd, f.replacing ? (f.old.st_mode & 07777) : NewFileMode()) != 0 ||
      !WriteAll(f.fd, bytes.data(), bytes.size()) || ::fsync(f.fd) != 0)
    throw FileError(CannotWrite(f.path, errno));
}

// A second name for the file a set replaces, so that a failed rename later
// in the set can put it back. Best effort: a file system without hard links
// (FAT) gives none, and that file cannot be put back.
void KeepOldFile(PendingFile& f) {
  for (int attempt = 0; attempt < 10 && f.backup.empty(); ++attempt) {
    std::string name = f.dir + "/" + TempStem(f.target) + std::string(kTempSuffixLength, 'X');
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);  // only to draw a free name
    if (fd < 0) return;
    ::close(fd);
    ::unlink(name.c_str());
    if (::link(f.target.c_str(), name.c_str()) == 0) f.backup = name;
    else if (errno != EEXIST) return;
  }
  if (f.backup.empty()) return;
  f.backupFd = ::open(f.backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (f.backupFd >= 0) ::flock(f.backupFd, LOCK_EX | LOCK_NB);
}

void CloseAll(std::vector<PendingFile>& files) {
  for (PendingFile& f : files) {
    if (f.fd >= 0) ::close(f.fd);
    if (f.backupFd >= 0) ::close(f.backupFd);
    f.fd = f.backupFd = -1;
  }
}

}  // namespace

void WriteFilesAtomic(std::span<const FileContent> set) {
  std::vector<PendingFile> files(set.size());
  for (std::size_t i = 0; i < set.size(); ++i) {
    PendingFile& f = files[i];
    f.path = set[i].Path;
    if (f.path.empty()) throw FileError("Cannot write a file without a name");
    f.target = WriteTarget(f.path);
    f.dir = DirectoryOf(f.target);
    f.replacing = CheckTarget(f.path, f.target, f.old);
    for (std::size_t j = 0; j < i; ++j) {
      if (files[j].target == f.target || (f.replacing && files[j].replacing && files[j].old.st_dev == f.old.st_dev &&
                                          files[j].old.st_ino == f.old.st_ino))
        throw FileError("Cannot write \"" + f.path + "\": it is the same file as \"" + files[j].path + "\"");
    }
  }
  for (const PendingFile& f : files) RemoveStaleTemporaries(f.dir, f.target);

  // First every new file whole and flushed beside its target, none renamed
  // yet: a failure here (a full disk, a failing device) removes the
  // temporaries and leaves every old file as it was.
  try {
    for (std::size_t i = 0; i < files.size(); ++i) FillTemporary(files[i], set[i].Bytes);
  } catch (const FileError&) {
    for (const PendingFile& f : files)
      if (!f.temp.empty()) ::unlink(f.temp.c_str());
    CloseAll(files);
    throw;
  }

  // Then the renames, one per file. A rename that fails puts the files
  // renamed before it back: the old file from its second name, or no file
  // where there was none. A crash (a kill, a power cut) between two renames
  // cannot be undone this way: it leaves the first files new and the rest
  // old, beside the temporaries of the rest and the second names; the
  // caller never reported success, and the next save of the same files
  // removes those leftovers and writes the whole set again.
  if (files.size() > 1)
    for (PendingFile& f : files)
      if (f.replacing) KeepOldFile(f);
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (::rename(files[i].temp.c_str(), files[i].target.c_str()) == 0) continue;
    const int error = errno;
    for (std::size_t j = 0; j < i; ++j) {
      const PendingFile& done = files[j];
      if (!done.replacing) ::unlink(done.target.c_str());
      else if (!done.backup.empty()) ::rename(done.backup.c_str(), done.target.c_str());
    }
    for (const PendingFile& f : files) {
      if (&f - files.data() >= static_cast<std::ptrdiff_t>(i)) ::unlink(f.temp.c_str());
      if (!f.backup.empty()) ::unlink(f.backup.c_str());
    }
    CloseAll(files);
    throw FileError(CannotWrite(files[i].path, error));
  }

  // Make the renames durable; a failure here leaves the new files in place,
  // so it is not reported. The locks go with the descriptors.
  std::vector<std::string> flushed;
  for (const PendingFile& f : files) {
    if (!f.backup.empty()) ::unlink(f.backup.c_str());
    if (std::find(flushed.begin(), flushed.end(), f.dir) != flushed.end()) continue;
    flushed.push_back(f.dir);
    const int dirFd = ::open(f.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
      ::fsync(dirFd);
      ::close(dirFd);
    }
  }
  CloseAll(files);
}

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
  const FileContent one[] = {{path, bytes}};
  WriteFilesAtomic(one);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

void WriteFileAtomic(const std::string& path, std::string_view text) {
  WriteFileAtomic(path, std::span<const std::uint8_t>(
                            reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> ListFiles(const std::string& directory,
                                   const std::function<bool(std::string_view name)>& wanted) {
  auto fail = [&](const char* what) {
    throw std::filesystem::filesystem_error(what, directory, std::error_code(errno, std::generic_category()));
  };
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) fail("directory iterator cannot open directory");
  struct Closer {
    DIR* d;
    ~Closer() { ::closedir(d); }
  } closer{dir};
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (entry == nullptr) {
      if (errno != 0) fail("directory iterator cannot advance");
      break;
    }
    const std::string_view name(entry->d_name);
    if (name == "." || name == ".." || (wanted && !wanted(name))) continue;
    bool regular = entry->d_type == DT_REG;
    if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
      struct stat st {};
      regular = ::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
    }
    if (regular) names.emplace_back(name);
  }
  return names;
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

bool HasExtension(std::string_view name, std::string_view ext) {
  return ext.size() <= name.size() && EqualIgnoringCase(name.substr(name.size() - ext.size()), ext);
}

std::string FileNamePart(std::string_view path) {
  const auto cut = path.find_last_of(kPathSeparator);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string WithoutExtension(std::string_view path) {
  const auto dot = path.find_last_of('.');
  const auto cut = path.find_last_of(kPathSeparator);
  if (dot == std::string_view::npos || (cut != std::string_view::npos && dot < cut)) return std::string(path);
  return std::string(path.substr(0, dot));
}

std::string FullDirectoryOf(const std::string& path) {
  std::error_code ec;
  std::string directory = std::filesystem::absolute(path, ec).lexically_normal().parent_path().string();
  if (ec) directory = ".";
  if (directory.empty() || directory.back() != kPathSeparator) directory += kPathSeparator;
  return directory;
}

std::string ProgramDirectory() {
  std::string buffer(4096, '\0');
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return "./";
  buffer.resize(static_cast<std::size_t>(n));
  const auto slash = buffer.find_last_of('/');
  if (slash == std::string::npos) return "./";
  return buffer.substr(0, slash + 1);
}

std::string UserDataDirectory() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  // A relative XDG_DATA_HOME is invalid and is to be ignored.
  if (xdg != nullptr && xdg[0] == '/') {
    std::string dir = xdg;
    if (dir.back() != '/') dir += '/';
    return dir + "korva/";
  }
  const char* home = std::getenv("HOME");
  std::string dir = (home != nullptr && home[0] != '\0') ? home : ".";
  if (dir.back() != '/') dir += '/';
  return dir + ".local/share/korva/";
}

}  // namespace korva
