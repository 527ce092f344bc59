// korva_scan_floor: the work that no directory scan can skip, and nothing
// more. It lists the *.zip and *.nes files directly in a directory, reads
// every file whole, and inflates the first entry of every archive with zlib.
// Its time is the floor against which `korva scan` is measured.
//
//   korva_scan_floor DIR
#include <zlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

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

bool ReadAll(const std::string& path, std::vector<uint8_t>& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const off_t size = ::lseek(fd, 0, SEEK_END);
  ::lseek(fd, 0, SEEK_SET);
  out.resize(static_cast<size_t>(size < 0 ? 0 : size));
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  return done == out.size();
}

// Inflates the entry whose local header starts the archive; returns the
// number of bytes produced.
size_t InflateFirstEntry(const std::vector<uint8_t>& zip, std::vector<uint8_t>& out) {
  if (zip.size() < 30 || Le32(zip.data()) != 0x04034B50) return 0;
  const uint16_t method = Le16(zip.data() + 8);
  const uint32_t csize = Le32(zip.data() + 18), usize = Le32(zip.data() + 22);
  const size_t start = 30u + Le16(zip.data() + 26) + Le16(zip.data() + 28);
  if (start > zip.size() || csize > zip.size() - start) return 0;
  out.resize(usize);
  if (method == 0) {
    std::memcpy(out.data(), zip.data() + start, std::min<size_t>(usize, csize));
    return usize;
  }
  z_stream s{};
  if (inflateInit2(&s, -15) != Z_OK) return 0;
  s.next_in = const_cast<Bytef*>(zip.data() + start);
  s.avail_in = csize;
  s.next_out = out.data();
  s.avail_out = usize;
  inflate(&s, Z_FINISH);
  const size_t produced = s.total_out;
  inflateEnd(&s);
  return produced;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korva_scan_floor DIR\n");
    return 2;
  }
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(argv[1])) {
    if (!e.is_regular_file()) continue;
    const std::string name = e.path().filename().string();
    if (EndsWithNoCase(name, ".zip") || EndsWithNoCase(name, ".nes")) files.push_back(e.path().string());
  }
  std::vector<uint8_t> bytes, entry;
  size_t total = 0, inflated = 0;
  for (const auto& f : files) {
    if (!ReadAll(f, bytes)) continue;
    total += bytes.size();
    if (EndsWithNoCase(f, ".zip")) inflated += InflateFirstEntry(bytes, entry);
  }
  std::printf("%zu files, %zu bytes read, %zu bytes inflated\n", files.size(), total, inflated);
  return 0;
}
