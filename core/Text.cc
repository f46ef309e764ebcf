#include "core/Text.h"

namespace core {

void Utf8Validator::Feed(const char* p, size_t n) {
  if (!valid_) return;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t b = static_cast<unsigned char>(p[i]);
    if (need_ == 0) {
      if (b < 0x80) continue;
      lower_ = 0x80;
      upper_ = 0xBF;
      if (b >= 0xC2 && b <= 0xDF) {
        need_ = 1;
      } else if (b >= 0xE0 && b <= 0xEF) {
        need_ = 2;
        if (b == 0xE0) lower_ = 0xA0;
        if (b == 0xED) upper_ = 0x9F;
      } else if (b >= 0xF0 && b <= 0xF4) {
        need_ = 3;
        if (b == 0xF0) lower_ = 0x90;
        if (b == 0xF4) upper_ = 0x8F;
      } else {
        valid_ = false;
        return;
      }
    } else {
      if (b < lower_ || b > upper_) {
        valid_ = false;
        return;
      }
      lower_ = 0x80;
      upper_ = 0xBF;
      --need_;
    }
  }
}

bool IsValidUtf8(std::string_view s) {
  Utf8Validator v;
  v.Feed(s);
  return v.valid();
}

}  // namespace core
