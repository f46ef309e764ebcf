// Helpers shared by the core tests: a fresh directory per test, files written
// byte for byte, and an observer that records what a load reports.
#ifndef MARVESK_TESTS_CORE_TESTSUPPORT_H_
#define MARVESK_TESTS_CORE_TESTSUPPORT_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Loader.h"
#include "core/Table.h"

namespace testing_support {

// The two loading paths, for tests that hold both to the same outcome: a
// loader function called with quoted fields off unless told otherwise.
class LoadFn {
 public:
  using Fn = core::LoadResult (*)(const std::string&, bool, core::Table&, core::LoadObserver&,
                                  bool);
  constexpr LoadFn(Fn fn) : fn_(fn) {}  // NOLINT: converts like the function pointer it holds
  core::LoadResult operator()(const std::string& path, bool auto_detect, core::Table& table,
                              core::LoadObserver& observer, bool quoted = false) const {
    return fn_(path, auto_detect, table, observer, quoted);
  }

 private:
  Fn fn_;
};
struct LoadPath {
  const char* name;
  LoadFn load;
};
inline constexpr LoadPath kPaths[] = {{"LoadTable", &core::LoadTable},
                                      {"LoadTableSimple", &core::LoadTableSimple}};

// A directory of its own for every test, removed with everything in it.

class TempDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> serial{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("marvesk_") + info->test_suite_name() + "_" + info->name() +
                       "_" + std::to_string(::getpid()) + "_" + std::to_string(serial++);
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(dir_);
    ASSERT_TRUE(std::filesystem::create_directories(dir_));
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  // Writes the bytes exactly as given and returns the file's path.
  std::string WriteFile(const std::string& name, std::string_view bytes) const {
    const std::string path = PathOf(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out) << "could not write " << path;
    return path;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::filesystem::path dir_;
};

// Records every call; Escape can be reported at one chosen poll.
class RecordingObserver : public core::LoadObserver {
 public:
  explicit RecordingObserver(char separator = ';') : separator_(separator) {}

  char ConfiguredSeparator() override {
    ++separator_asked;
    return separator_;
  }
  void Started(int) override { ++reading_started; }
  void StoredRows(int64_t rows) override { stored_ = rows; }
  void Progress(int position) override { progress.emplace_back(position, stored_); }
  bool EscapePressed() override { return ++escape_polls == escape_at_poll; }
  bool ConfirmContinue() override {
    ++confirm_asked;
    return confirm_answer;
  }

  // 1-based poll at which Escape is reported; 0 never.
  int64_t escape_at_poll = 0;
  bool confirm_answer = true;

  int separator_asked = 0;
  int reading_started = 0;
  int64_t escape_polls = 0;
  int confirm_asked = 0;
  std::vector<std::pair<int, int64_t>> progress;

 private:
  int64_t stored_ = 0;

 private:
  char separator_;
};

using Rows = std::vector<std::vector<std::string>>;

// The data cells of rows 1..RowCount-1, columns 1..ColCount-1.
inline Rows DataRows(const core::Table& t) {
  Rows rows;
  for (int r = 1; r < t.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 1; c < t.ColCount(); ++c) row.emplace_back(t.Get(c, r));
    rows.push_back(std::move(row));
  }
  return rows;
}

// `rows` filled up with empty cells to `width` cells each.
inline Rows Padded(Rows rows, size_t width) {
  for (auto& row : rows) row.resize(width);
  return rows;
}

}  // namespace testing_support

#endif  // MARVESK_TESTS_CORE_TESTSUPPORT_H_
