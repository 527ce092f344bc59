#include "romlib/FileUtil.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <string>
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

void WriteFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
  static std::atomic<unsigned> counter{0};
  if (path.empty()) throw FileError("Cannot write a file without a name");

  // A name beside the target that no other writer uses: process id, a
  // counter, and O_EXCL in case a stale file of that name is left over.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST && errno != EINTR) break;
  }
  if (fd < 0) throw FileError("Cannot write \"" + path + "\": " + Reason(errno));

  FdCloser closer(fd);
  auto fail = [&](int error) {
    ::close(closer.Release());
    ::unlink(temp.c_str());
    throw FileError("Cannot write \"" + path + "\": " + Reason(error));
  };
  if (!WriteAll(fd, bytes.data(), bytes.size())) fail(errno);
  if (::fsync(fd) != 0) fail(errno);
  if (::close(closer.Release()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    throw FileError("Cannot write \"" + path + "\": " + Reason(error));
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    throw FileError("Cannot write \"" + path + "\": " + Reason(error));
  }
  // Make the rename itself durable; a failure here leaves the new file in
  // place, so it is not reported.
  const int dir = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
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
