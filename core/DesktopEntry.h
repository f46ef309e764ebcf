// Launcher files in the freedesktop desktop-entry format, as the program
// writes them onto the user's desktop.
#ifndef MARVESK_CORE_DESKTOPENTRY_H_
#define MARVESK_CORE_DESKTOPENTRY_H_

#include <string>
#include <string_view>

#include "core/Result.h"

namespace core {

// One argument of an Exec line: put in double quotes when it holds a
// character the format reserves, with `"`, `` ` ``, `$` and `\` escaped
// inside them; `%` is doubled (it starts a field code). The string escapes of
// the format are applied afterwards, by DesktopStringValue.
std::string DesktopExecArgument(std::string_view arg);

// A value of the string kind: backslash, line feed, tab and carriage return
// escaped; a leading blank as \s so that it survives the reader's trimming.
std::string DesktopStringValue(std::string_view value);

struct DesktopEntry {
  std::string name;     // Name=
  std::string program;  // the program's path, the only word of Exec=
  std::string folder;   // Path=, the working folder
  std::string icon;     // Icon=, an absolute file name
};

// The whole file: the [Desktop Entry] group with Type=Application, Name,
// Exec, Path, Icon and Terminal=false. False (and nothing in `out`) when a
// value is not UTF-8 text or holds a control character the format cannot
// carry.
[[nodiscard]] bool DesktopEntryText(const DesktopEntry& entry, std::string* out);

// Writes `text` as `folder`/`file_name` through the safe writer (an existing
// file is replaced, a failed write leaves it as it was), creating the folder
// when it is missing, and makes the file executable, as desktops require of
// a launcher they are to trust.
Result WriteDesktopEntry(const std::string& folder, const std::string& file_name,
                         std::string_view text);

}  // namespace core

#endif  // MARVESK_CORE_DESKTOPENTRY_H_
