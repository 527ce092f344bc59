#include "romlib/ROMInfo.h"

#include <cstdio>

#include "romlib/CRC.h"
#include "romlib/FileUtil.h"
#include "romlib/ZipRead.h"

namespace korva {

namespace {
constexpr std::size_t kHeaderSize = 16;
}  // namespace

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
  if (image.size() < kHeaderSize) return {};
  if (image[0] != 0x4E || image[1] != 0x45 || image[2] != 0x53 || image[3] != 0x1A) return {};

  // A header-only image gives the engine no data: its register, 0xFFFFFFFF.
  const std::size_t length = image.size() - kHeaderSize;
  const std::uint32_t crc = length == 0 ? crc::OneShot(crc::kPresetCRC32, nullptr, 0)
                                        : crc::Crc32(0, image.data() + kHeaderSize, length);

  // The header database wins over the image's own header whenever it knows the CRC.
  TROMInfo known = headerDb.Find(crc);
  if (known.CRC32 != 0) return known;

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

TROMInfo ReadNesFile(const std::string& path, const HeaderDatabase& headerDb) {
  // Anything above the limit is no ROM the cartridge could hold; it is not
  // read into memory at all.
  const std::optional<std::vector<std::uint8_t>> bytes = ReadFileWithin(path, kMaxRomFileSize);
  TROMInfo rom = bytes ? MakeROMInfo(*bytes, headerDb) : TROMInfo{};
  rom.Filename = path;
  return rom;
}

TROMInfo ReadZipFile(const std::string& path, const HeaderDatabase& headerDb) {
  try {
    TZipRead zip(path);
    if (zip.Count() != 1) return {};
    // The size comes from the entry information: for an entry written with a
    // data descriptor the local header records 0, the information the real size.
    TFileInfo info;
    if (!zip.RetrieveFileInfo(0, info)) return {};
    std::vector<std::uint8_t> bytes = zip.UnZip(0);
    if (bytes.size() > info.zfullSize) bytes.resize(info.zfullSize);
    TROMInfo rom = MakeROMInfo(bytes, headerDb);
    rom.Filename = path;
    return rom;
  } catch (const ESynZipException&) {
    return {};
  }
}

TROMInfo ReadRomFile(const std::string& path, const HeaderDatabase& headerDb) {
  if (HasExtension(path, ".zip")) return ReadZipFile(path, headerDb);
  if (HasExtension(path, ".nes")) return ReadNesFile(path, headerDb);
  return {};
}

bool IsCompatible(const TROMInfo& rom) {
  if (rom.Mapper != 0 && rom.Mapper != 3 && rom.Mapper != 87) return false;
  if (rom.Timing != "NesNtsc") return false;
  if (rom.PrgRomSize != 16384 && rom.PrgRomSize != 32768) return false;
  return rom.ChrRomSize >= 8192 && rom.ChrRomSize <= 32768;
}

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
