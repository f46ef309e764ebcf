// core::SplitText against its contract, with a separator of 0 to 3 bytes and
// a limit taken from the input. Input: limit byte (signed), separator length
// byte, flags byte (bit 0: repeat the text past 64 KiB, where the splitter
// counts the separators first), the separator, then the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/Separator.h"

namespace {

// The same cutting written the plain way: leftmost matches, left to right,
// never overlapping.
std::vector<std::string> ReferenceSplit(std::string_view sep, std::string_view text, int limit) {
  std::vector<std::string> fields;
  if (text.empty() || limit < 0) return fields;
  if (sep.empty()) return {std::string(text)};
  size_t start = 0;
  for (size_t at = text.find(sep); at != std::string_view::npos; at = text.find(sep, start)) {
    fields.emplace_back(text.substr(start, at - start));
    if (static_cast<int>(fields.size()) == limit) return fields;
    start = at + sep.size();
  }
  fields.emplace_back(text.substr(start));
  return fields;
}

size_t CountSeparators(std::string_view sep, std::string_view text) {
  size_t n = 0;
  for (size_t at = text.find(sep); at != std::string_view::npos;
       at = text.find(sep, at + sep.size()))
    ++n;
  return n;
}

std::string Join(const core::TArrayOfString& fields, std::string_view sep) {
  std::string s;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) s += sep;
    s += fields[i];
  }
  return s;
}

void CheckFields(std::string_view sep, std::string_view text, int limit,
                 const core::TArrayOfString& fields) {
  const std::string where = "separator " + fuzz::Escaped(sep) + " limit " + std::to_string(limit) +
                            " text " + fuzz::Escaped(text);
  if (text.empty() || limit < 0) {
    FUZZ_CHECK(fields.empty(), where);
    return;
  }
  FUZZ_CHECK(!fields.empty(), where);
  if (sep.empty()) {
    FUZZ_CHECK(fields.size() == 1 && fields[0] == text, where);
    return;
  }
  FUZZ_CHECK(fields.size() <= text.size() / sep.size() + 1, where);
  for (const std::string& f : fields) {
    FUZZ_CHECK(f.find(sep) == std::string::npos, "a field holds the separator; " + where);
  }
  const size_t separators = CountSeparators(sep, text);
  const bool cut = limit > 0 && separators >= static_cast<size_t>(limit);
  if (cut) {
    // The fields in front of the first `limit` separators, the rest dropped.
    FUZZ_CHECK(fields.size() == static_cast<size_t>(limit), where);
    const std::string head = Join(fields, sep) + std::string(sep);
    FUZZ_CHECK(text.substr(0, head.size()) == head, where);
  } else {
    FUZZ_CHECK(fields.size() == separators + 1, where);
    FUZZ_CHECK(Join(fields, sep) == text, "joined fields differ from the text; " + where);
  }
  FUZZ_CHECK(fields == ReferenceSplit(sep, text, limit), where);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput in(data, size);
  const int limit = static_cast<int8_t>(in.Byte());
  const size_t sep_len = in.Byte() % 4;
  const bool long_text = in.Byte() & 1;
  const std::string sep(in.Take(sep_len));
  std::string text(in.Rest());
  if (long_text && !text.empty()) {
    while (text.size() <= 70000) text += text;
  }
  CheckFields(sep, text, limit, core::SplitText(sep, text, limit));
  // The loader's form: one separator byte and no limit.
  if (!sep.empty()) {
    const std::string one(1, sep[0]);
    CheckFields(one, text, 0, core::SplitText(one, text, 0));
  }
  return 0;
}
