#include "romlib/RomDatabase.h"

#include "TempDir.h"
#include "TestArchives.h"
#include "romlib/CRC.h"
#include "romlib/FileUtil.h"
#include "romlib/HeaderDB.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

using korva::HeaderDatabase;
using korva::RomDatabaseStatus;
using korva::RomLibrary;
using korva::TROMInfo;
using korva::test::TempDir;

namespace {

// A header database that knows one CRC, 0000AAAA, as mapper 3.
HeaderDatabase SmallHeaderDb() { return korva::ParseHeaderDatabase("0000AAAA,3,32768,16384,v,0\r\n"); }

std::string Database(const std::string& romPath, const std::string& roms, const std::string& root = "KORVA") {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + root + " Build=\"12\">\n  <ROMPath>" + romPath +
         "</ROMPath>\n  <ROMDB>\n" + roms + "  </ROMDB>\n</" + root + ">\n";
}

std::string Rom(const std::string& crc, const std::string& name, const std::string& ines = "") {
  return "    <ROM CRC32=\"" + crc + "\"><Filename>" + name + "</Filename>" + ines + "</ROM>\n";
}

struct Loaded {
  korva::RomDatabaseLoad load;
  RomLibrary library;  // load.Library
};

// Loads the file, and its bytes once more through LoadRomDatabaseText (what
// fuzz_romdb runs), which must give the same result.
Loaded Load(const std::string& path, const HeaderDatabase& db = SmallHeaderDb()) {
  Loaded out;
  out.load = korva::LoadRomDatabase(path, db);
  out.library = out.load.Library;
  EXPECT_EQ(out.load.Status == RomDatabaseStatus::Unusable, !out.load.Problem.empty()) << out.load.Problem;
  // A file over the loader's size limit is left to the file reader.
  const auto bytes = korva::FileExists(path) ? korva::ReadFileWithin(path, std::size_t{256} << 20) : std::nullopt;
  if (!bytes) return out;
  const korva::RomDatabaseLoad text = korva::LoadRomDatabaseText(
      std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), path, db);
  EXPECT_EQ(text.Status, out.load.Status);
  EXPECT_EQ(text.Problem, out.load.Problem);
  EXPECT_EQ(text.OutOfSync, out.load.OutOfSync);
  EXPECT_EQ(text.Library.ROMList, out.library.ROMList);
  EXPECT_EQ(text.Library.ROMNames, out.library.ROMNames);
  return out;
}

// Writes the text as the directory's korva_db.xml and loads it.
Loaded LoadText(const TempDir& dir, const std::string& text) { return Load(dir.Write("korva_db.xml", text)); }

}  // namespace

TEST(RomDatabaseLoad, MissingFileIsReported) {
  TempDir dir;
  const Loaded r = Load(dir / "korva_db.xml");
  EXPECT_EQ(r.load.Status, RomDatabaseStatus::Missing);
  EXPECT_TRUE(r.library.ROMList.empty());
}

TEST(RomDatabaseLoad, EmptyRomDbLoadsNothingWithoutOutOfSync) {
  TempDir dir;
  const Loaded r = LoadText(dir, Database(dir.path(), ""));
  EXPECT_EQ(r.load.Status, RomDatabaseStatus::Loaded);
  EXPECT_FALSE(r.load.OutOfSync);
  EXPECT_TRUE(r.library.ROMList.empty());
  EXPECT_TRUE(r.library.ROMNames.empty());
  EXPECT_EQ(r.library.ROMPath, dir.path());
}

TEST(RomDatabaseLoad, EntriesComeFromHeaderDatabaseOrInesInFileOrder) {
  TempDir dir;
  dir.Write("b.nes", "x");
  dir.Write("a.zip", "x");
  dir.Write("c&d.nes", "x");
  const Loaded r = LoadText(dir,
      Database(dir.path(),
               Rom("0000AAAA", "b.nes") +
                   // a stale INES element: the header database now knows the CRC and wins
                   Rom("0000aaaa", "a.zip", "<INES Mapper=\"0\" ChrRomSize=\"8192\" PrgRomSize=\"16384\" Mirroring=\"h\"/>") +
                   Rom("0000BBBB", "c&amp;d.nes", "<INES Mapper=\"87\" ChrRomSize=\"8192\" PrgRomSize=\"16384\" Mirroring=\"h\"/>")));
  ASSERT_EQ(r.load.Status, RomDatabaseStatus::Loaded);
  EXPECT_FALSE(r.load.OutOfSync);
  ASSERT_EQ(r.library.ROMList.size(), 3u);
  EXPECT_EQ(r.library.ROMNames, (std::vector<std::string>{"b", "a", "c&d"}));

  const TROMInfo& b = r.library.ROMList[0];
  EXPECT_EQ(b.Filename, "b.nes");
  EXPECT_EQ(b.Mapper, 3);
  EXPECT_EQ(b.ChrRomSize, 16384);
  EXPECT_EQ(b.Source, korva::kSourceHeaderDatabase);
  EXPECT_EQ(b.ListIndex, 0);

  const TROMInfo& a = r.library.ROMList[1];
  EXPECT_EQ(a.Mapper, 3);  // not the INES element's 0
  EXPECT_EQ(a.Filename, "a.zip");
  EXPECT_EQ(a.ListIndex, 1);

  const TROMInfo& c = r.library.ROMList[2];
  EXPECT_EQ(c.CRC32, 0xBBBBu);
  EXPECT_EQ(c.Mapper, 87);
  EXPECT_EQ(c.PrgRomSize, 16384);
  EXPECT_EQ(c.ChrRomSize, 8192);
  EXPECT_EQ(c.Mirroring, "h");
  EXPECT_EQ(c.Timing, "NesNtsc");
  EXPECT_EQ(c.Source, korva::kSourceNone);
  EXPECT_EQ(c.ListIndex, 2);
  EXPECT_EQ(r.library.FullPath(c), dir / "c&d.nes");
}

TEST(RomDatabaseLoad, BadInesNumbersBecomeMinusOneAndTheRomStaysListed) {
  TempDir dir;
  dir.Write("g.nes", "x");
  const Loaded r = LoadText(dir,
      Database(dir.path(), Rom("0000CCCC", "g.nes", "<INES Mapper=\"zero\" PrgRomSize=\"32768\" Mirroring=\"v\"/>")));
  ASSERT_EQ(r.library.ROMList.size(), 1u);
  EXPECT_EQ(r.library.ROMList[0].Mapper, -1);
  EXPECT_EQ(r.library.ROMList[0].ChrRomSize, -1);  // missing attribute
  EXPECT_EQ(r.library.ROMList[0].PrgRomSize, 32768);
  EXPECT_EQ(r.library.ROMNames, std::vector<std::string>{"g"});
  EXPECT_FALSE(r.load.OutOfSync);
}

TEST(RomDatabaseLoad, MissingFilesAreLeftOutAndTheLoadIsOutOfSync) {
  TempDir dir;
  dir.Write("here.nes", "x");
  const Loaded r = LoadText(dir,
      Database(dir.path(), Rom("0000AAAA", "gone.nes") + Rom("0000AAAA", "here.nes") + Rom("0000AAAA", "")));
  EXPECT_TRUE(r.load.OutOfSync);
  ASSERT_EQ(r.library.ROMList.size(), 1u);
  EXPECT_EQ(r.library.ROMList[0].Filename, "here.nes");
  EXPECT_EQ(r.library.ROMList[0].ListIndex, 0);
}

TEST(RomDatabaseLoad, RomPathWithoutSeparatorMakesEveryEntryMissing) {
  TempDir dir;
  dir.Write("g.nes", "x");
  std::string romPath = dir.path();
  romPath.pop_back();
  const Loaded r = LoadText(dir, Database(romPath, Rom("0000AAAA", "g.nes")));
  EXPECT_TRUE(r.load.OutOfSync);
  EXPECT_TRUE(r.library.ROMList.empty());
}

// A long list is checked against one reading of the ROM directory; the
// answers must be those of asking for each file.
TEST(RomDatabaseLoad, LongListsFindTheSameFilesAsAskingOneByOne) {
  TempDir dir;
  std::string roms;
  std::vector<std::string> expected;
  for (int i = 0; i < 400; ++i) {
    const std::string name = "game " + std::to_string(i) + ".nes";
    roms += Rom("0000AAAA", name);
    if (i % 7 == 3) continue;  // never written: missing
    if (i % 11 == 5) {
      std::filesystem::create_directory(dir / name);  // a directory of that name is no ROM file
      continue;
    }
    dir.Write(name, "x");
    expected.push_back("game " + std::to_string(i));
  }
  dir.Write("sub/deeper.nes", "x");  // a name with a directory in it
  roms += Rom("0000AAAA", "sub/deeper.nes") + Rom("0000AAAA", "sub/none.nes");
  expected.push_back("sub/deeper");
  const Loaded r = LoadText(dir, Database(dir.path(), roms));
  EXPECT_TRUE(r.load.OutOfSync);
  EXPECT_EQ(r.library.ROMNames, expected);

  // Without a separator at the end of ROMPath every entry is missing, however
  // long the list.
  std::string romPath = dir.path();
  romPath.pop_back();
  const Loaded joined = LoadText(dir, Database(romPath, roms));
  EXPECT_TRUE(joined.library.ROMList.empty());
}

TEST(RomDatabaseLoad, UnknownCrcWithoutInesIsReadAgainWhateverTheExtensionCase) {
  TempDir dir;
  const auto image = korva::test::INesImage(2, 1, 0x01, 0, 0, 7);
  const std::uint32_t crc = korva::crc::Crc32(0, image.data() + 16, image.size() - 16);
  dir.Write("Upper.NES", image);
  dir.Write("Packed.Zip", korva::test::ZipBuilder().Deflated("in.nes", image).Build());
  dir.Write("Other.bin", image);
  const Loaded r = LoadText(dir, Database(dir.path(), Rom(korva::CrcText(crc), "Upper.NES") +
                                                          Rom(korva::CrcText(crc), "Packed.Zip") +
                                                          Rom(korva::CrcText(crc), "Other.bin")));
  EXPECT_TRUE(r.load.OutOfSync);
  ASSERT_EQ(r.library.ROMList.size(), 3u);
  for (int i = 0; i < 2; ++i) {
    const TROMInfo& rom = r.library.ROMList[i];
    EXPECT_EQ(rom.CRC32, crc) << i;
    EXPECT_EQ(rom.Source, korva::kSourceINesHeader) << i;
    EXPECT_EQ(rom.PrgRomSize, 32768) << i;
    EXPECT_EQ(rom.Mirroring, "v") << i;
    EXPECT_EQ(rom.ListIndex, i);
  }
  EXPECT_EQ(r.library.ROMList[0].Filename, "Upper.NES");  // relative, not the reader's full path
  EXPECT_EQ(r.library.ROMList[1].Filename, "Packed.Zip");
  // Another extension keeps the zero fields.
  const TROMInfo& other = r.library.ROMList[2];
  EXPECT_EQ(other.CRC32, 0u);
  EXPECT_EQ(other.Mapper, 0);
  EXPECT_EQ(other.PrgRomSize, 0);
  EXPECT_EQ(other.ListIndex, 2);
}

TEST(RomDatabaseLoad, DuplicateCrcsAreBothListedAndTheFirstIsFound) {
  TempDir dir;
  dir.Write("one.nes", "x");
  dir.Write("two.nes", "x");
  const Loaded r = LoadText(dir, Database(dir.path(), Rom("0000AAAA", "one.nes") + Rom("0000AAAA", "two.nes")));
  ASSERT_EQ(r.library.ROMList.size(), 2u);
  EXPECT_EQ(korva::FindROMByCRC(r.library.ROMList, 0xAAAA).ListIndex, 0);
}

// Every way a file can be unusable gives its reason, naming the file, and no
// entries; damage to the content is told apart from a file that cannot be
// read.
TEST(RomDatabaseLoad, UnusableFilesGiveTheirReason) {
  TempDir dir;
  const std::string mismatched = "<KORVA><ROMPath>/x/</ROMPath><ROMDB></KORVA>";
  const struct {
    std::string text;
    std::string reason;  // empty: any reason that names the file
    std::uintmax_t size = 0;  // grown to this size (sparse: refused by its size, never read)
  } cases[] = {
      {mismatched, "not well-formed XML: Start-end tags mismatch"},
      {"", ""},  // no element at all
      {Database(dir.path(), "", "korva"), "the root element is \"korva\", not \"KORVA\""},
      {"<KORVA><ROMDB/></KORVA>", "the ROMPath element is missing"},
      {"<KORVA><ROMPath>/x/</ROMPath></KORVA>", "the ROMDB element is missing"},
      {Database(dir.path(), "    <ROM CRC32=\"0000AAAA\"/>\n"), "entry 1 has no Filename element"},
      // a NUL byte among the entries ends the text for the XML parser
      {Database(dir.path(), std::string("\x01\0", 2) + Rom("0000AAAA", "b.nes")), ""},
      // entities pugixml would not expand, and a second root element
      {std::string(Database(dir.path(), Rom("0000AAAA", "b.nes"))).insert(39, "<!DOCTYPE KORVA [<!ENTITY d \"/x/\">]>"), ""},
      {Database(dir.path(), Rom("0000AAAA", "b.nes")) + "<KORVA/>", ""},
      {mismatched, "korva_db.xml\": the file is larger than 268435456 bytes", 256u * 1024u * 1024u + 1u},
  };
  for (const auto& c : cases) {
    dir.Write("korva_db.xml", c.text);
    if (c.size) std::filesystem::resize_file(dir / "korva_db.xml", c.size);
    const Loaded r = Load(dir / "korva_db.xml");
    EXPECT_EQ(r.load.Status, RomDatabaseStatus::Unusable) << c.text;
    EXPECT_EQ(r.load.Damaged, c.size == 0) << c.text;
    EXPECT_NE(r.load.Problem.find("korva_db.xml"), std::string::npos) << r.load.Problem;
    EXPECT_NE(r.load.Problem.find(c.reason), std::string::npos) << r.load.Problem;
    EXPECT_TRUE(r.library.ROMList.empty());
  }
}

TEST(RomDatabaseLoad, LargeFileReadInSlicesGivesTheWholeDocumentsEntriesAndErrors) {
  // 60,000 entries (about 6 MB) are read a few megabytes at a time: the
  // entries and the errors are those of one document, a broken element late
  // in the file coming before a missing Filename early in it.
  TempDir dir;
  dir.Write("g.nes", "x");
  const std::string ines = "<INES Mapper=\"1\" ChrRomSize=\"8192\" PrgRomSize=\"16384\" Mirroring=\"h\"/>";
  std::string entries;
  for (int i = 0; i < 60000; ++i) entries += Rom("12345678", i % 2 ? "g.nes" : "gone.nes", ines);
  const std::string noName = "    <ROM CRC32=\"0000AAAA\"/>\n";
  const std::string broken = "    <ROM><Filename>g.nes</Filenam></ROM>\n";
  const std::pair<std::string, std::string> cases[] = {
      {entries, ""},
      {entries + noName, "entry 30001 has no Filename element"},
      {noName + entries + broken, "not well-formed XML: Start-end tags mismatch"},
  };
  for (const auto& [roms, error] : cases) {
    const Loaded r = LoadText(dir, Database(dir.path(), roms));
    if (!error.empty()) {
      EXPECT_NE(r.load.Problem.find(error), std::string::npos) << r.load.Problem;
      continue;
    }
    ASSERT_EQ(r.library.ROMList.size(), 30000u);
    EXPECT_TRUE(r.load.OutOfSync);
    EXPECT_EQ(r.library.ROMList.back().ListIndex, 29999);
    EXPECT_EQ(r.library.ROMList.back().Mapper, 1);
    EXPECT_EQ(r.library.ROMList.back().Mirroring, "h");
  }
}

TEST(RomDatabaseLoad, CrcAttributeThatIsNotHexIsZero) {
  TempDir dir;
  dir.Write("g.nes", "x");
  const Loaded r = LoadText(dir,
      Database(dir.path(), "    <ROM CRC32=\"$12\"><Filename>g.nes</Filename><INES Mapper=\"0\"/></ROM>\n"
                           "    <ROM><Filename>g.nes</Filename><INES Mapper=\"0\"/></ROM>\n"));
  ASSERT_EQ(r.library.ROMList.size(), 2u);
  EXPECT_EQ(r.library.ROMList[0].CRC32, 0u);
  EXPECT_EQ(r.library.ROMList[1].CRC32, 0u);
}

TEST(RomDatabasePlace, ProgramDirectoryWhenWritableUnlessInstalled) {
  // The tests run from a build directory they can write to, linked as the
  // build tree's programs are.
  EXPECT_EQ(korva::kRomDatabasePlacement, korva::RomDatabasePlacement::BesideProgram);
  EXPECT_EQ(korva::RomDatabaseDirectory(), korva::ProgramDirectory());
  EXPECT_EQ(korva::DefaultRomDatabasePath(), korva::ProgramDirectory() + "korva_db.xml");
  EXPECT_EQ(korva::RomDatabaseDirectory(korva::RomDatabasePlacement::UserData), korva::UserDataDirectory());
}

TEST(RomDatabaseNames, OnlyNamesXmlCarriesFaithfullyCanBeStored) {
  const struct {
    std::string name;
    bool stored;
  } cases[] = {
      {"Game.nes", true},         {"Spiel \xC3\xBC \xE2\x82\xAC \xF0\x9F\x8E\xAE.nes", true},
      {"a\rb\tc\nd.nes", true},   {"\x01.nes", false},
      {"\x7F\xC2\x85.nes", true}, {"\xFF.nes", false},
      {"\xC3.nes", false},        {"\xC0\xAF.nes", false},  // cut short; overlong "/"
      {"\xED\xA0\x80.nes", false}, {"\xEF\xBF\xBE.nes", false},  // surrogate; U+FFFE
      {"\xF4\x90\x80\x80.nes", false},                           // above U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(korva::NameCanBeStored(c.name), c.stored) << c.name;
}

TEST(RomDatabaseWrite, WhatTheWriterWritesLoadsBackTheSameAndIsCounted) {
  TempDir dir;
  const auto rom = [](std::string name, std::uint32_t crc, std::int32_t source, std::int32_t mapper = 0,
                      std::int32_t prg = 32768, std::int32_t chr = 8192, std::string mirroring = "v") {
    TROMInfo r;
    r.Filename = std::move(name);
    r.CRC32 = crc;
    r.Source = source;
    r.Mapper = mapper;
    r.PrgRomSize = prg;
    r.ChrRomSize = chr;
    r.Mirroring = std::move(mirroring);
    return r;
  };
  const std::vector<TROMInfo> written = {
      rom("Plain.nes", 0x12345678, korva::kSourceINesHeader, 3, 16384, 32768, "h"),
      rom("sub/Deep Game.zip", 0x0000AAAA, korva::kSourceHeaderDatabase),  // no INES: the database knows it
      rom("line\rend & <more>.nes", 0xFFFFFFFF, korva::kSourceINesHeader),
      rom("Spiel \xC3\xBC.nes", 0x00000001, korva::kSourceINesHeader, 87),
  };
  korva::RomDatabaseWriter writer(dir.path());
  for (const TROMInfo& r : written) {
    dir.Write(r.Filename, "x");
    writer.Add(r);
  }
  const std::string path = dir / "out/korva_db.xml";  // its directory is made
  korva::WriteRomDatabase(path, writer.Text());
  EXPECT_EQ(korva::CountRomDatabaseEntries(path), 4);

  const Loaded r = Load(path);
  EXPECT_FALSE(r.load.OutOfSync);
  EXPECT_EQ(r.library.ROMPath, dir.path());
  ASSERT_EQ(r.library.ROMList.size(), written.size());
  for (std::size_t i = 0; i < written.size(); ++i) {
    const TROMInfo& back = r.library.ROMList[i];
    const TROMInfo expected = i == 1 ? SmallHeaderDb().Find(0x0000AAAA) : written[i];
    EXPECT_EQ(back.Filename, written[i].Filename);
    EXPECT_EQ(back.CRC32, written[i].CRC32);
    EXPECT_EQ(std::tie(back.Mapper, back.PrgRomSize, back.ChrRomSize, back.Mirroring),
              std::tie(expected.Mapper, expected.PrgRomSize, expected.ChrRomSize, expected.Mirroring))
        << written[i].Filename;
  }
  EXPECT_EQ(r.library.ROMNames[1], "sub/Deep Game");

  // What is no ROM database file counts as none.
  dir.Write("corrupt.xml", Database(dir.path(), Rom("00000001", "Plain.nes"), "korva"));
  dir.Write("broken.xml", "<KORVA><ROMDB>");
  for (const char* name : {"missing.xml", "corrupt.xml", "broken.xml"})
    EXPECT_EQ(korva::CountRomDatabaseEntries(dir / name), -1) << name;
}
