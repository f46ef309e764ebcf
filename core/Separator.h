// The field separator setting and the splitting of one line into fields.
#ifndef MARVESK_CORE_SEPARATOR_H_
#define MARVESK_CORE_SEPARATOR_H_

#include <string>
#include <string_view>
#include <vector>

namespace core {

using TArrayOfString = std::vector<std::string>;

// The separator choices as the info window lists them.
inline constexpr const char* kSeparatorChoices[] = {"Tab", "Semikolon", "Komma", "Leerzeichen",
                                                    "Anderes"};

// The setting as the info window's controls hold it.
struct SeparatorSetting {
  std::string choice = "Semikolon";  // text of the choice box
  std::string other = " ";           // the "Anderes" field
  bool auto_detect = true;           // "Automatisch" ticked
  // "Felder in Anführungszeichen": a field in double quotes may hold the
  // separator and line breaks, "" stands for one quote; off, quotes are
  // ordinary characters.
  bool quoted_fields = false;
  bool operator==(const SeparatorSetting&) const = default;
};

// Detection is in force: "Automatisch" is ticked and shown, which it is for
// every choice but "Anderes".
bool AutoDetectInForce(const SeparatorSetting& setting);

// The one separator character the setting stands for. With "Anderes" and an
// empty field the field becomes " " first.
char SeparatorChar(SeparatorSetting& setting);
// Same, for a choice and "Anderes" field held elsewhere.
char SeparatorChar(const std::string& choice, std::string& other);

// The separator as shown to the user: "Tab", or the character in double quotes.
std::string SeparatorDisplay(char separator);

// Cuts `text` at every occurrence of `separator`; see the loader for how lines
// reach it. A positive `limit` returns at most that many fields (the rest of
// the text is dropped), 0 means no limit, a negative limit returns nothing.
TArrayOfString SplitText(std::string_view separator, std::string_view text, int limit);

}  // namespace core

#endif  // MARVESK_CORE_SEPARATOR_H_
