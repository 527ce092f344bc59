// korva_mkzip: writes a ZIP archive holding one file, deflated, with its CRC
// and both sizes in the local header (flag bit 3 clear, no data descriptor),
// which is the only layout the program's ZIP reader takes for assets.
//
//   korva_mkzip OUTPUT.zip ENTRY-NAME INPUT
//
// The entry's date is fixed (1980-01-01 00:00) so that the same input always
// gives the same archive. The output is written beside and renamed into place.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

void Put16(std::vector<unsigned char>& out, std::uint32_t v) {
  out.push_back(static_cast<unsigned char>(v & 0xFF));
  out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}
void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool Deflate(const std::vector<unsigned char>& in, std::vector<unsigned char>& out) {
  z_stream zs{};
  if (deflateInit2(&zs, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&zs, static_cast<uLong>(in.size())));
  zs.next_in = const_cast<Bytef*>(in.data());
  zs.avail_in = static_cast<uInt>(in.size());
  zs.next_out = out.data();
  zs.avail_out = static_cast<uInt>(out.size());
  const int rc = deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return rc == Z_STREAM_END;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: korva_mkzip OUTPUT.zip ENTRY-NAME INPUT\n";
    return 2;
  }
  const std::string output = argv[1], name = argv[2], input = argv[3];
  std::ifstream in(input, std::ios::binary);
  if (!in) {
    std::cerr << "korva_mkzip: cannot open " << input << "\n";
    return 1;
  }
  const std::vector<unsigned char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (name.empty() || name.size() > 0xFFFF || data.size() > 0x7FFFFFFF) {
    std::cerr << "korva_mkzip: entry name or input size out of range\n";
    return 1;
  }
  std::vector<unsigned char> packed;
  if (!Deflate(data, packed)) {
    std::cerr << "korva_mkzip: deflate failed\n";
    return 1;
  }
  const std::uint32_t crc = crc32(0L, data.data(), static_cast<uInt>(data.size()));
  const std::uint32_t kTime = 0, kDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01 00:00

  std::vector<unsigned char> zip;
  auto entryHeader = [&](bool central) {
    Put32(zip, central ? 0x02014B50 : 0x04034B50);
    if (central) Put16(zip, 20);  // version made by
    Put16(zip, 20);               // version needed: deflate
    Put16(zip, 0);                // flags: sizes are in this header
    Put16(zip, 8);                // method: deflate
    Put16(zip, kTime);
    Put16(zip, kDate);
    Put32(zip, crc);
    Put32(zip, static_cast<std::uint32_t>(packed.size()));
    Put32(zip, static_cast<std::uint32_t>(data.size()));
    Put16(zip, static_cast<std::uint32_t>(name.size()));
    Put16(zip, 0);  // extra field length
    if (central) {
      Put16(zip, 0);  // comment length
      Put16(zip, 0);  // disk number
      Put16(zip, 0);  // internal attributes
      Put32(zip, 0);  // external attributes
      Put32(zip, 0);  // offset of the local header
    }
    zip.insert(zip.end(), name.begin(), name.end());
  };
  entryHeader(false);
  zip.insert(zip.end(), packed.begin(), packed.end());
  const auto centralOffset = static_cast<std::uint32_t>(zip.size());
  entryHeader(true);
  const auto centralSize = static_cast<std::uint32_t>(zip.size()) - centralOffset;
  Put32(zip, 0x06054B50);
  Put16(zip, 0);  // this disk
  Put16(zip, 0);  // disk of the central directory
  Put16(zip, 1);  // entries on this disk
  Put16(zip, 1);  // entries in all
  Put32(zip, centralSize);
  Put32(zip, centralOffset);
  Put16(zip, 0);  // comment length

  const std::string tmp = output + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
    if (!out) {
      std::cerr << "korva_mkzip: cannot write " << tmp << "\n";
      return 1;
    }
  }
  if (std::rename(tmp.c_str(), output.c_str()) != 0) {
    std::cerr << "korva_mkzip: cannot rename " << tmp << " to " << output << "\n";
    std::remove(tmp.c_str());
    return 1;
  }
  return 0;
}
