// The PRG and CHR images: the three-pass placement, the patched menu
// template, the game data, the fill, and every refusal (which leaves no
// images).
#include "builder/ImageBuilder.h"

#include "BuildFixtures.h"
#include "TestArchives.h"
#include "builder/InstRom.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korva {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

constexpr int kHalf = 0, kFull32 = 1, kFull16 = 2;  // kinds of generated games

TROMInfo Record(int kind) {
  TROMInfo rom;
  rom.Mapper = 0;
  rom.Timing = "NesNtsc";
  rom.PrgRomSize = kind == kFull32 ? 32768 : 16384;
  rom.ChrRomSize = kind == kFull16 ? 16384 : (kind == kFull32 ? 32768 : 8192);
  return rom;
}

// Places a game of kind `fill` in every slot but those (index 0-15) that `others` gives a kind of their own.
Placement PlaceKinds(int fill, std::initializer_list<std::pair<int, int>> others = {}) {
  std::array<TROMInfo, 16> records;
  std::array<const TROMInfo*, 16> roms{};
  for (int i = 0; i < 16; ++i) records[i] = Record(fill), roms[i] = &records[i];
  for (const auto& [i, kind] : others) records[i] = Record(kind);
  return PlaceGames(roms, {});
}

TEST(Placement, AllHalfBankGames) {
  const Placement p = PlaceKinds(kHalf);
  EXPECT_EQ(p[0].PrgBank, 0);
  EXPECT_EQ(p[0].ChrBank, 1);
  EXPECT_EQ(p[0].PrgOffset, 0u);
  EXPECT_EQ(p[0].ChrOffset, 0x2000u);
  for (int i = 1; i < 16; ++i) {
    EXPECT_EQ(p[i].PrgBank, i + 1) << i;
    EXPECT_EQ(p[i].ChrBank, i + 1) << i;
    EXPECT_EQ(p[i].HalfBank, 1);
  }
  EXPECT_EQ(p[15].PrgOffset + 16384, 0x44000u);
  EXPECT_EQ(p[15].ChrOffset + 8192, 0x22000u);
}

TEST(Placement, OneHalfBankGameAndFifteenFullEndAtTheImageEnd) {
  const Placement p = PlaceKinds(kFull32, {{6, kHalf}});
  EXPECT_EQ(p[6].PrgBank, 0);
  EXPECT_EQ(p[6].ChrBank, 1);
  EXPECT_EQ(p[6].HalfBank, 1);
  int k = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 6) continue;
    ++k;
    EXPECT_EQ(p[i].PrgBank, 2 * k) << i;
    EXPECT_EQ(p[i].ChrBank, 4 * k) << i;
    EXPECT_EQ(p[i].HalfBank, 0);
  }
  EXPECT_EQ(p[15].PrgOffset + 0x8000, 0x80000u);
  EXPECT_EQ(p[15].ChrOffset + 0x8000, 0x80000u);
}

TEST(Placement, MixedCase) {
  const Placement p = PlaceKinds(kFull32, {{1, kHalf}, {2, kHalf}});
  EXPECT_EQ(p[1].PrgOffset, 0u);
  EXPECT_EQ(p[1].ChrOffset, 0x2000u);
  EXPECT_EQ(p[2].PrgOffset, 0x8000u);
  EXPECT_EQ(p[2].PrgBank, 2);
  EXPECT_EQ(p[2].ChrOffset, 0x4000u);
  EXPECT_EQ(p[2].ChrBank, 2);
  EXPECT_EQ(p[0].PrgOffset, 0x10000u);
  EXPECT_EQ(p[0].PrgBank, 4);
  EXPECT_EQ(p[0].ChrOffset, 0x8000u);
  EXPECT_EQ(p[0].ChrBank, 4);
  EXPECT_EQ(p[3].PrgOffset, 0x18000u);
  EXPECT_EQ(p[3].ChrBank, 8);
  for (int i = 4; i < 16; ++i) {
    EXPECT_EQ(p[i].PrgOffset, p[i - 1].PrgOffset + 0x8000) << i;
    EXPECT_EQ(p[i].ChrOffset, p[i - 1].ChrOffset + 0x8000) << i;
  }
}

TEST(Placement, SixteenKilobytePrgWithLargeChrIsAFullBankGame) {
  const Placement p = PlaceKinds(kFull16, {{0, kHalf}});
  EXPECT_EQ(p[1].HalfBank, 0);
  EXPECT_EQ(p[1].PrgOffset, 0x8000u);
  EXPECT_EQ(p[2].PrgOffset, 0x10000u);  // a whole 32 KB bank each
  EXPECT_EQ(p[1].ChrOffset, 0x8000u);
}

// The figures and the refusals of the fit, without building: -1 is an empty
// slot, 3 and 4 games the cartridge cannot take (PRG 64 KB; PAL timing).
TEST(Fit, FiguresAndWhatStopsTheBuild) {
  constexpr int kEmpty = -1, kTooBig = 3, kPal = 4;
  struct Case {
    std::vector<std::pair<int, int>> slots;  // slot (1-16), kind; the rest empty
    int fill;                                // kind of every other slot
    std::uint32_t prgKb, chrKb;
    bool halfBank;
    int unusable, overflow;
  };
  const Case cases[] = {
      {{}, kEmpty, 32, 8, false, 0, 0},                          // the menu alone
      {{{5, kHalf}}, kEmpty, 32, 16, true, 0, 0},                // shares the menu's bank
      {{{1, kFull32}}, kEmpty, 64, 64, false, 0, 0},             // fits, but no half-bank game
      {{{7, kHalf}}, kFull32, 512, 512, true, 0, 0},             // exactly full
      {{}, kFull32, 544, 544, false, 0, 16},                     // slot 16 ends past the image
      {{{1, kHalf}, {2, kHalf}}, kFull16, 64 + 13 * 32 + 16, 32 + 13 * 32 + 16, true, 0, 0},
      {{{1, kHalf}, {9, kTooBig}}, kEmpty, 96, 64, true, 9, 0},
      {{{1, kHalf}, {4, kPal}}, kEmpty, 64, 64, true, 4, 0},  // the whole compatibility rule
  };
  for (const Case& c : cases) {
    std::array<TROMInfo, 16> records;
    std::array<const TROMInfo*, 16> roms{};
    std::array<int, 16> kinds{};
    kinds.fill(c.fill);
    for (auto [slot, kind] : c.slots) kinds[slot - 1] = kind;
    for (int i = 0; i < 16; ++i) {
      if (kinds[i] == kEmpty) continue;
      records[i] = Record(kinds[i] == kTooBig || kinds[i] == kPal ? kFull32 : kinds[i]);
      if (kinds[i] == kTooBig) records[i].PrgRomSize = 65536;
      if (kinds[i] == kPal) records[i].Timing = "NesPal";
      roms[i] = &records[i];
    }
    const CartridgeFit fit = FitGames(roms);
    const auto where = "case " + std::to_string(&c - cases);
    EXPECT_EQ(fit.PrgUsed, c.prgKb * 1024) << where;
    EXPECT_EQ(fit.ChrUsed, c.chrKb * 1024) << where;
    EXPECT_EQ(fit.HasHalfBankGame, c.halfBank) << where;
    EXPECT_EQ(fit.UnusableSlot, c.unusable) << where;
    EXPECT_EQ(fit.OverflowSlot, c.overflow) << where;
    EXPECT_EQ(fit.Buildable(), c.halfBank && !c.unusable && !c.overflow) << where;
    EXPECT_EQ(fit.Slots[0].PrgOffset, PlaceGames(roms, {})[0].PrgOffset) << where;
  }
}

TEST(MenuTitle, Padding) {
  EXPECT_EQ(MenuTitleText(""), " %%%%%%%%%%%%%%%%%");
  EXPECT_EQ(MenuTitleText(std::string(16, 'A')), std::string(16, 'A') + " %");
  EXPECT_EQ(MenuTitleText(std::string(17, 'A')), std::string(17, 'A') + " ");
  EXPECT_EQ(MenuTitleText(std::string(18, 'A')), std::string(18, 'A') + " ");
  EXPECT_EQ(MenuTitleText(std::string(19, 'A')), std::string(19, 'A'));
  EXPECT_EQ(MenuTitleText(std::string(25, 'A')), std::string(19, 'A'));  // never past the field
}

// A workspace with sixteen generated games on disk.
class BuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ws.Library.ROMPath = dir.path();
    templates.MenuRom = test::MakeMenuTemplate();
    templates.InstRom.assign(kInstRomTemplateSize, 0x3F);
    templates.MenuRomSource = "test menu";
    templates.InstRomSource = "test inst";
    test::RecordingUI quiet;
    NewProject(ws.Proj, quiet);
  }

  // Slot n (1-16) gets a generated game of `kind`; its PRG bytes are 0x10+n,
  // its CHR bytes 0x80+n.
  void Game(int n, int kind, const std::string& mirroring = "h", int mapper = 0, std::size_t cut = 0,
            const std::string& ext = ".nes") {
    const int prgUnits = kind == kFull32 ? 2 : 1;
    const int chrUnits = kind == kFull16 ? 2 : (kind == kFull32 ? 4 : 1);
    const std::string name = "game" + std::to_string(n) + ext;
    const Bytes image = test::FilledINesImage(prgUnits, chrUnits, mapper, mirroring == "v",
                                              static_cast<std::uint8_t>(0x10 + n), static_cast<std::uint8_t>(0x80 + n), cut);
    dir.Write(name, image);
    const int index =
        test::AddRom(ws, name, test::DataCrc(image), prgUnits * 16384, chrUnits * 8192, mapper, mirroring);
    ws.Proj.slot(n).ROMIndex = index;
    ws.Proj.slot(n).Title = "GAME " + std::to_string(n);
    ws.Proj.slot(n).Icon = n % 4;
  }
  void AllGames(int kindOfOthers, int halfSlot = 1) {
    for (int n = 1; n <= 16; ++n) Game(n, n == halfSlot ? kHalf : kindOfOthers);
  }
  bool Build() {
    built = AssembleImages(ws.Proj, ws.Library, templates);
    return built.Built();
  }
  bool NothingWritten() const {
    return built.Images.Prg.empty() && built.Images.Chr.empty() && built.Images.InstRom.empty();
  }
  std::string OnlyMessage() const { return built.Refusal; }
  // Builds, which must be refused with no image written: the refusal.
  std::string Refusal() {
    EXPECT_FALSE(Build());
    EXPECT_TRUE(NothingWritten());
    return OnlyMessage();
  }

  test::TempDir dir;
  Workspace ws;
  Templates templates;
  ImageAssembly built;
};

std::size_t MenuPrg(unsigned address) { return 0x4000 + (address - 0xC000); }

TEST_F(BuildTest, MixedBuildImagesAndSlotTable) {
  // Slots 2 and 3 half-bank, the others 32 KB; slot 4 vertical with mapper 87.
  for (int n = 1; n <= 16; ++n)
    Game(n, n == 2 || n == 3 ? kHalf : kFull32, n == 4 ? "v" : (n == 5 ? "x" : "h"), n == 4 ? 87 : (n == 6 ? 3 : 0));
  ws.Proj.slot(7).Title = std::string(19, 'Q');
  ws.Proj.slot(8).Title = std::string(23, 'R');
  ws.Proj.Cartridge.InstLine1 = "pick (one)";
  ASSERT_TRUE(Build()) << OnlyMessage();

  const Bytes prg = built.Images.Prg;
  const Bytes chr = built.Images.Chr;
  const Bytes inst = built.Images.InstRom;
  ASSERT_EQ(prg.size(), 524288u);
  ASSERT_EQ(chr.size(), 524288u);
  ASSERT_EQ(inst.size(), 131072u);
  EXPECT_EQ(InstRomChecksum(inst), 0xC9);

  // The slot table: icon, mirroring, half-bank flag, PRG bank, CHR bank, mapper.
  const auto entry = [&](int n) {
    const std::size_t at = MenuPrg(test::kTestSlotTable) + 6 * static_cast<std::size_t>(n - 1);
    return Bytes(prg.begin() + static_cast<std::ptrdiff_t>(at), prg.begin() + static_cast<std::ptrdiff_t>(at + 6));
  };
  EXPECT_EQ(entry(2), (Bytes{2, 0, 1, 0, 1, 0}));
  EXPECT_EQ(entry(3), (Bytes{3, 0, 1, 2, 2, 0}));
  EXPECT_EQ(entry(1), (Bytes{1, 0, 0, 4, 4, 0}));
  EXPECT_EQ(entry(4), (Bytes{0, 1, 0, 6, 8, 87}));
  EXPECT_EQ(entry(5), (Bytes{1, 0, 0, 8, 12, 0}));  // "x" is not vertical
  EXPECT_EQ(entry(6), (Bytes{2, 0, 0, 10, 16, 3}));
  EXPECT_EQ(prg[MenuPrg(test::kTestCount)], 16);

  // Game data where the placement puts it; the menu at 0x4000 and CHR 0.
  EXPECT_EQ(prg[0x0000], 0x5A);
  EXPECT_EQ(prg[0x0001], 0x12);
  EXPECT_EQ(prg[0x3FFE], 0x12);
  EXPECT_EQ(prg[0x4000], 0xEA);  // menu PRG
  EXPECT_EQ(prg[0x7FFF], 0xEA);
  EXPECT_EQ(prg[0x8001], 0x13);  // slot 3
  EXPECT_EQ(prg[0xC000], 0xFF);  // the half bank after an odd number of second-pass games
  EXPECT_EQ(prg[0x10001], 0x11);  // slot 1
  EXPECT_EQ(prg[0x18001], 0x14);  // slot 4
  EXPECT_EQ(prg[0x7FFFF], 0x5A);  // slot 16 ends at the end of the image
  EXPECT_EQ(chr[0x0000], 0xC3);
  EXPECT_EQ(chr[0x1FFF], 0xC3);
  EXPECT_EQ(chr[0x2001], 0x82);
  EXPECT_EQ(chr[0x4001], 0x83);
  EXPECT_EQ(chr[0x6000], 0xFF);  // skipped by the alignment
  EXPECT_EQ(chr[0x8001], 0x81);
  EXPECT_EQ(chr[0x77FFF], 0x5A);  // slot 16's CHR window; two half-bank games leave 32 KB over
  EXPECT_EQ(chr[0x78000], 0xFF);

  // Titles, with the "%" filler; the template's 4 bytes before and 0x00 after stay.
  const auto title = [&](int n) {
    const std::size_t at = MenuPrg(test::kTestTitles + 24u * static_cast<unsigned>(n - 1));
    return std::string(prg.begin() + static_cast<std::ptrdiff_t>(at), prg.begin() + static_cast<std::ptrdiff_t>(at + 24));
  };
  EXPECT_EQ(title(1), "HDR!GAME 1 " + std::string(11, '%') + "%" + '\0');  // 18 written, the 19th kept
  EXPECT_EQ(title(7), "HDR!" + std::string(19, 'Q') + '\0');
  EXPECT_EQ(title(8), "HDR!" + std::string(19, 'R') + '\0');
  // Instruction lines through SanitizeTitle; the template's spaces follow.
  const std::size_t line1 = MenuPrg(test::kTestLine1);
  EXPECT_EQ(std::string(prg.begin() + static_cast<std::ptrdiff_t>(line1), prg.begin() + static_cast<std::ptrdiff_t>(line1 + 25)),
            "PICK                    " + std::string(1, '\0'));
  const std::size_t line2 = MenuPrg(test::kTestLine2);
  EXPECT_EQ(std::string(prg.begin() + static_cast<std::ptrdiff_t>(line2), prg.begin() + static_cast<std::ptrdiff_t>(line2 + 24)),
            "   GAME PAK: VOLUME 1   ");
}

TEST_F(BuildTest, AllHalfBankImagesEndInFill) {
  AllGames(kHalf);
  ASSERT_TRUE(Build()) << OnlyMessage();
  const Bytes prg = built.Images.Prg;
  const Bytes chr = built.Images.Chr;
  EXPECT_EQ(prg[0x43FFF], 0x5A);
  EXPECT_EQ(chr[0x21FFF], 0x5A);
  for (std::size_t i = 0x44000; i < prg.size(); ++i) ASSERT_EQ(prg[i], 0xFF) << i;
  for (std::size_t i = 0x22000; i < chr.size(); ++i) ASSERT_EQ(chr[i], 0xFF) << i;
}

TEST_F(BuildTest, FullBankSixteenKilobyteGameLeavesItsUpperHalfFilled) {
  AllGames(kFull16);
  ASSERT_TRUE(Build()) << OnlyMessage();
  const Bytes prg = built.Images.Prg;
  const Bytes chr = built.Images.Chr;
  EXPECT_EQ(prg[0x8001], 0x12);
  for (std::size_t i = 0xC000; i < 0x10000; ++i) ASSERT_EQ(prg[i], 0xFF) << i;
  EXPECT_EQ(chr[0x8001], 0x82);
  for (std::size_t i = 0xC000; i < 0x10000; ++i) ASSERT_EQ(chr[i], 0xFF) << i;
}

TEST_F(BuildTest, NoHalfBankGameIsRefused) {
  AllGames(kFull16, 0);
  EXPECT_EQ(Refusal(), "Cannot build rom! At least one ROM needs to be PRG 16kb");
}

TEST_F(BuildTest, ShortRomDataIsRefusedNamingSlotAndFile) {
  AllGames(kFull32);
  ws.Library.ROMList.pop_back();
  ws.Library.ROMNames.pop_back();
  Game(16, kFull32, "h", 0, 1);
  EXPECT_NE(Refusal().find("Slot 16: \"game16.nes\" has 65535 bytes of ROM data after its header (needs PRG 32768"), std::string::npos) << OnlyMessage();
}

TEST_F(BuildTest, GameChangedAfterTheScanIsRefusedWithBothCrcs) {
  // The record keeps the CRC-32 the scan found; the file changed since.
  const Bytes original = test::FilledINesImage(2, 4, 0, false, 0x15, 0x85);
  Bytes header = original;
  header[7] = 0x10;  // only the header changed: the data and its CRC are the same
  const struct {
    const char* what;
    Bytes now;
    bool refused;
  } cases[] = {
      {"another game of the same size", test::FilledINesImage(2, 4, 0, false, 0x66, 0x77), true},
      {"cut short by one byte", Bytes(original.begin(), original.end() - 1), true},
      {"one byte added", [&] { Bytes b = original; b.push_back(0); return b; }(), true},
      {"only its header", Bytes(original.begin(), original.begin() + 16), true},
      {"a new header", header, false},
  };
  AllGames(kFull32);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    dir.Write("game5.nes", c.now);
    EXPECT_EQ(Build(), !c.refused) << OnlyMessage();
    if (!c.refused) continue;
    EXPECT_EQ(OnlyMessage(), "Cannot build rom! Slot 5: \"game5.nes\" now holds data with CRC-32 " +
                                 CrcText(test::DataCrc(c.now)) + ", not " + CrcText(test::DataCrc(original)) +
                                 " as when it was scanned. Rescan the ROM directory.");
    EXPECT_TRUE(NothingWritten());
  }
}

TEST_F(BuildTest, RecordsOutsideTheScanLimitsAreRefused) {
  AllGames(kFull32);
  for (auto [prg, chr] : {std::pair{65536, 8192}, std::pair{8192, 8192}, std::pair{32768, 65536},
                          std::pair{32768, 0}, std::pair{-16384, 8192}}) {
    ws.Library.ROMList[3].PrgRomSize = prg;
    ws.Library.ROMList[3].ChrRomSize = chr;
    EXPECT_NE(Refusal().find("Slot 4: \"game4.nes\" has"), std::string::npos) << OnlyMessage();
  }
}

TEST_F(BuildTest, UnknownExtensionIsRefusedAndCaseIsIgnored) {
  for (int n = 1; n <= 16; ++n) Game(n, n == 1 ? kHalf : kFull32, "h", 0, 0, n == 2 ? ".NES" : ".nes");
  ASSERT_TRUE(Build()) << OnlyMessage();

  ws.Library.ROMList.clear();
  ws.Library.ROMNames.clear();
  for (int n = 1; n <= 16; ++n) Game(n, n == 1 ? kHalf : kFull32, "h", 0, 0, n == 9 ? ".bin" : ".nes");
  EXPECT_EQ(Refusal(), "Cannot build rom! Slot 9: \"game9.bin\" cannot be read: not a .nes or .zip file.");
}

TEST_F(BuildTest, UnreadableGamesAreRefusedNamingSlotFileAndReason) {
  AllGames(kFull32);
  dir.Write("broken.zip", Bytes(100, 0x00));
  ws.Proj.slot(3).ROMIndex = test::AddRom(ws, "broken.zip", 0x777, 32768, 32768);
  EXPECT_EQ(Refusal().rfind("Cannot build rom! Slot 3: \"broken.zip\" cannot be read: ", 0), 0u) << OnlyMessage();

  AllGames(kFull32);
  fs::remove(dir / "game12.nes");
  EXPECT_EQ(Refusal().rfind("Cannot build rom! Slot 12: \"game12.nes\" cannot be read: ", 0), 0u) << OnlyMessage();
  EXPECT_NE(OnlyMessage().find("No such file or directory"), std::string::npos) << OnlyMessage();

  // Deflate data cut in half: zlib's refusal and the check that failed.
  AllGames(kFull32);
  const Bytes image = test::ReadBytes(dir / "game3.nes");
  const Bytes deflated = korva::test::RawDeflate(image);
  korva::test::ZipBuilder zip;
  zip.Deflated("game3.nes", image).Last().useStoredOverride = true;
  zip.Last().storedOverride = Bytes(deflated.begin(), deflated.begin() + deflated.size() / 2);
  dir.Write("cut.zip", zip.Build());
  ws.Library.ROMList[static_cast<std::size_t>(ws.Proj.slot(3).ROMIndex)].Filename = "cut.zip";
  EXPECT_EQ(Refusal(), "Cannot build rom! Slot 3: \"cut.zip\" cannot be read: Error -5 during UnCompressMem "
                       "process: the deflate data of game3.nes ends early.");
}

TEST_F(BuildTest, GamesFromArchivesGiveTheSameImagesAsLooseFiles) {
  AllGames(kFull32);
  ASSERT_TRUE(Build());
  const Bytes prg = built.Images.Prg;
  const Bytes chr = built.Images.Chr;
  // Slot 5 deflated inside a folder, slot 6 stored: the same ROM data.
  for (int n : {5, 6}) {
    const std::string nes = "game" + std::to_string(n) + ".nes";
    const Bytes image = test::ReadBytes(dir / nes);
    korva::test::ZipBuilder zip;
    if (n == 5) zip.Folder("roms/").Deflated("roms/" + nes, image);
    else zip.Stored(nes, image);
    const std::string name = "GAME" + std::to_string(n) + ".ZIP";  // extensions compare case-blind
    dir.Write(name, zip.Build());
    fs::remove(dir / nes);
    ws.Library.ROMList[static_cast<std::size_t>(ws.Proj.slot(n).ROMIndex)].Filename = name;
  }
  ASSERT_TRUE(Build()) << OnlyMessage();
  EXPECT_EQ(built.Images.Prg, prg);
  EXPECT_EQ(built.Images.Chr, chr);
}

TEST_F(BuildTest, ArchiveWithTwoFilesIsRefused) {
  AllGames(kFull32);
  const Bytes image = test::ReadBytes(dir / "game4.nes");
  korva::test::ZipBuilder zip;
  zip.Stored("a.nes", image).Stored("b.nes", image);
  dir.Write("two.zip", zip.Build());
  ws.Library.ROMList[static_cast<std::size_t>(ws.Proj.slot(4).ROMIndex)].Filename = "two.zip";
  EXPECT_NE(Refusal().find("two.zip"), std::string::npos) << OnlyMessage();
  EXPECT_NE(OnlyMessage().find("Slot 4"), std::string::npos) << OnlyMessage();
}

TEST_F(BuildTest, WrongTemplatesAreRefusedBeforeAnythingIsWritten) {
  AllGames(kFull32);
  const Templates good = templates;
  const auto expectRefusal = [&](const char* fragment) {
    EXPECT_NE(Refusal().find(fragment), std::string::npos) << OnlyMessage();
    templates = good;
  };
  templates.MenuRom.pop_back();
  expectRefusal("menu program template (test menu) is 24585 bytes");
  templates.InstRom.push_back(0);
  expectRefusal("instruction ROM template (test inst) is 8193 bytes");
  templates.MenuRom[0] = 0x00, templates.MenuRom[1] = 0x80;  // instruction line 1 at 0x8000
  expectRefusal("instruction line 1 field at 0x8000");
  templates.MenuRom[8] = 0xF0, templates.MenuRom[9] = 0xFF;  // slot table would run past 0xFFFF
  expectRefusal("slot table at 0xFFF0");
  templates.MenuRom[6] = 0xF0, templates.MenuRom[7] = 0xFF;
  expectRefusal("title pointer table at 0xFFF0");
  // A title pointer that names an entry outside the menu PRG.
  const std::size_t pointer = 10 + (test::kTestPointers - 0xC000) + 2 * 5;
  templates.MenuRom[pointer] = 0xF0, templates.MenuRom[pointer + 1] = 0xFF;
  expectRefusal("title entry at 0xFFF0");
  templates.MenuRom.clear();
  expectRefusal("is 0 bytes");
  EXPECT_EQ(CheckTemplates(good), "");
}

}  // namespace
}  // namespace korva
