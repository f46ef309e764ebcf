#include "core/Convert.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace core {

int32_t ToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return 0;  // the empty text, or no number at all
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    size_t exp_digits = 0;
    while (j < text.size() && text[j] >= '0' && text[j] <= '9') ++j, ++exp_digits;
    if (exp_digits == 0) return 0;
    i = j;
  }
  size_t end = i;
  while (end < text.size() && text[end] == ' ') ++end;
  if (end != text.size()) return 0;  // trailing rubbish: not a number

  // strtod is locale dependent; the number part holds only ASCII digits, sign,
  // '.' and the exponent, so parse it through from_chars, which is not.
  std::string number(text.substr(start, i - start));
  if (!number.empty() && number[0] == '+') number.erase(0, 1);
  double value = 0;
  const auto res = std::from_chars(number.data(), number.data() + number.size(), value);
  if (res.ec == std::errc::result_out_of_range) {
    value = (number[0] == '-') ? -HUGE_VAL : HUGE_VAL;
    // A tiny exponent underflows to (almost) zero, not infinity.
    const size_t e = number.find_first_of("eE");
    if (e != std::string::npos && number.find('-', e) != std::string::npos) value = 0;
  } else if (res.ec != std::errc()) {
    return 0;
  }
  const double rounded = std::nearbyint(value);  // default mode: half to even
  if (rounded >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (rounded <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(rounded);
}

int32_t StrToIntStrict(std::string_view text) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  std::string_view body = text.substr(b, e - b);
  bool plus = false;
  if (!body.empty() && body[0] == '+') {
    body.remove_prefix(1);
    plus = true;
  }
  int32_t value = 0;
  const auto res = std::from_chars(body.data(), body.data() + body.size(), value);
  if (body.empty() || res.ec != std::errc() || res.ptr != body.data() + body.size() ||
      (plus && body[0] == '-')) {
    throw ConvertError("'" + std::string(text) + "' ist kein gültiger Integerwert");
  }
  return value;
}

char FilterNumericKey(char key, char decimal) {
  if ((key == '.' || key == ',') && decimal != '#') key = decimal;
  if (key >= '0' && key <= '9') return key;
  if (key == 8) return key;
  if (key == decimal && decimal != '#') return key;
  return '\0';
}

std::string IntToStr(int64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

}  // namespace core
