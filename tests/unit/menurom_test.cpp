// The built-in menu program template: its size, its patch header and the
// structures the header names, in the state the image builder expects.
#include "romlib/Assets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>

namespace {

constexpr std::size_t kHeader = 10;
constexpr std::size_t kPrg = 16384;
constexpr std::size_t kChr = 8192;

std::uint16_t Word(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

// The byte that CPU address `addr` names, from the menu PRG.
std::uint8_t Cpu(std::span<const std::uint8_t> t, unsigned addr) { return t[kHeader + (addr - 0xC000)]; }

TEST(MenuTemplate, IsFoundCaseBlindAndHasTheTemplateSize) {
  const auto t = korva::FindAsset("MenuROM");
  ASSERT_EQ(t.size(), kHeader + kPrg + kChr);
}

TEST(MenuTemplate, HeaderAddressesLieInTheMenuPrgWithRoomForTheirStructures) {
  const auto t = korva::FindAsset("MENUROM");
  ASSERT_EQ(t.size(), 24586u);
  const unsigned sizes[5] = {25, 25, 1, 32, 96};
  for (int i = 0; i < 5; ++i) {
    const unsigned a = Word(t, 2 * i);
    EXPECT_GE(a, 0xC000u) << i;
    EXPECT_LE(a + sizes[i], 0x10000u) << i;
  }
  // The structures follow one another as the builder's documentation gives them.
  EXPECT_EQ(Word(t, 0), 0xEBC2);
  EXPECT_EQ(Word(t, 2), 0xEBDB);
  EXPECT_EQ(Word(t, 4), 0xEBF4);
  EXPECT_EQ(Word(t, 6), 0xEBF5);
  EXPECT_EQ(Word(t, 8), 0xEC15);
}

TEST(MenuTemplate, StructuresAreInTheirTemplateState) {
  const auto t = korva::FindAsset("MENUROM");
  ASSERT_EQ(t.size(), 24586u);
  for (int line = 0; line < 2; ++line) {
    const unsigned a = Word(t, 2 * line);
    for (unsigned i = 0; i < 24; ++i) EXPECT_EQ(Cpu(t, a + i), 0x20) << "line " << line << " byte " << i;
    EXPECT_EQ(Cpu(t, a + 24), 0x00);
  }
  const unsigned slots = Word(t, 8);
  for (unsigned i = 0; i < 96; ++i) EXPECT_EQ(Cpu(t, slots + i), 0) << i;

  const unsigned pointers = Word(t, 6);
  for (unsigned n = 0; n < 16; ++n) {
    const unsigned entry = Cpu(t, pointers + 2 * n) | (Cpu(t, pointers + 2 * n + 1) << 8);
    ASSERT_GE(entry, 0xC000u);
    ASSERT_LE(entry + 24, 0x10000u);
    for (unsigned i = 0; i < 19; ++i) EXPECT_EQ(Cpu(t, entry + 4 + i), '%') << "slot " << n + 1;
    EXPECT_EQ(Cpu(t, entry + 23), 0x00) << "slot " << n + 1;
    // Our own bytes: the title's name table address and the slot number.
    const unsigned ppu = Cpu(t, entry) | (Cpu(t, entry + 1) << 8);
    EXPECT_EQ(ppu, 0x2000u + (7 + n) * 32 + 6);
    EXPECT_EQ(Cpu(t, entry + 2), n + 1);
  }
}

TEST(MenuTemplate, VectorsPointIntoTheMenuAndFontHasGlyphs) {
  const auto t = korva::FindAsset("MENUROM");
  ASSERT_EQ(t.size(), 24586u);
  for (unsigned v = 0xFFFA; v < 0x10000; v += 2) {
    const unsigned target = Cpu(t, v) | (Cpu(t, v + 1) << 8);
    EXPECT_GE(target, 0xC000u) << std::hex << v;
    EXPECT_LT(target, 0xEBC2u) << std::hex << v;  // code lies below the patched structures
  }
  const auto chr = t.subspan(kHeader + kPrg);
  auto tileBlank = [&](unsigned tile) {
    for (unsigned i = 0; i < 16; ++i)
      if (chr[tile * 16 + i] != 0) return false;
    return true;
  };
  EXPECT_TRUE(tileBlank(0x20));  // space
  for (unsigned c = 'A'; c <= 'Z'; ++c) EXPECT_FALSE(tileBlank(c)) << char(c);
  for (unsigned c = '0'; c <= '9'; ++c) EXPECT_FALSE(tileBlank(c)) << char(c);
  EXPECT_FALSE(tileBlank('%'));  // the dot leader
  for (unsigned icon = 0x80; icon < 0x87; ++icon) EXPECT_FALSE(tileBlank(icon)) << icon;
}

}  // namespace
