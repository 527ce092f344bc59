// Reading a ROM archive: the inflate of a 40 KB entry through the ZIP reader
// against zlib and libdeflate alone, and the two ways of getting a 40 KB file into memory
// (read whole with pread, or map it), which decide the reader's map threshold.
#include "romlib/CRC.h"
#include "romlib/ZipRead.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cstdlib>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kEntrySize = 40 * 1024;

// ROM-like content: runs of filler between stretches of code-like bytes, so
// it deflates to about half, as game images do.
const Bytes& Entry() {
  static const Bytes entry = [] {
    Bytes b(kEntrySize);
    std::mt19937 rng(40);
    for (std::size_t i = 0; i < b.size();) {
      const std::size_t run = 16 + rng() % 240;
      const bool filler = rng() % 2 == 0;
      const auto fill = static_cast<std::uint8_t>(rng());
      for (std::size_t k = 0; k < run && i < b.size(); ++k, ++i)
        b[i] = filler ? fill : static_cast<std::uint8_t>(rng() % 64);
    }
    return b;
  }();
  return entry;
}

Bytes RawDeflate(const Bytes& in) {
  z_stream s{};
  if (deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
  Bytes out(deflateBound(&s, static_cast<uLong>(in.size())));
  s.next_in = const_cast<Bytef*>(in.data());
  s.avail_in = static_cast<uInt>(in.size());
  s.next_out = out.data();
  s.avail_out = static_cast<uInt>(out.size());
  deflate(&s, Z_FINISH);
  out.resize(s.total_out);
  deflateEnd(&s);
  return out;
}

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// A one-entry archive holding Entry() deflated, as ROM archives come.
const Bytes& Archive() {
  static const Bytes zip = [] {
    const Bytes& data = Entry();
    const Bytes packed = RawDeflate(data);
    const std::uint32_t crc = korva::crc::Crc32(0, data.data(), data.size());
    const std::string name = "game.nes";
    Bytes z;
    Put32(z, 0x04034B50);
    for (unsigned v : {20u, 0u, 8u, 0u, 0u}) Put16(z, v);
    Put32(z, crc);
    Put32(z, static_cast<std::uint32_t>(packed.size()));
    Put32(z, static_cast<std::uint32_t>(data.size()));
    Put16(z, static_cast<unsigned>(name.size()));
    Put16(z, 0);
    z.insert(z.end(), name.begin(), name.end());
    z.insert(z.end(), packed.begin(), packed.end());
    const auto central = static_cast<std::uint32_t>(z.size());
    Put32(z, 0x02014B50);
    for (unsigned v : {20u, 20u, 0u, 8u, 0u, 0u}) Put16(z, v);
    Put32(z, crc);
    Put32(z, static_cast<std::uint32_t>(packed.size()));
    Put32(z, static_cast<std::uint32_t>(data.size()));
    for (unsigned v : {static_cast<unsigned>(name.size()), 0u, 0u, 0u, 0u}) Put16(z, v);
    Put32(z, 0);
    Put32(z, 0);
    z.insert(z.end(), name.begin(), name.end());
    const auto centralSize = static_cast<std::uint32_t>(z.size()) - central;
    Put32(z, 0x06054B50);
    for (unsigned v : {0u, 0u, 1u, 1u}) Put16(z, v);
    Put32(z, centralSize);
    Put32(z, central);
    Put16(z, 0);
    return z;
  }();
  return zip;
}

// The archive's entry inflated by the reader: the central directory walk,
// the inflate and the CRC check together.
void BM_Zip_UnZip40KB(benchmark::State& state) {
  const Bytes& zip = Archive();
  for (auto _ : state) {
    korva::TZipRead reader(zip.data(), zip.size());
    benchmark::DoNotOptimize(reader.UnZip(0));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntrySize));
}
BENCHMARK(BM_Zip_UnZip40KB);

// zlib's raw inflate of the same entry into a buffer, and nothing else.
void BM_Zip_ZlibInflate40KB(benchmark::State& state) {
  const Bytes packed = RawDeflate(Entry());
  Bytes out(kEntrySize);
  for (auto _ : state) {
    z_stream s{};
    inflateInit2(&s, -15);
    s.next_in = const_cast<Bytef*>(packed.data());
    s.avail_in = static_cast<uInt>(packed.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    inflate(&s, Z_FINISH);
    inflateEnd(&s);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntrySize));
}
BENCHMARK(BM_Zip_ZlibInflate40KB);

// libdeflate's raw inflate of the same entry, as the reader runs it.
void BM_Zip_LibdeflateInflate40KB(benchmark::State& state) {
  const Bytes packed = RawDeflate(Entry());
  Bytes out(kEntrySize);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    libdeflate_deflate_decompress(d, packed.data(), packed.size(), out.data(), out.size(), nullptr);
    benchmark::DoNotOptimize(out.data());
  }
  libdeflate_free_decompressor(d);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntrySize));
}
BENCHMARK(BM_Zip_LibdeflateInflate40KB);

// A 40 KB file in the page cache, removed at exit.
const std::string& FileOf40KB() {
  static const std::string path = [] {
    std::string name = "/tmp/korva-bench-XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) throw std::runtime_error("mkstemp");
    const Bytes& b = Archive();
    Bytes content(kEntrySize);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = b[i % b.size()];
    if (::write(fd, content.data(), content.size()) != static_cast<ssize_t>(content.size()))
      throw std::runtime_error("write");
    ::close(fd);
    std::atexit([] { ::unlink(FileOf40KB().c_str()); });
    return name;
  }();
  return path;
}

// Open, size, read whole with pread, look at every byte (a CRC), close.
void BM_File_ReadWhole40KB(benchmark::State& state) {
  const std::string& path = FileOf40KB();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    ::fstat(fd, &st);
    Bytes bytes(static_cast<std::size_t>(st.st_size));
    benchmark::DoNotOptimize(::pread(fd, bytes.data(), bytes.size(), 0));
    ::close(fd);
    benchmark::DoNotOptimize(korva::crc::Crc32(0, bytes.data(), bytes.size()));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntrySize));
}
BENCHMARK(BM_File_ReadWhole40KB);

// Open, size, map, look at every byte (a CRC, which faults the pages in),
// unmap, close.
void BM_File_Mapped40KB(benchmark::State& state) {
  const std::string& path = FileOf40KB();
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    ::fstat(fd, &st);
    const auto size = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    benchmark::DoNotOptimize(korva::crc::Crc32(0, map, size));
    ::munmap(map, size);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEntrySize));
}
BENCHMARK(BM_File_Mapped40KB);

}  // namespace
