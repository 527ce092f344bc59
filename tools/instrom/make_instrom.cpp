// Builds the 8 KB instruction ROM template from its readable source
// (assets/instrom/instrom.txt): usage make_instrom SOURCE OUTPUT.
//
// Layout written: 32 rows of 33 bytes from offset 0, each row 24 character
// codes (blank 63 after the text) and 9 blank bytes; everything else up to
// offset 0x1FFE blank; the last byte set so that the instruction ROM checksum
// comes out right (the builder sets it again after patching).
#include "builder/PC10_Charset.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kSize = 8192;
constexpr std::size_t kRowBytes = 33;
constexpr std::size_t kRowChars = 24;
constexpr int kFirstFreeRow = 3;
constexpr int kLastFreeRow = 31;
constexpr std::size_t kTextColumn = 4;

bool Fail(const std::string& source, int line, const std::string& why) {
  std::cerr << source << ":" << line << ": " << why << "\n";
  return false;
}

bool Parse(const std::string& source, std::vector<std::uint8_t>& image) {
  std::ifstream in(source);
  if (!in) return Fail(source, 0, "cannot open");
  std::string text;
  int lineNo = 0;
  while (std::getline(in, text)) {
    ++lineNo;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.empty() || text[0] == '#') continue;
    const auto colon = text.find(':');
    if (colon == std::string::npos) return Fail(source, lineNo, "expected ROW: TEXT");
    int row = 0;
    try {
      row = std::stoi(text.substr(0, colon));
    } catch (...) {
      return Fail(source, lineNo, "row is not a number");
    }
    if (row < kFirstFreeRow || row > kLastFreeRow) return Fail(source, lineNo, "row must lie in 3 to 31");
    // The text starts in the fifth column ("4:  TEXT", "10: TEXT"), so
    // indented continuation lines keep their leading blanks.
    if (colon >= kTextColumn) return Fail(source, lineNo, "the text must start in column 5");
    const std::string body = text.size() > kTextColumn ? text.substr(kTextColumn) : std::string();
    if (body.size() > kRowChars) return Fail(source, lineNo, "text longer than 24 characters");
    for (std::size_t i = 0; i < body.size(); ++i) {
      const std::uint8_t code = korva::EncodePC10Char(body[i]);
      if (code == korva::kPC10Blank && body[i] != ' ')
        return Fail(source, lineNo, std::string("no PlayChoice-10 code for '") + body[i] + "'");
      image[static_cast<std::size_t>(row) * kRowBytes + i] = code;
    }
  }
  return true;
}

// The checksum fix-up: the value of the last byte that makes the running
// checksum over all 8 KB end at 0xC9.
void FixChecksum(std::vector<std::uint8_t>& image) {
  unsigned value = image[1];
  for (std::size_t k = 0; k + 1 < kSize; ++k) {
    const unsigned s = value + (((k + 1) & 0xFF) ^ 0xE7);
    value = (s - (s >= 256 ? 1 : 0) - image[k]) & 0xFF;
  }
  const unsigned s = value + 0xE7;
  image[kSize - 1] = static_cast<std::uint8_t>(((s & 0xFF) - (s >= 256 ? 1 : 0) - 0xC9) & 0xFF);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_instrom SOURCE OUTPUT\n";
    return 2;
  }
  std::vector<std::uint8_t> image(kSize, korva::kPC10Blank);
  if (!Parse(argv[1], image)) return 1;
  FixChecksum(image);
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
  if (!out) {
    std::cerr << argv[2] << ": cannot write\n";
    return 1;
  }
  return 0;
}
