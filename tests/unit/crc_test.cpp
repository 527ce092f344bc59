#include "romlib/CRC.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
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

namespace {

// A bit-at-a-time model of the engine, written from the catalogue's
// definition rather than from the table code, for random-data comparisons.
std::uint32_t BitwiseModel(const crc::CRCPreset& p, const std::vector<std::uint8_t>& data) {
  const std::uint32_t top = 1u << (p.Width - 1);
  const std::uint32_t mask = 0xFFFFFFFFu >> (32 - p.Width);
  auto reflect = [](std::uint32_t v, std::uint32_t width) {
    std::uint32_t r = 0;
    for (std::uint32_t i = 0; i < width; ++i) r |= ((v >> i) & 1u) << (width - 1 - i);
    return r;
  };
  // Reflected models run the normal register on bit-reversed input and output.
  std::uint32_t reg = p.Reflected ? reflect(p.InitialValue & mask, p.Width) : p.InitialValue & mask;
  for (std::uint8_t byte : data) {
    const std::uint32_t in = p.Reflected ? reflect(byte, 8) : byte;
    for (int bit = 7; bit >= 0; --bit) {
      const bool feedback = ((reg & top) != 0) != (((in >> bit) & 1u) != 0);
      reg = (reg << 1) & mask;
      if (feedback) reg ^= p.Polynomial & mask;
    }
  }
  if (p.Reflected) reg = reflect(reg, p.Width);
  return (reg ^ p.FinalXor) & mask;
}

std::vector<std::uint8_t> RandomBytes(std::mt19937& rng, std::size_t n) {
  std::vector<std::uint8_t> out(n);
  for (auto& b : out) b = static_cast<std::uint8_t>(rng());
  return out;
}

std::vector<crc::Engine> AvailableEngines() {
  std::vector<crc::Engine> engines = {crc::Engine::TableLoop, crc::Engine::Slicing};
  if (crc::FastestEngine() == crc::Engine::Folding) engines.push_back(crc::Engine::Folding);
  return engines;
}

// The register after `data` through the plain table loop.
std::uint32_t TableLoopResult(const crc::CRCContext& init, const std::uint8_t* data, std::size_t n) {
  crc::CRCContext ctx = init;
  ctx.Speed = crc::Engine::TableLoop;
  return crc::Update(ctx, data, n);
}

}  // namespace

TEST(CRC, EveryPresetMatchesTheBitwiseModelOnRandomData) {
  std::mt19937 rng(2026);
  for (int preset = 0; preset < crc::kPresetCount; ++preset) {
    for (std::size_t n : {1u, 2u, 3u, 17u, 100u, 1000u}) {
      const auto data = RandomBytes(rng, n);
      EXPECT_EQ(crc::OneShot(preset, data.data(), n), BitwiseModel(crc::Presets[preset], data))
          << "preset " << preset << ", " << n << " bytes";
    }
  }
}

TEST(CRC, Crc32CIsTheCatalogueValue) {
  // CRC-32/ISCSI (Castagnoli), check value 0xE3069283 from the CRC catalogue:
  // a reflected 32-bit polynomial of our own choosing runs the fast engines
  // with tables that Init derives.
  for (crc::Engine engine : AvailableEngines()) {
    crc::CRCContext ctx;
    ASSERT_TRUE(crc::Init(ctx, 0x1EDC6F41, 32, 0xFFFFFFFF, 0xFFFFFFFF, true));
    ctx.Speed = engine;
    EXPECT_EQ(crc::Update(ctx, kCheck, 9), 0xE3069283u) << "engine " << static_cast<int>(engine);
  }
}

TEST(CRC, InitChoosesTheFastestEngineForReflected32BitModels) {
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::InitPreset(ctx, 8));
  EXPECT_EQ(ctx.Speed, crc::FastestEngine());
  ASSERT_TRUE(crc::InitPreset(ctx, 7));
  EXPECT_EQ(ctx.Speed, crc::FastestEngine());
  ASSERT_TRUE(crc::InitPreset(ctx, 6));
  EXPECT_EQ(ctx.Speed, crc::Engine::TableLoop);
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
  __builtin_cpu_init();
  if (__builtin_cpu_supports("pclmul")) {
    EXPECT_EQ(crc::FastestEngine(), crc::Engine::Folding);
  }
#endif
}

TEST(CRC, StandardTableEqualsTheOneTheLoopBuilds) {
  // Init takes the standard CRC-32's table ready-made; it must be the table
  // that the loop builds for the same polynomial.
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::InitPreset(ctx, 8));
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    ASSERT_EQ(ctx.Table[i], c) << "entry " << i;
  }
}

TEST(CRC, FastEnginesAgreeWithTheTableLoopAtEveryLengthAndAlignment) {
  std::mt19937 rng(1234);
  // Up to 40 KB: the slicing engine joins lanes from 12 KB on.
  const auto buffer = RandomBytes(rng, 40960 + 64);
  const std::uint32_t custom[] = {0x04C11DB7, 0x9DB11213, 0x1EDC6F41, 0x00000001, 0x80000000};
  for (std::uint32_t polynomial : custom) {
    crc::CRCContext init;
    ASSERT_TRUE(crc::Init(init, polynomial, 32, 0x5A5A1234, 0, true));
    for (int round = 0; round < 240; ++round) {
      // Every short length, around the 16- and 64-byte steps, then random
      // ones up to 8 KB and a few up to 40 KB.
      const std::size_t n = round < 150   ? static_cast<std::size_t>(round)
                            : round < 220 ? rng() % 8193
                                          : rng() % 40961;
      const std::size_t start = rng() % 64;
      const std::uint32_t expected = TableLoopResult(init, buffer.data() + start, n);
      for (crc::Engine engine : AvailableEngines()) {
        crc::CRCContext ctx = init;
        ctx.Speed = engine;
        ASSERT_EQ(crc::Update(ctx, buffer.data() + start, n), expected)
            << std::hex << "polynomial " << polynomial << std::dec << ", engine " << static_cast<int>(engine)
            << ", " << n << " bytes at offset " << start;
      }
    }
  }
}

TEST(CRC, FastEnginesContinueAcrossSplitUpdates) {
  std::mt19937 rng(99);
  const auto data = RandomBytes(rng, 30000);
  const std::uint32_t whole = crc::OneShot(7, data.data(), data.size());
  for (crc::Engine engine : AvailableEngines()) {
    for (int round = 0; round < 20; ++round) {
      crc::CRCContext ctx;
      ASSERT_TRUE(crc::InitPreset(ctx, 7));
      ctx.Speed = engine;
      std::size_t done = 0;
      std::uint32_t result = 0;
      while (done < data.size()) {
        // Mostly short pieces, now and then one long enough for the lanes.
        const std::size_t want = rng() % 8 == 0 ? rng() % 16000 : rng() % 700;
        const std::size_t piece = std::min<std::size_t>(data.size() - done, want);
        result = crc::Update(ctx, data.data() + done, piece);
        done += piece;
      }
      ASSERT_EQ(result, whole) << "engine " << static_cast<int>(engine) << ", round " << round;
    }
  }
}

TEST(CRC, Crc32MatchesZlibOnRandomLengthsAndAlignments) {
  std::mt19937 rng(7);
  const auto buffer = RandomBytes(rng, 65536 + 32);
  for (int round = 0; round < 400; ++round) {
    const std::size_t n = round < 200   ? static_cast<std::size_t>(round)
                          : round < 380 ? rng() % 4097
                                        : 12288 + rng() % 53249;
    const std::size_t start = rng() % 32;
    const std::uint32_t seed = round % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng());
    const auto* p = buffer.data() + start;
    const std::uint32_t expected = static_cast<std::uint32_t>(crc32(seed, p, static_cast<uInt>(n)));
    ASSERT_EQ(crc::Crc32(seed, p, n), expected) << n << " bytes at offset " << start;
    for (crc::Engine engine : AvailableEngines()) {
      ASSERT_EQ(crc::Crc32Using(engine, seed, p, n), expected)
          << "engine " << static_cast<int>(engine) << ", " << n << " bytes at offset " << start;
    }
    if (seed == 0 && n > 0) {
      ASSERT_EQ(crc::OneShot(8, p, n), expected) << "OneShot, " << n << " bytes";
    }
  }
}

TEST(CRC, EnginesTheProcessorLacksAreNotRun) {
  // A context asking for more than the processor offers gets the fastest it has.
  crc::CRCContext ctx;
  ASSERT_TRUE(crc::InitPreset(ctx, 8));
  ctx.Speed = static_cast<crc::Engine>(200);
  EXPECT_EQ(crc::Update(ctx, kCheck, 9), 0xCBF43926u);
  EXPECT_EQ(crc::Crc32Using(static_cast<crc::Engine>(200), 0, kCheck, 9), 0xCBF43926u);
}
