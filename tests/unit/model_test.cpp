// The project model: the title character set, SanitizeTitle, NewProject and
// the caption, error box and ROM information texts.
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

// What a title field keeps of a text given whole, and what it says it left out.
TEST(FilterTitleField, KeepsTheSetUpperCasesCutsAndNamesWhatItDropped) {
  const struct {
    const char* text;
    std::size_t maxLength;
    const char* kept;
    std::vector<std::string> dropped;
    std::size_t length;  // before the cut
  } cases[] = {
      {"my cart", 19, "MY CART", {}, 7},
      {"Tom's, Hat; 2,", 19, "TOM'S HAT 2", {",", ";"}, 11},
      {"Caf\xc3\xa9 \xc3\xa0 la caf\xc3\xa9", 19, "CAF  LA CAF", {"\xc3\xa9", "\xc3\xa0"}, 11},
      {"A\x03" "B\x16" "C\tD", 19, "ABCD", {"\x03", "\x16", "\t"}, 4},
      {"Robo Rescue Squad 2 Turbo", 19, "ROBO RESCUE SQUAD 2", {}, 25},
      {"   GAME PAK: VOLUME 1   ", 24, "   GAME PAK: VOLUME 1   ", {}, 24},
      {"(Hack) Sky", 19, "(HACK) SKY", {}, 10},  // no cut at "(": that is the ROM name rule
      {"\xff\xfe", 19, "", {"\xff", "\xfe"}, 0},
  };
  for (const auto& c : cases) {
    const TitleFieldText field = FilterTitleField(c.text, c.maxLength);
    EXPECT_EQ(field.Text, c.kept) << c.text;
    EXPECT_EQ(field.Dropped, c.dropped) << c.text;
    EXPECT_EQ(field.Length, c.length) << c.text;
    EXPECT_EQ(field.Cut(), c.length > c.maxLength) << c.text;
  }
}

TEST(TitleCharacterSet, MembersAndNonMembers) {
  for (unsigned char c : std::string("AZaz09 !#$&'()*+-./:<=>?\x03\x08\x16")) EXPECT_TRUE(IsTitleChar(c)) << int(c);
  for (unsigned char c : std::string("\"%,;@[\\]^_{|}~`\x7f\x01\x0a\x0d\x80\xff")) EXPECT_FALSE(IsTitleChar(c)) << int(c);
  EXPECT_FALSE(IsTitleChar(0));
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
  testing::MessageLog ui;
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
  EXPECT_EQ(ui.captions, std::vector<std::string>{"New Project"});
  EXPECT_EQ(ui.status, std::vector<std::string>{"New project created!|2"});
}

TEST(CaptionText, NewProjectAndFileNames) {
  EXPECT_EQ(CaptionText("New Project"), "KORVA Builder [Build 12] - (New Project)");
  EXPECT_EQ(CaptionText("/x/a\\set1.korva"), "KORVA Builder [Build 12] - (a\\set1.korva)");
  EXPECT_EQ(CaptionText("/home/u/sets/set2.korva"), "KORVA Builder [Build 12] - (set2.korva)");
  EXPECT_EQ(CaptionText("/x/my:set3.korva"), "KORVA Builder [Build 12] - (my:set3.korva)");
}

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorBoxText("Cannot open file"), "Cannot open file.");
  EXPECT_EQ(ErrorBoxText("Done!"), "Done!");
  EXPECT_EQ(ErrorBoxText("Done."), "Done.");
  EXPECT_EQ(ErrorBoxText("code 7"), "code 7.");  // '7' is above '.'
  EXPECT_EQ(ErrorBoxText("a-"), "a-");         // '-' is below '.'
  EXPECT_EQ(ErrorBoxText(""), "");
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
