#pragma once
// Test material for the project and image builder tests: a user interface
// that records what it is asked to show, generated iNES images with
// recognisable data, a synthetic menu program template with a valid patch
// header, and a scratch directory.
#include "project/Workspace.h"
#include "romlib/CRC.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace korva::testing {

struct ShownMessage {
  std::string text;
  std::string caption;  // the kind's word for centred messages, the own caption for plain boxes
  bool plain = false;
};

class MessageLog : public UserInterface {
 public:
  MsgButton ShowCenteredMessage(const std::string& text, MsgKind kind, MsgButtons) override {
    static const char* const words[] = {"Warning", "Error", "Information", "Confirm"};
    messages.push_back({text, words[static_cast<int>(kind)], false});
    return MsgButton::OK;
  }
  void ShowStatusMessage(const std::string& text, int seconds) override {
    status.push_back(text + "|" + std::to_string(seconds));
  }
  void UpdateCaption(const std::string& name) override { captions.push_back(name); }
  void ShowPlainMessage(const std::string& text, const std::string& caption, MsgKind) override {
    messages.push_back({text, caption, true});
  }
  void Clear() { messages.clear(), status.clear(), captions.clear(); }

  std::vector<ShownMessage> messages;
  std::vector<std::string> status;
  std::vector<std::string> captions;
};

// An iNES image: header with the given sizes (16 KB and 8 KB units), mapper
// and mirroring, PRG bytes all `prgFill`, CHR bytes all `chrFill`, except
// that the first and last bytes of each area are 0x5A so that a shifted
// copy shows. `cut` bytes are left off the end.
inline std::vector<std::uint8_t> MakeNesImage(int prgUnits, int chrUnits, int mapper, bool vertical,
                                              std::uint8_t prgFill, std::uint8_t chrFill, std::size_t cut = 0) {
  std::vector<std::uint8_t> image = {0x4E, 0x45, 0x53, 0x1A, static_cast<std::uint8_t>(prgUnits),
                                     static_cast<std::uint8_t>(chrUnits),
                                     static_cast<std::uint8_t>(((mapper & 0x0F) << 4) | (vertical ? 1 : 0)),
                                     static_cast<std::uint8_t>(mapper & 0xF0), 0, 0, 0, 0, 0, 0, 0, 0};
  const std::size_t prg = static_cast<std::size_t>(prgUnits) * 16384, chr = static_cast<std::size_t>(chrUnits) * 8192;
  image.resize(16 + prg, prgFill);
  if (prg) image[16] = image[16 + prg - 1] = 0x5A;
  image.resize(16 + prg + chr, chrFill);
  if (chr) image[16 + prg] = image[16 + prg + chr - 1] = 0x5A;
  image.resize(image.size() - cut);
  return image;
}

// The CRC-32 a scan records for an iNES image: of everything after its
// 16-byte header. The build checks every game's data against it.
inline std::uint32_t DataCrc(const std::vector<std::uint8_t>& image) {
  return image.size() > 16 ? crc::Crc32(0, image.data() + 16, image.size() - 16) : 0xFFFFFFFFu;
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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

// A scratch directory, removed at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("korva_build_test_" + std::to_string(::getpid()) + "_" + std::to_string(counter()++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string() + "/"; }

 private:
  static int& counter() {
    static int n = 0;
    return n;
  }
  std::filesystem::path path_;
};

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

}  // namespace korva::testing
