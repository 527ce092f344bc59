// The PlayChoice-10 character set and the instruction ROM image. The byte
// sequences of the new-project texts are worked out by hand from the code
// table (digits 0-9, letters 10-35, "." 36 ... "+" 60, blank 63).
#include "builder/InstRom.h"
#include "builder/PC10_Charset.h"

#include <gtest/gtest.h>

#include <random>

namespace korva {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Hex(const char* text) {
  Bytes out;
  for (const char* p = text; *p;) {
    if (*p == ' ') { ++p; continue; }
    out.push_back(static_cast<std::uint8_t>(std::stoul(std::string(p, 2), nullptr, 16)));
    p += 2;
  }
  return out;
}

Bytes At(const Bytes& image, std::size_t offset, std::size_t n = 24) {
  return Bytes(image.begin() + static_cast<std::ptrdiff_t>(offset), image.begin() + static_cast<std::ptrdiff_t>(offset + n));
}

Bytes TemplateOf(std::uint8_t fill) { return Bytes(kInstRomTemplateSize, fill); }

CartridgeSettings NewProjectTexts(int icons) {
  return {"GAME PAK: VOLUME 1", "PLAYCHOICE-10 COLLECTION", "   GAME PAK: VOLUME 1   ", icons};
}

TEST(PC10Charset, CodeTable) {
  EXPECT_EQ(EncodePC10Char('A'), 10);
  EXPECT_EQ(EncodePC10Char('Z'), 35);
  EXPECT_EQ(EncodePC10Char('0'), 0);
  EXPECT_EQ(EncodePC10Char('9'), 9);
  EXPECT_EQ(EncodePC10Char('.'), 36);
  EXPECT_EQ(EncodePC10Char('\''), 37);
  EXPECT_EQ(EncodePC10Char('!'), 38);
  EXPECT_EQ(EncodePC10Char('-'), 39);
  EXPECT_EQ(EncodePC10Char(','), 42);
  EXPECT_EQ(EncodePC10Char(':'), 43);
  EXPECT_EQ(EncodePC10Char('+'), 60);
}

TEST(PC10Charset, EverythingElseIsBlank) {
  EXPECT_EQ(EncodePC10Char('a'), 63);
  for (char c : std::string(" ?()/&#$*<=>")) EXPECT_EQ(EncodePC10Char(c), 63) << c;
  for (int b : {0x00, 0x7F, 0xFF, 0x7B, 0x40, 0x5B}) EXPECT_EQ(EncodePC10Char(static_cast<char>(b)), 63) << b;
  // Codes 40, 41, 44-59, 61, 62 and above 63 come from no character.
  for (int b = 0; b < 256; ++b) {
    const int code = EncodePC10Char(static_cast<char>(b));
    EXPECT_TRUE(code <= 39 || code == 42 || code == 43 || code == 60 || code == 63) << b;
  }
}

TEST(InstRomImage, NewProjectFieldsByteForByte) {
  const Bytes image = BuildInstRomImage(TemplateOf(0x00), NewProjectTexts(1));
  EXPECT_EQ(At(image, 1056), Hex("3F 10 0A 16 0E 3F 19 0A 14 2B 3F 1F 18 15 1E 16 0E 3F 01 3F FB FC FD FE"));
  EXPECT_EQ(At(image, 33), Hex("19 15 0A 22 0C 11 18 12 0C 0E 27 01 00 3F 0C 18 15 15 0E 0C 1D 12 18 17"));
  EXPECT_EQ(At(image, 66), Hex("3F 3F 3F 10 0A 16 0E 3F 19 0A 14 2B 3F 1F 18 15 1E 16 0E 3F 01 3F 3F 3F"));
  EXPECT_EQ(At(BuildInstRomImage(TemplateOf(0), NewProjectTexts(0)), 1056 + 20, 4), Hex("3F 3F 3F 3F"));
  EXPECT_EQ(At(BuildInstRomImage(TemplateOf(0), NewProjectTexts(2)), 1056 + 20, 4), Hex("7D F9 3F 3F"));
}

TEST(InstRomImage, SizeFillAndUntouchedTemplate) {
  Bytes tmpl(kInstRomTemplateSize);
  for (std::size_t i = 0; i < tmpl.size(); ++i) tmpl[i] = static_cast<std::uint8_t>(i * 13 + 1);
  const Bytes image = BuildInstRomImage(tmpl, NewProjectTexts(1));
  ASSERT_EQ(image.size(), 131072u);
  for (std::size_t i = 8192; i < image.size(); ++i) ASSERT_EQ(image[i], 0xFF) << i;
  for (std::size_t i = 0; i < 8191; ++i) {
    const bool patched = (i >= 33 && i < 57) || (i >= 66 && i < 90) || (i >= 1056 && i < 1080);
    if (!patched) {
      ASSERT_EQ(image[i], tmpl[i]) << i;
    }
  }
  EXPECT_THROW(BuildInstRomImage(Bytes(8191), NewProjectTexts(1)), std::invalid_argument);
}

TEST(InstRomImage, ChecksumComesOutOnRandomTexts) {
  std::mt19937 rng(20261207);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .'!-,:+?()abc";
  const auto text = [&](std::size_t maxLength) {
    std::string s(rng() % (maxLength + 1), ' ');
    for (char& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
  };
  for (int round = 0; round < 200; ++round) {
    Bytes tmpl(kInstRomTemplateSize);
    for (auto& b : tmpl) b = static_cast<std::uint8_t>(rng());
    const CartridgeSettings cart{text(21), text(26), text(26), static_cast<int>(rng() % 4)};
    const Bytes image = BuildInstRomImage(tmpl, cart);
    ASSERT_EQ(InstRomChecksum(image), 0xC9) << "round " << round;
  }
}

TEST(InstRomImage, ChecksumDetectsADamagedChecksumByte) {
  Bytes image = BuildInstRomImage(TemplateOf(0x3F), NewProjectTexts(1));
  ASSERT_EQ(InstRomChecksum(image), 0xC9);
  image[0x1FFF] ^= 0x01;
  EXPECT_NE(InstRomChecksum(image), 0xC9);
  // A template that already carries the right byte is left as it is.
  Bytes tmpl(image.begin(), image.begin() + 8192);
  tmpl[0x1FFF] ^= 0x01;
  EXPECT_EQ(BuildInstRomImage(tmpl, NewProjectTexts(1)), BuildInstRomImage(TemplateOf(0x3F), NewProjectTexts(1)));
}

TEST(TitleLine, FillAndIconsForShortTitles) {
  for (std::size_t length = 0; length <= 17; ++length) {
    const std::string title(length, 'A');
    for (int mode : {0, 1, 2}) {
      const Bytes line = TitleLineCodes(title, mode);
      ASSERT_EQ(line.size(), 24u);
      EXPECT_EQ(line[0], 0x3F);
      for (std::size_t i = 1; i <= length; ++i) EXPECT_EQ(line[i], 10);
      EXPECT_EQ(line[length + 1], 0x3F);
      const std::size_t lastFill = mode == 2 ? 18 : 19;
      for (std::size_t i = length + 2; i <= lastFill; ++i) EXPECT_EQ(line[i], 0x3E) << length << " " << mode << " " << i;
    }
    EXPECT_EQ(TitleLineCodes(title, 0)[20], 0x3F);
    EXPECT_EQ(TitleLineCodes(title, 2)[19], 0x3F);
  }
}

TEST(TitleLine, NineteenCharactersAndEmpty) {
  const std::string title = "ABCDEFGHIJKLMNOPQRS";
  Bytes twoPlayer = TitleLineCodes(title, 1);
  EXPECT_EQ(twoPlayer[0], 0x3F);
  for (std::size_t i = 0; i < 19; ++i) EXPECT_EQ(twoPlayer[i + 1], 10 + i);
  EXPECT_EQ(At(twoPlayer, 20, 4), Hex("FB FC FD FE"));
  Bytes gun = TitleLineCodes(title, 2);
  for (std::size_t i = 0; i < 18; ++i) EXPECT_EQ(gun[i + 1], 10 + i);
  EXPECT_EQ(At(gun, 19, 5), Hex("3F 7D F9 3F 3F"));

  Bytes empty = TitleLineCodes("", 0);
  EXPECT_EQ(empty[0], 0x3F);
  EXPECT_EQ(empty[1], 0x3F);
  for (std::size_t i = 2; i <= 19; ++i) EXPECT_EQ(empty[i], 0x3E);
  EXPECT_EQ(At(empty, 20, 4), Hex("3F 3F 3F 3F"));
  // An unknown mode adds no icon: the fill runs to position 20.
  EXPECT_EQ(TitleLineCodes("", 7)[20], 0x3E);
}

TEST(InstRomImage, LongTitleKeepsTheTemplateLine) {
  CartridgeSettings cart = NewProjectTexts(1);
  cart.CartTitle = std::string(20, 'X');
  const Bytes image = BuildInstRomImage(TemplateOf(0x55), cart);
  EXPECT_EQ(At(image, 1056), Bytes(24, 0x55));
}

TEST(InstLine, BlanksCutAndLowerCase) {
  EXPECT_EQ(InstLineCodes(""), Bytes(24, 0x3F));
  EXPECT_EQ(InstLineCodes("ab"), Bytes(24, 0x3F));
  const Bytes line = InstLineCodes("0123456789ABCDEFGHIJKLMNOPQ");
  ASSERT_EQ(line.size(), 24u);
  EXPECT_EQ(line[23], 10 + 13);
}

}  // namespace
}  // namespace korva
