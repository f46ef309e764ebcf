// core::LoadSettingsFile on raw bytes: the values must be those the line
// rules give (an independent reading of the nine lines below), and saving
// them and loading the saved file must give them back, since every value read
// from a line is one a line can hold. The input is the file itself; the start
// values differ from the defaults, so a value left alone is seen.
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "core/Result.h"
#include "core/Settings.h"

namespace {

// The existence check before reading pauses 100 ms on purpose; a fuzz run
// cannot afford that per input, so the pause is skipped while loading.
bool skip_pauses = false;

class NoPauses {
 public:
  NoPauses() { skip_pauses = true; }
  ~NoPauses() { skip_pauses = false; }
  NoPauses(const NoPauses&) = delete;
  NoPauses& operator=(const NoPauses&) = delete;
};

}  // namespace

extern "C" int nanosleep(const struct timespec* req, struct timespec* rem) {
  if (skip_pauses) return 0;
  return static_cast<int>(::syscall(SYS_nanosleep, req, rem));
}

namespace {

// A whole decimal number of 32 bits, blanks around it allowed.
std::optional<int32_t> WholeNumber(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  const bool minus = !s.empty() && s.front() == '-';
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) s.remove_prefix(1);
  if (s.empty()) return std::nullopt;
  int64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) return std::nullopt;
  }
  if (minus) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  return static_cast<int32_t>(value);
}

// The values after reading `bytes` into `v`; lines past the end read empty.
core::SettingsValues ModelRead(std::string_view bytes, core::SettingsValues v) {
  const std::vector<std::string> lines = fuzz::ModelLines(bytes);
  auto line = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
  v.open_filter_index = 2;
  v.save_filter_index = 2;
  if (!line(0).empty()) v.last_dir = line(0);
  v.hide_banner = line(1) == "1";
  v.allow_row_col_move = line(2) == "1";
  v.separator.choice = line(3);
  v.separator.other = line(4).empty() ? std::string(" ") : line(4).substr(0, 1);
  const std::optional<int32_t> open = WholeNumber(line(5));
  if (!open) return v;
  v.open_filter_index = *open;
  if (lines.size() <= 6) return v;
  const std::optional<int32_t> save = WholeNumber(line(6));
  if (!save) return v;
  v.save_filter_index = *save;
  if (lines.size() <= 7) return v;
  v.separator.auto_detect = line(7) == "1";
  if (lines.size() <= 8) return v;
  v.separator.quoted_fields = line(8) == "1";
  return v;
}

std::string Show(const core::SettingsValues& v) {
  return "last_dir " + fuzz::Escaped(v.last_dir) + " hide_banner " + std::to_string(v.hide_banner) +
         " allow_row_col_move " + std::to_string(v.allow_row_col_move) + " choice " +
         fuzz::Escaped(v.separator.choice) + " other " + fuzz::Escaped(v.separator.other) +
         " filters " + std::to_string(v.open_filter_index) + "," +
         std::to_string(v.save_filter_index) + " auto " + std::to_string(v.separator.auto_detect) +
         " quoted " + std::to_string(v.separator.quoted_fields);
}

bool Same(const core::SettingsValues& a, const core::SettingsValues& b) { return a == b; }

core::SettingsValues StartValues(bool empty_dir, int variant) {
  core::SettingsValues v;
  v.last_dir = empty_dir ? "" : "/start/" + std::to_string(variant);
  v.hide_banner = true;
  v.allow_row_col_move = false;
  v.separator.choice = "Start" + std::to_string(variant);
  v.separator.other = "x";
  v.open_filter_index = 7;
  v.save_filter_index = 9;
  v.separator.auto_detect = false;
  v.separator.quoted_fields = variant == 1;
  return v;
}

core::SettingsValues Load(const std::string& path, core::SettingsValues v) {
  NoPauses no_pauses;
  const core::Result r = core::LoadSettingsFile(path, v);
  FUZZ_CHECK(r.ok(), "LoadSettingsFile of an existing file: " + r.message());
  return v;
}

// The nine lines as the writer must put them.
std::string Written(const core::SettingsValues& v) {
  std::string s;
  for (const std::string& line :
       {v.last_dir, std::string(v.hide_banner ? "1" : "0"),
        std::string(v.allow_row_col_move ? "1" : "0"), v.separator.choice, v.separator.other,
        std::to_string(v.open_filter_index), std::to_string(v.save_filter_index),
        std::string(v.separator.auto_detect ? "1" : ""),
        std::string(v.separator.quoted_fields ? "1" : "")}) {
    s += line + "\r\n";
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = fuzz::WriteScratch("settings.frb", bytes);
  const core::SettingsValues start = StartValues(size % 2 == 1, 1);
  const core::SettingsValues read = Load(path, start);
  const core::SettingsValues want = ModelRead(bytes, start);
  FUZZ_CHECK(Same(read, want),
             "read " + Show(read) + "\nwant " + Show(want) + "\nfile " + fuzz::Escaped(bytes));
  FUZZ_CHECK(read.separator.other.size() == 1, Show(read));

  const std::string saved_path = fuzz::ScratchPath("saved.frb");
  const core::Result saved = core::SaveSettingsFile(saved_path, read);
  FUZZ_CHECK(saved.ok(), "SaveSettingsFile: " + saved.message() + " " + saved.reason());
  const std::string saved_bytes = fuzz::ReadScratch(saved_path);
  FUZZ_CHECK(saved_bytes == Written(read), "saved " + fuzz::Escaped(saved_bytes));

  const core::SettingsValues other_start = StartValues(false, 2);
  core::SettingsValues again = Load(saved_path, other_start);
  if (read.last_dir.empty()) {
    FUZZ_CHECK(again.last_dir == other_start.last_dir, Show(again));
    again.last_dir = read.last_dir;
  }
  FUZZ_CHECK(Same(again, read), "load, save, load: " + Show(again) + "\nfirst " + Show(read));
  return 0;
}
