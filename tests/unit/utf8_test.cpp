// The one UTF-8 decoder: what it takes as a character and what it refuses,
// byte by byte, at the edges of each sequence length.
#include "romlib/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using korva::kNotUtf8;

TEST(Utf8, DecodesShortestFormsAndRefusesEveryOtherByteOneAtATime) {
  const struct {
    std::string text;
    std::vector<char32_t> codes;  // one per character NextCodePoint steps over
  } cases[] = {
      {"A\x7F", {'A', 0x7F}},
      {"\xC2\x80\xDF\xBF", {0x80, 0x7FF}},                              // two bytes, both ends
      {"\xE0\xA0\x80\xEF\xBF\xBF", {0x800, 0xFFFF}},                    // three bytes
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", {0x10000, 0x10FFFF}},        // four bytes
      {"\xC0\xAF", {kNotUtf8, kNotUtf8}},                               // overlong "/"
      {"\xE0\x9F\xBF", {kNotUtf8, kNotUtf8, kNotUtf8}},                 // overlong U+07FF
      {"\xF0\x8F\xBF\xBF", {kNotUtf8, kNotUtf8, kNotUtf8, kNotUtf8}},   // overlong U+FFFF
      {"\xED\xA0\x80", {kNotUtf8, kNotUtf8, kNotUtf8}},                 // surrogate U+D800
      {"\xED\xBF\xBF", {kNotUtf8, kNotUtf8, kNotUtf8}},                 // surrogate U+DFFF
      {"\xF4\x90\x80\x80", {kNotUtf8, kNotUtf8, kNotUtf8, kNotUtf8}},   // above U+10FFFF
      {"\xF5\xFF\x80", {kNotUtf8, kNotUtf8, kNotUtf8}},                 // never a lead; a stray continuation
      {"\xE2\x82", {kNotUtf8, kNotUtf8}},                               // cut short at the end
      {"\xE2\x82Z", {kNotUtf8, kNotUtf8, 'Z'}},                         // broken by an ASCII byte
  };
  for (const auto& c : cases) {
    std::vector<char32_t> codes;
    for (std::size_t pos = 0; pos < c.text.size();) codes.push_back(korva::NextCodePoint(c.text, pos));
    EXPECT_EQ(codes, c.codes) << c.text;
    std::string encoded;  // a character written back is its own bytes; each refused byte is U+FFFD
    for (const char32_t code : c.codes) korva::AppendUtf8(encoded, code == kNotUtf8 ? 0xFFFD : code);
    EXPECT_EQ(korva::ValidUtf8(c.text), encoded) << c.text;
  }
}
