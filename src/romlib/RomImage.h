#pragma once
// Reading a ROM image: the bytes of a .nes file, or of the one file entry of
// a .zip archive. This is the one place that tells the two kinds of ROM file
// apart (by the name's extension, without regard to case); the scan, the
// build, `korva info` and a file dropped on a slot all read through it. A
// read that fails says which check failed, in words a user can read ("file is
// empty", "Permission denied", "ZIP format: archive comment longer than 127
// bytes (300 bytes)"); the caller names the file (and the slot). Nothing is
// shown and nothing is raised but std::bad_alloc.
#include <cstdint>
#include <string>
#include <vector>

namespace korva {

// The size of an iNES header: the image's data starts after it.
constexpr std::size_t kINesHeaderSize = 16;

// The largest ROM file or archive entry this program reads whole. Anything
// larger is not a NES ROM the cartridge could hold.
constexpr std::size_t kMaxRomFileSize = 64u * 1024u * 1024u;

// Why a ROM image could not be read.
enum class RomReadError {
  kNone,          // it was read
  kNotRomFile,    // the name ends in neither .nes nor .zip
  kCannotOpen,    // the file cannot be opened or is not a regular file
  kCannotRead,    // a read failed, or the file became shorter while it was read
  kEmpty,         // the file holds no bytes
  kTooLarge,      // the file, or the archive's entry, is larger than 64 MiB
  kArchive,       // the ZIP reader refused the archive or its entry
  kNotOneFile,    // the archive holds no file, or more than one
  kNotINesImage,  // shorter than an iNES header, or without its signature
};

// The outcome of a read, a plain value: Ok(), or an error and its reason.
// For a .zip, every reason about the file itself (kCannotOpen, kEmpty) starts
// with the ZIP reader's "Missing File: ", and kArchive is the ZIP reader's
// own message with its reason (romlib/ZipRead.h).
class RomReadStatus {
 public:
  RomReadStatus() = default;  // Ok
  RomReadStatus(RomReadError error, std::string reason) : error_(error), reason_(std::move(reason)) {}

  bool Ok() const { return error_ == RomReadError::kNone; }
  RomReadError Error() const { return error_; }
  // Empty when Ok: "file is empty", "No such file or directory", "the
  // archive holds 2 files, not exactly one", "not an iNES image"...
  const std::string& Reason() const { return reason_; }
  // The file could not be read at all (kCannotOpen, kCannotRead), as opposed
  // to a file that was read and refused.
  bool IsFileError() const { return error_ == RomReadError::kCannotOpen || error_ == RomReadError::kCannotRead; }

 private:
  RomReadError error_ = RomReadError::kNone;
  std::string reason_;
};

// What a reader keeps from one read to the next. Both vectors keep their
// capacity, so a thread that reads many files into one buffer allocates (and
// the system maps fresh pages) only when a file larger than all before it
// comes. A buffer belongs to one thread at a time.
struct RomImageBuffer {
  std::vector<std::uint8_t> Image;    // the image read last: header and data
  std::vector<std::uint8_t> Archive;  // an archive's bytes while its entry is extracted
};

// Reads the ROM image at `path` into `buffer.Image`: the whole .nes file, or
// the one file entry of a .zip archive (folder entries are not counted; the
// entry's name is not looked at), its CRC-32 checked by the ZIP reader. On
// success the image is at least kINesHeaderSize bytes and starts with the
// iNES signature; nothing else about it is checked. On failure
// `buffer.Image` is empty. Files and entries above kMaxRomFileSize are
// refused without being read.
RomReadStatus ReadRomImage(const std::string& path, RomImageBuffer& buffer);

// What ReadRomImage does once a file's bytes are in `buffer`: in
// buffer.Archive for a .zip (`archive` true), else in buffer.Image. The seam
// through which tests and the fuzz targets reach the reader without a file.
RomReadStatus DecodeRomImage(bool archive, RomImageBuffer& buffer);

}  // namespace korva
