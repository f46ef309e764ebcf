#include "core/Text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

inline bool Continuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Windows-1252 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out.push_back(static_cast<char>(u));
  } else if (u < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (u >> 6)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (u >> 12)));
    out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
  }
}

// Checks whole sequences from p[i] on until at least `until`; returns the
// position after the last sequence checked, or SIZE_MAX when one is invalid.
size_t CheckSequences(const unsigned char* p, size_t n, size_t i, size_t until) {
  while (i < until) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
    } else if (c < 0xC2) {
      return SIZE_MAX;  // a stray continuation byte or an overlong 2-byte form
    } else if (c < 0xE0) {
      if (i + 1 >= n || !Continuation(p[i + 1])) return SIZE_MAX;
      i += 2;
    } else if (c < 0xF0) {
      if (i + 2 >= n || !Continuation(p[i + 1]) || !Continuation(p[i + 2])) return SIZE_MAX;
      if (c == 0xE0 && p[i + 1] < 0xA0) return SIZE_MAX;  // overlong
      if (c == 0xED && p[i + 1] > 0x9F) return SIZE_MAX;  // surrogates
      i += 3;
    } else if (c < 0xF5) {
      if (i + 3 >= n || !Continuation(p[i + 1]) || !Continuation(p[i + 2]) ||
          !Continuation(p[i + 3])) {
        return SIZE_MAX;
      }
      if (c == 0xF0 && p[i + 1] < 0x90) return SIZE_MAX;  // overlong
      if (c == 0xF4 && p[i + 1] > 0x8F) return SIZE_MAX;  // above U+10FFFF
      i += 4;
    } else {
      return SIZE_MAX;
    }
  }
  return i;
}

// The character of the valid UTF-8 sequence at p[i] (of `len` bytes), or
// -1 when none starts there.
int64_t DecodeAt(const unsigned char* p, size_t n, size_t i, size_t& len) {
  const size_t end = CheckSequences(p, n, i, i + 1);
  if (end == SIZE_MAX) return -1;
  len = end - i;
  const unsigned char c = p[i];
  if (len == 1) return c;
  int64_t u = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) u = (u << 6) | (p[i + k] & 0x3F);
  return u;
}

}  // namespace

char16_t Cp1252ToUnicode(unsigned char b) {
  if (b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
  return b;
}

int UnicodeToCp1252(char32_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<int>(u);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == u) return 0x80 + i;
  }
  return -1;
}

std::string RecodeText(std::string_view s, bool from_utf8, bool to_utf8) {
  if (from_utf8 == to_utf8) return std::string(s);
  std::string out;
  out.reserve(s.size() * (to_utf8 ? 2 : 1));
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  if (to_utf8) {
    for (size_t i = 0; i < s.size(); ++i) AppendUtf8(out, Cp1252ToUnicode(p[i]));
    return out;
  }
  for (size_t i = 0; i < s.size();) {
    size_t len = 1;
    const int64_t u = DecodeAt(p, s.size(), i, len);
    const int b = u < 0 ? -1 : UnicodeToCp1252(static_cast<char32_t>(u));
    out.push_back(b < 0 ? '?' : static_cast<char>(b));
    i += len;
  }
  return out;
}

bool IsValidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
#if defined(__SSE2__)
  // German text is ASCII with two-byte letters (ä, ö, ü, ß): blocks of 16
  // bytes holding only those are checked at once. A block with anything else
  // goes through the byte-wise check.
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  const __m128i below_cont = _mm_set1_epi8(-1);    // 0x80 - 1, flipped
  const __m128i above_cont = _mm_set1_epi8(0x40);  // 0xC0, flipped
  const __m128i below_lead = _mm_set1_epi8(0x41);  // 0xC2 - 1, flipped
  const __m128i above_lead = _mm_set1_epi8(0x60);  // 0xE0, flipped
  unsigned carry = 0;                              // the previous block ended with a lead byte
  while (i + 16 <= n) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(x));
    if (high == 0 && carry == 0) {
      i += 16;
      continue;
    }
    const __m128i f = _mm_xor_si128(x, flip);  // 0x80..0xFF become 0..127
    const unsigned cont = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpgt_epi8(f, below_cont), _mm_cmplt_epi8(f, above_cont))));
    const unsigned lead = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_and_si128(_mm_cmpgt_epi8(f, below_lead), _mm_cmplt_epi8(f, above_lead))));
    if ((cont | lead) == high) {
      // Every continuation byte must follow a lead byte, and only those.
      if (cont != (((lead << 1) | carry) & 0xFFFF)) return false;
      carry = (lead >> 15) & 1;
      i += 16;
      continue;
    }
    // Longer sequences: byte-wise from the sequence this block is inside of.
    const size_t from = carry ? i - 1 : i;
    i = CheckSequences(p, n, from, i + 16);
    if (i == SIZE_MAX) return false;
    carry = 0;
  }
  if (carry) i -= 1;
#endif
  return CheckSequences(p, n, i, n) != SIZE_MAX;
}

}  // namespace core
