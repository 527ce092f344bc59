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

TEST(ROMInfo, MapperTakesLowNibbleFromByte6AndHighFromByte7) {
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0x70, 0x50, 0), kNoDatabase).Mapper, 87);
  const TROMInfo m3 = MakeROMInfo(Header(2, 1, 0x31, 0x00, 0), kNoDatabase);
  EXPECT_EQ(m3.Mapper, 3);
  EXPECT_EQ(m3.Mirroring, "v");
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0xF0, 0xF0, 0), kNoDatabase).Mapper, 255);
  // The low nibbles of bytes 6 and 7 (trainer, battery, NES 2.0 bits) are ignored.
  const TROMInfo flags = MakeROMInfo(Header(2, 1, 0x0E, 0x0F, 0), kNoDatabase);
  EXPECT_EQ(flags.Mapper, 0);
  EXPECT_EQ(flags.Mirroring, "h");
}

TEST(ROMInfo, TimingIsPalOnlyWhenTheLowTwoBitsOfByte9AreTwo) {
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0, 0, 0x00), kNoDatabase).Timing, "NesNtsc");
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0, 0, 0x01), kNoDatabase).Timing, "NesNtsc");
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0, 0, 0x02), kNoDatabase).Timing, "NesPal");
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0, 0, 0x06), kNoDatabase).Timing, "NesPal");
  EXPECT_EQ(MakeROMInfo(Header(2, 1, 0, 0, 0x03), kNoDatabase).Timing, "NesNtsc");
  EXPECT_FALSE(korva::IsCompatible(MakeROMInfo(Header(2, 1, 0, 0, 0x02), kNoDatabase)));
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

TEST(ROMInfo, SizesFollowBytes4And5) {
  const TROMInfo noChr = MakeROMInfo(Header(2, 0, 0, 0, 0), kNoDatabase);
  EXPECT_EQ(noChr.ChrRomSize, 0);
  EXPECT_FALSE(korva::IsCompatible(noChr));
  const TROMInfo chr24 = MakeROMInfo(Header(2, 3, 0x30, 0, 0), kNoDatabase);
  EXPECT_EQ(chr24.ChrRomSize, 24576);
  EXPECT_TRUE(korva::IsCompatible(chr24));
  const TROMInfo big = MakeROMInfo(Header(255, 255, 0, 0, 0), kNoDatabase);
  EXPECT_EQ(big.PrgRomSize, 255 * 16384);
  EXPECT_EQ(big.ChrRomSize, 255 * 8192);
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

TEST(ReadRomFile, NesFileIsReadWhole) {
  const Bytes image = INesImage(2, 1, 0x01);
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.nes", image);
  const TROMInfo rom = korva::ReadNesFile(file, kNoDatabase);
  EXPECT_EQ(rom.Filename, file);
  EXPECT_EQ(rom.CRC32, DataCrc(image));
  EXPECT_TRUE(korva::IsCompatible(rom));
  EXPECT_THROW(korva::ReadNesFile("/tmp/korva-no-such.nes", kNoDatabase), korva::FileError);
}

TEST(ReadRomFile, ExtensionDecidesTheReaderWithoutRegardToCase) {
  const Bytes image = INesImage(1, 1);
  const Bytes archive = ZipBuilder().Deflated("Game.nes", image).Build();
  const korva::test::TempDir temp;
  const std::string nes = temp.Write("nes.NeS", image);
  const std::string zip = temp.Write("zip.ZIP", archive);
  const std::string other = temp.Write("other.bin", image);
  EXPECT_EQ(korva::ReadRomFile(nes, kNoDatabase).CRC32, DataCrc(image));
  EXPECT_EQ(korva::ReadRomFile(zip, kNoDatabase).CRC32, DataCrc(image));
  EXPECT_EQ(korva::ReadRomFile(zip, kNoDatabase).Filename, zip);
  EXPECT_EQ(korva::ReadRomFile(other, kNoDatabase), TROMInfo{});
  // An archive named .nes is read as an image: no signature, no record.
  const std::string zipAsNes = temp.Write("zipAsNes.nes", archive);
  EXPECT_EQ(korva::ReadRomFile(zipAsNes, kNoDatabase).Mapper, -1);
}

TEST(ReadRomFile, ZipWithFolderAndOneFileIsRead) {
  const Bytes image = INesImage(1, 1, 0x30);
  const korva::test::TempDir temp;
  const std::string zip = temp.Write("zip.zip", ZipBuilder().Folder("roms/").Stored("roms/Game.nes", image).Build());
  const TROMInfo rom = korva::ReadZipFile(zip, kNoDatabase);
  EXPECT_EQ(rom.Mapper, 3);
  EXPECT_EQ(rom.CRC32, DataCrc(image));
  EXPECT_TRUE(korva::IsCompatible(rom));
}

TEST(ReadRomFile, ZipEntryWithDataDescriptorIsRead) {
  const Bytes image = INesImage(2, 2);
  ZipBuilder b;
  b.Deflated("Game.nes", image);
  b.Last().dataDescriptor = true;
  const korva::test::TempDir temp;
  const std::string zip = temp.Write("zip.zip", b.Build());
  const TROMInfo rom = korva::ReadZipFile(zip, kNoDatabase);
  EXPECT_EQ(rom.CRC32, DataCrc(image));
  EXPECT_EQ(rom.PrgRomSize, 32768);
}

TEST(ReadRomFile, ZipWithoutExactlyOneRomGivesTheEmptyRecord) {
  const korva::test::TempDir temp;
  const std::string two = temp.Write("two.zip", ZipBuilder().Stored("a.nes", INesImage(1, 1, 0, 0, 0, 1)).Stored("b.nes", INesImage(1, 1, 0, 0, 0, 2)).Build());
  EXPECT_EQ(korva::ReadZipFile(two, kNoDatabase), TROMInfo{});
  const std::string none = temp.Write("none.zip", ZipBuilder().Folder("empty/").Build());
  EXPECT_EQ(korva::ReadZipFile(none, kNoDatabase), TROMInfo{});
  const std::string notZip = temp.Write("notZip.zip", korva::test::PatternBytes(1000, 5));
  EXPECT_EQ(korva::ReadZipFile(notZip, kNoDatabase), TROMInfo{});
  EXPECT_EQ(korva::ReadZipFile("/tmp/korva-no-such.zip", kNoDatabase), TROMInfo{});
  const std::string text = temp.Write("text.zip", ZipBuilder().Stored("readme.txt", std::string_view("just some text here")).Build());
  const TROMInfo fromText = korva::ReadZipFile(text, kNoDatabase);
  EXPECT_EQ(fromText.Mapper, -1);
  EXPECT_EQ(fromText.CRC32, 0u);
  EXPECT_FALSE(korva::IsCompatible(fromText));
}

TEST(ReadRomFile, DamagedZipEntryGivesTheEmptyRecord) {
  ZipBuilder b;
  b.Stored("Game.nes", INesImage(1, 1));
  Bytes archive = b.Build();
  archive[b.DataOffset(0) + 500] ^= 0xFF;
  const korva::test::TempDir temp;
  const std::string zip = temp.Write("zip.zip", archive);
  EXPECT_EQ(korva::ReadZipFile(zip, kNoDatabase), TROMInfo{});
}

TEST(ReadRomFile, NesFileAbove64MiBIsNotRead) {
  const korva::test::TempDir temp;
  const std::string file = temp.Write("file.nes", INesImage(2, 1));
  // A sparse file: the size is there, the disk blocks are not.
  ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(korva::kMaxRomFileSize) + 1), 0);
  const TROMInfo rom = korva::ReadNesFile(file, kNoDatabase);
  EXPECT_EQ(rom.Filename, file);
  EXPECT_EQ(rom.Mapper, -1);
  EXPECT_EQ(rom.CRC32, 0u);
  ASSERT_EQ(::truncate(file.c_str(), static_cast<off_t>(korva::kMaxRomFileSize)), 0);
  EXPECT_EQ(korva::ReadNesFile(file, kNoDatabase).PrgRomSize, 32768);
}
