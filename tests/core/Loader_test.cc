#include "core/Loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Memory.h"
#include "core/Table.h"

namespace core {
namespace {

using testing_support::DataRows;
using testing_support::Padded;
using testing_support::RecordingObserver;
using testing_support::Rows;
using testing_support::TempDirTest;

using testing_support::kPaths;
using testing_support::LoadFn;

// Row numbers in column 0 must run 1..RowCount-1 without gaps.
void ExpectRowNumbers(const Table& t, int rows) {
  ASSERT_EQ(t.RowCount(), rows + 1);
  for (int r = 1; r <= rows; ++r) ASSERT_EQ(t.Get(0, r), std::to_string(r)) << "row " << r;
  EXPECT_EQ(t.Get(0, 0), "");
}

// ---------------------------------------------------------------------------
// Line rules, with the separator ';' configured and no detection.

struct LineCase {
  const char* name;
  std::string bytes;
  Rows rows;
  int64_t lines_read;
};

// Names the case in test listings (instead of a dump of its bytes).
void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }

class LineRulesTest : public TempDirTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(LineRulesTest, BothPathsStoreTheLines) {
  const LineCase& c = GetParam();
  const std::string path = WriteFile("in.txt", c.bytes);
  size_t widest = 0;
  for (const auto& row : c.rows) widest = std::max(widest, row.size());
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    ClearGrid(t);
    RecordingObserver obs(';');
    const LoadResult res = p.load(path, false, t, obs);
    EXPECT_EQ(res.status.code(), Code::kOk);
    EXPECT_EQ(res.stored_rows, static_cast<int64_t>(c.rows.size()));
    EXPECT_EQ(res.lines_read, c.lines_read);
    if (c.rows.empty()) {
      EXPECT_EQ(t.RowCount(), 2);
      EXPECT_EQ(t.ColCount(), 2);
      EXPECT_EQ(t.Get(0, 1), "");
    } else {
      ExpectRowNumbers(t, static_cast<int>(c.rows.size()));
      EXPECT_EQ(t.ColCount(), static_cast<int>(widest) + 1);
      EXPECT_EQ(DataRows(t), Padded(c.rows, widest));
    }
    for (int col = 0; col < t.ColCount(); ++col)
      EXPECT_EQ(t.Get(col, 0), "") << "row 0 stays empty";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineRulesTest,
    ::testing::Values(
        LineCase{"Lf", "a;b\nc\n", {{"a", "b"}, {"c"}}, 2},
        LineCase{"CrLf", "a;b\r\nc\r\n", {{"a", "b"}, {"c"}}, 2},
        LineCase{"LoneCrInAFieldIsDropped", "a\rb;c\nd\re\r\n", {{"ab", "c"}, {"de"}}, 2},
        LineCase{"CrBeforeTheSeparator", "a\r;b\n", {{"a", "b"}}, 1},
        LineCase{"SeveralCrsInARow", "a\r\r\r\nb\n", {{"a"}, {"b"}}, 2},
        LineCase{"CrAtTheEndOfTheFile", "a;b\r", {{"a", "b"}}, 1},
        LineCase{"CtrlZMidLineSkipsToTheLf",
                 "ab\x1a"
                 "cd;e\nf;g\n",
                 {{"ab"}, {"f", "g"}},
                 2},
        LineCase{"CtrlZAfterASeparator", "a;\x1a;;;\nb\n", {{"a", ""}, {"b"}}, 2},
        LineCase{"CtrlZMidLastLine", "a\nb\x1a;c", {{"a"}, {"b"}}, 2},
        LineCase{"CtrlZAtALineStartEndsTheFile",
                 "a\n\x1a"
                 "b\nc\n",
                 {{"a"}},
                 1},
        LineCase{"CtrlZAtTheFileStart",
                 "\x1a"
                 "a;b\nc\n",
                 {},
                 1},
        LineCase{"CtrlZAfterCrLf", "a\r\n\x1a\r\nb\n", {{"a"}}, 1},
        LineCase{"LastLineWithoutLf", "a\nb;c", {{"a"}, {"b", "c"}}, 2},
        LineCase{"EmptyLinesAreSkipped", "a\n\n\nb\n\r\n\nc", {{"a"}, {"b"}, {"c"}}, 7},
        LineCase{"LineOfBlanksIsNotEmpty", "a\n  \nb\n", {{"a"}, {"  "}, {"b"}}, 3},
        LineCase{"TrailingSeparatorGivesEmptyField", "a;\n;\n", {{"a", ""}, {"", ""}}, 2},
        LineCase{"NulBytesAreData",
                 std::string("a\0b;\0\n\0\n", 8),
                 {{std::string("a\0b", 3), std::string(1, '\0')}, {std::string(1, '\0')}},
                 2},
        LineCase{"QuotesAreNotInterpreted", "\"a;b\";c\n", {{"\"a", "b\"", "c"}}, 1},
        LineCase{"EmptyFile", "", {}, 1}, LineCase{"OnlyALf", "\n", {}, 1},
        LineCase{"OnlyEmptyLines", "\n\n\r\n", {}, 3},
        LineCase{"TrailingEmptyLine", "a\n\n", {{"a"}}, 2},
        LineCase{
            "LongFieldsAndShortFields",
            std::string(40, 'x') + ";" + std::string(15, 'y') + ";" + std::string(16, 'z') + "\n",
            {{std::string(40, 'x'), std::string(15, 'y'), std::string(16, 'z')}},
            1}),
    [](const auto& info) { return std::string(info.param.name); });

class LoaderTest : public TempDirTest {
 protected:
  LoadResult Load(const std::string& path, bool auto_detect, Table& t, RecordingObserver& obs,
                  LoadFn fn = &LoadTable) {
    ClearGrid(t);
    return fn(path, auto_detect, t, obs);
  }
};

TEST_F(LoaderTest, VeryLongLineWithoutLf) {
  std::string bytes(5u << 20, 'q');
  bytes[1234567] = ';';
  const std::string path = WriteFile("long.txt", bytes);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    RecordingObserver obs(';');
    const LoadResult res = Load(path, false, t, obs, p.load);
    EXPECT_EQ(res.stored_rows, 1);
    EXPECT_EQ(res.lines_read, 1);
    ASSERT_EQ(t.ColCount(), 3);
    EXPECT_EQ(t.Get(1, 1), std::string(1234567, 'q'));
    EXPECT_EQ(t.Get(2, 1), std::string(bytes.size() - 1234568, 'q'));
  }
}

TEST_F(LoaderTest, HundredThousandFieldsInOneLine) {
  constexpr int kFields = 100000;
  std::string bytes;
  for (int i = 0; i < kFields; ++i) bytes += (i ? ";" : "") + std::to_string(i);
  bytes += "\nlast\n";
  const std::string path = WriteFile("wide.txt", bytes);
  for (bool detect : {false, true}) {
    for (const auto& p : kPaths) {
      SCOPED_TRACE(std::string(p.name) + (detect ? " detected" : " configured"));
      Table t;
      RecordingObserver obs(';');
      const LoadResult res = Load(path, detect, t, obs, p.load);
      EXPECT_EQ(res.separator, ';');
      ASSERT_EQ(t.ColCount(), kFields + 1);
      ExpectRowNumbers(t, 2);
      for (int i = 0; i < kFields; ++i) ASSERT_EQ(t.Get(i + 1, 1), std::to_string(i)) << i;
      EXPECT_EQ(t.Get(1, 2), "last");
      EXPECT_EQ(t.Get(2, 2), "");
      EXPECT_EQ(t.Get(kFields, 0), detect ? std::to_string(kFields) : "");
    }
  }
}

TEST_F(LoaderTest, Utf8FlagFollowsTheBytes) {
  struct Case {
    std::string bytes;
    bool utf8;
  };
  const Case cases[] = {{"plain;ascii\n", true},
                        {"M\xC3\xBCller;Stra\xC3\x9F"
                         "e\n",
                         true},
                        {"\xE2\x82\xAC;\xF0\x9F\x98\x80\n", true},
                        {"M\xFCller;x\n", false},
                        {"ok\nok\nbad \xE4\n", false},
                        {"\xC3\n\xA4\n", false},                // a sequence cut by the line end
                        {"\xC0\xAF\n", false},                  // overlong
                        {"\xED\xA0\x80\n", false},              // surrogate
                        {"\xED\x9F\xBF;\xEE\x80\x80\n", true},  // just below them
                        {"\xE0\x9F\xBF;x\n", false},            // overlong three-byte
                        {"\xE0\xA0\x80;x\n", true},             // the first real one
                        {std::string(40, 'a') + ";\xE0\x80\xAF\n", false},  // behind a block
                        {"a\x1a\xE4\n", true},    // skipped behind Ctrl-Z: not loaded
                        {"\xC3\r\xA4\n", true},   // the dropped CR joins the sequence
                        {"\xE4\n\x1a\n", false},  // stored before the end of the file
                        {"", true}};
  for (const auto& c : cases) {
    const std::string path = WriteFile("u.txt", c.bytes);
    for (const auto& p : kPaths) {
      Table t;
      t.set_utf8(!c.utf8);  // the load decides, whatever was there before
      RecordingObserver obs(';');
      ASSERT_TRUE(Load(path, false, t, obs, p.load).status.ok()) << p.name;
      EXPECT_EQ(t.utf8(), c.utf8) << p.name << " on '" << c.bytes << "'";
    }
  }
}

TEST_F(LoaderTest, Utf8FlagCoversTheRowsStoredBeforeAStop) {
  const std::string path = WriteFile("u.txt", "ok\n\xE4\nok\n");
  for (const auto& p : kPaths) {
    Table t;
    RecordingObserver obs(';');
    obs.escape_at_poll = 2;
    obs.confirm_answer = false;
    EXPECT_TRUE(Load(path, false, t, obs, p.load).stopped) << p.name;
    EXPECT_EQ(t.RowCount(), 3) << p.name;
    EXPECT_FALSE(t.utf8()) << p.name;
  }
}

// ---------------------------------------------------------------------------
// Detection.

TEST_F(LoaderTest, TwoFieldsBySemicolonAreNotDetected) {
  Table t;
  RecordingObserver obs(',');
  const LoadResult res = Load(WriteFile("f.txt", "a;b\nc;d\n"), true, t, obs);
  EXPECT_FALSE(res.detected);
  EXPECT_EQ(res.separator, '\t');
  EXPECT_EQ(obs.separator_asked, 0);
  EXPECT_EQ(DataRows(t), (Rows{{"a;b"}, {"c;d"}}));
  EXPECT_EQ(t.Get(1, 0), "");
}

TEST_F(LoaderTest, DecimalCommasDetectComma) {
  Table t;
  RecordingObserver obs;
  const LoadResult res = Load(WriteFile("f.txt", "1,5;2,5\n"), true, t, obs);
  EXPECT_TRUE(res.detected);
  EXPECT_EQ(res.separator, ',');
  EXPECT_EQ(DataRows(t), (Rows{{"1", "5;2", "5"}}));
  EXPECT_EQ(t.Get(1, 0), "1");
  EXPECT_EQ(t.Get(2, 0), "2");
  EXPECT_EQ(t.Get(3, 0), "3");
}

TEST_F(LoaderTest, SemicolonWinsOverCommas) {
  Table t;
  RecordingObserver obs;
  const LoadResult res = Load(WriteFile("f.txt", "a,b,c,d\nx,y;z;w,v\n"), true, t, obs);
  EXPECT_EQ(res.separator, ';');
  EXPECT_EQ(DataRows(t), Padded(Rows{{"a,b,c,d"}, {"x,y", "z", "w,v"}}, 3));
}

TEST_F(LoaderTest, TabIsTriedLast) {
  Table t;
  RecordingObserver obs;
  const LoadResult res = Load(WriteFile("f.txt", "a\tb\tc;d\n"), true, t, obs);
  EXPECT_EQ(res.separator, '\t');
  EXPECT_TRUE(res.detected);
  EXPECT_EQ(DataRows(t), (Rows{{"a", "b", "c;d"}}));
  EXPECT_EQ(t.Get(3, 0), "3");
}

TEST_F(LoaderTest, OnlyTheFirstHundredLinesAreProbed) {
  std::string head;
  for (int i = 0; i < 99; ++i) head += "a;b\n";
  struct Case {
    const char* name;
    std::string bytes;
    char separator;
    bool detected;
    int header_count;
  };
  const Case cases[] = {
      {"line 100 decides", head + "x;y;z\n", ';', true, 3},
      {"line 101 is not probed", head + "a;b\nx;y;z\n", '\t', false, 0},
      {"comma next, from the first line", "p,q,r\n" + head + "x;y;z;w\n", ',', true, 3},
      {"empty lines count", std::string(100, '\n') + "x;y;z\n", '\t', false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    RecordingObserver obs;
    const LoadResult res = Load(WriteFile("f.txt", c.bytes), true, t, obs);
    EXPECT_EQ(res.separator, c.separator);
    EXPECT_EQ(res.detected, c.detected);
    for (int j = 1; j < t.ColCount(); ++j) {
      EXPECT_EQ(t.Get(j, 0), j <= c.header_count ? std::to_string(j) : "") << "column " << j;
    }
  }
}

TEST_F(LoaderTest, WidestLineSetsColCountHeaderStopsAtTheDecidingLine) {
  Table t;
  RecordingObserver obs;
  const LoadResult res = Load(WriteFile("f.txt", "a;b;c\n1;2;3;4;5\nx\n"), true, t, obs);
  EXPECT_EQ(res.separator, ';');
  ASSERT_EQ(t.ColCount(), 6);
  const std::vector<std::string> header = {"", "1", "2", "3", "", ""};
  for (int j = 0; j < 6; ++j) EXPECT_EQ(t.Get(j, 0), header[static_cast<size_t>(j)]);
  EXPECT_EQ(DataRows(t), Padded(Rows{{"a", "b", "c"}, {"1", "2", "3", "4", "5"}, {"x"}}, 5));
}

TEST_F(LoaderTest, StopBeforeTheDecidingLineCutsColumnsBack) {
  Table t;
  RecordingObserver obs;
  obs.escape_at_poll = 1;
  obs.confirm_answer = false;
  const LoadResult res = Load(WriteFile("f.txt", "a;b\n1;2;3;4;5\n"), true, t, obs);
  EXPECT_TRUE(res.detected);
  EXPECT_TRUE(res.stopped);
  EXPECT_EQ(res.stored_rows, 1);
  ASSERT_EQ(t.ColCount(), 3);
  EXPECT_EQ(t.Get(1, 0), "1");
  EXPECT_EQ(t.Get(2, 0), "2");
  EXPECT_EQ(DataRows(t), (Rows{{"a", "b"}}));
  t.SetColCount(6);
  EXPECT_EQ(t.Get(3, 0), "") << "the header cells beyond were discarded";
}

TEST_F(LoaderTest, NarrowerFileLowersTheColumnsOfTheTableBefore) {
  Table t;
  t.SetColCount(9);
  RecordingObserver obs(';');
  ASSERT_TRUE(Load(WriteFile("g.txt", "a\n"), false, t, obs).status.ok());
  EXPECT_EQ(t.ColCount(), 2);
}

TEST_F(LoaderTest, EmptyFileWithDetectionGivesTab) {
  Table t;
  t.SetColCount(6);
  RecordingObserver obs;
  ClearGrid(t);
  const LoadResult res = LoadTable(WriteFile("e.txt", ""), true, t, obs);
  EXPECT_EQ(res.status.code(), Code::kOk);
  EXPECT_EQ(res.separator, '\t');
  EXPECT_FALSE(res.detected);
  EXPECT_EQ(res.stored_rows, 0);
  EXPECT_EQ(t.RowCount(), 2);
  EXPECT_EQ(t.ColCount(), 6) << "no row stored and nothing decided: the count stays";
}

TEST_F(LoaderTest, EmptyLinesInTheMiddleWithDetection) {
  Table t;
  RecordingObserver obs;
  const LoadResult res = Load(WriteFile("f.txt", "\n\na;b;c\n\n\nd;e;f\n\n"), true, t, obs);
  EXPECT_EQ(res.separator, ';');
  EXPECT_EQ(res.lines_read, 7);
  ExpectRowNumbers(t, 2);
  EXPECT_EQ(DataRows(t), (Rows{{"a", "b", "c"}, {"d", "e", "f"}}));
}

TEST_F(LoaderTest, WithoutDetectionTheConfiguredSeparatorIsUsed) {
  Table t;
  RecordingObserver obs('|');
  const LoadResult res = Load(WriteFile("f.txt", "a;b;c|d\ne|f|g\n"), false, t, obs);
  EXPECT_EQ(obs.separator_asked, 1);
  EXPECT_EQ(res.separator, '|');
  EXPECT_FALSE(res.detected);
  EXPECT_EQ(DataRows(t), Padded(Rows{{"a;b;c", "d"}, {"e", "f", "g"}}, 3));
  for (int j = 0; j < t.ColCount(); ++j) EXPECT_EQ(t.Get(j, 0), "");
}

TEST_F(LoaderTest, LineCharactersAsSeparator) {
  // Such separators never split a line, as the line rules take the character first.
  for (char sep : {'\r', '\n', '\x1a'}) {
    Table t;
    RecordingObserver obs(sep);
    const LoadResult res = Load(WriteFile("f.txt", "a\rb\nc\n"), false, t, obs);
    EXPECT_EQ(res.stored_rows, 2) << static_cast<int>(sep);
    EXPECT_EQ(DataRows(t), (Rows{{"ab"}, {"c"}})) << static_cast<int>(sep);
  }
}

// ---------------------------------------------------------------------------
// The observer.

std::string Lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "v" + std::to_string(i) + "\n";
  return s;
}

TEST_F(LoaderTest, ProgressAtEveryHundredthValueOfTheWrappingCounter) {
  constexpr int kLines = 20100;
  const std::string path = WriteFile("p.txt", Lines(kLines));
  // The counter of line L is L mod 10001: 1..10000, then 0, 1, ...
  std::vector<std::pair<int, int64_t>> expected;
  for (int line = 1; line <= kLines; ++line) {
    const int counter = line % 10001;
    if (counter % 100 == 0) expected.emplace_back(counter, line);
  }
  ASSERT_EQ(expected.size(), 202u);
  ASSERT_EQ(expected[99].first, 10000);
  ASSERT_EQ(expected[100].first, 0);
  ASSERT_EQ(expected[101].first, 100);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    RecordingObserver obs(';');
    const LoadResult res = Load(path, false, t, obs, p.load);
    EXPECT_EQ(res.lines_read, kLines);
    EXPECT_EQ(obs.reading_started, 1);
    EXPECT_EQ(obs.progress, expected);
    EXPECT_EQ(obs.escape_polls, kLines);
  }
}

TEST_F(LoaderTest, ProgressCountsEmptyLinesAndReportsStoredRows) {
  std::string bytes;
  for (int i = 1; i <= 300; ++i) bytes += (i % 3 == 0) ? "x\n" : "\n";
  const std::string path = WriteFile("p.txt", bytes);
  for (const auto& p : kPaths) {
    Table t;
    RecordingObserver obs(';');
    ASSERT_TRUE(Load(path, false, t, obs, p.load).status.ok()) << p.name;
    const std::vector<std::pair<int, int64_t>> expected = {{100, 33}, {200, 66}, {300, 100}};
    EXPECT_EQ(obs.progress, expected) << p.name;
  }
}

TEST_F(LoaderTest, EscapeAnsweredYesLoadsEverything) {
  const std::string path = WriteFile("p.txt", Lines(500));
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    RecordingObserver obs(';');
    obs.escape_at_poll = 120;
    obs.confirm_answer = true;
    const LoadResult res = Load(path, false, t, obs, p.load);
    EXPECT_EQ(obs.confirm_asked, 1);
    EXPECT_FALSE(res.stopped);
    EXPECT_EQ(res.stored_rows, 500);
    ExpectRowNumbers(t, 500);
    EXPECT_EQ(t.Get(1, 500), "v500");
  }
}

TEST_F(LoaderTest, EscapeAnsweredNoKeepsTheRowsSoFar) {
  // Two empty lines among the first 120; the poll after line 120 stops.
  std::string bytes = Lines(100) + "\n\n" + Lines(300);
  const std::string path = WriteFile("p.txt", bytes);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    RecordingObserver obs(';');
    obs.escape_at_poll = 120;
    obs.confirm_answer = false;
    const LoadResult res = Load(path, false, t, obs, p.load);
    EXPECT_EQ(res.status.code(), Code::kOk);
    EXPECT_TRUE(res.stopped);
    EXPECT_EQ(obs.confirm_asked, 1);
    EXPECT_EQ(obs.escape_polls, 120);
    EXPECT_EQ(res.lines_read, 120);
    EXPECT_EQ(res.stored_rows, 118);
    ExpectRowNumbers(t, 118);
    EXPECT_EQ(t.Get(1, 100), "v100");
    EXPECT_EQ(t.Get(1, 118), "v18");
    EXPECT_EQ(t.ColCount(), 2);
  }
}

TEST_F(LoaderTest, MissingFileFailsToOpenAndLeavesTheClearedTable) {
  for (bool detect : {false, true}) {
    for (const std::string& path : {PathOf("missing.txt"), dir_.string()}) {
      Table t;
      t.SetColCount(6);
      ClearGrid(t);
      RecordingObserver obs(';');
      const LoadResult res = LoadTable(path, detect, t, obs);
      EXPECT_EQ(res.status.code(), Code::kOpenFailed) << path;
      EXPECT_FALSE(res.status.message().empty());
      EXPECT_EQ(obs.separator_asked, 0);
      EXPECT_EQ(obs.reading_started, 0);
      EXPECT_EQ(t.ColCount(), 6);
      EXPECT_EQ(t.RowCount(), 2);
      for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(t.Get(c, 0), "");
        EXPECT_EQ(t.Get(c, 1), "");
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Memory.

TEST_F(LoaderTest, OutOfMemoryKeepsTheRowsStoredBefore) {
  // Rows of 3 or 4 fields early, one very wide line late: the wide line lies
  // behind the point where memory runs out.
  std::string bytes;
  for (int i = 1; i <= 20000; ++i) {
    bytes += "a" + std::to_string(i) + ";b;c" + (i == 7 ? ";wide" : "") + "\n";
  }
  bytes += std::string(60, ';') + "\n";
  const std::string path = WriteFile("m.txt", bytes);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    LoadResult res;
    Table t;
    {
      ScopedMemoryProbe budget(BudgetProbe(256 * 1024));
      RecordingObserver obs(';');
      res = Load(path, false, t, obs, p.load);
    }
    EXPECT_EQ(res.status.code(), Code::kOutOfMemory);
    ASSERT_GT(res.stored_rows, 7);
    ASSERT_LT(res.stored_rows, 20000);
    EXPECT_EQ(t.RowCount(), res.stored_rows + 1);
    EXPECT_EQ(t.ColCount(), 5);
    ExpectRowNumbers(t, static_cast<int>(res.stored_rows));
    const int last = static_cast<int>(res.stored_rows);
    EXPECT_EQ(t.Get(1, last), "a" + std::to_string(last));
    EXPECT_EQ(t.Get(3, last), "c");
    EXPECT_EQ(t.Get(4, 7), "wide");
  }
}

TEST_F(LoaderTest, OutOfMemoryOnALongFieldDropsThatLine) {
  std::string bytes = "short;1\nshort;2\n" + std::string(3u << 20, 'L') + ";x;y;z\nafter\n";
  const std::string path = WriteFile("m.txt", bytes);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    LoadResult res;
    Table t;
    {
      ScopedMemoryProbe budget(BudgetProbe(2u << 20));
      RecordingObserver obs(';');
      res = Load(path, false, t, obs, p.load);
    }
    EXPECT_EQ(res.status.code(), Code::kOutOfMemory);
    EXPECT_EQ(res.stored_rows, 2);
    EXPECT_EQ(t.RowCount(), 3);
    EXPECT_EQ(t.ColCount(), 3);
    EXPECT_EQ(DataRows(t), (Rows{{"short", "1"}, {"short", "2"}}));
  }
}

}  // namespace
}  // namespace core
