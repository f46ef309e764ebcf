#include "core/Separator.h"

namespace core {

char SeparatorChar(const std::string& choice, std::string& other) {
  if (choice == "Tab") return '\t';
  if (choice == "Semikolon") return ';';
  if (choice == "Komma") return ',';
  if (choice == "Leerzeichen") return ' ';
  if (choice == "Anderes") {
    if (other.empty()) other = " ";
    return other[0];
  }
  return '\t';
}

char SeparatorChar(SeparatorSetting& setting) {
  return SeparatorChar(setting.choice, setting.other);
}

bool AutoDetectInForce(const SeparatorSetting& setting) {
  return setting.auto_detect && setting.choice != "Anderes";
}

std::string SeparatorDisplay(char separator) {
  if (separator == '\t') return "Tab";
  return std::string("\"") + separator + "\"";
}

TArrayOfString SplitText(std::string_view separator, std::string_view text, int limit) {
  TArrayOfString fields;
  if (text.empty() || limit < 0) return fields;
  if (separator.empty()) {
    fields.emplace_back(text);
    return fields;
  }
  const size_t len = text.size();
  const size_t sep_len = separator.size();
  // Sized once for the most fields the text can hold, cut to size at the end.
  // For a long text that bound can be far too generous (a 50 MB line would
  // ask for 50 million strings), so there the separators are counted first.
  size_t room = len / sep_len + 1;
  if (len > 65536) {
    room = 1;
    for (size_t p = text.find(separator); p != std::string_view::npos;
         p = text.find(separator, p + sep_len)) {
      ++room;
      if (limit > 0 && room >= static_cast<size_t>(limit)) break;
    }
  }
  fields.resize(room);
  size_t count = 0;
  size_t field_start = 0;
  size_t pos = 0;
  while (pos + sep_len <= len) {
    if (text[pos] == separator[0] && text.compare(pos, sep_len, separator) == 0) {
      fields[count].assign(text.data() + field_start, pos - field_start);
      ++count;
      if (static_cast<int>(count) == limit) {
        fields.resize(count);
        return fields;
      }
      pos += sep_len;
      field_start = pos;
    } else {
      ++pos;
    }
  }
  fields[count].assign(text.data() + field_start, len - field_start);
  ++count;
  fields.resize(count);
  return fields;
}

}  // namespace core
