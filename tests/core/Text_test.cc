#include "core/Text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace core {
namespace {

// A plain decoder: the reference the block-wise check is held against.
bool ReferenceValid(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    int len = 0;
    uint32_t cp = 0;
    if (c < 0x80) {
      len = 1;
      cp = c;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(len) > s.size()) return false;
    for (int k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    const uint32_t min[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < min[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += static_cast<size_t>(len);
  }
  return true;
}

TEST(IsValidUtf8, KnownCases) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain ASCII", true},
      {"M\xC3\xBCller Stra\xC3\x9F"
       "e",
       true},                       // Müller Straße
      {"\xE2\x82\xAC", true},       // euro sign
      {"\xF0\x9F\x98\x80", true},   // an emoji
      {"gr\xFC\xDF", false},        // Windows-1252
      {"\xC3", false},              // cut short
      {"\xC0\xAF", false},          // overlong
      {"\xE0\x80\xAF", false},      // overlong
      {"\xED\xA0\x80", false},      // surrogate
      {"\xF4\x90\x80\x80", false},  // above U+10FFFF
      {"\x80", false},              // stray continuation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
  }
}

TEST(IsValidUtf8, AgreesWithAPlainDecoderOnRandomTexts) {
  // Mostly ASCII and two-byte letters, with now and then a longer or a broken
  // sequence, at every offset against the 16-byte blocks.
  const std::string pieces[] = {"a",
                                "b",
                                ";",
                                "\xC3\xA4",
                                "\xC3\x9F",
                                "\xE2\x82\xAC",
                                "\xF0\x9F\x98\x80",
                                "\xC3",
                                "\x80",
                                "\xE0\x80\x80",
                                "\xFF"};
  std::mt19937 rng(42);
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    const int len = static_cast<int>(rng() % 80);
    const bool clean = rng() % 2 == 0;
    for (int k = 0; k < len; ++k) {
      const size_t limit = clean ? 7 : 11;
      s += pieces[rng() % limit];
    }
    ASSERT_EQ(IsValidUtf8(s), ReferenceValid(s)) << "round " << round;
  }
}

// The edges of the three-byte forms: E0 needs A0..BF next (below is an
// overlong form), ED needs 80..9F (above are the UTF-16 surrogates). Each
// case also sits at every offset inside German text long enough for the
// 16-byte block check, so both the block and the byte-wise path see it.
TEST(IsValidUtf8, ThreeByteBoundariesAtEveryBlockOffset) {
  const struct {
    const char* bytes;
    bool valid;
  } cases[] = {
      {"\xE0\x80\x80", false}, {"\xE0\x9F\xBF", false}, {"\xE0\xA0\x80", true},
      {"\xE0\xBF\xBF", true},  {"\xE1\x80\x80", true},  {"\xEC\xBF\xBF", true},
      {"\xED\x80\x80", true},  {"\xED\x9F\xBF", true},  {"\xED\xA0\x80", false},
      {"\xED\xBF\xBF", false}, {"\xEE\x80\x80", true},  {"\xEF\xBF\xBF", true},
  };
  const std::string german =
      "M\xC3\xBCller;Stra\xC3\x9F"
      "e;K\xC3\xB6ln;";
  for (const auto& c : cases) {
    for (size_t offset = 0; offset < 20; ++offset) {
      std::string s = (german + german).substr(0, offset);
      // Do not cut a two-byte letter in half before the case.
      if (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xE0) == 0xC0) s.pop_back();
      s += c.bytes;
      s += german + german;
      EXPECT_EQ(IsValidUtf8(s), c.valid) << "case " << &c - cases << " offset " << offset;
    }
  }
}

}  // namespace
}  // namespace core
