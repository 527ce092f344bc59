#include "builder/PC10_Charset.h"

namespace korva {

std::uint8_t EncodePC10Char(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= '0' && byte <= '9') return static_cast<std::uint8_t>(byte - '0');
  if (byte >= 'A' && byte <= 'Z') return static_cast<std::uint8_t>(10 + (byte - 'A'));
  switch (byte) {
    case '.': return 36;
    case '\'': return 37;
    case '!': return 38;
    case '-': return 39;
    case ',': return 42;
    case ':': return 43;
    case '+': return 60;
    default: return kPC10Blank;
  }
}

}  // namespace korva
