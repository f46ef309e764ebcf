// Byte-level text checks.
#ifndef MARVESK_CORE_TEXT_H_
#define MARVESK_CORE_TEXT_H_

#include <string>
#include <string_view>

namespace core {

// True when `s` is valid UTF-8 (plain ASCII included). Overlong forms,
// surrogates and code points above U+10FFFF count as invalid.
bool IsValidUtf8(std::string_view s);

// The Unicode character of a Windows-1252 byte; the five bytes the code page
// leaves undefined map to the C1 control characters of the same value.
char16_t Cp1252ToUnicode(unsigned char b);
// The Windows-1252 byte of a character, or -1 when the code page has none.
int UnicodeToCp1252(char32_t u);

// A cell's bytes in one encoding (UTF-8 or Windows-1252) as bytes of the
// other. A character Windows-1252 cannot hold, or a byte that is no part of
// a valid UTF-8 sequence, becomes '?'. Equal encodings copy the bytes.
std::string RecodeText(std::string_view s, bool from_utf8, bool to_utf8);

}  // namespace core

#endif  // MARVESK_CORE_TEXT_H_
