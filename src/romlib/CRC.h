#pragma once
// A table-driven CRC engine for widths 8 to 32, parameterised like the
// published CRC catalogue (polynomial, width, initial value, final XOR,
// reflection), with ten numbered presets. Preset 8 is the standard CRC-32
// (ISO-HDLC, as in ZIP and zlib), the identity of every ROM.
#include <cstddef>
#include <cstdint>

namespace korva::crc {

// A CRC computation in progress. A plain value owned by its user.
struct CRCContext {
  std::uint32_t Table[256];
  std::uint32_t Register;
  std::uint32_t Reflected;  // non-zero: least significant bit first
  std::int32_t Shift;       // width - 8
  std::uint32_t InitialValue;
  std::uint32_t FinalXor;
  std::uint32_t Mask;       // the low `width` bits set
  std::uint32_t Width;
  std::uint32_t Polynomial; // normal form, also for reflected models
};

// Polynomial, width, initial value, final XOR, reflected (0 or all ones).
struct CRCPreset {
  std::uint32_t Polynomial;
  std::uint32_t Width;
  std::uint32_t InitialValue;
  std::uint32_t FinalXor;
  std::uint32_t Reflected;
};

constexpr int kPresetCount = 10;
constexpr int kPresetCRC32 = 8;
extern const CRCPreset Presets[kPresetCount];

// Prepares `ctx`. False, with `ctx` untouched, for a width below 8 or above 32.
bool Init(CRCContext& ctx, std::uint32_t polynomial, std::uint32_t width, std::uint32_t initialValue,
          std::uint32_t finalXor, bool reflected);

// Init with preset `number` (taken modulo 128). False for numbers without a
// preset (10 to 127).
bool InitPreset(CRCContext& ctx, int number);

// Feeds `length` bytes and returns the finished CRC of everything fed since
// Init. No data (null or length 0): the register as it stands, without the
// final XOR and mask.
std::uint32_t Update(CRCContext& ctx, const void* data, std::size_t length);

// InitPreset on a fresh context, then one Update. Returns 0 for a preset
// number without a preset.
std::uint32_t OneShot(int preset, const void* data, std::size_t length);

// The standard CRC-32 (preset 8) continued from `crc` (0 to start), like
// zlib's crc32(): the fastest path this processor offers.
std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length);

}  // namespace korva::crc
