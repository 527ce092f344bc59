#pragma once
// A read-only ZIP archive reader for archives that lie whole in memory: an
// embedded asset, or a file brought into memory by the reader. It reads the
// central directory once at opening and extracts stored (method 0) and
// deflated (method 8) entries, checking each against its CRC-32. ZIP64 and
// other methods are refused. Every offset and length read from the archive is
// checked against the buffer: a damaged archive is refused, never read outside
// its bytes. All errors are raised as ESynZipException, which names the
// check that failed.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace korva {

// A refusal of the reader. Refusal() is the reader's fixed message ("ZIP
// format", "Missing File", "Error decompressing Game.nes"); Reason() names
// the check behind it ("archive comment longer than 127 bytes (300 bytes)",
// "Permission denied", "encrypted entry"), or is empty. what() is the two
// joined: "ZIP format: archive comment longer than 127 bytes (300 bytes)".
class ESynZipException : public std::runtime_error {
 public:
  explicit ESynZipException(const std::string& refusal, const std::string& reason = "")
      : std::runtime_error(reason.empty() ? refusal : refusal + ": " + reason), refusal_(refusal), reason_(reason) {}
  const std::string& Refusal() const { return refusal_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string refusal_;
  std::string reason_;
};

// The 26 bytes of a local file header from its version-needed field on.
struct TFileInfo {
  std::uint16_t neededVersion = 0;
  std::uint16_t flags = 0;
  std::uint16_t zzipMethod = 0;
  std::uint32_t zlastMod = 0;
  std::uint32_t zcrc32 = 0;
  std::uint32_t zzipSize = 0;   // compressed size
  std::uint32_t zfullSize = 0;  // uncompressed size
  std::uint16_t nameLen = 0;
  std::uint16_t extraLen = 0;
};

// One file entry. The pointers point into the archive buffer and are valid
// only while the reader is open.
struct TZipEntry {
  const std::uint8_t* info = nullptr;        // local header + 4
  const std::uint8_t* central = nullptr;     // central directory file header
  const std::uint8_t* data = nullptr;        // stored data
  const std::uint8_t* storedName = nullptr;  // name bytes in the local header
  std::string name;                          // UTF-8, "/" replaced by "\"
};

// Receives extracted bytes in order (stream extraction).
using ZipSink = std::function<void(const std::uint8_t* data, std::size_t length)>;

// Uncompressed sizes above this are refused: no NES ROM is that large, and a
// hostile archive must not make the program allocate gigabytes.
constexpr std::uint32_t kMaxZipEntrySize = 64u * 1024u * 1024u;
// Archive files above this size are refused the same way ("the archive is
// larger than 64 MiB"); the reader never holds more of a file in memory.
constexpr std::uint64_t kMaxZipFileSize = 64u * 1024u * 1024u;

// Where the archive starts in the bytes an opening is given.
enum class ZipStart {
  kAtBuffer,          // at the first byte: an archive in memory
  kFirstLocalHeader,  // the bytes of a file: at its first local header or,
                      // for an archive without entries, its first end record
};

class TZipRead {
 public:
  // Opens an archive of `size` bytes at `buffer`; the caller keeps the bytes
  // alive, unchanged, while the reader is open. With kFirstLocalHeader the
  // bytes are a file's, searched for the archive's start as below ("No ZIP
  // header found" when there is none).
  TZipRead(const std::uint8_t* buffer, std::size_t size, ZipStart start = ZipStart::kAtBuffer);
  // Opens an archive from an open file descriptor: the archive starts at the
  // first local header (or, for an archive without entries, the first end
  // record) found from `offset` on, within the first `size` bytes of the file
  // (0: the whole file). A descriptor of -1 gives an empty reader. The
  // descriptor stays the caller's; the reader keeps its own copy of the bytes,
  // so a file that changes after the opening cannot reach it, and one that
  // shrinks during the opening is refused.
  TZipRead(int fd, std::uint64_t offset, std::uint64_t size);
  // Opens the archive file at `path`. A file that cannot be opened, is empty
  // or is not a regular file: "Missing File", with the system's reason, "file
  // is empty" or "not a regular file".
  explicit TZipRead(const std::string& path);
  ~TZipRead();

  TZipRead(const TZipRead&) = delete;
  TZipRead& operator=(const TZipRead&) = delete;

  // Number of file entries (directory entries are not counted).
  int Count() const { return count_; }
  // File entry i, 0 to Count() - 1; raises std::out_of_range otherwise.
  const TZipEntry& Entry(int i) const;

  // The uncompressed size field of entry i's local header (0 for a bad index,
  // and for an entry whose sizes are in a data descriptor).
  std::uint32_t LocalUncompressedSize(int i) const;

  // Entry information, with CRC and sizes resolved from the central header or
  // the data descriptor when flag bit 3 is set. False when they cannot be found.
  bool RetrieveFileInfo(int i, TFileInfo& info) const;

  // Entry i whole. Empty when its information cannot be resolved; raises
  // "Error decompressing %s" on a length or CRC mismatch, and refuses an entry
  // larger than kMaxZipEntrySize. Deflated data is inflated with libdeflate;
  // an entry that does not come out whole with its CRC that way is inflated
  // by zlib, and zlib's refusal ("Error %d during UnCompressMem process") or
  // the mismatch is raised, so the bytes and messages are zlib's. The one
  // entry that could tell them apart is made for it: an incomplete Huffman
  // code that libdeflate takes and zlib refuses, recorded with the CRC of
  // what libdeflate reads from it. Stream extraction (below) uses zlib alone.
  std::vector<std::uint8_t> UnZip(int i) const;
  // The same into `out`, which is resized to the entry (its capacity is kept,
  // so a caller that extracts many entries into one vector allocates only
  // for a larger one). On an error `out` is left empty.
  void UnZip(int i, std::vector<std::uint8_t>& out) const;

  // Entry i in chunks of at most 128 KB; true when length and CRC-32 match.
  // Deflate data that ends early, or produces more than the recorded size,
  // stops the extraction with false.
  bool UnZip(int i, const ZipSink& sink) const;

  void Close();

 private:
  void OpenBuffer(const std::uint8_t* buffer, std::size_t size);
  // Opens the archive found in `size` bytes of a file at `file` from `offset` on.
  void OpenFileImage(const std::uint8_t* file, std::size_t size, std::uint64_t offset);
  // `name` names the file in messages.
  void OpenDescriptor(int fd, std::uint64_t offset, std::uint64_t size, const std::string& name);
  const std::uint8_t* End() const { return buf_ + size_; }

  const std::uint8_t* buf_ = nullptr;
  std::size_t size_ = 0;
  const std::uint8_t* firstCentral_ = nullptr;
  std::uint32_t centralOffset_ = 0;
  int count_ = 0;
  std::vector<TZipEntry> entries_;
  // The file's bytes when the reader brought a file into memory.
  struct FileBytes;
  std::unique_ptr<FileBytes> file_;
};

}  // namespace korva
