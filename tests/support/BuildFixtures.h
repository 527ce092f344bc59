#pragma once
// Test material for the project and image builder tests: a synthetic menu
// program template with a valid patch header, and ROM records added to a
// workspace. They come with the images, the recording user interface and the
// temporary directory these tests use beside them.
#include "NesImages.h"
#include "RecordingUI.h"
#include "TempDir.h"
#include "project/Workspace.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace korva::test {

// The addresses of the synthetic menu template, the same as the built-in one.
constexpr std::uint16_t kTestLine1 = 0xEBC2, kTestLine2 = 0xEBDB, kTestCount = 0xEBF4, kTestPointers = 0xEBF5,
                        kTestSlotTable = 0xEC15;
// Title entry n (0-based) at kTestTitles + 24 n.
constexpr std::uint16_t kTestTitles = 0xEC80;

// A 24,586-byte menu template: patch header, a menu PRG of 0xEA bytes with the
// structures the header names (24 spaces and a 0x00 per instruction line,
// title entries of "HDR!", 19 "%" and a 0x00, a zeroed slot table), and a
// menu CHR of 0xC3 bytes.
inline std::vector<std::uint8_t> MakeMenuTemplate() {
  std::vector<std::uint8_t> t(24586, 0xEA);
  const auto put16 = [&t](std::size_t at, unsigned v) { t[at] = v & 0xFF, t[at + 1] = (v >> 8) & 0xFF; };
  put16(0, kTestLine1), put16(2, kTestLine2), put16(4, kTestCount), put16(6, kTestPointers), put16(8, kTestSlotTable);
  const auto prg = [](unsigned address) { return 10 + (address - 0xC000u); };
  for (unsigned a : {kTestLine1, kTestLine2}) {
    for (unsigned i = 0; i < 24; ++i) t[prg(a + i)] = ' ';
    t[prg(a + 24)] = 0;
  }
  t[prg(kTestCount)] = 0;
  for (unsigned n = 0; n < 16; ++n) {
    const unsigned entry = kTestTitles + 24 * n;
    put16(prg(kTestPointers + 2 * n), entry);
    for (unsigned i = 0; i < 4; ++i) t[prg(entry + i)] = "HDR!"[i];
    for (unsigned i = 0; i < 19; ++i) t[prg(entry + 4 + i)] = '%';
    t[prg(entry + 23)] = 0;
  }
  for (unsigned i = 0; i < 96; ++i) t[prg(kTestSlotTable + i)] = 0;
  std::fill(t.begin() + 10 + 16384, t.end(), 0xC3);
  return t;
}

// Adds a ROM record to the workspace's ROMList (ListIndex set) and returns its index.
inline int AddRom(Workspace& ws, const std::string& filename, std::uint32_t crc, int prg, int chr, int mapper = 0,
                  const std::string& mirroring = "h") {
  TROMInfo rom;
  rom.Filename = filename;
  rom.CRC32 = crc;
  rom.Mapper = mapper;
  rom.PrgRomSize = prg;
  rom.ChrRomSize = chr;
  rom.Mirroring = mirroring;
  rom.Timing = "NesNtsc";
  rom.ListIndex = static_cast<int>(ws.Library.ROMList.size());
  ws.Library.ROMList.push_back(rom);
  ws.Library.ROMNames.push_back(filename.substr(0, filename.rfind('.')));
  return rom.ListIndex;
}

}  // namespace korva::test
