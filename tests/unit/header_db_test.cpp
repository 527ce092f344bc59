#include "romlib/HeaderDB.h"
#include "romlib/NumberText.h"

#include "RecordingUI.h"
#include "TempDir.h"
#include "romlib/Assets.h"
#include "romlib/ZipRead.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using korva::HeaderDatabase;
using korva::HeaderDBError;
using korva::TROMInfo;

namespace {

std::string CommittedText() {
  std::ifstream in(KORVA_SOURCE_DIR "/assets/header/nes20db.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(HeaderLines, SplitAtEveryKindOfLineEnd) {
  using V = std::vector<std::string_view>;
  EXPECT_EQ(korva::SplitLines("a\r\nb\nc\rd"), (V{"a", "b", "c", "d"}));
  EXPECT_EQ(korva::SplitLines("a\r\n"), V{"a"});
  EXPECT_EQ(korva::SplitLines("a\r\n\r\nb"), (V{"a", "", "b"}));
  EXPECT_EQ(korva::SplitLines("a\n\rb"), (V{"a", "", "b"}));  // LF then a lone CR: two line ends
  EXPECT_TRUE(korva::SplitLines("").empty());
}

TEST(HeaderLines, FieldsBecomeTheRecord) {
  const TROMInfo rom = korva::ParseHeaderLine("836C4FA7,0,16384,8192,h,0", 1);
  EXPECT_EQ(rom.CRC32, 0x836C4FA7u);
  EXPECT_EQ(rom.Mapper, 0);
  EXPECT_EQ(rom.PrgRomSize, 16384);
  EXPECT_EQ(rom.ChrRomSize, 8192);
  EXPECT_EQ(rom.Mirroring, "h");
  EXPECT_EQ(rom.Timing, "NesNtsc");
  EXPECT_EQ(rom.ListIndex, -1);
  EXPECT_EQ(rom.Source, korva::kSourceNone);
  EXPECT_TRUE(rom.Filename.empty());
}

TEST(HeaderLines, TimingIsAnExactTextComparison) {
  const std::pair<const char*, const char*> cases[] = {
      {"0", "NesNtsc"}, {"2", "NesNtsc"}, {"1", "NesPal"}, {"3", "NesPal"},
      {"00", "NesPal"}, {" 0", "NesPal"}, {"", "NesPal"},
  };
  for (const auto& [field, timing] : cases)
    EXPECT_EQ(korva::ParseHeaderLine(std::string("00000001,0,16384,8192,v,") + field, 1).Timing, timing)
        << "field \"" << field << "\"";
}

TEST(HeaderLines, FieldsThatAreNotNumbers) {
  const TROMInfo rom = korva::ParseHeaderLine("ffffffff,x,big,,4,1", 1);
  EXPECT_EQ(rom.CRC32, 0xFFFFFFFFu);  // lower case and the top bit are fine
  EXPECT_EQ(rom.Mapper, -1);
  EXPECT_EQ(rom.PrgRomSize, 0);
  EXPECT_EQ(rom.ChrRomSize, 0);
  EXPECT_EQ(rom.Mirroring, "4");
  EXPECT_EQ(korva::ParseHeaderLine("1A,99999999999,1,2,v,0", 1).Mapper, -1);  // out of range
  EXPECT_EQ(korva::ParseHeaderLine("1A,99999999999,1,2,v,0", 1).CRC32, 0x1Au);
  // The checked parsers every reader of outside numbers shares.
  EXPECT_EQ(korva::ParseHeaderLine("1A,+87,+16384,-1,v,0", 1).Mapper, 87);
  EXPECT_EQ(korva::ParseHeaderLine("1A,+-3, 1,0x10,v,0", 1).Mapper, -1);  // a sign after the plus
  EXPECT_EQ(korva::ParseHeaderLine("1A,+-3, 1,0x10,v,0", 1).PrgRomSize, 0);  // a space
  EXPECT_EQ(korva::ParseHeaderLine("1A,+-3, 1,0x10,v,0", 1).ChrRomSize, 0);  // a prefix
  EXPECT_EQ(korva::ParseDecimal("-2147483648"), INT32_MIN);
  EXPECT_EQ(korva::ParseDecimal("2147483648"), std::nullopt);
  EXPECT_EQ(korva::ParseHex32("000000001"), 1u);  // leading zeros do not count against the width
  EXPECT_EQ(korva::ParseHex32("100000000"), std::nullopt);
  EXPECT_EQ(korva::ParseHex32("-1"), std::nullopt);
}

TEST(HeaderLines, MalformedLinesAreRefusedWithTheirNumber) {
  const char* bad[] = {
      "836C4FA7,0,16384,8192,h",      // five fields
      "836C4FA7,0,16384,8192,h,0,x",  // seven
      "836C4FAZ,0,16384,8192,h,0",    // not hexadecimal
      "1836C4FA7,0,16384,8192,h,0",   // nine digits
      ",0,16384,8192,h,0",            // empty CRC
      "garbage",
  };
  for (const char* line : bad) {
    try {
      korva::ParseHeaderLine(line, 17);
      ADD_FAILURE() << "accepted " << line;
    } catch (const HeaderDBError& e) {
      EXPECT_EQ(std::string(e.what()).rfind("line 17: ", 0), 0u) << e.what();
    }
  }
}

TEST(HeaderText, EmptyLinesAreSkippedAndOrderKept) {
  const HeaderDatabase db = korva::ParseHeaderDatabase("00000002,3,32768,8192,v,0\r\n\r\n00000001,0,16384,8192,h,1\r\n");
  ASSERT_EQ(db.size(), 2u);
  EXPECT_EQ(db.Records()[0].CRC32, 2u);
  EXPECT_EQ(db.Records()[1].CRC32, 1u);
  EXPECT_THROW(korva::ParseHeaderDatabase("00000002,3,32768,8192,v,0\nbad line\n"), HeaderDBError);
}

TEST(HeaderText, FirstLineWithACrcWins) {
  const HeaderDatabase db = korva::ParseHeaderDatabase("0000ABCD,0,16384,8192,h,0\n0000ABCD,3,32768,8192,v,0\n");
  const TROMInfo found = db.Find(0xABCD);
  EXPECT_EQ(found.Mapper, 0);
  EXPECT_EQ(found.Source, korva::kSourceHeaderDatabase);
  EXPECT_EQ(db.Find(0x1234), TROMInfo{});
}

TEST(BuiltInHeaderDatabase, AssetIsOneDeflatedEntryWithSizesInItsLocalHeader) {
  const auto archive = korva::FindAsset("nes20db");  // names are case-blind
  ASSERT_FALSE(archive.empty());
  EXPECT_EQ(korva::FindAsset("NES20DB").data(), archive.data());
  EXPECT_TRUE(korva::FindAsset("NESCARTDB").empty());
  korva::TZipRead zip(archive.data(), archive.size());
  ASSERT_EQ(zip.Count(), 1);
  EXPECT_EQ(zip.Entry(0).name, "nes20db.txt");
  korva::TFileInfo info;
  ASSERT_TRUE(zip.RetrieveFileInfo(0, info));
  EXPECT_EQ(info.flags & 8, 0);
  EXPECT_EQ(info.zzipMethod, 8);
  const std::string text = CommittedText();
  EXPECT_EQ(zip.LocalUncompressedSize(0), text.size());
  const auto bytes = zip.UnZip(0);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
}

TEST(BuiltInHeaderDatabase, HoldsEveryConvertedLine) {
  const HeaderDatabase db = korva::BuiltInHeaderDatabase();
  const std::string text = CommittedText();
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  EXPECT_EQ(lines, 10655u);  // the games of the source file (assets/header/README.md)
  ASSERT_EQ(db.size(), lines);
  // The source is sorted by CRC and its order is kept.
  EXPECT_EQ(db.Records().front().CRC32, 0x00098369u);
  EXPECT_EQ(db.Records().front().Mapper, 562);

  // The two lines the format's description gives as examples.
  const TROMInfo nrom = db.Find(0x836C4FA7);
  EXPECT_EQ(nrom.Mapper, 0);
  EXPECT_EQ(nrom.PrgRomSize, 16384);
  EXPECT_EQ(nrom.ChrRomSize, 8192);
  EXPECT_EQ(nrom.Mirroring, "h");
  EXPECT_EQ(nrom.Timing, "NesNtsc");
  const TROMInfo mmc1 = db.Find(0x73E41AC7);
  EXPECT_EQ(mmc1.Mapper, 1);
  EXPECT_EQ(mmc1.PrgRomSize, 262144);
  EXPECT_EQ(mmc1.ChrRomSize, 0);

  // Counted independently from the text with awk (mapper 0/3/87, timing 0
  // or 2, PRG 16 or 32 KB, CHR 8 to 32 KB).
  const auto compatible = std::count_if(db.Records().begin(), db.Records().end(), korva::IsCompatible);
  EXPECT_EQ(compatible, 1717);
}

TEST(HeaderOverride, ReplacesTheBuiltInDatabaseWholeWithOrWithoutAByteOrderMark) {
  for (const char* start : {"", "\xEF\xBB\xBF"}) {
    korva::test::TempDir dir;
    dir.Write("nescartdb.txt", std::string(start) + "12345678,0,32768,8192,v,0\r\n");
    korva::test::RecordingUI ui;
    const HeaderDatabase db = korva::LoadHeaderDatabase(ui, dir / "nescartdb.txt");
    ASSERT_EQ(db.size(), 1u);
    EXPECT_EQ(db.Find(0x12345678).PrgRomSize, 32768);
    EXPECT_EQ(db.Find(0x836C4FA7), TROMInfo{});
    EXPECT_TRUE(ui.Calls().empty());
  }
}

TEST(HeaderOverride, MissingFileMeansTheBuiltInDatabaseSilently) {
  korva::test::TempDir dir;
  korva::test::RecordingUI ui;
  EXPECT_EQ(korva::LoadHeaderDatabase(ui, dir / "nescartdb.txt").size(), 10655u);
  EXPECT_TRUE(ui.Calls().empty());
}

TEST(HeaderOverride, MalformedOrEmptyFileIsRefusedWithTheReason) {
  const struct {
    std::string text, reason;
  } cases[] = {
      {"12345678,0,32768,8192,v,0\r\n12345679,0,32768,8192,v\r\n", "line 2: expected 6 fields, found 5"},
      {"", "it holds no entries"},
      {"\xEF\xBB\xBF\r\n\r\n", "it holds no entries"},
  };
  for (const auto& c : cases) {
    korva::test::TempDir dir;
    dir.Write("nescartdb.txt", c.text);
    korva::test::RecordingUI ui;
    const HeaderDatabase db = korva::LoadHeaderDatabase(ui, dir / "nescartdb.txt");
    EXPECT_EQ(db.size(), 10655u) << c.reason;  // the built-in database
    ASSERT_EQ(ui.Calls().size(), 1u) << c.reason;
    const auto call = ui.Calls()[0];
    EXPECT_EQ(call.kind, korva::MsgKind::Warning);
    EXPECT_NE(call.text.find("nescartdb.txt is not used: " + c.reason), std::string::npos) << call.text;
    EXPECT_NE(call.text.find("built-in header database is used"), std::string::npos) << call.text;
  }
}
