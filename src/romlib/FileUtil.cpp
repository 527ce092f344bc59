#include "romlib/FileUtil.h"

#include <cctype>
#include <cerrno>
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

std::string BaseName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Raises what creating or replacing `target` directly would raise, as far as
// it is known before writing: a name too long for its directory, a missing
// directory, a directory in the way, a file or directory the user may not
// write to. `existing` receives the file's status when there is one.
bool CheckTarget(const std::string& path, const std::string& target, struct stat& existing) {
  const std::string dir = DirectoryOf(target);
  const long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
  if (nameMax > 0 && BaseName(target).size() > static_cast<std::size_t>(nameMax))
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

constexpr char kTempPrefix[] = ".korva-";
constexpr std::size_t kTempSuffixLength = 6;  // mkstemp's XXXXXX

// A temporary file of a save lives as long as its writer holds a lock on
// it; one nobody holds was left by a save that was killed, and goes.
void RemoveStaleTemporaries(const std::string& dir) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string_view name(entry->d_name);
    if (name.size() != sizeof kTempPrefix - 1 + kTempSuffixLength || !name.starts_with(kTempPrefix)) continue;
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

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path.empty()) throw FileError("Cannot write a file without a name");
  const std::string target = WriteTarget(path);
  struct stat old {};
  const bool replacing = CheckTarget(path, target, old);
  const std::string dir = DirectoryOf(target);
  RemoveStaleTemporaries(dir);

  // A short name beside the target, locked for as long as it exists so that
  // no other save takes it for a stale one. A cleaner that got in between
  // creation and lock has removed the name: then try again.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 10 && fd < 0; ++attempt) {
    temp = dir + "/" + kTempPrefix + std::string(kTempSuffixLength, 'X');
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) throw FileError(CannotWrite(path, errno));
    struct stat held {}, named {};
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &held) != 0 || ::lstat(temp.c_str(), &named) != 0 ||
        held.st_ino != named.st_ino || held.st_dev != named.st_dev) {
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) throw FileError(CannotWrite(path, EAGAIN));

  FdCloser closer(fd);
  auto fail = [&](int error) {
    ::unlink(temp.c_str());
    throw FileError(CannotWrite(path, error));
  };
  // The replaced file's owner and group stay where the system allows it
  // (else the new file is the saver's, as any new file is), then its mode.
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
  }
  if (::fchmod(fd, replacing ? (old.st_mode & 07777) : NewFileMode()) != 0) fail(errno);
  if (!WriteAll(fd, bytes.data(), bytes.size())) fail(errno);
  if (::fsync(fd) != 0) fail(errno);
  if (::rename(temp.c_str(), target.c_str()) != 0) fail(errno);
  // Make the rename itself durable; a failure here leaves the new file in
  // place, so it is not reported. The lock goes with the descriptor.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
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

bool HasExtension(std::string_view name, std::string_view ext) {
  if (ext.size() > name.size()) return false;
  const auto tail = name.substr(name.size() - ext.size());
  for (std::size_t i = 0; i < ext.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(tail[i])) !=
        std::tolower(static_cast<unsigned char>(ext[i])))
      return false;
  }
  return true;
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
