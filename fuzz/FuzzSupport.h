#pragma once
// What the fuzz targets share: a user interface that shows nothing, the
// input as text, and a directory of small fixed ROM files that a target
// makes once at start-up (never in the loop) and removes at exit.
#include "romlib/CRC.h"
#include "romlib/FileUtil.h"
#include "romlib/UserInterface.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace korva::fuzz {

using Bytes = std::vector<std::uint8_t>;

class QuietUI : public UserInterface {
 public:
  MsgButton ShowCenteredMessage(const std::string&, MsgKind, MsgButtons) override { return MsgButton::OK; }
  void ShowStatusMessage(const std::string&, int) override {}
};

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// An iNES image: the 16-byte header, then `prg` and `chr` bytes of a pattern
// that differs per image.
inline Bytes NesImage(int prgBanks16k, int chrBanks8k, int mapper, bool vertical, std::uint8_t seed) {
  Bytes image = {'N', 'E', 'S', 0x1A, static_cast<std::uint8_t>(prgBanks16k), static_cast<std::uint8_t>(chrBanks8k),
                 static_cast<std::uint8_t>(((mapper & 0x0F) << 4) | (vertical ? 1 : 0)),
                 static_cast<std::uint8_t>(mapper & 0xF0)};
  image.resize(16, 0);
  const std::size_t data = static_cast<std::size_t>(prgBanks16k) * 16384 + static_cast<std::size_t>(chrBanks8k) * 8192;
  for (std::size_t i = 0; i < data; ++i) image.push_back(static_cast<std::uint8_t>(seed + i * 7));
  return image;
}

// A ZIP archive holding `entries` stored (not compressed), each with its CRC
// and sizes in the local header.
inline Bytes StoredZip(const std::vector<std::pair<std::string, Bytes>>& entries) {
  Bytes out, central;
  const auto put16 = [](Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto put32 = [&](Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
  };
  for (const auto& [name, data] : entries) {
    const auto offset = static_cast<std::uint32_t>(out.size());
    const std::uint32_t crc = crc::Crc32(0, data.data(), data.size());
    const auto size = static_cast<std::uint32_t>(data.size());
    const auto nameSize = static_cast<std::uint32_t>(name.size());
    put32(out, 0x04034B50);
    for (std::uint32_t v : {20u, 0u, 0u, 0u, 0x21u}) put16(out, v);  // version, flags, stored, time, date
    for (std::uint32_t v : {crc, size, size}) put32(out, v);
    put16(out, nameSize);
    put16(out, 0);
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), data.begin(), data.end());

    put32(central, 0x02014B50);
    for (std::uint32_t v : {20u, 20u, 0u, 0u, 0u, 0x21u}) put16(central, v);
    for (std::uint32_t v : {crc, size, size}) put32(central, v);
    for (std::uint32_t v : {nameSize, 0u, 0u, 0u, 0u}) put16(central, v);
    put32(central, 0);
    put32(central, offset);
    central.insert(central.end(), name.begin(), name.end());
  }
  const auto centralOffset = static_cast<std::uint32_t>(out.size());
  out.insert(out.end(), central.begin(), central.end());
  put32(out, 0x06054B50);
  for (std::uint32_t v : {0u, 0u}) put16(out, v);
  for (int i = 0; i < 2; ++i) put16(out, static_cast<std::uint32_t>(entries.size()));
  put32(out, static_cast<std::uint32_t>(central.size()));
  put32(out, centralOffset);
  put16(out, 0);
  return out;
}

// A fresh directory under $TMPDIR (or /tmp), ending in a separator, removed
// when the process exits normally.
inline const std::string& ScratchDirectory() {
  static const std::string* dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/korva-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data())) std::abort();
    std::atexit([] { std::filesystem::remove_all(ScratchDirectory()); });
    return new std::string(pattern + "/");  // kept to the very end for the removal
  }();
  return *dir;
}

inline void PutFile(const std::string& path, const Bytes& bytes) { WriteFileAtomic(path, std::span(bytes)); }

}  // namespace korva::fuzz
