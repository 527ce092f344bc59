#pragma once
// A table-driven CRC engine for widths 8 to 32, parameterised like the
// published CRC catalogue (polynomial, width, initial value, final XOR,
// reflection), with ten numbered presets. Preset 8 is the standard CRC-32
// (ISO-HDLC, as in ZIP and zlib), the identity of every ROM.
#include <cstddef>
#include <cstdint>

namespace korva::crc {

// The loops Update can run for a reflected 32-bit model, slowest first.
// Every one gives the table loop's results.
enum class Engine : std::uint32_t {
  TableLoop = 0,  // one table lookup per byte
  Slicing = 1,    // sixteen bytes a step through sixteen tables; portable
  Folding = 2,    // carry-less multiplication (x86-64 PCLMULQDQ)
};

// The fastest engine this processor offers: Folding where the processor
// has carry-less multiplication, Slicing elsewhere.
Engine FastestEngine();

// What the faster engines need for one reflected 32-bit polynomial.
struct FastTables {
  std::uint32_t Slice[16][256];  // Slice[k][b]: byte b followed by k zero bytes; Slice[0] is the byte table
  std::uint64_t Fold[4];         // folding factors: 512-bit distance (low, high half), 128-bit (low, high)
  std::uint32_t LaneShift[2];    // x^32768 and x^65536 modulo the polynomial: joins 4 KB lanes
};

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
  // Reflected 32-bit models only. Init sets Speed to FastestEngine() (other
  // models: TableLoop); a test or benchmark may lower it, and Update never
  // runs an engine this processor lacks. Fast is filled by Init except for
  // the standard CRC-32, whose tables are built into the program.
  Engine Speed;
  FastTables Fast;
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

// Crc32 through `engine`, or the fastest this processor offers when that is
// slower: for tests and benchmarks.
std::uint32_t Crc32Using(Engine engine, std::uint32_t crc, const void* data, std::size_t length);

}  // namespace korva::crc
