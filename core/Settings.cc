#include "core/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include "core/Convert.h"
#include "core/FileUtil.h"
#include "core/LineReader.h"

namespace core {

namespace {

// The lines of the file applied in order; returns when a line is missing.
void ApplyLines(FileReader& reader, SettingsValues& values) {
  std::string line;
  auto next = [&]() -> bool {
    reader.ReadLine(&line);
    return !reader.failed();
  };
  if (!next()) return;
  if (!line.empty()) values.last_dir = line;
  if (!next()) return;
  values.hide_banner = line == "1";
  if (!next()) return;
  values.allow_row_col_move = line == "1";
  if (!next()) return;
  values.separator.choice = line;
  if (!next()) return;
  values.separator.other = line.empty() ? std::string(" ") : line.substr(0, 1);
  if (!next()) return;
  try {
    values.open_filter_index = StrToIntStrict(line);
    if (reader.AtEof()) return;
    if (!next()) return;
    values.save_filter_index = StrToIntStrict(line);
  } catch (const ConvertError&) {
    return;  // the reading ends at a bad number, silently
  }
  if (reader.AtEof()) return;
  if (!next()) return;
  values.separator.auto_detect = line == "1";
  if (reader.AtEof()) return;
  if (!next()) return;
  values.separator.quoted_fields = line == "1";
}

}  // namespace

Result LoadSettingsFile(const std::string& path, SettingsValues& values) {
  values.open_filter_index = 2;
  values.save_filter_index = 2;
  FileReader reader;
  if (!FileExistsWait(path) || !reader.Open(path)) return Result::Error(Code::kOpenFailed, {});
  // A line longer than the memory left ends the reading there, silently.
  (void)CatchOutOfMemory([&] { ApplyLines(reader, values); });
  return Result::Ok();
}

Result SaveSettingsFile(const std::string& path, const SettingsValues& values) {
  AtomicFileWriter out;
  if (const Result opened = out.Open(path); !opened.ok()) {
    return Result::Error(Code::kNotCreated, {}, opened.reason());
  }
  const std::string crlf = "\r\n";
  std::string text;
  text += values.last_dir + crlf;
  text += std::string(values.hide_banner ? "1" : "0") + crlf;
  text += std::string(values.allow_row_col_move ? "1" : "0") + crlf;
  text += values.separator.choice + crlf;
  text += values.separator.other + crlf;
  text += IntToStr(values.open_filter_index) + crlf;
  text += IntToStr(values.save_filter_index) + crlf;
  text += std::string(values.separator.auto_detect ? "1" : "") + crlf;
  text += std::string(values.separator.quoted_fields ? "1" : "") + crlf;
  out.Write(text);
  if (const Result committed = out.Commit(/*sync=*/true); !committed.ok()) {
    return Result::Error(Code::kWriteFailed,
                         "Die Einstellungen konnten nicht in " + path + " geschrieben werden",
                         committed.reason());
  }
  return Result::Ok();
}

namespace {

bool SystemFileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

// The system's own program folders belong to the package manager, even for
// root, who may write anywhere: a program installed there keeps its
// settings per user.
bool IsSystemProgramFolder(const std::string& folder) {
  for (const char* prefix : {"/usr/", "/opt/", "/bin/", "/sbin/", "/snap/"}) {
    if (folder.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

bool SystemFolderWritable(const std::string& folder) {
  return !IsSystemProgramFolder(folder) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

FolderProbe SystemFolderProbe() { return {&SystemFileExists, &SystemFolderWritable}; }

std::string SettingsFilePath(const std::string& program_dir, const std::string& user_dir,
                             const FolderProbe& probe) {
  const std::string beside = program_dir + kSettingsFileName;
  if (user_dir.empty() || probe.file_exists(beside) || probe.folder_writable(program_dir)) {
    return beside;
  }
  return user_dir + kSettingsFileName;
}

}  // namespace core
