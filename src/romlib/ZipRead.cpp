#include "romlib/ZipRead.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

#include "romlib/CRC.h"
#include "romlib/FileUtil.h"
#include "romlib/Utf8.h"

namespace korva {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kDescriptorSignature = 0x08074B50;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kCentralHeaderSize = 46;
constexpr std::size_t kEndRecordSize = 22;
constexpr std::size_t kDescriptorSize = 16;
constexpr int kEndSearchPositions = 128;
constexpr std::size_t kInflateChunk = 128 * 1024;
constexpr std::uint16_t kFlagDescriptor = 1u << 3;
constexpr std::uint16_t kFlagUtf8 = 1u << 11;

std::uint16_t Get16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kMaxCommentLength = 0xFFFF;
constexpr std::uint16_t kFlagEncrypted = 1u << 0;
constexpr std::uint16_t kMethodAes = 99;

[[noreturn]] void Fail(const std::string& message, const std::string& reason = "") {
  throw ESynZipException(message, reason);
}
[[noreturn]] void BadFormat(const std::string& reason) { Fail("ZIP format", reason); }

std::string Number(std::uint64_t n) { return std::to_string(n); }
std::string Hex8(std::uint32_t n) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(n));
  return text;
}

// Code points of CP437 bytes 0x80 to 0xFF (the DOS code page ZIP names use
// when flag bit 11 is clear).
constexpr std::uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};

std::string Cp437ToUtf8(const std::string& in) {
  std::string out;
  out.reserve(in.size());
  for (const char c : in) {
    const auto b = static_cast<unsigned char>(c);
    AppendUtf8(out, b < 0x80 ? b : kCp437High[b - 0x80]);
  }
  return out;
}

std::string Format(const char* pattern, long long number, const std::string& text) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%lld", number);
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && p[1] == 'd') {
      out += buffer;
      ++p;
    } else if (p[0] == '%' && p[1] == 's') {
      out += text;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

// Releases the inflate state however the extraction ends.
struct InflateGuard {
  z_stream z{};
  bool live = false;
  ~InflateGuard() {
    if (live) inflateEnd(&z);
  }
};

void InflateInit(InflateGuard& g, const char* process) {
  const int rc = inflateInit2(&g.z, -15);
  if (rc == Z_MEM_ERROR) throw std::bad_alloc();
  if (rc != Z_OK) Fail(Format("Error %d during %s process", rc, process));
  g.live = true;
}

// Why zlib stopped inflating entry `name` with code `rc`.
std::string InflateReason(const z_stream& z, int rc, const std::string& name) {
  if (rc == Z_BUF_ERROR)
    return z.avail_out == 0 ? name + " inflates to more than its recorded size" : "the deflate data of " + name + " ends early";
  return "damaged deflate data in " + name + (z.msg != nullptr ? std::string(" (") + z.msg + ")" : std::string());
}

// One-shot raw inflate of `in` into `out` with zlib; the number of bytes
// produced. zlib's refusal is the reader's message, with its reason.
std::size_t InflateToBuffer(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out,
                            std::uint32_t outLength, const std::string& name) {
  InflateGuard g;
  InflateInit(g, "UnCompressMem");
  std::uint8_t none = 0;
  g.z.next_in = const_cast<Bytef*>(in != nullptr ? in : &none);
  g.z.avail_in = inLength;
  g.z.next_out = out != nullptr ? out : &none;
  g.z.avail_out = outLength;
  const int rc = inflate(&g.z, Z_FINISH);
  if (rc == Z_MEM_ERROR) throw std::bad_alloc();
  if (rc != Z_OK && rc != Z_STREAM_END)
    Fail(Format("Error %d during %s process", rc, "UnCompressMem"), InflateReason(g.z, rc, name));
  return outLength - g.z.avail_out;
}

// One libdeflate decompressor per thread, made on first use (it holds its
// tables, about 30 KB, and no state from one call to the next).
libdeflate_decompressor* Decompressor() {
  struct Owner {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~Owner() { libdeflate_free_decompressor(d); }
  };
  thread_local Owner owner;
  if (owner.d == nullptr) throw std::bad_alloc();
  return owner.d;
}

// True when libdeflate inflates `in` to exactly `outLength` bytes whose
// CRC-32 is `crc`. libdeflate is about twice as fast as zlib, but its
// refusals carry no zlib code, and it takes a few Huffman codes that zlib
// refuses; so only this outcome is taken from it, and every other entry is
// inflated again by zlib, whose verdict and message stand as they always did.
bool InflateExact(const std::uint8_t* in, std::uint32_t inLength, std::uint8_t* out, std::uint32_t outLength,
                  std::uint32_t crc) {
  std::uint8_t none = 0;
  if (out == nullptr) out = &none;
  std::size_t produced = 0;
  const libdeflate_result rc =
      libdeflate_deflate_decompress(Decompressor(), in != nullptr ? in : &none, inLength, out, outLength, &produced);
  return rc == LIBDEFLATE_SUCCESS && produced == outLength && crc::Crc32(0, out, outLength) == crc;
}

}  // namespace

// The bytes of an archive file, read whole.
struct TZipRead::FileBytes {
  std::vector<std::uint8_t> bytes;
  const std::uint8_t* data() const { return bytes.data(); }
};

TZipRead::TZipRead(const std::uint8_t* buffer, std::size_t size, ZipStart start) {
  if (start == ZipStart::kAtBuffer) OpenBuffer(buffer, size);
  else OpenFileImage(buffer, size, 0);
}

TZipRead::TZipRead(int fd, std::uint64_t offset, std::uint64_t size) {
  OpenDescriptor(fd, offset, size, "descriptor " + std::to_string(fd));
}

TZipRead::TZipRead(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) Fail("Missing File", std::strerror(errno));
  try {
    OpenDescriptor(fd, 0, 0, path);
  } catch (...) {
    ::close(fd);
    throw;
  }
  // Everything the reader needs is in memory now.
  ::close(fd);
}

TZipRead::~TZipRead() { Close(); }

void TZipRead::Close() {
  count_ = 0;
  entries_.clear();
  buf_ = nullptr;
  size_ = 0;
  firstCentral_ = nullptr;
  centralOffset_ = 0;
  file_.reset();
}

void TZipRead::OpenDescriptor(int fd, std::uint64_t offset, std::uint64_t size, const std::string& name) {
  if (fd < 0) return;
  struct stat st {};
  if (::fstat(fd, &st) != 0) Fail("Missing File", std::strerror(errno));
  if (!S_ISREG(st.st_mode)) Fail("Missing File", S_ISDIR(st.st_mode) ? "is a directory" : "not a regular file");
  if (st.st_size <= 0) Fail("Missing File", "file is empty");
  const auto fileSize = static_cast<std::uint64_t>(st.st_size);
  if (size == 0 || size > fileSize) size = fileSize;

  if (size > kMaxZipFileSize) Fail("the archive is larger than 64 MiB");

  // Copied into memory rather than mapped: a mapped file that shrinks under
  // the reader would end the process at the first access past its new end.
  auto file = std::make_unique<FileBytes>();
  try {
    file->bytes = ReadFileBytes(fd, static_cast<std::size_t>(size), name);
  } catch (const FileError& e) {
    Fail(e.what());
  }
  file_ = std::move(file);
  try {
    OpenFileImage(file_->data(), static_cast<std::size_t>(size), offset);
  } catch (...) {
    Close();
    throw;
  }
}

void TZipRead::OpenFileImage(const std::uint8_t* view, std::size_t size, std::uint64_t offset) {
  // The archive starts at the first local header, or for an archive without
  // entries at the first end record, from `offset` up to 5 bytes before the end.
  std::uint64_t start = size;
  for (int pass = 0; pass < 2 && start == size; ++pass) {
    const std::uint32_t wanted = pass == 0 ? kLocalSignature : kEndSignature;
    for (std::uint64_t p = offset; p + 5 <= size; ++p) {
      if (view[p] == 0x50 && Get32(view + p) == wanted) {
        start = p;
        break;
      }
    }
  }
  if (start == size) Fail("No ZIP header found");
  OpenBuffer(view + start, static_cast<std::size_t>(size - start));
}

void TZipRead::OpenBuffer(const std::uint8_t* buffer, std::size_t size) {
  buf_ = buffer;
  size_ = size;
  count_ = 0;
  if (buffer == nullptr || size < kEndRecordSize)
    BadFormat("archive of " + Number(buffer == nullptr ? 0 : size) + " bytes, shorter than an end record");

  // The end record, searched from the end: at most 128 positions, and never
  // closer than 22 bytes to the start.
  std::size_t pos = size - kEndRecordSize;
  int tested = 0;
  for (;;) {
    ++tested;
    if (Get32(buffer + pos) == kEndSignature) break;
    if (tested >= kEndSearchPositions || size - static_cast<std::size_t>(tested) <= kEndRecordSize) break;
    --pos;
  }
  const std::uint8_t* end = buffer + pos;
  if (Get32(end) != kEndSignature) {
    // Only to name the reason: an end record further back means a comment
    // longer than the search reaches.
    const std::size_t lowest = size - kEndRecordSize - std::min(size - kEndRecordSize, kMaxCommentLength);
    for (std::size_t q = pos; q-- > lowest;) {
      if (Get32(buffer + q) == kEndSignature)
        BadFormat("archive comment longer than " + Number(kEndSearchPositions - 1) + " bytes (" +
                  Number(size - kEndRecordSize - q) + " bytes)");
    }
    BadFormat("no end of central directory record");
  }

  const std::uint16_t total = Get16(end + 10);
  centralOffset_ = Get32(end + 16);
  // A ZIP64 archive keeps its real counts and offsets in records of its own;
  // whatever check fails on one, that is the reason.
  const bool zip64 = total == 0xFFFF || centralOffset_ == 0xFFFFFFFF ||
                     (pos >= kZip64LocatorSize && Get32(end - kZip64LocatorSize) == kZip64LocatorSignature);
  const auto bad = [zip64](const std::string& reason) {
    BadFormat(zip64 ? "ZIP64 archive (not supported)" : reason);
  };
  // Every central header takes at least 46 bytes before the end record.
  if (centralOffset_ > pos) bad("central directory offset " + Number(centralOffset_) + " past the end record");
  if (total > (pos - centralOffset_) / kCentralHeaderSize)
    bad(Number(total) + " entries cannot fit in the central directory");
  firstCentral_ = buffer + centralOffset_;
  entries_.assign(total, TZipEntry{});

  const std::uint8_t* p = firstCentral_;
  for (unsigned n = 0; n < total; ++n) {
    const std::string which = "central directory entry " + Number(n + 1);
    if (static_cast<std::size_t>(end - p) < kCentralHeaderSize || Get32(p) != kCentralSignature)
      bad(which + " has no signature");
    const std::uint16_t centralNameLength = Get16(p + 28);
    const std::size_t centralLength =
        kCentralHeaderSize + centralNameLength + Get16(p + 30) + Get16(p + 32);
    if (static_cast<std::size_t>(end - p) < centralLength) bad(which + " runs into the end record");

    const std::uint32_t localOffset = Get32(p + 42);
    if (localOffset > size || size - localOffset < kLocalHeaderSize)
      bad("the local header of " + which + " lies outside the archive");
    const std::uint8_t* local = buffer + localOffset;
    if (Get32(local) != kLocalSignature) bad("no local header where " + which + " points");
    const std::uint16_t flags = Get16(local + 6);
    const std::uint16_t method = Get16(local + 8);
    const std::uint32_t crc = Get32(local + 14);
    const std::uint32_t compressed = Get32(local + 18);
    const std::uint32_t uncompressed = Get32(local + 22);
    const std::uint16_t nameLength = Get16(local + 26);
    const std::uint16_t extraLength = Get16(local + 28);
    const std::size_t dataOffset = localOffset + kLocalHeaderSize + nameLength + extraLength;
    if (dataOffset > size) bad("the local header of " + which + " runs past the end of the archive");

    std::string name(reinterpret_cast<const char*>(local + kLocalHeaderSize), nameLength);
    std::replace(name.begin(), name.end(), '/', '\\');
    name = (flags & kFlagUtf8) ? ValidUtf8(name) : Cp437ToUtf8(name);
    const bool zip64Sizes = compressed == 0xFFFFFFFF || uncompressed == 0xFFFFFFFF;

    if (flags & kFlagDescriptor) {
      if (crc != 0 || compressed != 0 || uncompressed != 0)
        Fail("ZIP extended format", (flags & kFlagEncrypted) ? "encrypted entry " + name
                                    : zip64Sizes           ? "ZIP64 entry " + name + " (not supported)"
                                                           : name + " records a size both in its local header "
                                                                    "and in a data descriptor");
    } else if (zip64Sizes) {
      Fail("ZIP64 format not supported", "entry " + name);
    }

    TZipEntry& e = entries_[static_cast<std::size_t>(count_)];
    e.info = local + 4;
    e.central = p;
    e.data = buffer + dataOffset;
    e.storedName = local + kLocalHeaderSize;
    e.name = std::move(name);

    // The central header's own name length finds the next header (it equals
    // the local one in every well-formed archive).
    p += centralLength;

    if (method != 0 && method != 8)
      Fail(Format("Unsupported compression method %d for %s", method, e.name),
           method == kMethodAes ? "encrypted entry (AES)" : (flags & kFlagEncrypted) ? "encrypted entry" : "");
    if (!e.name.empty() && e.name.back() != '\\') ++count_;
  }
}

const TZipEntry& TZipRead::Entry(int i) const {
  if (i < 0 || i >= count_) throw std::out_of_range("ZIP entry index out of range");
  return entries_[static_cast<std::size_t>(i)];
}

std::uint32_t TZipRead::LocalUncompressedSize(int i) const {
  if (i < 0 || i >= count_) return 0;
  return Get32(entries_[static_cast<std::size_t>(i)].info + 18);
}

bool TZipRead::RetrieveFileInfo(int i, TFileInfo& info) const {
  if (buf_ == nullptr || static_cast<unsigned>(i) >= static_cast<unsigned>(count_)) return false;
  const TZipEntry& e = entries_[static_cast<std::size_t>(i)];
  const std::uint8_t* l = e.info;
  info.neededVersion = Get16(l + 0);
  info.flags = Get16(l + 2);
  info.zzipMethod = Get16(l + 4);
  info.zlastMod = Get32(l + 6);
  info.zcrc32 = Get32(l + 10);
  info.zzipSize = Get32(l + 14);
  info.zfullSize = Get32(l + 18);
  info.nameLen = Get16(l + 22);
  info.extraLen = Get16(l + 24);
  if (!(info.flags & kFlagDescriptor)) return true;

  const std::uint32_t centralCompressed = Get32(e.central + 20);
  const std::uint32_t centralFull = Get32(e.central + 24);
  if (centralCompressed != 0xFFFFFFFF && centralFull != 0xFFFFFFFF) {
    info.zcrc32 = Get32(e.central + 16);
    info.zzipSize = centralCompressed;
    info.zfullSize = centralFull;
    return true;
  }

  // The data descriptor: searched backwards from the next entry's local header
  // (the central directory for the last entry) down to the data's start.
  const std::uint8_t* limit =
      i + 1 < count_ ? entries_[static_cast<std::size_t>(i) + 1].info - 4 : firstCentral_;
  limit = std::min(limit, End());
  if (limit < e.data || static_cast<std::size_t>(limit - e.data) <= kDescriptorSize) return false;
  for (const std::uint8_t* d = limit - kDescriptorSize; d > e.data; --d) {
    if (Get32(d) != kDescriptorSignature || Get32(d + 8) != static_cast<std::uint64_t>(d - e.data)) continue;
    const std::uint32_t compressed = Get32(d + 8);
    const std::uint32_t full = Get32(d + 12);
    if (compressed == 0 || compressed == 0xFFFFFFFF || full == 0 || full == 0xFFFFFFFF) return false;
    info.zcrc32 = Get32(d + 4);
    info.zzipSize = compressed;
    info.zfullSize = full;
    return true;
  }
  return false;
}

std::vector<std::uint8_t> TZipRead::UnZip(int i) const {
  std::vector<std::uint8_t> result;
  UnZip(i, result);
  return result;
}

void TZipRead::UnZip(int i, std::vector<std::uint8_t>& result) const {
  result.clear();
  TFileInfo info;
  if (!RetrieveFileInfo(i, info)) return;
  const TZipEntry& e = entries_[static_cast<std::size_t>(i)];
  if (info.zfullSize > kMaxZipEntrySize)
    Fail(Format("Entry %s is too large (%d bytes)", info.zfullSize, e.name));
  // Its bytes are ciphertext: inflating or copying them gives no image.
  if ((info.flags & kFlagEncrypted) && (info.zzipMethod == 0 || info.zzipMethod == 8))
    Fail(Format("Error decompressing %s", 0, e.name), "encrypted entry");
  const auto available = static_cast<std::size_t>(End() - e.data);
  const std::string pastEnd = "the data of " + e.name + " runs past the end of the archive";

  result.resize(info.zfullSize);
  std::size_t produced = 0;
  try {
    switch (info.zzipMethod) {
      case 0:
        if (info.zfullSize > available) BadFormat(pastEnd);
        if (info.zfullSize != 0) std::memcpy(result.data(), e.data, info.zfullSize);
        produced = info.zfullSize;
        break;
      case 8:
        if (info.zzipSize > available) BadFormat(pastEnd);
        if (InflateExact(e.data, info.zzipSize, result.data(), info.zfullSize, info.zcrc32)) return;
        produced = InflateToBuffer(e.data, info.zzipSize, result.data(), info.zfullSize, e.name);
        break;
      default:
        Fail(Format("Unsupported method %d for %s", info.zzipMethod, e.name));
    }
    if (produced != info.zfullSize)
      Fail(Format("Error decompressing %s", 0, e.name),
           Number(produced) + " bytes where " + Number(info.zfullSize) + " are recorded");
    if (const std::uint32_t crc = crc::Crc32(0, result.data(), result.size()); crc != info.zcrc32)
      Fail(Format("Error decompressing %s", 0, e.name), "CRC-32 " + Hex8(crc) + " where " + Hex8(info.zcrc32) + " is recorded");
  } catch (...) {
    result.clear();
    throw;
  }
}

bool TZipRead::UnZip(int i, const ZipSink& sink) const {
  TFileInfo info;
  if (!RetrieveFileInfo(i, info)) return false;
  const TZipEntry& e = entries_[static_cast<std::size_t>(i)];
  const auto available = static_cast<std::size_t>(End() - e.data);
  std::uint32_t crc = 0;

  switch (info.zzipMethod) {
    case 0: {
      if (info.zfullSize > available) return false;
      // Stored data goes out in chunks too, so the sink never sees more than 128 KB at once.
      for (std::size_t done = 0; done < info.zfullSize;) {
        const std::size_t n = std::min<std::size_t>(kInflateChunk, info.zfullSize - done);
        sink(e.data + done, n);
        crc = crc::Crc32(crc, e.data + done, n);
        done += n;
      }
      break;
    }
    case 8: {
      if (info.zzipSize > available) return false;
      InflateGuard g;
      InflateInit(g, "UnCompressStream");
      std::vector<std::uint8_t> chunk(kInflateChunk);
      std::uint8_t none = 0;
      g.z.next_in = const_cast<Bytef*>(info.zzipSize != 0 ? e.data : &none);
      g.z.avail_in = info.zzipSize;
      std::uint64_t total = 0;
      for (;;) {
        g.z.next_out = chunk.data();
        g.z.avail_out = static_cast<uInt>(chunk.size());
        const int rc = inflate(&g.z, Z_FINISH);
        if (rc == Z_MEM_ERROR) throw std::bad_alloc();
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
          Fail(Format("Error %d during %s process", rc, "UnCompressStream"));
        const std::size_t produced = chunk.size() - g.z.avail_out;
        total += produced;
        // More than the recorded size: the entry is wrong, and a hostile
        // archive could go on for gigabytes.
        if (total > info.zfullSize) return false;
        if (produced != 0) {
          sink(chunk.data(), produced);
          crc = crc::Crc32(crc, chunk.data(), produced);
        }
        if (rc == Z_STREAM_END) break;
        // No progress: the deflate data ended before its end-of-stream mark.
        if (produced == 0) return false;
      }
      if (total != info.zfullSize) return false;
      break;
    }
    default:
      Fail(Format("Unsupported method %d for %s", info.zzipMethod, e.name));
  }
  return crc == info.zcrc32;
}

}  // namespace korva
