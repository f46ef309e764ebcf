// Number and key conversions shared by the windows.
#ifndef MARVESK_CORE_CONVERT_H_
#define MARVESK_CORE_CONVERT_H_

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace core {

// Raised by StrToIntStrict; what() is the text the user sees.
class ConvertError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads a decimal number ("  -2.5", "1E3"; the decimal point is always '.')
// and rounds it half to even into 32 bits. The empty text gives 0. Texts that
// are not such a number give 0; numbers beyond the 32-bit range are clamped
// to it, so the caller's clamping to the table still finds the right edge.
int32_t ToInt(std::string_view text);

// A whole decimal number in 32 bits, blanks around it allowed; anything else
// raises ConvertError("'<text>' ist kein gültiger Integerwert").
int32_t StrToIntStrict(std::string_view text);

// Key filter of the numeric fields: returns the character to use instead of
// `key`, or '\0' when the key is dropped. `decimal` '#' means no decimal
// character is allowed.
char FilterNumericKey(char key, char decimal);

// Decimal text of a number.
std::string IntToStr(int64_t value);

}  // namespace core

#endif  // MARVESK_CORE_CONVERT_H_
