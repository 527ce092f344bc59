#pragma once
// The ROM record and the reading of NES ROM images.
//
// A NES ROM image is a 16-byte iNES header followed by PRG ROM and CHR ROM.
// A game is known everywhere by the CRC-32 of everything after the header,
// never by its file name. The header database wins over the image's own
// header whenever it knows the CRC.
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace korva {

// Where a record's size, mapper, mirroring and timing fields came from.
enum RomSource : std::int32_t {
  kSourceNone = 0,            // nowhere, or a ROM database entry's INES element
  kSourceHeaderDatabase = 1,  // the built-in (or override) header database
  kSourceINesHeader = 2,      // the image's own iNES header
};

// One ROM record; a plain value. A default-constructed record is the empty
// record, which every failed read or lookup returns and which is never
// compatible (its mapper is -1).
struct TROMInfo {
  std::string Filename;        // full path from a reader; relative name in ROMList
  std::uint32_t CRC32 = 0;     // CRC-32 of the image bytes after the header
  std::int32_t Mapper = -1;    // iNES mapper number, -1 when unknown
  std::int32_t PrgRomSize = 0; // bytes
  std::int32_t ChrRomSize = 0; // bytes
  std::string Mirroring;       // "v" vertical, "h" horizontal, others possible
  std::string Timing;          // "NesNtsc" or "NesPal"
  std::int32_t ListIndex = -1; // index in ROMList, -1 elsewhere
  std::int32_t Source = kSourceNone;

  bool operator==(const TROMInfo&) const = default;
};

// The header database table: one record per line of the header database
// text, in file order, read-only once built. Lookups return the first record
// with a CRC (later duplicates are never found); an index makes them O(1).
class HeaderDatabase {
 public:
  HeaderDatabase() = default;
  explicit HeaderDatabase(std::vector<TROMInfo> records);

  // The first record with `crc`, with Source set to 1; the empty record when
  // the table holds none.
  TROMInfo Find(std::uint32_t crc) const;

  const std::vector<TROMInfo>& Records() const { return records_; }
  std::size_t size() const { return records_.size(); }
  bool empty() const { return records_.empty(); }

 private:
  std::vector<TROMInfo> records_;
  std::unordered_map<std::uint32_t, std::size_t> first_;
};

// The largest ROM file or archive entry this program reads whole. Anything
// larger is not a NES ROM the cartridge could hold.
constexpr std::size_t kMaxRomFileSize = 64u * 1024u * 1024u;

// Makes a record from image bytes (header included). Filename stays empty.
// Not an iNES image (no signature, or shorter than 16 bytes): the empty record.
TROMInfo MakeROMInfo(std::span<const std::uint8_t> image, const HeaderDatabase& headerDb);

// Reads a .nes file whole and makes its record; Filename is `path`. A file
// that cannot be opened or read raises FileError (romlib/FileUtil.h). A file
// larger than kMaxRomFileSize gives the empty record with Filename set.
TROMInfo ReadNesFile(const std::string& path, const HeaderDatabase& headerDb);

// Reads the single file entry of a .zip archive and makes its record;
// Filename is `path`. Every error of the ZIP reader, and an archive that does
// not hold exactly one file, gives the empty record.
TROMInfo ReadZipFile(const std::string& path, const HeaderDatabase& headerDb);

// Reads a ROM file by its extension, compared without regard to case: ".zip"
// as an archive, ".nes" as an image. Any other extension: the empty record.
TROMInfo ReadRomFile(const std::string& path, const HeaderDatabase& headerDb);

// The cartridge can hold the ROM: mapper 0, 3 or 87; "NesNtsc"; PRG exactly
// 16,384 or 32,768 bytes; CHR from 8,192 to 32,768 bytes.
bool IsCompatible(const TROMInfo& rom);

// A copy of the first ROMList record with `crc`, or the empty record.
TROMInfo FindROMByCRC(const std::vector<TROMInfo>& romList, std::uint32_t crc);

// "%.8X" of a CRC: eight upper-case hexadecimal digits.
std::string CrcText(std::uint32_t crc);

}  // namespace korva
