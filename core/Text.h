// Byte-level text checks.
#ifndef MARVESK_CORE_TEXT_H_
#define MARVESK_CORE_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace core {

// Validates UTF-8 that arrives in pieces. Overlong forms, surrogates and
// code points above U+10FFFF count as invalid.
class Utf8Validator {
 public:
  void Feed(const char* p, size_t n);
  void Feed(std::string_view s) { Feed(s.data(), s.size()); }
  // True while everything fed so far is valid and no sequence is left open.
  bool valid() const { return valid_ && need_ == 0; }

 private:
  bool valid_ = true;
  int need_ = 0;           // continuation bytes still expected
  uint32_t lower_ = 0x80;  // allowed range of the next continuation byte
  uint32_t upper_ = 0xBF;
};

bool IsValidUtf8(std::string_view s);

}  // namespace core

#endif  // MARVESK_CORE_TEXT_H_
