#include "romlib/RomImage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "romlib/FileUtil.h"
#include "romlib/ZipRead.h"

namespace korva {

namespace {

constexpr std::uint8_t kINesSignature[4] = {0x4E, 0x45, 0x53, 0x1A};

RomReadStatus SystemError(RomReadError error) { return {error, std::strerror(errno)}; }

std::string TooLarge(std::uint64_t size) {
  return "larger than 64 MiB (" + std::to_string(size) + " bytes); no NES ROM comes near that";
}

// The whole file at `path` into `bytes` (its capacity reused).
RomReadStatus ReadFileInto(const std::string& path, std::vector<std::uint8_t>& bytes) {
  bytes.clear();
  int fd;
  do {
    // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return SystemError(RomReadError::kCannotOpen);
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  struct stat st {};
  if (::fstat(fd, &st) != 0) return SystemError(RomReadError::kCannotOpen);
  if (S_ISDIR(st.st_mode)) return {RomReadError::kCannotOpen, "is a directory"};
  if (!S_ISREG(st.st_mode)) return {RomReadError::kCannotOpen, "not a regular file"};
  const auto size = static_cast<std::uint64_t>(std::max<off_t>(st.st_size, 0));
  if (size > kMaxRomFileSize) return {RomReadError::kTooLarge, TooLarge(size)};

  // The reported size must all be there; one more read finds the end (a
  // file of /proc reports no size at all, and a file may grow meanwhile).
  bytes.resize(static_cast<std::size_t>(size) + 1);
  std::size_t used = 0;
  for (;;) {
    const ssize_t n = ::pread(fd, bytes.data() + used, bytes.size() - used, static_cast<off_t>(used));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || (n == 0 && used < size)) {
      const RomReadStatus status = n < 0 ? SystemError(RomReadError::kCannotRead)
                                         : RomReadStatus(RomReadError::kCannotRead,
                                                         "the file became shorter while it was read");
      bytes.clear();
      return status;
    }
    used += static_cast<std::size_t>(n);
    if (n == 0) break;
    if (used > kMaxRomFileSize) {
      bytes.clear();
      return {RomReadError::kTooLarge, TooLarge(used)};
    }
    if (used == bytes.size()) bytes.resize(std::min<std::size_t>(2 * used, kMaxRomFileSize + 1));
  }
  bytes.resize(used);
  if (used == 0) return {RomReadError::kEmpty, "file is empty"};
  return {};
}

// The one file entry of the archive in `file` into `image`.
RomReadStatus ExtractSingleEntry(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& image) {
  try {
    const TZipRead zip(file.data(), file.size(), ZipStart::kFirstLocalHeader);
    if (zip.Count() != 1)
      return {RomReadError::kNotOneFile,
              "the archive holds " + std::to_string(zip.Count()) + " files, not exactly one"};
    // The sizes come from the entry information: for an entry written with a
    // data descriptor the local header records 0, the information the real size.
    TFileInfo info;
    if (!zip.RetrieveFileInfo(0, info))
      return {RomReadError::kArchive, "the sizes of " + zip.Entry(0).name + " cannot be found in a data descriptor"};
    if (info.zfullSize > kMaxRomFileSize) return {RomReadError::kTooLarge, zip.Entry(0).name + " is " + TooLarge(info.zfullSize)};
    zip.UnZip(0, image);
    return {};
  } catch (const ESynZipException& e) {
    return {RomReadError::kArchive, e.what()};
  }
}

}  // namespace

RomReadStatus DecodeRomImage(bool archive, RomImageBuffer& buffer) {
  if (archive) {
    const RomReadStatus extracted = ExtractSingleEntry(buffer.Archive, buffer.Image);
    if (!extracted.Ok()) return extracted;
  }
  const std::vector<std::uint8_t>& image = buffer.Image;
  if (image.size() < kINesHeaderSize || !std::equal(std::begin(kINesSignature), std::end(kINesSignature), image.begin())) {
    buffer.Image.clear();
    return {RomReadError::kNotINesImage, "not an iNES image"};
  }
  return {};
}

RomReadStatus ReadRomImage(const std::string& path, RomImageBuffer& buffer) {
  buffer.Image.clear();
  const bool zip = HasExtension(path, ".zip");
  if (!zip && !HasExtension(path, ".nes")) return {RomReadError::kNotRomFile, "not a .nes or .zip file"};

  const RomReadStatus read = ReadFileInto(path, zip ? buffer.Archive : buffer.Image);
  // The ZIP reader's refusal for a file it cannot have, with the reason.
  if (zip && (read.Error() == RomReadError::kCannotOpen || read.Error() == RomReadError::kEmpty))
    return {read.Error(), "Missing File: " + read.Reason()};
  if (!read.Ok()) return read;
  return DecodeRomImage(zip, buffer);
}

}  // namespace korva
