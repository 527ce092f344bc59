#include "romlib/CRC.h"

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

// The low `width` bits of `value` in reverse order.
std::uint32_t ReverseBits(std::uint32_t value, std::uint32_t width) {
  std::uint32_t result = 0;
  for (std::uint32_t i = 0; i < width; ++i) {
    result = (result << 1) | (value & 1);
    value >>= 1;
  }
  return result;
}

}  // namespace

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
  if (reflected) {
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
  if (ctx.Reflected) {
    for (std::size_t i = 0; i < length; ++i) reg = (reg >> 8) ^ ctx.Table[(reg ^ bytes[i]) & 0xFF];
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

std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length) {
  if (data == nullptr || length == 0) return crc;
  CRCContext ctx;
  InitPreset(ctx, kPresetCRC32);
  ctx.Register = ~crc;
  return Update(ctx, data, length);
}

}  // namespace korva::crc
