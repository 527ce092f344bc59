#pragma once
// iNES images with recognisable data, built in one place so that tests never
// depend on files from elsewhere, and the bytes tests put around them.
#include "romlib/CRC.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

namespace korva::test {

using Bytes = std::vector<std::uint8_t>;

inline void PutBytes(Bytes& out, std::string_view s) { out.insert(out.end(), s.begin(), s.end()); }
inline void PutBytes(Bytes& out, const Bytes& b) { out.insert(out.end(), b.begin(), b.end()); }
inline Bytes ToBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

// Bytes that are unlike any other test's, and that deflate to about half
// their size as real ROM data does: a pseudo-random low nibble, and a high
// nibble that follows the position (one value per KB) and the seed.
inline Bytes PatternBytes(std::size_t size, std::uint32_t seed) {
  Bytes b(size);
  std::uint32_t x = seed * 2654435761u + 12345u;
  for (std::size_t i = 0; i < size; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<std::uint8_t>(((x >> 16) & 0x0F) | ((((i >> 10) + seed) & 0x0F) << 4));
  }
  return b;
}

// The 16-byte iNES header alone: "NES" 0x1A, PRG units of 16 KB, CHR units
// of 8 KB, bytes 6, 7 and 9 as given, the rest zero.
inline Bytes INesHeader(int prgUnits, int chrUnits, std::uint8_t byte6 = 0, std::uint8_t byte7 = 0,
                        std::uint8_t byte9 = 0) {
  return {0x4E, 0x45, 0x53, 0x1A, static_cast<std::uint8_t>(prgUnits), static_cast<std::uint8_t>(chrUnits),
          byte6, byte7, 0, byte9, 0, 0, 0, 0, 0, 0};
}

// An iNES image: the header and then PRG and CHR data. Every 16 KB PRG bank
// starts with "PRG" and its bank number, every 8 KB CHR bank with "CHR" and
// its number; the rest is a pattern from `seed`, so images of equal size
// differ when their seeds differ.
inline Bytes INesImage(int prgUnits, int chrUnits, std::uint8_t byte6 = 0, std::uint8_t byte7 = 0,
                       std::uint8_t byte9 = 0, std::uint32_t seed = 1) {
  Bytes b = INesHeader(prgUnits, chrUnits, byte6, byte7, byte9);
  for (int i = 0; i < prgUnits; ++i) {
    Bytes bank = PatternBytes(16384, seed * 1000 + i);
    bank[0] = 'P', bank[1] = 'R', bank[2] = 'G', bank[3] = static_cast<std::uint8_t>(i);
    PutBytes(b, bank);
  }
  for (int i = 0; i < chrUnits; ++i) {
    Bytes bank = PatternBytes(8192, seed * 1000 + 500 + i);
    bank[0] = 'C', bank[1] = 'H', bank[2] = 'R', bank[3] = static_cast<std::uint8_t>(i);
    PutBytes(b, bank);
  }
  return b;
}

// An image whose PRG bytes are all `prgFill` and CHR bytes all `chrFill`,
// except that the first and last bytes of each area are 0x5A so that a
// shifted copy shows; mapper and mirroring go into bytes 6 and 7, and `cut`
// bytes are left off the end.
inline Bytes FilledINesImage(int prgUnits, int chrUnits, int mapper, bool vertical, std::uint8_t prgFill,
                             std::uint8_t chrFill, std::size_t cut = 0) {
  Bytes image = INesHeader(prgUnits, chrUnits, static_cast<std::uint8_t>(((mapper & 0x0F) << 4) | (vertical ? 1 : 0)),
                           static_cast<std::uint8_t>(mapper & 0xF0));
  const std::size_t prg = static_cast<std::size_t>(prgUnits) * 16384, chr = static_cast<std::size_t>(chrUnits) * 8192;
  image.resize(16 + prg, prgFill);
  if (prg) image[16] = image[16 + prg - 1] = 0x5A;
  image.resize(16 + prg + chr, chrFill);
  if (chr) image[16 + prg] = image[16 + prg + chr - 1] = 0x5A;
  image.resize(image.size() - cut);
  return image;
}

// The CRC-32 a scan records for an iNES image: of everything after its
// 16-byte header. The build checks every game's data against it.
inline std::uint32_t DataCrc(const Bytes& image) {
  return image.size() > 16 ? crc::Crc32(0, image.data() + 16, image.size() - 16) : 0xFFFFFFFFu;
}

inline void WriteBytes(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace korva::test
