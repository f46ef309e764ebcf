#include "core/UserDirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "core/FileUtil.h"

namespace core {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool Absolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string WithoutTrailingSlash(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (Absolute(home)) return WithoutTrailingSlash(home);
  // getpwuid_r with a buffer of the size the system suggests.
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &found) == 0 && found &&
      Absolute(found->pw_dir ? std::string(found->pw_dir) : std::string())) {
    return WithoutTrailingSlash(found->pw_dir);
  }
  return {};
}

// The value of a user-dirs line, its quotes removed and the backslash escapes
// of the shell undone; false when the line is not of the form NAME="value".
bool QuotedValue(std::string_view line, std::string* out) {
  if (line.size() < 2 || line.front() != '"') return false;
  out->clear();
  for (size_t i = 1; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') return true;
    if (c == '\\' && i + 1 < line.size()) {
      out->push_back(line[++i]);
      continue;
    }
    out->push_back(c);
  }
  return false;  // no closing quote
}

}  // namespace

UserEnvironment CurrentUserEnvironment() {
  UserEnvironment env;
  env.home = HomeFolder();
  const std::string config = Env("XDG_CONFIG_HOME");
  const std::string data = Env("XDG_DATA_HOME");
  if (Absolute(config)) {
    env.config_home = WithoutTrailingSlash(config);
  } else if (!env.home.empty()) {
    env.config_home = env.home + "/.config";
  }
  if (Absolute(data)) {
    env.data_home = WithoutTrailingSlash(data);
  } else if (!env.home.empty()) {
    env.data_home = env.home + "/.local/share";
  }
  return env;
}

std::string ParseUserDirsDesktop(std::string_view content, const std::string& home) {
  constexpr std::string_view kKey = "XDG_DESKTOP_DIR=";
  std::string found;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    std::string_view line = content.substr(start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    std::string value;
    if (!QuotedValue(line.substr(kKey.size()), &value)) continue;
    // The file allows two forms only; anything else is ignored, as the
    // desktop's own tools ignore it. The last valid line wins.
    if (value.rfind("$HOME", 0) == 0 && (value.size() == 5 || value[5] == '/')) {
      if (home.empty()) continue;
      found = home + value.substr(5);
    } else if (Absolute(value)) {
      found = value;
    }
  }
  return found.empty() ? found : WithoutTrailingSlash(found);
}

std::string DesktopFolder(const UserEnvironment& env) {
  if (env.home.empty()) return {};
  if (!env.config_home.empty()) {
    std::string content;
    if (ReadWholeFile(env.config_home + "/user-dirs.dirs", &content).ok()) {
      std::string named = ParseUserDirsDesktop(content, env.home);
      if (!named.empty()) return named;
    }
  }
  return env.home + "/Desktop";
}

std::string UserSettingsFolder(const UserEnvironment& env) {
  if (env.config_home.empty()) return {};
  return env.config_home + "/Marvesk/";
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::string trimmed = WithoutTrailingSlash(path);
  const std::string parent = DirectoryPart(trimmed);
  if (!parent.empty() && parent != trimmed && !MakeFolders(parent)) return false;
  if (::mkdir(trimmed.c_str(), 0700) == 0 || errno == EEXIST) {
    return ::stat(trimmed.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }
  return false;
}

}  // namespace core
