// CRC-32 throughput on 64 KB buffers: the engine's paths against zlib's crc32.
#include "romlib/CRC.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace {

namespace crc = korva::crc;

constexpr std::size_t kBufferSize = 64 * 1024;

const std::vector<std::uint8_t>& Buffer() {
  static const std::vector<std::uint8_t> buffer = [] {
    std::vector<std::uint8_t> b(kBufferSize);
    std::mt19937 rng(64);
    for (auto& byte : b) byte = static_cast<std::uint8_t>(rng());
    return b;
  }();
  return buffer;
}

template <typename F>
void Run(benchmark::State& state, F&& compute) {
  const auto& b = Buffer();
  for (auto _ : state) benchmark::DoNotOptimize(compute(b.data(), b.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(b.size()));
}

void BM_Crc_OneShotPreset8(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc::OneShot(crc::kPresetCRC32, p, n); });
}

void BM_Crc_Crc32(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc::Crc32(0, p, n); });
}

void BM_Crc_Slicing(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc::Crc32Using(crc::Engine::Slicing, 0, p, n); });
}

void BM_Crc_TableLoop(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc::Crc32Using(crc::Engine::TableLoop, 0, p, n); });
}

// A reflected 32-bit model other than the standard one: its tables are
// derived by Init on every call, so this measures Init as well.
void BM_Crc_OneShotPreset7(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc::OneShot(7, p, n); });
}

void BM_Crc_Zlib(benchmark::State& state) {
  Run(state, [](const std::uint8_t* p, std::size_t n) { return crc32(0, p, static_cast<uInt>(n)); });
}

}  // namespace

BENCHMARK(BM_Crc_OneShotPreset8);
BENCHMARK(BM_Crc_Crc32);
BENCHMARK(BM_Crc_Slicing);
BENCHMARK(BM_Crc_TableLoop);
BENCHMARK(BM_Crc_OneShotPreset7);
BENCHMARK(BM_Crc_Zlib);
