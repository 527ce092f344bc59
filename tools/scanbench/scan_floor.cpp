// korva_scan_floor: the work that no directory scan can skip, and nothing
// more. It lists the *.zip and *.nes files directly in a directory, reads
// every file whole into a 64-byte aligned buffer, inflates the entry of every
// archive with libdeflate, and takes the CRC-32 of every image after its
// 16-byte header with the scan's own CRC code. Its time is the floor against
// which `korva scan` is measured.
//
//   korva_scan_floor DIR [--threads N] [--offset B]
//   korva_scan_floor DIR --inflate-only
//
// --threads N   N threads take the files in turn (default 1).
// --offset B    buffers start B bytes past a 64-byte boundary (default 0), to
//               measure what alignment is worth.
// --inflate-only  reads the archives (at most 1,000), then times inflating
//               each entry in memory with zlib and with libdeflate, and
//               prints microseconds per entry and per 40 KB.
#include <libdeflate.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "romlib/CRC.h"

namespace {

bool EndsWithNoCase(const std::string& name, const char* ext) {
  const size_t n = std::strlen(ext);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != ext[i]) return false;
  return true;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

// A buffer that starts `offset` bytes past a 64-byte boundary and only grows.
class Buffer {
 public:
  explicit Buffer(size_t offset) : offset_(offset) {}
  ~Buffer() { std::free(base_); }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  uint8_t* Get(size_t size) {
    if (size > capacity_) {
      std::free(base_);
      capacity_ = std::max<size_t>(size, 2 * capacity_);
      base_ = static_cast<uint8_t*>(std::aligned_alloc(64, (capacity_ + offset_ + 63) / 64 * 64));
      if (base_ == nullptr) std::abort();
    }
    return base_ + offset_;
  }

 private:
  size_t offset_;
  uint8_t* base_ = nullptr;
  size_t capacity_ = 0;
};

// The whole file at `path` in `buffer`; its size, or -1.
long ReadAll(const std::string& path, Buffer& buffer, uint8_t*& data) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return -1;
  }
  data = buffer.Get(static_cast<size_t>(st.st_size));
  size_t done = 0;
  while (done < static_cast<size_t>(st.st_size)) {
    const ssize_t got = ::pread(fd, data + done, static_cast<size_t>(st.st_size) - done, static_cast<off_t>(done));
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return static_cast<long>(done);
}

// The entry whose local header starts the archive: its deflated bytes and size.
struct Entry {
  const uint8_t* data = nullptr;
  uint32_t packed = 0, size = 0;
  uint16_t method = 0;
};

bool FirstEntry(const uint8_t* zip, size_t length, Entry& e) {
  if (length < 30 || Le32(zip) != 0x04034B50) return false;
  e.method = Le16(zip + 8);
  e.packed = Le32(zip + 18);
  e.size = Le32(zip + 22);
  const size_t start = 30u + Le16(zip + 26) + Le16(zip + 28);
  if (start > length || e.packed > length - start) return false;
  e.data = zip + start;
  return true;
}

struct Totals {
  std::atomic<uint64_t> bytes{0}, inflated{0}, crcs{0};
};

void Work(const std::vector<std::string>& files, std::atomic<size_t>& next, size_t offset, Totals& totals) {
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  Buffer in(offset), out(offset);
  uint64_t bytes = 0, inflated = 0, crcs = 0;
  for (size_t i; (i = next.fetch_add(1)) < files.size();) {
    uint8_t* data = nullptr;
    const long n = ReadAll(files[i], in, data);
    if (n < 0) continue;
    bytes += static_cast<uint64_t>(n);
    const uint8_t* image = data;
    size_t imageSize = static_cast<size_t>(n);
    Entry e;
    if (EndsWithNoCase(files[i], ".zip")) {
      if (!FirstEntry(data, imageSize, e)) continue;
      uint8_t* entry = out.Get(e.size);
      size_t produced = 0;
      if (e.method == 0) {
        std::memcpy(entry, e.data, std::min(e.size, e.packed));
        produced = std::min(e.size, e.packed);
      } else if (libdeflate_deflate_decompress(d, e.data, e.packed, entry, e.size, &produced) != LIBDEFLATE_SUCCESS) {
        continue;
      }
      inflated += produced;
      image = entry;
      imageSize = produced;
    }
    if (imageSize > 16) crcs ^= korva::crc::Crc32(0, image + 16, imageSize - 16);
  }
  libdeflate_free_decompressor(d);
  totals.bytes += bytes;
  totals.inflated += inflated;
  totals.crcs ^= crcs;
}

// Times zlib's and libdeflate's inflate of every archive entry, in memory.
int InflateOnly(const std::vector<std::string>& files) {
  std::vector<std::vector<uint8_t>> archives;
  for (const auto& f : files) {
    if (!EndsWithNoCase(f, ".zip") || archives.size() >= 1000) continue;
    Buffer b(0);
    uint8_t* data = nullptr;
    const long n = ReadAll(f, b, data);
    if (n > 0) archives.emplace_back(data, data + n);
  }
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  std::vector<uint8_t> out;
  double seconds[2] = {0, 0};
  uint64_t total = 0, packedTotal = 0;
  const int kRounds = 5;
  for (int round = 0; round < kRounds; ++round) {
    for (int way = 0; way < 2; ++way) {
      const auto start = std::chrono::steady_clock::now();
      for (const auto& a : archives) {
        Entry e;
        if (!FirstEntry(a.data(), a.size(), e) || e.method != 8) continue;
        out.resize(e.size);
        if (way == 0) {
          z_stream s{};
          inflateInit2(&s, -15);
          s.next_in = const_cast<Bytef*>(e.data);
          s.avail_in = e.packed;
          s.next_out = out.data();
          s.avail_out = e.size;
          inflate(&s, Z_FINISH);
          inflateEnd(&s);
        } else {
          libdeflate_deflate_decompress(d, e.data, e.packed, out.data(), e.size, nullptr);
        }
        if (round == 0 && way == 0) total += e.size, packedTotal += e.packed;
      }
      seconds[way] += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
  }
  libdeflate_free_decompressor(d);
  const double entries = static_cast<double>(archives.size()) * kRounds;
  const double per40k = 40.0 * 1024 / (static_cast<double>(total) * kRounds);
  std::printf("%zu entries, %.3f deflated/inflated; zlib %.1f us an entry (%.1f per 40 KB), "
              "libdeflate %.1f us an entry (%.1f per 40 KB)\n",
              archives.size(), static_cast<double>(packedTotal) / static_cast<double>(total),
              seconds[0] / entries * 1e6, seconds[0] * per40k * 1e6, seconds[1] / entries * 1e6,
              seconds[1] * per40k * 1e6);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: korva_scan_floor DIR [--threads N] [--offset B] [--inflate-only]\n");
    return 2;
  }
  int threads = 1;
  size_t offset = 0;
  bool inflateOnly = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--threads" && i + 1 < argc) threads = std::max(1, std::atoi(argv[++i]));
    else if (a == "--offset" && i + 1 < argc) offset = static_cast<size_t>(std::atoi(argv[++i])) % 64;
    else if (a == "--inflate-only") inflateOnly = true;
    else {
      std::fprintf(stderr, "unknown option %s\n", a.c_str());
      return 2;
    }
  }
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[1])) {
    if (!e.is_regular_file()) continue;
    const std::string name = e.path().filename().string();
    if (EndsWithNoCase(name, ".zip") || EndsWithNoCase(name, ".nes")) files.push_back(e.path().string());
  }
  if (inflateOnly) return InflateOnly(files);

  Totals totals;
  std::atomic<size_t> next{0};
  std::vector<std::thread> helpers;
  for (int t = 1; t < threads; ++t) helpers.emplace_back([&] { Work(files, next, offset, totals); });
  Work(files, next, offset, totals);
  for (auto& t : helpers) t.join();
  std::printf("%zu files, %llu bytes read, %llu bytes inflated, CRCs %08llx\n", files.size(),
              static_cast<unsigned long long>(totals.bytes), static_cast<unsigned long long>(totals.inflated),
              static_cast<unsigned long long>(totals.crcs.load()));
  return 0;
}
