#pragma once
// The ROM record and the reading of NES ROM images.
//
// A NES ROM image is a 16-byte iNES header followed by PRG ROM and CHR ROM.
// A game is known everywhere by the CRC-32 of everything after the header,
// never by its file name. The header database wins over the image's own
// header whenever it knows the CRC.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "romlib/RomImage.h"

namespace korva {

// Where a record's size, mapper, mirroring and timing fields came from.
enum RomSource : std::int32_t {
  kSourceNone = 0,            // nowhere, or a ROM database entry's INES element
  kSourceHeaderDatabase = 1,  // the built-in (or override) header database
  kSourceINesHeader = 2,      // the image's own iNES header
};

// One ROM record; a plain value. A default-constructed record is the empty
// record, which every failed read or lookup returns and which is never
// compatible (its mapper is -1); Empty() is the one test for it.
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
  // The empty record: nothing was read, or the lookup found nothing.
  bool Empty() const { return *this == TROMInfo{}; }
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

// Makes a record from image bytes (header included). Filename stays empty.
// Not an iNES image (no signature, or shorter than 16 bytes): the empty record.
TROMInfo MakeROMInfo(std::span<const std::uint8_t> image, const HeaderDatabase& headerDb);

// Reads the ROM file at `path` (ReadRomImage, romlib/RomImage.h) and makes
// its record; Filename is `path`. A file that cannot be read, or holds no
// iNES image, gives the empty record, and `status`, when given, says why.
// Raises nothing but std::bad_alloc.
TROMInfo ReadRomFile(const std::string& path, const HeaderDatabase& headerDb, RomReadStatus* status = nullptr);

// Why the cartridge cannot hold a ROM: the first of these checks it fails,
// in this order.
enum class Incompatibility {
  kNone,
  kMapper,      // the mapper is not 0, 3 or 87
  kTiming,      // the timing is not exactly "NesNtsc"
  kPrgSize,     // PRG is not exactly 16,384 or 32,768 bytes
  kChrSize,     // CHR is not from 8,192 to 32,768 bytes
  kShortImage,  // the image holds fewer bytes after its header than PRG + CHR
};

struct CompatibilityCheck {
  Incompatibility Reason = Incompatibility::kNone;
  // The reason in words with its figures, after "has" or "cannot hold it: ":
  // "mapper 4 (needs 0, 3 or 87)", "1000 bytes of ROM data after its header
  // (needs PRG 32768 + CHR 8192 bytes)". Empty when compatible.
  std::string Text;
  bool Compatible() const { return Reason == Incompatibility::kNone; }
};

// The cartridge's compatibility rule, the one place it is written: the scan,
// the gauge, `korva info` and the build all decide by it. `imageSize` is the
// size of the ROM's image (header included) when it is at hand; without it
// (a record from ROMList) the short-image check is left out.
CompatibilityCheck CheckCompatibility(const TROMInfo& rom, std::optional<std::size_t> imageSize = std::nullopt);

// CheckCompatibility(rom).Compatible(): the record alone passes the rule.
bool IsCompatible(const TROMInfo& rom);

// A copy of the first ROMList record with `crc`, or the empty record.
TROMInfo FindROMByCRC(const std::vector<TROMInfo>& romList, std::uint32_t crc);

// "%.8X" of a CRC: eight upper-case hexadecimal digits.
std::string CrcText(std::uint32_t crc);

}  // namespace korva
