#include "builder/InstRom.h"

#include "builder/PC10_Charset.h"

#include <algorithm>
#include <stdexcept>

namespace korva {

namespace {

// One step of the checksum: an 8-bit add of t, then a subtract of the byte
// with the add's carry as borrow.
std::uint8_t ChecksumStep(std::uint8_t value, std::size_t k, std::uint8_t byte) {
  const unsigned t = ((k + 1) & 0xFF) ^ 0xE7;
  const unsigned s = value + t;
  const unsigned carry = s >= 256 ? 1 : 0;
  return static_cast<std::uint8_t>((s - carry - byte) & 0xFF);
}

}  // namespace

std::uint8_t InstRomChecksum(std::span<const std::uint8_t> image) {
  if (image.size() < kInstRomTemplateSize) throw std::invalid_argument("instruction ROM image too short");
  std::uint8_t value = image[1];
  for (std::size_t k = 0; k < kInstRomTemplateSize; ++k) value = ChecksumStep(value, k, image[k]);
  return value;
}

std::vector<std::uint8_t> TitleLineCodes(const std::string& cartTitle, int icons) {
  std::vector<std::uint8_t> codes(kInstLineMaxLength, kPC10Blank);
  const std::size_t length = std::min(cartTitle.size(), kTitleMaxLength);
  for (std::size_t i = 0; i < length; ++i) codes[i + 1] = EncodePC10Char(cartTitle[i]);
  for (std::size_t i = length + 2; i <= 20; ++i) codes[i] = kPC10Fill;
  switch (icons) {
    case 0:
      codes[20] = kPC10Blank;
      break;
    case 1:
      codes[20] = 0xFB, codes[21] = 0xFC, codes[22] = 0xFD, codes[23] = 0xFE;
      break;
    case 2:
      codes[19] = kPC10Blank, codes[20] = 0x7D, codes[21] = 0xF9;
      break;
    default:
      break;
  }
  return codes;
}

std::vector<std::uint8_t> InstLineCodes(const std::string& line) {
  std::vector<std::uint8_t> codes(kInstLineMaxLength, kPC10Blank);
  for (std::size_t i = 0; i < line.size() && i < kInstLineMaxLength; ++i) codes[i] = EncodePC10Char(line[i]);
  return codes;
}

std::vector<std::uint8_t> BuildInstRomImage(std::span<const std::uint8_t> tmpl, const CartridgeSettings& cart) {
  if (tmpl.size() != kInstRomTemplateSize) throw std::invalid_argument("instruction ROM template must be 8,192 bytes");
  std::vector<std::uint8_t> image(kInstRomImageSize, 0xFF);
  std::copy(tmpl.begin(), tmpl.end(), image.begin());

  if (cart.CartTitle.size() <= kTitleMaxLength) {
    const auto title = TitleLineCodes(cart.CartTitle, cart.Icons);
    std::copy(title.begin(), title.end(), image.begin() + kTitleLineOffset);
  }
  const auto line1 = InstLineCodes(cart.InstLine1);
  std::copy(line1.begin(), line1.end(), image.begin() + kInstLine1Offset);
  const auto line2 = InstLineCodes(cart.InstLine2);
  std::copy(line2.begin(), line2.end(), image.begin() + kInstLine2Offset);

  // The checksum comes last because it covers the patched bytes.
  std::uint8_t value = image[1];
  for (std::size_t k = 0; k < kInstRomChecksumOffset; ++k) value = ChecksumStep(value, k, image[k]);
  const unsigned s = value + 0xE7u;
  const unsigned carry = s >= 256 ? 1 : 0;
  const auto fix = static_cast<std::uint8_t>(((s & 0xFF) - carry - kInstRomChecksumValue) & 0xFF);
  if (image[kInstRomChecksumOffset] != fix) image[kInstRomChecksumOffset] = fix;
  return image;
}

}  // namespace korva
