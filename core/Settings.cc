#include "core/Settings.h"

#include "core/Convert.h"
#include "core/FileUtil.h"
#include "core/LineReader.h"

namespace core {

bool LoadSettingsFile(const std::string& path, SettingsValues& values) {
  values.open_filter_index = 2;
  values.save_filter_index = 2;
  if (!FileExistsWait(path)) return false;
  FileReader reader;
  if (!reader.Open(path)) return false;
  std::string line;
  auto next = [&]() -> bool {
    reader.ReadLine(&line);
    return !reader.failed();
  };
  if (!next()) return true;
  if (!line.empty()) values.last_dir = line;
  if (!next()) return true;
  values.hide_banner = line == "1";
  if (!next()) return true;
  values.allow_row_col_move = line == "1";
  if (!next()) return true;
  values.separator_choice = line;
  if (!next()) return true;
  values.other_separator = line.empty() ? std::string(" ") : line.substr(0, 1);
  if (!next()) return true;
  try {
    values.open_filter_index = StrToIntStrict(line);
    if (reader.AtEof()) return true;
    if (!next()) return true;
    values.save_filter_index = StrToIntStrict(line);
  } catch (const ConvertError&) {
    return true;  // the reading ends at a bad number, silently
  }
  if (reader.AtEof()) return true;
  if (!next()) return true;
  values.auto_detect = line == "1";
  return true;
}

SaveSettingsResult SaveSettingsFile(const std::string& path, const SettingsValues& values,
                                    std::string* error) {
  AtomicFileWriter out;
  if (!out.Open(path, nullptr)) return SaveSettingsResult::kNotCreated;
  const std::string crlf = "\r\n";
  std::string text;
  text += values.last_dir + crlf;
  text += std::string(values.hide_banner ? "1" : "0") + crlf;
  text += std::string(values.allow_row_col_move ? "1" : "0") + crlf;
  text += values.separator_choice + crlf;
  text += values.other_separator + crlf;
  text += IntToStr(values.open_filter_index) + crlf;
  text += IntToStr(values.save_filter_index) + crlf;
  text += std::string(values.auto_detect ? "1" : "") + crlf;
  out.Write(text);
  if (!out.Commit(/*sync=*/true, error)) return SaveSettingsResult::kWriteFailed;
  return SaveSettingsResult::kWritten;
}

}  // namespace core
