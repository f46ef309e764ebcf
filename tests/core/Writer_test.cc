#include "core/Writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/FileUtil.h"
#include "core/Loader.h"
#include "core/Table.h"
#include "core/Transpose.h"

namespace core {
namespace {

namespace fs = std::filesystem;

// Data rows given as lists of cells; row numbers in column 0, column numbers
// in row 0, as after a load. Short rows are left short.
void FillRows(Table& t, const std::vector<std::vector<std::string>>& rows, int data_cols) {
  t.Reset(data_cols + 1, static_cast<int>(rows.size()) + 1);
  for (int c = 1; c <= data_cols; ++c) t.Set(c, 0, std::to_string(c));
  for (size_t r = 0; r < rows.size(); ++r) {
    const int row = static_cast<int>(r) + 1;
    t.Set(0, row, std::to_string(row));
    for (size_t c = 0; c < rows[r].size(); ++c) t.Set(static_cast<int>(c) + 1, row, rows[r][c]);
  }
}

// The expected file, built cell by cell through the plain accessors.
std::string Reference(const Table& t, char sep) {
  std::string out;
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 1; c < t.ColCount(); ++c) {
      out += t.Get(c, r);
      out += sep;
    }
    out += "\r\n";
  }
  return out;
}

std::string ReadFile(const std::string& path) {
  std::string s;
  EXPECT_TRUE(ReadWholeFile(path, &s).ok()) << path;
  return s;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

class RecordingObserver : public ProgressObserver {
 public:
  explicit RecordingObserver(int stop_after = -1) : stop_after_(stop_after) {}
  void Progress(int row) override { rows.push_back(row); }
  bool EscapePressed() override {
    ++polls;
    return !rows.empty() && rows.back() == stop_after_;
  }
  std::vector<int> rows;
  int polls = 0;

 private:
  int stop_after_;
};

class NoQuestions : public LoadObserver {
 public:
  char ConfiguredSeparator() override { return '\t'; }
  bool ConfirmContinue() override { return true; }
};

class WriterTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("marvesk_writer_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Names in the directory, to see that no temporary file is left behind.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path dir_;
};

TEST_F(WriterTest, LinesHoldTheDataCellsEachFollowedByTheSeparator) {
  struct Case {
    char sep;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {'\t', "a\tb\tc\t\r\nd\te\tf\t\r\n"},
      {';', "a;b;c;\r\nd;e;f;\r\n"},
      {',', "a,b,c,\r\nd,e,f,\r\n"},
  };
  Table t;
  FillRows(t, {{"a", "b", "c"}, {"d", "e", "f"}}, 3);
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "separator " << static_cast<int>(k.sep));
    const WriteResult result = WriteTable(t, Path("out.txt"), k.sep, nullptr, false);
    EXPECT_EQ(result.status.code(), Code::kOk);
    EXPECT_EQ(result.rows_written, 2);
    EXPECT_EQ(ReadFile(Path("out.txt")), k.expected);
  }
}

TEST_F(WriterTest, CellsAreWrittenByteForByte) {
  Table t;
  FillRows(t,
           {{"x;y", "\"q\"", " pad "},
            {std::string("n\0l", 3), "\xe4\xf6\xfc\xdf", std::string(16, 'L')},
            {"", "", "end"}},
           3);
  EXPECT_EQ(WriteTable(t, Path("out.csv"), ';', nullptr, false).status.code(), Code::kOk);
  EXPECT_EQ(ReadFile(Path("out.csv")), std::string("x;y;\"q\"; pad ;\r\n") +
                                           std::string("n\0l;", 4) + "\xe4\xf6\xfc\xdf;" +
                                           std::string(16, 'L') + ";\r\n;;end;\r\n");
}

TEST_F(WriterTest, ShortRowsStillGetEverySeparator) {
  Table t;
  FillRows(t, {{"a"}, {}, {"b", "", "c", "d"}}, 4);
  t.SetRowCount(5);  // a row that stores nothing, not even its number
  EXPECT_EQ(WriteTable(t, Path("out.txt"), ';', nullptr, false).status.code(), Code::kOk);
  EXPECT_EQ(ReadFile(Path("out.txt")), "a;;;;\r\n;;;;\r\nb;;c;d;\r\n;;;;\r\n");
}

TEST_F(WriterTest, OneColumnGivesBareLineEnds) {
  Table t;
  t.Reset(1, 4);
  t.Set(0, 1, "1");  // the row numbers are never written
  EXPECT_EQ(WriteTable(t, Path("out.txt"), '\t', nullptr, false).status.code(), Code::kOk);
  EXPECT_EQ(ReadFile(Path("out.txt")), "\r\n\r\n\r\n");
}

TEST_F(WriterTest, OneRowGivesAnEmptyFileReplacingTheOldOne) {
  WriteFile(Path("out.txt"), "old contents\r\n");
  Table t;
  t.Reset(5, 1);
  t.Set(2, 0, "2");
  RecordingObserver observer;
  const WriteResult result = WriteTable(t, Path("out.txt"), ';', &observer, false);
  EXPECT_EQ(result.status.code(), Code::kOk);
  EXPECT_EQ(result.rows_written, 0);
  EXPECT_TRUE(observer.rows.empty());
  EXPECT_EQ(ReadFile(Path("out.txt")), "");
}

TEST_F(WriterTest, ProgressAfterEveryRowAndEscapePolledEachTime) {
  Table t;
  FillRows(t, {{"a"}, {"b"}, {"c"}, {"d"}, {"e"}}, 1);
  RecordingObserver observer;
  EXPECT_EQ(WriteTable(t, Path("out.txt"), ';', &observer, true).status.code(), Code::kOk);
  EXPECT_EQ(observer.rows, (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_EQ(observer.polls, 5);
}

TEST_F(WriterTest, EscapeKeepsTheCompleteRowsWritten) {
  WriteFile(Path("out.txt"), std::string(5000, 'o'));  // longer than what stays
  Table t;
  FillRows(t, {{"a", "b"}, {"c", "d"}, {"e", "f"}, {"g", "h"}}, 2);
  RecordingObserver observer(/*stop_after=*/2);
  const WriteResult result = WriteTable(t, Path("out.txt"), ';', &observer, false);
  EXPECT_EQ(result.status.code(), Code::kStopped);
  EXPECT_EQ(result.rows_written, 2);
  EXPECT_EQ(observer.rows, (std::vector<int>{1, 2}));
  EXPECT_EQ(ReadFile(Path("out.txt")), "a;b;\r\nc;d;\r\n");
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
}

TEST_F(WriterTest, EscapeAfterTheLastRowIsAStopWithEverything) {
  Table t;
  FillRows(t, {{"a"}, {"b"}}, 1);
  RecordingObserver observer(/*stop_after=*/2);
  const WriteResult result = WriteTable(t, Path("out.txt"), ';', &observer, false);
  EXPECT_EQ(result.status.code(), Code::kStopped);
  EXPECT_EQ(result.rows_written, 2);
  EXPECT_EQ(ReadFile(Path("out.txt")), "a;\r\nb;\r\n");
}

TEST_F(WriterTest, LargeTablesMatchTheCellByCellForm) {
  // Several write chunks with cells of every length class and one cell far
  // longer than any buffer; then rows wider than a chunk, stored and empty.
  Table tall;
  tall.Reset(8, 60001);
  for (int r = 1; r < 60001; ++r) {
    for (int c = 1; c < 8; ++c) {
      const int len = (r * 7 + c * 13) % 41;
      tall.Set(c, r, std::string(static_cast<size_t>(len), static_cast<char>('a' + (r + c) % 26)));
    }
  }
  tall.Set(3, 30000, std::string(size_t{9} << 20, 'H'));
  // About a write chunk (2 MB): too long for a buffer that may still hold
  // the bytes after the last page boundary it handed on, and just not.
  tall.Set(5, 40000, std::string((size_t{2} << 20) - 2, 'J'));
  tall.Set(6, 50000, std::string((size_t{2} << 20) - 4098, 'K'));
  Table wide;
  wide.Reset(700001, 4);
  for (int c = 1; c < 700001; ++c) wide.Set(c, 2, std::string(c % 3 == 0 ? 20 : 5, 'w'));
  wide.Set(1, 3, "x");
  for (const Table* t : {&tall, &wide}) {
    for (const auto& [sep, sync] : {std::pair{';', false}, std::pair{'\t', true}}) {
      // Synced: straight to the disk, where the file system takes it.
      EXPECT_EQ(WriteTable(*t, Path("big.txt"), sep, nullptr, sync).status.code(), Code::kOk);
      const std::string written = ReadFile(Path("big.txt"));
      const std::string expected = Reference(*t, sep);
      ASSERT_EQ(written.size(), expected.size());
      EXPECT_TRUE(written == expected);
    }
  }
}

TEST_F(WriterTest, FullDeviceIsAWriteFailureAndStaysADevice) {
  struct stat st {};
  if (::stat("/dev/full", &st) != 0 || !S_ISCHR(st.st_mode)) GTEST_SKIP() << "no /dev/full";
  Table t;
  FillRows(t, {{"a", "b"}, {"c", "d"}}, 2);
  for (int extra : {0, 200000}) {  // failing at the end, and part way
    t.SetRowCount(3 + extra);
    for (int r = 3; r < 3 + extra; ++r) t.Set(1, r, "some text for the row");
    RecordingObserver observer;
    const WriteResult result = WriteTable(t, "/dev/full", ';', &observer, true);
    EXPECT_EQ(result.status.code(), Code::kWriteFailed);
    EXPECT_EQ(result.status.reason(), std::strerror(ENOSPC));
    EXPECT_EQ(result.rows_written, 0);
    ASSERT_EQ(::stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
}

TEST_F(WriterTest, UncreatableFilesAreReportedAndChangeNothing) {
  WriteFile(Path("plain"), "I am a file\r\n");
  fs::create_directory(Path("sub"));
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  struct Case {
    std::string path;
    std::string error;
  };
  const std::vector<Case> cases = {
      {Path("missing/out.txt"), std::strerror(ENOENT)},
      {Path("plain/out.txt"), std::strerror(ENOTDIR)},
      {Path("sub"), std::strerror(EISDIR)},
      {Path("pipe"), std::strerror(ENXIO)},  // nobody reads: no waiting for one
  };
  Table t;
  FillRows(t, {{"a"}}, 1);
  for (const Case& k : cases) {
    SCOPED_TRACE(k.path);
    RecordingObserver observer;
    const WriteResult result = WriteTable(t, k.path, ';', &observer, false);
    EXPECT_EQ(result.status.code(), Code::kCreateFailed);
    EXPECT_EQ(result.status.reason(), k.error);
    EXPECT_EQ(result.rows_written, 0);
    EXPECT_TRUE(observer.rows.empty());
  }
  EXPECT_EQ(ReadFile(Path("plain")), "I am a file\r\n");
  EXPECT_TRUE(fs::is_directory(Path("sub")));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"pipe", "plain", "sub"}));
}

TEST_F(WriterTest, FailedWriteLeavesTheEarlierFileByteIdentical) {
  // A file size limit makes the disk refuse part way through. It is set in a
  // child process, so that nothing else of the test run is limited.
  const std::string old_bytes = "the earlier file\r\nline two\r\n";
  WriteFile(Path("out.txt"), old_bytes);
  Table t;
  t.Reset(4, 100001);
  for (int r = 1; r < 100001; ++r) {
    for (int c = 1; c < 4; ++c) t.Set(c, r, "cell");
  }
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 64 << 10;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const WriteResult result = WriteTable(t, Path("out.txt"), ';', nullptr, true);
    const bool as_expected = result.status.code() == Code::kWriteFailed &&
                             result.status.reason() == std::strerror(EFBIG) &&
                             result.rows_written == 0;
    ::_exit(as_expected ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "WriteTable did not report the failed write";
  EXPECT_EQ(ReadFile(Path("out.txt")), old_bytes);
  EXPECT_EQ(Entries(), std::vector<std::string>{"out.txt"});
}

TEST_F(WriterTest, ReplacingKeepsTheFileMode) {
  WriteFile(Path("out.txt"), "old");
  ASSERT_EQ(::chmod(Path("out.txt").c_str(), 0640), 0);
  Table t;
  FillRows(t, {{"a"}}, 1);
  EXPECT_EQ(WriteTable(t, Path("out.txt"), ';', nullptr, true).status.code(), Code::kOk);
  struct stat st {};
  ASSERT_EQ(::stat(Path("out.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadFile(Path("out.txt")), "a;\r\n");
}

TEST_F(WriterTest, LoadedAgainTheFileHasOneMoreEmptyColumn) {
  WriteFile(Path("in.txt"), "alpha;b;c\r\nd;\xe4\xf6;f\r\n" + std::string(30, 'g') + ";h;i\r\n");
  for (char sep : {';', '\t', ','}) {
    SCOPED_TRACE(testing::Message() << "separator " << static_cast<int>(sep));
    NoQuestions questions;
    Table first;
    ASSERT_EQ(LoadTable(Path("in.txt"), true, first, questions).status.code(), Code::kOk);
    ASSERT_EQ(first.ColCount(), 4);
    ASSERT_EQ(first.RowCount(), 4);
    ASSERT_EQ(WriteTable(first, Path("out.txt"), sep, nullptr, false).status.code(), Code::kOk);
    Table second;
    const LoadResult loaded = LoadTable(Path("out.txt"), true, second, questions);
    ASSERT_EQ(loaded.status.code(), Code::kOk);
    EXPECT_EQ(loaded.separator, sep);
    EXPECT_EQ(second.ColCount(), first.ColCount() + 1);
    EXPECT_EQ(second.RowCount(), first.RowCount());
    for (int r = 0; r < first.RowCount(); ++r) {
      for (int c = 0; c < first.ColCount(); ++c) {
        EXPECT_EQ(second.Get(c, r), first.Get(c, r)) << "cell (" << c << ", " << r << ")";
      }
      if (r > 0) {
        EXPECT_EQ(second.Get(first.ColCount(), r), "");
      }
    }
    EXPECT_EQ(second.Get(first.ColCount(), 0), std::to_string(first.ColCount()));
  }
}

TEST_F(WriterTest, TransposedWrittenLoadedAndTransposedBackGivesTheOriginal) {
  std::string text;
  for (int r = 1; r <= 6; ++r) {
    for (int c = 1; c <= 4; ++c) {
      text += (c > 1 ? ";" : "") +
              std::string(static_cast<size_t>(r * c % 19 + 1), static_cast<char>('a' + r)) +
              std::to_string(c);
    }
    text += "\r\n";
  }
  WriteFile(Path("in.txt"), text);
  NoQuestions questions;
  Table original;
  ASSERT_EQ(LoadTable(Path("in.txt"), true, original, questions).status.code(), Code::kOk);
  ASSERT_EQ(original.ColCount(), 5);
  ASSERT_EQ(original.RowCount(), 7);

  Table transposed;
  ASSERT_TRUE(TransposeGrid(original, transposed, nullptr).ok());
  ASSERT_EQ(WriteTable(transposed, Path("t.txt"), '\t', nullptr, false).status.code(), Code::kOk);
  Table reloaded;
  ASSERT_EQ(LoadTable(Path("t.txt"), true, reloaded, questions).status.code(), Code::kOk);
  Table back;
  ASSERT_TRUE(TransposeGrid(reloaded, back, nullptr).ok());

  // The trailing separators add one row, holding only its number.
  EXPECT_EQ(back.ColCount(), original.ColCount());
  ASSERT_EQ(back.RowCount(), original.RowCount() + 1);
  for (int r = 0; r < original.RowCount(); ++r) {
    for (int c = 0; c < original.ColCount(); ++c) {
      EXPECT_EQ(back.Get(c, r), original.Get(c, r)) << "cell (" << c << ", " << r << ")";
    }
  }
  const int extra = original.RowCount();
  EXPECT_EQ(back.Get(0, extra), std::to_string(extra));
  for (int c = 1; c < back.ColCount(); ++c) EXPECT_EQ(back.Get(c, extra), "");
}

}  // namespace
}  // namespace core
