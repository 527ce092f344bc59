// The project model: the title character set, SanitizeTitle, NewProject and
// the ROM information text.
#include "project/Model.h"

#include "BuildFixtures.h"

#include <gtest/gtest.h>

namespace korva {
namespace {

TEST(SanitizeTitle, KnownNames) {
  EXPECT_EQ(SanitizeTitle("Rocket Rally (USA) [!]", 19), "ROCKET RALLY");
  EXPECT_EQ(SanitizeTitle("Tom's Hard-Hat, Part 2 (E)", 19), "TOM'S HARD-HAT PART");
  EXPECT_EQ(SanitizeTitle("Star Voyager; Deluxe Edition", 19), "STAR VOYAGER DELUXE");
  EXPECT_EQ(SanitizeTitle("(Hack) Sky Race", 19), "");
  EXPECT_EQ(SanitizeTitle("Star_Quest 2", 19), "STARQUEST 2");
}

TEST(SanitizeTitle, TrimsOnlyWhenAParenthesisWasCut) {
  EXPECT_EQ(SanitizeTitle("  Sky Race", 19), "  SKY RACE");
  EXPECT_EQ(SanitizeTitle("  Sky Race  (J)", 19), "SKY RACE");
  EXPECT_EQ(SanitizeTitle("Sky Race   ", 19), "SKY RACE   ");
}

TEST(SanitizeTitle, DropsCharactersOutsideTheSetAndCuts) {
  EXPECT_EQ(SanitizeTitle("a\"b%c,d;e@f[g\\h]i^j_k{l|m}n~o`p\x7fq\xc3\xa9r", 30), "ABCDEFGHIJKLMNOPQR");
  EXPECT_EQ(SanitizeTitle("abcdefghijklmnopqrstuvwxyz", 19), "ABCDEFGHIJKLMNOPQRS");
  EXPECT_EQ(SanitizeTitle("PLAYCHOICE-10 COLLECTION AND MORE", 24), "PLAYCHOICE-10 COLLECTION");
  EXPECT_EQ(SanitizeTitle("!#$&'*+-./:<=>?", 19), "!#$&'*+-./:<=>?");
}

TEST(TitleCharacterSet, MembersAndNonMembers) {
  for (unsigned char c : std::string("AZaz09 !#$&'()*+-./:<=>?\x03\x08\x16")) EXPECT_TRUE(IsTitleChar(c)) << int(c);
  for (unsigned char c : std::string("\"%,;@[\\]^_{|}~`\x7f\x01\x0a\x0d\x80\xff")) EXPECT_FALSE(IsTitleChar(c)) << int(c);
  EXPECT_FALSE(IsTitleChar(0));
}

// Typed, pasted or given on the command line: accents go before the filter,
// and what the filter still drops is listed once each.
TEST(CleanTitleText, PlainLettersFirstThenTheFilter) {
  struct Case {
    const char* in;
    const char* text;
    std::vector<std::string> dropped;
  };
  const Case cases[] = {
      {"Caf\xc3\xa9 cr\xc3\xa8me", "CAFE CREME", {}},
      {"\xc3\x86sir Stra\xc3\x9f" "e \xc5\x81\xc3\xb3" "d\xc5\xba \xe1\xba\xa0", "AESIR STRASSE LODZ A", {}},
      {"\xe2\x80\x9cRock\xe2\x80\x9d \xe2\x80\x93 it\xe2\x80\x99s\xe2\x80\xa6", "ROCK - IT'S...", {"\""}},
      {"\xef\xbc\xa1\xef\xbc\x91\xc2\xa0x\ty\r\nz\xc2\xad", "A1 X Y  Z", {}},
      {"a,b;c,d\xe2\x82\xac" "e\xe2\x82\xac", "ABCDE", {",", ";", "\xe2\x82\xac"}},
      {"ok\xff\xc3", "OK", {"\xef\xbf\xbd"}},
      {"\x01\x03\x7f(x)", "(X)", {}},
  };
  for (const Case& c : cases) {
    const CleanedTitle cleaned = CleanTitleText(c.in);
    EXPECT_EQ(cleaned.Text, c.text) << c.in;
    EXPECT_EQ(cleaned.Dropped, c.dropped) << c.in;
  }
  EXPECT_EQ(PlainLetters("\xc3\xa9t\xc3\xa9 \xe2\x82\xac"), "ete \xe2\x82\xac");  // no plain form: kept
}

TEST(NewProject, ResetsEverythingAndTellsTheUser) {
  Project p;
  p.slot(3).ROMIndex = 5;
  p.slot(3).Title = "X";
  p.slot(16).Icon = 3;
  p.Cartridge.CartTitle = "OTHER";
  p.Cartridge.Icons = 2;
  p.ProjectFileName = "/tmp/a.korva";
  p.ProjectModified = true;
  test::RecordingUI ui;
  NewProject(p, ui);
  for (int n = 1; n <= SlotCount; ++n) {
    EXPECT_EQ(p.slot(n).ROMIndex, -1);
    EXPECT_EQ(p.slot(n).Icon, 0);
    EXPECT_TRUE(p.slot(n).Title.empty());
  }
  EXPECT_EQ(p.Cartridge.CartTitle, "GAME PAK: VOLUME 1");
  EXPECT_EQ(p.Cartridge.InstLine1, "PLAYCHOICE-10 COLLECTION");
  EXPECT_EQ(p.Cartridge.InstLine2, "   GAME PAK: VOLUME 1   ");
  EXPECT_EQ(p.Cartridge.InstLine2.size(), 24u);
  EXPECT_EQ(p.Cartridge.Icons, 1);
  EXPECT_TRUE(p.ProjectFileName.empty());
  EXPECT_FALSE(p.ProjectModified);
  EXPECT_EQ(ui.Statuses(), (std::vector<std::pair<std::string, int>>{{"New project created!", 2}}));
}

TEST(ROMInfoText, WholeKilobytesOrEmpty) {
  TROMInfo rom;
  EXPECT_EQ(ROMInfoText(rom), "");
  rom.Mapper = 0;
  rom.ListIndex = 0;
  rom.PrgRomSize = 32768;
  rom.ChrRomSize = 24576 + 1000;
  EXPECT_EQ(ROMInfoText(rom), "(PRG 32kb / CHR 24kb)");
}

}  // namespace
}  // namespace korva
