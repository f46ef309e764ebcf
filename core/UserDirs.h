// The user's own folders as the desktop names them: the home folder, the
// configuration folder and the desktop folder.
#ifndef MARVESK_CORE_USERDIRS_H_
#define MARVESK_CORE_USERDIRS_H_

#include <string>
#include <string_view>

namespace core {

struct UserEnvironment {
  std::string home;         // empty when it cannot be determined
  std::string config_home;  // $XDG_CONFIG_HOME when absolute, else home/.config
  std::string data_home;    // $XDG_DATA_HOME when absolute, else home/.local/share
};

// From the environment: HOME, else the password database.
UserEnvironment CurrentUserEnvironment();

// The desktop folder a user-dirs file names (the XDG_DESKTOP_DIR line, whose
// value is "$HOME/..." or an absolute path); empty when the file names none.
std::string ParseUserDirsDesktop(std::string_view content, const std::string& home);

// The desktop folder: the user-dirs file of the configuration folder, else
// home/Desktop; empty when no home folder is known. It need not exist yet.
std::string DesktopFolder(const UserEnvironment& env);

// Where the settings live when the program's own folder cannot keep them:
// config_home/Marvesk/ (with the separator); empty without a home.
std::string UserSettingsFolder(const UserEnvironment& env);

// Creates `path` and the folders above it that are missing (mode 0700 for
// the new ones, as they are the user's own). True when the folder exists.
bool MakeFolders(const std::string& path);

}  // namespace core

#endif  // MARVESK_CORE_USERDIRS_H_
