#include "core/DesktopEntry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/FileUtil.h"
#include "core/Text.h"
#include "core/UserDirs.h"

namespace core {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

bool Representable(std::string_view value) {
  if (!IsValidUtf8(value)) return false;
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    // Line feed, tab and carriage return have escapes; other controls none.
    if ((u < 0x20 && c != '\n' && c != '\t' && c != '\r') || u == 0x7F) return false;
  }
  return true;
}

}  // namespace

std::string DesktopExecArgument(std::string_view arg) {
  const bool quote = arg.empty() || arg.find_first_of(kReserved) != std::string_view::npos;
  std::string out;
  out.reserve(arg.size() + 8);
  if (quote) out.push_back('"');
  for (const char c : arg) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out.push_back('\\');
    out.push_back(c);
  }
  if (quote) out.push_back('"');
  return out;
}

std::string DesktopStringValue(std::string_view value) {
  std::string out;
  out.reserve(value.size() + 4);
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case ' ':
        if (i == 0) {
          out += "\\s";
          break;
        }
        out.push_back(c);
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

bool DesktopEntryText(const DesktopEntry& entry, std::string* out) {
  for (const std::string* v : {&entry.name, &entry.program, &entry.folder, &entry.icon}) {
    if (!Representable(*v)) return false;
  }
  std::string text = "[Desktop Entry]\nType=Application\n";
  text += "Name=" + DesktopStringValue(entry.name) + "\n";
  text += "Exec=" + DesktopStringValue(DesktopExecArgument(entry.program)) + "\n";
  text += "Path=" + DesktopStringValue(entry.folder) + "\n";
  if (!entry.icon.empty()) text += "Icon=" + DesktopStringValue(entry.icon) + "\n";
  text += "Terminal=false\n";
  *out = std::move(text);
  return true;
}

Result WriteDesktopEntry(const std::string& folder, const std::string& file_name,
                         std::string_view text) {
  if (!MakeFolders(folder)) {
    return Result::Error(Code::kCreateFailed, {}, std::strerror(errno));
  }
  const std::string path = folder + (folder.back() == '/' ? "" : "/") + file_name;
  AtomicFileWriter writer;
  Result opened = writer.Open(path);
  if (!opened.ok()) return opened;
  writer.Write(text);
  Result committed = writer.Commit(true);
  if (!committed.ok()) return committed;
  if (::chmod(path.c_str(), 0755) != 0) {
    return Result::Error(Code::kWriteFailed, {}, std::strerror(errno));
  }
  return Result::Ok();
}

}  // namespace core
