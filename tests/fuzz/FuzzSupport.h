// Helpers shared by the fuzz targets: reading parameters from the input,
// scratch files on a memory file system, a quiet load observer, snapshots of
// loaded tables and the line rules of the file format written out plainly,
// as an independent model the loader is held to.
#ifndef MARVESK_TESTS_FUZZ_FUZZSUPPORT_H_
#define MARVESK_TESTS_FUZZ_FUZZSUPPORT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Loader.h"
#include "core/Table.h"

// Every target defines this; libFuzzer or ReplayMain.cc calls it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fuzz {

// Prints what failed and aborts, so that libFuzzer keeps the input and the
// replay test fails.
[[noreturn]] void Fail(const char* file, int line, const char* what, const std::string& detail);

#define FUZZ_CHECK(cond, detail)                                  \
  do {                                                            \
    if (!(cond)) ::fuzz::Fail(__FILE__, __LINE__, #cond, detail); \
  } while (0)

// The input as a stream of parameters; reads past the end give zeros.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size)
      : data_(reinterpret_cast<const char*>(data)), size_(size) {}

  uint8_t Byte() { return pos_ < size_ ? static_cast<uint8_t>(data_[pos_++]) : 0; }
  // A number in [0, bound); bound > 0.
  uint32_t Below(uint32_t bound);
  // Up to n bytes.
  std::string_view Take(size_t n);
  std::string_view Rest() { return Take(size_ - pos_); }
  bool empty() const { return pos_ >= size_; }

 private:
  const char* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Writes `bytes` to a file of that name in a directory of this process on a
// memory file system (made once, removed at exit) and returns its path.
std::string WriteScratch(const std::string& name, std::string_view bytes);
std::string ScratchPath(const std::string& name);
std::string ReadScratch(const std::string& path);

// Answers the configured separator, never reports Escape, records progress.
class QuietObserver : public core::LoadObserver {
 public:
  explicit QuietObserver(char separator) : separator_(separator) {}
  char ConfiguredSeparator() override { return separator_; }
  void Started(int) override { ++reading_started_; }
  void StoredRows(int64_t rows) override { stored_ = rows; }
  void Progress(int position) override { progress_.emplace_back(position, stored_); }
  bool EscapePressed() override { return false; }
  bool ConfirmContinue() override { return true; }

  const std::vector<std::pair<int, int64_t>>& progress() const { return progress_; }
  int reading_started() const { return reading_started_; }

 private:
  char separator_;
  int reading_started_ = 0;
  int64_t stored_ = 0;
  std::vector<std::pair<int, int64_t>> progress_;
};

// The outcome code of a load, whichever form the loader reports it in.
template <typename R>
int CodeOf(const R& r) {
  if constexpr (requires { r.status.code(); }) {
    return static_cast<int>(r.status.code());
  } else {
    return static_cast<int>(r.status);
  }
}

// The load read the file to its end.
template <typename R>
bool LoadedFully(const R& r) {
  if constexpr (requires { r.status.code(); }) {
    return r.status.ok();
  } else {
    return r.status == R::Status::kLoaded && !r.stopped;
  }
}

// The load stopped because the memory headroom ran out.
template <typename R>
bool OutOfMemory(const R& r) {
  if constexpr (requires { r.status.code(); }) {
    return r.status.code() == decltype(r.status.code())::kOutOfMemory;
  } else {
    return r.status == R::Status::kOutOfMemory;
  }
}

// Everything a load leaves behind, comparable between the two loading paths.
struct Snapshot {
  int status = 0;
  char separator = 0;
  bool detected = false, stopped = false, utf8 = false, unclosed_quote = false,
       looks_quoted = false;
  int64_t stored_rows = 0, lines_read = 0;
  int cols = 0, rows = 0;
  std::string cells;  // each row up to its last non-empty cell, lengths and bytes
  std::vector<std::pair<int, int64_t>> progress;

  bool operator==(const Snapshot&) const = default;
};

Snapshot TakeSnapshot(const core::LoadResult& r, const core::Table& t, const QuietObserver& obs);
// What differs between two snapshots, for the failure message.
std::string Describe(const Snapshot& a, const Snapshot& b);

using LoadFn = core::LoadResult (*)(const std::string&, bool, core::Table&, core::LoadObserver&,
                                    bool);

// The lines of a file as the reader yields them: a line ends at LF, CR is
// dropped, Ctrl-Z ends a line's text and, as a line's first byte, the file.
std::vector<std::string> ModelLines(std::string_view bytes);

// The separator detection over those lines: the deciding candidate and the
// field count of its line, or TAB and 0.
std::pair<char, size_t> ModelDetect(const std::vector<std::string>& lines);

// `bytes` quoted with escapes, cut short when long.
std::string Escaped(std::string_view bytes);

}  // namespace fuzz

#endif  // MARVESK_TESTS_FUZZ_FUZZSUPPORT_H_
