#include "romlib/ROMInfo.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TestArchives.h"
#include "romlib/FileUtil.h"

using korva::HeaderDatabase;
using korva::MakeROMInfo;
using korva::TROMInfo;
using korva::test::Bytes;
using korva::test::INesImage;
using korva::test::ZipBuilder;

namespace {

const HeaderDatabase kNoDatabase;

// A header with bytes 4 to 7 and 9 as given, and `dataSize` bytes of data.
Bytes Header(std::uint8_t b4, std::uint8_t b5, std::uint8_t b6, std::uint8_t b7, std::uint8_t b9,
             std::size_t dataSize = 64) {
  Bytes image = korva::test::INesHeader(b4, b5, b6, b7, b9);
  korva::test::PutBytes(image, korva::test::PatternBytes(dataSize, b4 + b5 * 3 + b6 * 7 + b7 * 11 + b9 * 13));
  return image;
}

TROMInfo DatabaseRecord(std::uint32_t crc, int mapper, int prg, int chr, const char* mirroring,
                        const char* timing) {
  TROMInfo r;
  r.CRC32 = crc;
  r.Mapper = mapper;
  r.PrgRomSize = prg;
  r.ChrRomSize = chr;
  r.Mirroring = mirroring;
  r.Timing = timing;
  return r;
}

std::uint32_t DataCrc(const Bytes& image) { return korva::test::ZlibCrc(Bytes(image.begin() + 16, image.end())); }

}  // namespace

TEST(ROMInfo, EmptyRecordIsNeverCompatible) {
  const TROMInfo empty;
  EXPECT_EQ(empty.Mapper, -1);
  EXPECT_EQ(empty.ListIndex, -1);
  EXPECT_EQ(empty.Source, 0);
  EXPECT_EQ(empty.CRC32, 0u);
  EXPECT_FALSE(korva::IsCompatible(empty));
}

TEST(ROMInfo, HeaderGivesSizesMapperMirroringAndTiming) {
  const Bytes image = Header(0x02, 0x01, 0x01, 0x00, 0);
  const TROMInfo rom = MakeROMInfo(image, kNoDatabase);
  EXPECT_EQ(rom.PrgRomSize, 32768);
  EXPECT_EQ(rom.ChrRomSize, 8192);
  EXPECT_EQ(rom.Mapper, 0);
  EXPECT_EQ(rom.Mirroring, "v");
  EXPECT_EQ(rom.Timing, "NesNtsc");
  EXPECT_EQ(rom.Source, korva::kSourceINesHeader);
  EXPECT_EQ(rom.CRC32, DataCrc(image));
  EXPECT_TRUE(rom.Filename.empty());
  EXPECT_EQ(rom.ListIndex, -1);
  EXPECT_TRUE(korva::IsCompatible(rom));
}

// The sizes follow bytes 4 and 5; the mapper takes its low nibble from byte 6 and its high from byte 7; the
// mirroring is bit 0 of byte 6; the timing is PAL only when the low two bits of byte 9 are two.
TEST(ROMInfo, HeaderBytesGiveSizesMapperMirroringAndTiming) {
  const struct {
    std::uint8_t b4, b5, b6, b7, b9;
    int mapper;
    const char *mirroring, *timing;
    int compatible;  // 1 or 0; -1: not looked at
  } cases[] = {
      {2, 1, 0x70, 0x50, 0, 87, "h", "NesNtsc", -1},
      {2, 1, 0x31, 0x00, 0, 3, "v", "NesNtsc", -1},
      {2, 1, 0xF0, 0xF0, 0, 255, "h", "NesNtsc", -1},
      {2, 1, 0x0E, 0x0F, 0, 0, "h", "NesNtsc", -1},  // the low nibbles of 6 and 7 (trainer, battery, NES 2.0) ignored
      {2, 1, 0, 0, 0x00, 0, "h", "NesNtsc", -1},
      {2, 1, 0, 0, 0x01, 0, "h", "NesNtsc", -1},
      {2, 1, 0, 0, 0x02, 0, "h", "NesPal", 0},
      {2, 1, 0, 0, 0x06, 0, "h", "NesPal", -1},
      {2, 1, 0, 0, 0x03, 0, "h", "NesNtsc", -1},
      {2, 0, 0, 0, 0, 0, "h", "NesNtsc", 0},  // no CHR
      {2, 3, 0x30, 0, 0, 3, "h", "NesNtsc", 1},  // 24 KB of CHR
      {255, 255, 0, 0, 0, 0, "h", "NesNtsc", -1},
  };
  for (const auto& c : cases) {
    const TROMInfo rom = MakeROMInfo(Header(c.b4, c.b5, c.b6, c.b7, c.b9), kNoDatabase);
    SCOPED_TRACE(testing::Message() << "row " << &c - cases);
    EXPECT_EQ(rom.PrgRomSize, c.b4 * 16384);
    EXPECT_EQ(rom.ChrRomSize, c.b5 * 8192);
    EXPECT_EQ(rom.Mapper, c.mapper);
    EXPECT_EQ(rom.Mirroring, c.mirroring);
    EXPECT_EQ(rom.Timing, c.timing);
    if (c.compatible >= 0) {
      EXPECT_EQ(korva::IsCompatible(rom), c.compatible == 1);
    }
  }
}

TEST(ROMInfo, HeaderDatabaseWinsOverTheImagesHeader) {
  const Bytes image = Header(0x02, 0x01, 0x01, 0x00, 0);  // mapper 0, 32 KB + 8 KB, NTSC
  const std::uint32_t crc = DataCrc(image);
  const HeaderDatabase db({DatabaseRecord(0x12345678, 0, 16384, 8192, "h", "NesNtsc"),
                           DatabaseRecord(crc, 4, 131072, 131072, "h", "NesPal"),
                           DatabaseRecord(crc, 0, 32768, 8192, "v", "NesNtsc")});
  const TROMInfo rom = MakeROMInfo(image, db);
  EXPECT_EQ(rom.Source, korva::kSourceHeaderDatabase);
  EXPECT_EQ(rom.Mapper, 4);  // the first record with the CRC, not the later one
  EXPECT_EQ(rom.PrgRomSize, 131072);
  EXPECT_EQ(rom.Timing, "NesPal");
  EXPECT_EQ(rom.CRC32, crc);
  EXPECT_FALSE(korva::IsCompatible(rom));
  // A record for CRC 0 is found like any other (these four data bytes have CRC-32 0).
  Bytes zeroCrc = korva::test::INesHeader(2, 1);
  korva::test::PutBytes(zeroCrc, std::string_view("\x9D\x0A\xD9\x6D", 4));
  const TROMInfo zero = MakeROMInfo(zeroCrc, HeaderDatabase({DatabaseRecord(0, 4, 16384, 8192, "h", "NesPal")}));
  EXPECT_EQ(zero.Source, korva::kSourceHeaderDatabase);
  EXPECT_EQ(zero.Mapper, 4);
}

TEST(ROMInfo, HeaderDatabaseFindsTheFirstRecordAndMarksItsSource) {
  const HeaderDatabase db({DatabaseRecord(7, 1, 1, 1, "h", "NesNtsc"), DatabaseRecord(7, 2, 2, 2, "v", "NesPal")});
  EXPECT_EQ(db.size(), 2u);
  const TROMInfo found = db.Find(7);
  EXPECT_EQ(found.Mapper, 1);
  EXPECT_EQ(found.Source, korva::kSourceHeaderDatabase);
  EXPECT_EQ(db.Records()[0].Source, korva::kSourceNone);  // the table itself is untouched
  EXPECT_EQ(db.Find(8), TROMInfo{});
  EXPECT_EQ(kNoDatabase.Find(7), TROMInfo{});
}

TEST(ROMInfo, HeaderOnlyImageHasTheEnginesEmptyRegister) {
  const Bytes image = Header(1, 1, 0, 0, 0, 0);
  ASSERT_EQ(image.size(), 16u);
  EXPECT_EQ(MakeROMInfo(image, kNoDatabase).CRC32, 0xFFFFFFFFu);
}

TEST(ROMInfo, ShortOrUnsignedImagesGiveTheEmptyRecord) {
  const Bytes image = Header(2, 1, 0, 0, 0);
  for (std::size_t n = 0; n < 16; ++n)
    EXPECT_EQ(MakeROMInfo(std::span(image.data(), n), kNoDatabase), TROMInfo{}) << n << " bytes";
  Bytes unsigned_ = image;
  unsigned_[3] = 0x1B;
  EXPECT_EQ(MakeROMInfo(unsigned_, kNoDatabase), TROMInfo{});
}

TEST(ROMInfo, CompatibilityRule) {
  TROMInfo r = DatabaseRecord(1, 0, 16384, 8192, "h", "NesNtsc");
  EXPECT_TRUE(korva::IsCompatible(r));
  for (int mapper : {0, 3, 87}) {
    r.Mapper = mapper;
    EXPECT_TRUE(korva::IsCompatible(r)) << mapper;
  }
  for (int mapper : {-1, 1, 2, 4, 86, 88}) {
    r.Mapper = mapper;
    EXPECT_FALSE(korva::IsCompatible(r)) << mapper;
  }
  r.Mapper = 0;
  for (int prg : {8192, 16383, 49152, 65536}) {
    r.PrgRomSize = prg;
    EXPECT_FALSE(korva::IsCompatible(r)) << prg;
  }
  r.PrgRomSize = 32768;
  for (int chr : {8192, 10000, 32768}) {
    r.ChrRomSize = chr;
    EXPECT_TRUE(korva::IsCompatible(r)) << chr;
  }
  for (int chr : {0, 8191, 32769, 65536}) {
    r.ChrRomSize = chr;
    EXPECT_FALSE(korva::IsCompatible(r)) << chr;
  }
  r.ChrRomSize = 8192;
  r.Timing = "nesntsc";
  EXPECT_FALSE(korva::IsCompatible(r));
  EXPECT_EQ(korva::CheckCompatibility(r).Text, "timing nesntsc (needs NesNtsc)");

  // The image's size, when at hand: a header-only image and a 1,000-byte cut
  // of a 40 KB game are short; the record alone still passes.
  r.Timing = "NesNtsc";
  const struct {
    std::size_t imageSize;
    korva::Incompatibility reason;
  } sizes[] = {{16, korva::Incompatibility::kShortImage},
               {1000, korva::Incompatibility::kShortImage},
               {16 + 40960 - 1, korva::Incompatibility::kShortImage},
               {16 + 40960, korva::Incompatibility::kNone},
               {100000, korva::Incompatibility::kNone}};
  for (const auto& c : sizes) EXPECT_EQ(korva::CheckCompatibility(r, c.imageSize).Reason, c.reason) << c.imageSize;
  EXPECT_EQ(korva::CheckCompatibility(r, 1000).Text,
            "984 bytes of ROM data after its header (needs PRG 32768 + CHR 8192 bytes)");
  EXPECT_TRUE(korva::IsCompatible(r));
  r.Mapper = 4;  // the record's rules come first
  EXPECT_EQ(korva::CheckCompatibility(r, 16).Text, "mapper 4 (needs 0, 3 or 87)");
}

TEST(ROMInfo, FindROMByCRCReturnsTheFirstCopy) {
  std::vector<TROMInfo> list;
  for (int i = 0; i < 3; ++i) {
    TROMInfo r = DatabaseRecord(i == 2 ? 10 : 10 + i, 0, 16384, 8192, "h", "NesNtsc");
    r.ListIndex = i;
    list.push_back(r);
  }
  EXPECT_EQ(korva::FindROMByCRC(list, 10).ListIndex, 0);
  EXPECT_EQ(korva::FindROMByCRC(list, 11).ListIndex, 1);
  EXPECT_EQ(korva::FindROMByCRC(list, 99), TROMInfo{});
}

TEST(ROMInfo, CrcTextIsEightUpperCaseDigits) {
  EXPECT_EQ(korva::CrcText(0), "00000000");
  EXPECT_EQ(korva::CrcText(0xABCDEF01), "ABCDEF01");
  EXPECT_EQ(korva::CrcText(0x1F), "0000001F");
}

// One table for every way a ROM file is read or refused, with the reason the
// reader names (archives laid out the way the tools named beside them write them).
TEST(ReadRomImage, ReadsOrNamesTheFailedCheck) {
  using korva::RomReadError;
  const Bytes image = INesImage(2, 1, 0x01);
  const Bytes mapper3 = INesImage(1, 1, 0x30);
  ZipBuilder damaged;
  damaged.Stored("Game.nes", mapper3);
  Bytes damagedBytes = damaged.Build();
  damagedBytes[damaged.DataOffset(0) + 500] ^= 0xFF;
  ZipBuilder descriptor;  // bsdtar, or Info-ZIP writing to a pipe
  descriptor.Deflated("Game.nes", image).Last().dataDescriptor = true;
  ZipBuilder encrypted;   // Info-ZIP zip -e
  encrypted.Deflated("Game.nes", image).Last().flags = 1;
  const struct {
    const char* what;
    Bytes bytes;
    std::string suffix;
    RomReadError error;
    std::string reason;  // the whole reason, or its start when it ends in "..."
    const Bytes* read;   // the image the read gives
  } cases[] = {
      {"nes", image, ".nes", RomReadError::kNone, "", &image},
      {"case-blind extension", image, ".NeS", RomReadError::kNone, "", &image},
      {"zip with a folder", ZipBuilder().Folder("roms/").Stored("roms/Game.nes", mapper3).Build(), ".zip",
       RomReadError::kNone, "", &mapper3},
      {"zip with a data descriptor", descriptor.Build(), ".ZIP", RomReadError::kNone, "", &image},
      {"other extension", image, ".bin", RomReadError::kNotRomFile, "not a .nes or .zip file", nullptr},
      {"empty nes", {}, ".nes", RomReadError::kEmpty, "file is empty", nullptr},
      {"empty zip", {}, ".zip", RomReadError::kEmpty, "Missing File: file is empty", nullptr},
      {"text as nes", korva::test::ToBytes("just some text here"), ".nes", RomReadError::kNotINesImage,
       "not an iNES image", nullptr},
      {"header cut short", Bytes(image.begin(), image.begin() + 15), ".nes", RomReadError::kNotINesImage,
       "not an iNES image", nullptr},
      {"archive named .nes", ZipBuilder().Stored("Game.nes", image).Build(), ".nes", RomReadError::kNotINesImage,
       "not an iNES image", nullptr},
      {"text in a zip", ZipBuilder().Stored("readme.txt", std::string_view("just some text here")).Build(), ".zip",
       RomReadError::kNotINesImage, "not an iNES image", nullptr},
      {"two files", ZipBuilder().Stored("a.nes", mapper3).Stored("b.nes", image).Build(), ".zip",
       RomReadError::kNotOneFile, "the archive holds 2 files, not exactly one", nullptr},
      {"only a folder", ZipBuilder().Folder("empty/").Build(), ".zip", RomReadError::kNotOneFile,
       "the archive holds 0 files, not exactly one", nullptr},
      {"not a zip", korva::test::PatternBytes(1000, 5), ".zip", RomReadError::kArchive, "No ZIP header found", nullptr},
      {"damaged entry", damagedBytes, ".zip", RomReadError::kArchive, "Error decompressing Game.nes: CRC-32 ...",
       nullptr},
      {"encrypted entry", encrypted.Build(), ".zip", RomReadError::kArchive,
       "Error decompressing Game.nes: encrypted entry", nullptr},
  };
  korva::RomImageBuffer buffer;  // one for all, as a scan's thread keeps it
  const korva::test::TempDir temp;
  for (const auto& c : cases) {
    const std::string file = temp.Write(std::to_string(&c - cases) + c.suffix, c.bytes);
    const korva::RomReadStatus status = korva::ReadRomImage(file, buffer);
    EXPECT_EQ(status.Error(), c.error) << c.what;
    if (c.reason.ends_with("..."))
      EXPECT_TRUE(status.Reason().starts_with(c.reason.substr(0, c.reason.size() - 3))) << c.what << ": " << status.Reason();
    else
      EXPECT_EQ(status.Reason(), c.reason) << c.what;
    EXPECT_EQ(buffer.Image, c.read ? *c.read : Bytes{}) << c.what;
    // The record reader gives the same record, or the empty one.
    korva::RomReadStatus again;
    const TROMInfo rom = korva::ReadRomFile(file, kNoDatabase, &again);
    EXPECT_EQ(again.Reason(), status.Reason()) << c.what;
    EXPECT_EQ(rom, c.read ? [&] { TROMInfo r = MakeROMInfo(*c.read, kNoDatabase); r.Filename = file; return r; }()
                          : TROMInfo{}) << c.what;
  }
  EXPECT_EQ(korva::ReadRomImage("/tmp/korva-no-such.nes", buffer).Reason(), "No such file or directory");
  const korva::RomReadStatus missing = korva::ReadRomImage("/tmp/korva-no-such.zip", buffer);
  EXPECT_EQ(missing.Reason(), "Missing File: No such file or directory");
  EXPECT_TRUE(missing.IsFileError());
}

TEST(ReadRomImage, BufferIsReusedAndLimitIs64MiB) {
  const korva::test::TempDir temp;
  const std::string large = temp.Write("large.nes", INesImage(2, 2));
  const std::string small = temp.Write("small.zip", ZipBuilder().Deflated("Game.nes", INesImage(1, 1)).Build());
  korva::RomImageBuffer buffer;
  ASSERT_TRUE(korva::ReadRomImage(large, buffer).Ok());
  const std::uint8_t* first = buffer.Image.data();
  ASSERT_TRUE(korva::ReadRomImage(small, buffer).Ok());
  EXPECT_EQ(buffer.Image.data(), first);  // a smaller image lands in the same bytes
  EXPECT_EQ(buffer.Image.size(), 16u + 16384 + 8192);

  // A sparse file: the size is there, the disk blocks are not.
  ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(korva::kMaxRomFileSize) + 1), 0);
  const korva::RomReadStatus status = korva::ReadRomImage(large, buffer);
  EXPECT_EQ(status.Error(), korva::RomReadError::kTooLarge);
  EXPECT_TRUE(status.Reason().starts_with("larger than 64 MiB (67108865 bytes)")) << status.Reason();
  ASSERT_EQ(::truncate(large.c_str(), static_cast<off_t>(korva::kMaxRomFileSize)), 0);
  EXPECT_EQ(korva::ReadRomFile(large, kNoDatabase).PrgRomSize, 32768);
}
