#pragma once
// The instruction ROM image: the 8 KB template with the two instruction lines
// and the cartridge select title line patched in, in PlayChoice-10 codes,
// then 0xFF up to 128 KB. The last template byte is set so that the
// instruction ROM checksum over the first 8 KB comes out as 0xC9.
#include "project/Model.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva {

constexpr std::size_t kInstRomTemplateSize = 8192;
constexpr std::size_t kInstRomImageSize = 131072;
constexpr std::size_t kInstLine1Offset = 0x21;
constexpr std::size_t kInstLine2Offset = 0x42;
constexpr std::size_t kTitleLineOffset = 0x420;
constexpr std::size_t kInstRomChecksumOffset = 0x1FFF;
constexpr std::uint8_t kInstRomChecksumValue = 0xC9;
constexpr std::uint8_t kPC10Fill = 0x3E;

// The running checksum over the first 8 KB of `image` (which must hold at
// least 8 KB); a valid image gives 0xC9.
std::uint8_t InstRomChecksum(std::span<const std::uint8_t> image);

// The 24 codes of the title line for a title of at most 19 characters and a
// game icon mode (0 "1 Player", 1 "2 Player", 2 "Lightgun").
std::vector<std::uint8_t> TitleLineCodes(const std::string& cartTitle, int icons);

// The 24 codes of an instruction line: the first 24 characters, then blanks.
std::vector<std::uint8_t> InstLineCodes(const std::string& line);

// The whole 128 KB image. `tmpl` must be exactly 8,192 bytes (the caller
// checks; a wrong size raises std::invalid_argument). A title of more than 19
// characters leaves the template's title line as it is.
std::vector<std::uint8_t> BuildInstRomImage(std::span<const std::uint8_t> tmpl, const CartridgeSettings& cart);

}  // namespace korva
