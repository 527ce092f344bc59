#include "romlib/CRC.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

namespace crc = korva::crc;

namespace {

const char kCheck[] = "123456789";

// Check values for "123456789": the CRC catalogue's for the named models,
// the engine's own (computed bit by bit) for the others.
struct Expected {
  int Preset;
  std::uint32_t Check;
};
const Expected kExpected[] = {
    {0, 0x07},       {1, 0x391},      {2, 0xC61},        {3, 0xBB3D},       {4, 0xE5CC},
    {5, 0x0C73},     {6, 0x21CF02},   {7, 0x7DC08C09},   {8, 0xCBF43926},   {9, 0x340BC6D9},
};

}  // namespace

TEST(CRC, EveryPresetGivesItsCheckValue) {
  for (const Expected& e : kExpected) {
    EXPECT_EQ(crc::OneShot(e.Preset, kCheck, 9), e.Check) << "preset " << e.Preset;
  }
}

TEST(CRC, SplitUpdateEqualsOneUpdate) {
  for (const Expected& e : kExpected) {
    crc::CRCContext ctx;
    ASSERT_TRUE(crc::InitPreset(ctx, e.Preset));
    crc::Update(ctx, "1234", 4);
    EXPECT_EQ(crc::Update(ctx, "56789", 5), e.Check) << "preset " << e.Preset;
  }
}

TEST(CRC, NoDataReturnsTheRawRegister) {
  EXPECT_EQ(crc::OneShot(8, nullptr, 0), 0xFFFFFFFFu);
  EXPECT_EQ(crc::OneShot(8, kCheck, 0), 0xFFFFFFFFu);
  EXPECT_EQ(crc::OneShot(6, kCheck, 0), 0xB704CEu);
  // After data, the register is returned without the final XOR.
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::InitPreset(ctx, 8));
  const std::uint32_t finished = crc::Update(ctx, kCheck, 9);
  EXPECT_EQ(crc::Update(ctx, nullptr, 5), finished ^ 0xFFFFFFFFu);
}

TEST(CRC, NormalModelKeepsBitsAboveTheWidth) {
  // CRC-16/SPI-FUJITSU: the register grows past 16 bits while data is fed;
  // the result is masked, the raw register is not.
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::InitPreset(ctx, 4));
  EXPECT_EQ(crc::Update(ctx, kCheck, 9), 0xE5CCu);
  EXPECT_NE(ctx.Register & ~ctx.Mask, 0u);
  EXPECT_EQ(ctx.Register & ctx.Mask, 0xE5CCu);
}

TEST(CRC, WidthsOutsideEightToThirtyTwoAreRefused) {
  crc::CRCContext ctx;
  std::memset(&ctx, 0xA5, sizeof ctx);
  crc::CRCContext before = ctx;
  EXPECT_FALSE(crc::Init(ctx, 0x07, 7, 0, 0, false));
  EXPECT_FALSE(crc::Init(ctx, 0x04C11DB7, 33, 0, 0, true));
  EXPECT_FALSE(crc::Init(ctx, 0x04C11DB7, 0, 0, 0, true));
  EXPECT_EQ(std::memcmp(&ctx, &before, sizeof ctx), 0) << "a refused Init changed the context";
  EXPECT_TRUE(crc::Init(ctx, 0x07, 8, 0, 0, false));
  EXPECT_TRUE(crc::Init(ctx, 0x04C11DB7, 32, 0, 0, false));
}

TEST(CRC, PresetNumbersAreTakenModulo128) {
  crc::CRCContext ctx;
  EXPECT_FALSE(crc::InitPreset(ctx, 10));
  EXPECT_FALSE(crc::InitPreset(ctx, 127));
  EXPECT_FALSE(crc::InitPreset(ctx, -1));
  EXPECT_EQ(crc::OneShot(10, kCheck, 9), 0u);
  EXPECT_EQ(crc::OneShot(127, kCheck, 9), 0u);
  EXPECT_EQ(crc::OneShot(128, kCheck, 9), 0x07u);
  EXPECT_EQ(crc::OneShot(128 + 8, kCheck, 9), 0xCBF43926u);
  ASSERT_TRUE(crc::InitPreset(ctx, 128 * 3 + 3));
  EXPECT_EQ(ctx.Polynomial, 0x8005u);
  EXPECT_EQ(ctx.Width, 16u);
}

TEST(CRC, ContextFieldsFollowTheModel) {
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::Init(ctx, 0x864CFB, 24, 0xB704CE, 0x12, false));
  EXPECT_EQ(ctx.Register, 0xB704CEu);
  EXPECT_EQ(ctx.Reflected, 0u);
  EXPECT_EQ(ctx.Shift, 16);
  EXPECT_EQ(ctx.Mask, 0xFFFFFFu);
  EXPECT_EQ(ctx.Polynomial, 0x864CFBu);
  ASSERT_TRUE(crc::InitPreset(ctx, 8));
  EXPECT_NE(ctx.Reflected, 0u);
  EXPECT_EQ(ctx.Mask, 0xFFFFFFFFu);
  EXPECT_EQ(ctx.Table[1], 0x77073096u);  // the well-known first entry of the CRC-32 table
  EXPECT_EQ(ctx.Table[255], 0x2D02EF8Du);
}

TEST(CRC, Crc32ContinuesLikeZlib) {
  EXPECT_EQ(crc::Crc32(0, kCheck, 9), 0xCBF43926u);
  EXPECT_EQ(crc::Crc32(crc::Crc32(0, kCheck, 4), kCheck + 4, 5), 0xCBF43926u);
  EXPECT_EQ(crc::Crc32(0x12345678, nullptr, 0), 0x12345678u);
  EXPECT_EQ(crc::Crc32(0x12345678, kCheck, 9),
            crc32(0x12345678, reinterpret_cast<const Bytef*>(kCheck), 9));
}
