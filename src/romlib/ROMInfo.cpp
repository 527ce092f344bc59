#include "romlib/ROMInfo.h"

#include <cstdio>

#include "romlib/CRC.h"

namespace korva {

HeaderDatabase::HeaderDatabase(std::vector<TROMInfo> records) : records_(std::move(records)) {
  first_.reserve(records_.size());
  // try_emplace keeps the first record of a CRC: later duplicates are never found.
  for (std::size_t i = 0; i < records_.size(); ++i) first_.try_emplace(records_[i].CRC32, i);
}

TROMInfo HeaderDatabase::Find(std::uint32_t crc) const {
  const auto it = first_.find(crc);
  if (it == first_.end()) return {};
  TROMInfo found = records_[it->second];
  found.Source = kSourceHeaderDatabase;
  return found;
}

TROMInfo MakeROMInfo(std::span<const std::uint8_t> image, const HeaderDatabase& headerDb) {
  // Shorter than a header: not an iNES image, whatever its first bytes are.
  if (image.size() < kINesHeaderSize) return {};
  if (image[0] != 0x4E || image[1] != 0x45 || image[2] != 0x53 || image[3] != 0x1A) return {};

  // A header-only image gives the engine no data: its register, 0xFFFFFFFF.
  const std::size_t length = image.size() - kINesHeaderSize;
  const std::uint32_t crc = length == 0 ? crc::OneShot(crc::kPresetCRC32, nullptr, 0)
                                        : crc::Crc32(0, image.data() + kINesHeaderSize, length);

  // The header database wins over the image's own header whenever it knows the CRC.
  TROMInfo known = headerDb.Find(crc);
  if (!known.Empty()) return known;

  TROMInfo rom;
  rom.Source = kSourceINesHeader;
  // The two low bits of byte 9 are tested for the value 2, not bit 0 alone.
  rom.Timing = (image[9] & 3) == 2 ? "NesPal" : "NesNtsc";
  rom.CRC32 = crc;
  rom.Mapper = (image[7] & 0xF0) | (image[6] >> 4);
  rom.PrgRomSize = image[4] * 16384;
  rom.ChrRomSize = image[5] * 8192;
  rom.Mirroring = (image[6] & 1) ? "v" : "h";
  return rom;
}

TROMInfo ReadRomFile(const std::string& path, const HeaderDatabase& headerDb, RomReadStatus* status) {
  RomImageBuffer buffer;
  const RomReadStatus read = ReadRomImage(path, buffer);
  if (status != nullptr) *status = read;
  if (!read.Ok()) return {};
  TROMInfo rom = MakeROMInfo(buffer.Image, headerDb);
  rom.Filename = path;
  return rom;
}

CompatibilityCheck CheckCompatibility(const TROMInfo& rom, std::optional<std::size_t> imageSize) {
  const auto n = [](std::int64_t value) { return std::to_string(value); };
  if (rom.Mapper != 0 && rom.Mapper != 3 && rom.Mapper != 87)
    return {Incompatibility::kMapper, (rom.Mapper < 0 ? "no mapper" : "mapper " + n(rom.Mapper)) + " (needs 0, 3 or 87)"};
  if (rom.Timing != "NesNtsc")
    return {Incompatibility::kTiming, (rom.Timing.empty() ? "no timing" : "timing " + rom.Timing) + " (needs NesNtsc)"};
  if (rom.PrgRomSize != 16384 && rom.PrgRomSize != 32768)
    return {Incompatibility::kPrgSize, "PRG ROM of " + n(rom.PrgRomSize) + " bytes (needs 16384 or 32768)"};
  if (rom.ChrRomSize < 8192 || rom.ChrRomSize > 32768)
    return {Incompatibility::kChrSize, "CHR ROM of " + n(rom.ChrRomSize) + " bytes (needs 8192 to 32768)"};
  if (imageSize) {
    // The sizes passed the checks above, so they are positive and small.
    const std::size_t data = *imageSize > kINesHeaderSize ? *imageSize - kINesHeaderSize : 0;
    if (data < static_cast<std::size_t>(rom.PrgRomSize) + static_cast<std::size_t>(rom.ChrRomSize))
      return {Incompatibility::kShortImage, std::to_string(data) + " bytes of ROM data after its header (needs PRG " +
                                                n(rom.PrgRomSize) + " + CHR " + n(rom.ChrRomSize) + " bytes)"};
  }
  return {};
}

bool IsCompatible(const TROMInfo& rom) { return CheckCompatibility(rom).Compatible(); }

TROMInfo FindROMByCRC(const std::vector<TROMInfo>& romList, std::uint32_t crc) {
  for (const TROMInfo& rom : romList) {
    if (rom.CRC32 == crc) return rom;
  }
  return {};
}

std::string CrcText(std::uint32_t crc) {
  char text[9];
  std::snprintf(text, sizeof text, "%.8X", static_cast<unsigned>(crc));
  return text;
}

}  // namespace korva
