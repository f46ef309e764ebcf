// Byte-level text checks.
#ifndef MARVESK_CORE_TEXT_H_
#define MARVESK_CORE_TEXT_H_

#include <string_view>

namespace core {

// True when `s` is valid UTF-8 (plain ASCII included). Overlong forms,
// surrogates and code points above U+10FFFF count as invalid.
bool IsValidUtf8(std::string_view s);

}  // namespace core

#endif  // MARVESK_CORE_TEXT_H_
