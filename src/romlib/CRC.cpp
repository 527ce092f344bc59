#include "romlib/CRC.h"

#include <algorithm>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define KORVA_CRC_FOLDING 1
#include <immintrin.h>
#endif

namespace korva::crc {

const CRCPreset Presets[kPresetCount] = {
    {0x000000D1, 8, 0x00000000, 0x00000000, 0xFFFFFFFF},
    {0x00000233, 10, 0x00000000, 0x00000000, 0xFFFFFFFF},
    {0x0000080F, 12, 0x00000000, 0x00000000, 0xFFFFFFFF},
    {0x00008005, 16, 0x00000000, 0x00000000, 0xFFFFFFFF},  // CRC-16/ARC
    {0x00001021, 16, 0x00001D0F, 0x00000000, 0x00000000},  // CRC-16/SPI-FUJITSU
    {0x00008408, 16, 0x00000000, 0x00000000, 0xFFFFFFFF},
    {0x00864CFB, 24, 0x00B704CE, 0x00000000, 0x00000000},  // CRC-24/OPENPGP
    {0x9DB11213, 32, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},
    {0x04C11DB7, 32, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF},  // CRC-32/ISO-HDLC
    {0x04C11DB7, 32, 0xFFFFFFFF, 0x00000000, 0xFFFFFFFF},  // CRC-32/JAMCRC
};

namespace {

constexpr std::uint32_t kStandardPolynomial = 0x04C11DB7;

// The slicing engine's lane: 4 KB, that is 2^15 bits.
constexpr int kLaneBitsLog2 = 15;
constexpr std::size_t kLane = (std::size_t{1} << kLaneBitsLog2) / 8;

// The low `width` bits of `value` in reverse order.
constexpr std::uint32_t ReverseBits(std::uint32_t value, std::uint32_t width) {
  std::uint32_t result = 0;
  for (std::uint32_t i = 0; i < width; ++i) {
    result = (result << 1) | (value & 1);
    value >>= 1;
  }
  return result;
}

// In a reflected 32-bit register bit i holds the coefficient of x^(31-i),
// so multiplying by x modulo the polynomial is one step of the bit loop.
constexpr std::uint32_t TimesX(std::uint32_t value, std::uint32_t reflectedPolynomial) {
  return (value & 1) ? (value >> 1) ^ reflectedPolynomial : value >> 1;
}

// The factor that moves 64 bits of data n bits further on. A carry-less
// product of two reflected 64-bit halves comes out multiplied by x^33
// against a 128-bit lane (x^32 for the factor sitting in the low half of its
// lane, x for the product's own one-bit offset), so the factor is x^(n-33).
constexpr std::uint64_t FoldFactor(std::uint32_t reflectedPolynomial, int n) {
  std::uint32_t value = 0x80000000u;  // x^0
  for (int i = 0; i < n - 33; ++i) value = TimesX(value, reflectedPolynomial);
  return value;
}

// The product of two reflected 32-bit values modulo the polynomial.
constexpr std::uint32_t MultiplyModulo(std::uint32_t a, std::uint32_t b, std::uint32_t reflectedPolynomial) {
  std::uint32_t product = 0;
  for (int i = 31; i >= 0; --i) {  // bit 31 holds x^0
    if ((a >> i) & 1) product ^= b;
    b = TimesX(b, reflectedPolynomial);
  }
  return product;
}

// x^(2^k) modulo the polynomial, by squaring.
constexpr std::uint32_t XToThePowerOfTwo(int k, std::uint32_t reflectedPolynomial) {
  std::uint32_t value = 0x40000000u;  // x^1
  for (int i = 0; i < k; ++i) value = MultiplyModulo(value, value, reflectedPolynomial);
  return value;
}

constexpr void DeriveFastTables(FastTables& t, std::uint32_t reflectedPolynomial) {
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = TimesX(c, reflectedPolynomial);
    t.Slice[0][i] = c;
  }
  for (int k = 1; k < 16; ++k) {
    for (int i = 0; i < 256; ++i) {
      const std::uint32_t c = t.Slice[k - 1][i];
      t.Slice[k][i] = (c >> 8) ^ t.Slice[0][c & 0xFF];
    }
  }
  // Four 128-bit lanes advance by 512 bits a step; a single lane by 128.
  t.Fold[0] = FoldFactor(reflectedPolynomial, 512 + 64);
  t.Fold[1] = FoldFactor(reflectedPolynomial, 512);
  t.Fold[2] = FoldFactor(reflectedPolynomial, 128 + 64);
  t.Fold[3] = FoldFactor(reflectedPolynomial, 128);
  t.LaneShift[0] = XToThePowerOfTwo(kLaneBitsLog2, reflectedPolynomial);
  t.LaneShift[1] = XToThePowerOfTwo(kLaneBitsLog2 + 1, reflectedPolynomial);
}

constexpr FastTables MakeFastTables(std::uint32_t reflectedPolynomial) {
  FastTables t{};
  DeriveFastTables(t, reflectedPolynomial);
  return t;
}

// The standard CRC-32 is on the path of every ROM read: its tables are made
// by the compiler, so that Init costs nothing for it.
constexpr FastTables kStandardTables = MakeFastTables(ReverseBits(kStandardPolynomial, 32));

inline std::uint32_t Load32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

std::uint32_t ReflectedTableLoop(std::uint32_t reg, const std::uint8_t* p, std::size_t n,
                                 const std::uint32_t* table) {
  for (std::size_t i = 0; i < n; ++i) reg = (reg >> 8) ^ table[(reg ^ p[i]) & 0xFF];
  return reg;
}

// One step of sixteen bytes: the register is folded into the first four,
// and every byte looks up what it contributes through the bytes after it.
inline std::uint32_t Step16(std::uint32_t reg, const std::uint8_t* p, const std::uint32_t (&s)[16][256]) {
  const std::uint32_t a = Load32(p) ^ reg;
  const std::uint32_t b = Load32(p + 4);
  const std::uint32_t c = Load32(p + 8);
  const std::uint32_t d = Load32(p + 12);
  return s[15][a & 0xFF] ^ s[14][(a >> 8) & 0xFF] ^ s[13][(a >> 16) & 0xFF] ^ s[12][a >> 24] ^
         s[11][b & 0xFF] ^ s[10][(b >> 8) & 0xFF] ^ s[9][(b >> 16) & 0xFF] ^ s[8][b >> 24] ^
         s[7][c & 0xFF] ^ s[6][(c >> 8) & 0xFF] ^ s[5][(c >> 16) & 0xFF] ^ s[4][c >> 24] ^
         s[3][d & 0xFF] ^ s[2][(d >> 8) & 0xFF] ^ s[1][(d >> 16) & 0xFF] ^ s[0][d >> 24];
}

// Sixteen bytes a step. One register waits for each step's lookups, so long
// data runs as three lanes of kLane bytes side by side, each from its own
// register, joined afterwards: the register after lanes A, B, C is
// reg(A) * x^(16 kLane) + reg(B) * x^(8 kLane) + reg(C) modulo the polynomial.
std::uint32_t Slicing(std::uint32_t reg, const std::uint8_t* p, std::size_t n, const FastTables& t) {
  const auto& s = t.Slice;
  while (n >= 3 * kLane) {
    std::uint32_t r0 = reg, r1 = 0, r2 = 0;
    for (std::size_t i = 0; i < kLane; i += 16) {
      r0 = Step16(r0, p + i, s);
      r1 = Step16(r1, p + kLane + i, s);
      r2 = Step16(r2, p + 2 * kLane + i, s);
    }
    const std::uint32_t polynomial = s[0][0x80];  // byte 0x80 leaves exactly the polynomial
    reg = MultiplyModulo(r0, t.LaneShift[1], polynomial) ^ MultiplyModulo(r1, t.LaneShift[0], polynomial) ^ r2;
    p += 3 * kLane;
    n -= 3 * kLane;
  }
  for (; n >= 16; p += 16, n -= 16) reg = Step16(reg, p, s);
  return ReflectedTableLoop(reg, p, n, s[0]);
}

#ifdef KORVA_CRC_FOLDING

// Moves a 128-bit lane `factors` further on: each 64-bit half is multiplied
// by its factor; the two products are congruent to the lane times x^distance.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i lane, __m128i factors) {
  return _mm_xor_si128(_mm_clmulepi64_si128(lane, factors, 0x00), _mm_clmulepi64_si128(lane, factors, 0x11));
}

__attribute__((target("pclmul,sse2"))) std::uint32_t Folding(std::uint32_t reg, const std::uint8_t* p,
                                                              std::size_t n, const FastTables& t) {
  if (n < 64) return Slicing(reg, p, n, t);
  const auto load = [](const std::uint8_t* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); };
  // The register goes into the first four data bytes, as in the table loop.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = load(p + 16);
  __m128i x2 = load(p + 32);
  __m128i x3 = load(p + 48);
  p += 64;
  n -= 64;
  const __m128i by512 = _mm_set_epi64x(static_cast<long long>(t.Fold[1]), static_cast<long long>(t.Fold[0]));
  while (n >= 64) {
    x0 = _mm_xor_si128(Fold(x0, by512), load(p));
    x1 = _mm_xor_si128(Fold(x1, by512), load(p + 16));
    x2 = _mm_xor_si128(Fold(x2, by512), load(p + 32));
    x3 = _mm_xor_si128(Fold(x3, by512), load(p + 48));
    p += 64;
    n -= 64;
  }
  const __m128i by128 = _mm_set_epi64x(static_cast<long long>(t.Fold[3]), static_cast<long long>(t.Fold[2]));
  __m128i x = _mm_xor_si128(Fold(x0, by128), x1);
  x = _mm_xor_si128(Fold(x, by128), x2);
  x = _mm_xor_si128(Fold(x, by128), x3);
  while (n >= 16) {
    x = _mm_xor_si128(Fold(x, by128), load(p));
    p += 16;
    n -= 16;
  }
  // The lane is congruent to all data so far; its CRC from a clear register
  // is the register after that data.
  std::uint8_t rest[16];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), x);
  return Slicing(Slicing(0, rest, 16, t), p, n, t);
}

Engine DetectFastest() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("pclmul") ? Engine::Folding : Engine::Slicing;
}

#else

Engine DetectFastest() { return Engine::Slicing; }

#endif

std::uint32_t RunReflected32(Engine engine, std::uint32_t reg, const std::uint8_t* p, std::size_t n,
                             const FastTables& t) {
  switch (std::min(engine, FastestEngine())) {
#ifdef KORVA_CRC_FOLDING
    case Engine::Folding:
      return Folding(reg, p, n, t);
#endif
    case Engine::Slicing:
      return Slicing(reg, p, n, t);
    default:
      return ReflectedTableLoop(reg, p, n, t.Slice[0]);
  }
}

bool IsStandard(const CRCContext& ctx) { return ctx.Polynomial == kStandardPolynomial; }

}  // namespace

Engine FastestEngine() {
  static const Engine fastest = DetectFastest();
  return fastest;
}

bool Init(CRCContext& ctx, std::uint32_t polynomial, std::uint32_t width, std::uint32_t initialValue,
          std::uint32_t finalXor, bool reflected) {
  if (width < 8 || width > 32) return false;
  ctx.Polynomial = polynomial;
  ctx.Width = width;
  ctx.InitialValue = initialValue;
  ctx.FinalXor = finalXor;
  ctx.Reflected = reflected ? 0xFFFFFFFFu : 0u;
  ctx.Register = initialValue;
  ctx.Shift = static_cast<std::int32_t>(width) - 8;
  ctx.Mask = 0xFFFFFFFFu >> (32 - width);
  ctx.Speed = Engine::TableLoop;
  if (reflected && width == 32) {
    ctx.Speed = FastestEngine();
    if (IsStandard(ctx)) {
      // The same table the loop below would build, made by the compiler.
      std::memcpy(ctx.Table, kStandardTables.Slice[0], sizeof ctx.Table);
    } else {
      DeriveFastTables(ctx.Fast, ReverseBits(polynomial, 32));
      std::memcpy(ctx.Table, ctx.Fast.Slice[0], sizeof ctx.Table);
    }
  } else if (reflected) {
    const std::uint32_t r = ReverseBits(polynomial, width);
    for (int i = 255; i >= 0; --i) {
      std::uint32_t c = static_cast<std::uint32_t>(i);
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ r : c >> 1;
      ctx.Table[i] = c;
    }
  } else {
    const std::uint32_t t = (polynomial & ctx.Mask) << (32 - width);
    for (int i = 255; i >= 0; --i) {
      std::uint32_t c = static_cast<std::uint32_t>(i) << 24;
      for (int bit = 0; bit < 8; ++bit) c = (c & 0x80000000u) ? (c << 1) ^ t : c << 1;
      ctx.Table[i] = c >> (32 - width);
    }
  }
  return true;
}

bool InitPreset(CRCContext& ctx, int number) {
  const int index = number & 0x7F;
  if (index >= kPresetCount) return false;
  const CRCPreset& p = Presets[index];
  return Init(ctx, p.Polynomial, p.Width, p.InitialValue, p.FinalXor, p.Reflected != 0);
}

std::uint32_t Update(CRCContext& ctx, const void* data, std::size_t length) {
  // No data: the register as it stands, neither finished nor masked.
  if (data == nullptr || length == 0) return ctx.Register;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::uint32_t reg = ctx.Register;
  if (ctx.Reflected && ctx.Width == 32 && ctx.Speed != Engine::TableLoop) {
    reg = RunReflected32(ctx.Speed, reg, bytes, length, IsStandard(ctx) ? kStandardTables : ctx.Fast);
  } else if (ctx.Reflected) {
    reg = ReflectedTableLoop(reg, bytes, length, ctx.Table);
  } else {
    // Bits above the width are left in the register; the index and the
    // final mask never look at them.
    for (std::size_t i = 0; i < length; ++i)
      reg = (reg << 8) ^ ctx.Table[((reg >> ctx.Shift) ^ bytes[i]) & 0xFF];
  }
  ctx.Register = reg;
  return (reg ^ ctx.FinalXor) & ctx.Mask;
}

std::uint32_t OneShot(int preset, const void* data, std::size_t length) {
  CRCContext ctx;
  if (!InitPreset(ctx, preset)) return 0;
  return Update(ctx, data, length);
}

std::uint32_t Crc32Using(Engine engine, std::uint32_t crc, const void* data, std::size_t length) {
  if (data == nullptr || length == 0) return crc;
  return ~RunReflected32(engine, ~crc, static_cast<const std::uint8_t*>(data), length, kStandardTables);
}

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length) {
  return Crc32Using(Engine::Folding, crc, data, length);
}

}  // namespace korva::crc
