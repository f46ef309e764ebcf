// The settings file: nine lines next to the executable.
//
//   1 last directory        6 open dialog filter index
//   2 banner off ("1")      7 save dialog filter index (optional)
//   3 row/column moving     8 "Automatisch" ("1", optional)
//   4 separator choice      9 quoted fields ("1", optional: a file of
//   5 "Anderes" character     eight lines leaves them as they are)
#ifndef MARVESK_CORE_SETTINGS_H_
#define MARVESK_CORE_SETTINGS_H_

#include <string>

#include "core/Result.h"
#include "core/Separator.h"

namespace core {

inline constexpr const char kSettingsFileName[] = "Einstel_QZR.FRB";

struct SettingsValues {
  std::string last_dir;
  bool hide_banner = false;
  bool allow_row_col_move = true;
  SeparatorSetting separator;  // lines 4, 5, 8 and 9
  int open_filter_index = 2;
  int save_filter_index = 2;
  bool operator==(const SettingsValues&) const = default;
};

// Reads the file into `values`: both filter indices are set to 2 first, then
// every line read is applied in order. A missing file leaves the rest as it
// is; a line 6 or 7 that is no whole number ends the reading there, and so
// does a failure to read (or a line too long for the memory left). kOpenFailed
// (no message: nobody is told) when the file was not there or could not be
// opened.
Result LoadSettingsFile(const std::string& path, SettingsValues& values);

// Writes the nine lines with CR LF, flushed to disk. kNotCreated when the
// file cannot be created (skipped silently: the settings of this run are not
// kept); kWriteFailed, with the message "Die Einstellungen konnten nicht in
// <path> geschrieben werden", when writing failed: the old file is left as it
// was.
Result SaveSettingsFile(const std::string& path, const SettingsValues& values);

// What the choice of the settings file's place asks of the file system;
// tests pass their own.
struct FolderProbe {
  bool (*file_exists)(const std::string& path);
  bool (*folder_writable)(const std::string& folder);
};
// The file system as it is; a folder under /usr, /opt, /bin, /sbin or /snap
// never counts as writable for settings, whoever runs the program.
FolderProbe SystemFolderProbe();

// The settings file's path. Beside the program (`program_dir`, ending in the
// separator) whenever a settings file is there or that folder may be
// written, so a copied, portable program keeps its file where it always
// was. An installed program's folder cannot be written: its settings go to
// `user_dir` (the per-user configuration folder), which SaveSettingsFile's
// caller creates. An empty `user_dir` keeps the program's folder.
std::string SettingsFilePath(const std::string& program_dir, const std::string& user_dir,
                             const FolderProbe& probe);

}  // namespace core

#endif  // MARVESK_CORE_SETTINGS_H_
