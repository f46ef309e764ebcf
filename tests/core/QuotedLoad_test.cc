// Loading with quoted fields: both loading paths, whole reads and reads of a
// few bytes at a time (every record cut at every buffer edge), detection, and
// the hint a load without quoted fields gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/Loader.h"
#include "core/Table.h"

namespace core {
namespace {

using testing_support::DataRows;
using testing_support::kPaths;
using testing_support::Padded;
using testing_support::RecordingObserver;
using testing_support::Rows;
using testing_support::TempDirTest;

struct QuotedCase {
  const char* name;
  std::string bytes;
  Rows rows;
  int64_t records;
  bool unclosed = false;
};

void PrintTo(const QuotedCase& c, std::ostream* os) { *os << c.name; }

class QuotedRecordsTest : public TempDirTest, public ::testing::WithParamInterface<QuotedCase> {};

TEST_P(QuotedRecordsTest, BothPathsAtAnyReadSize) {
  const QuotedCase& c = GetParam();
  const std::string path = WriteFile("q.txt", c.bytes);
  size_t widest = 0;
  for (const auto& row : c.rows) widest = std::max(widest, row.size());
  for (const auto& p : kPaths) {
    for (const size_t chunk : {size_t{0}, size_t{1}, size_t{5}}) {
      SCOPED_TRACE(std::string(p.name) + " reads of " + std::to_string(chunk));
      std::optional<ScopedFileIo> io;
      if (chunk)
        io.emplace(
            [chunk](int fd, void* b, size_t n) { return ::read(fd, b, std::min(n, chunk)); });
      Table t;
      ClearGrid(t);
      RecordingObserver obs(';');
      const LoadResult res = p.load(path, false, t, obs, /*quoted=*/true);
      EXPECT_TRUE(res.status.ok());
      EXPECT_EQ(res.unclosed_quote, c.unclosed);
      EXPECT_FALSE(res.looks_quoted);
      EXPECT_EQ(res.lines_read, c.records);
      EXPECT_EQ(res.stored_rows, static_cast<int64_t>(c.rows.size()));
      EXPECT_EQ(DataRows(t), c.rows.empty() ? Rows{{""}} : Padded(c.rows, widest));
      for (int r = 1; r <= static_cast<int>(c.rows.size()); ++r)
        EXPECT_EQ(t.Get(0, r), std::to_string(r));
    }
  }
}

std::string LongQuoted() {
  std::string s = "\"";
  for (int i = 0; i < 30000; ++i) s += "ab\"\";\r\n";
  return s + "\";z\n";
}

std::string LongQuotedText() {
  std::string s;
  for (int i = 0; i < 30000; ++i) s += "ab\";\r\n";
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Records, QuotedRecordsTest,
    ::testing::Values(
        QuotedCase{"QuoteStartsAField", "\"a;b\";c\n", {{"a;b", "c"}}, 1},
        QuotedCase{"QuoteInsideAFieldIsOrdinary", "a\"b;c\"\n", {{"a\"b", "c\""}}, 1},
        QuotedCase{"QuotesAroundSeparatorsMidField", "a \"b;c\" d\n", {{"a \"b", "c\" d"}}, 1},
        QuotedCase{"DoubledQuotes", "\"say \"\"hi\"\"\";x\n", {{"say \"hi\"", "x"}}, 1},
        QuotedCase{"LineEndsInsideQuotes",
                   "\"a\nb\";\"c\r\nd\";\"e\rf\"\nz\n",
                   {{"a\nb", "c\r\nd", "e\rf"}, {"z"}},
                   2},
        QuotedCase{"TextAfterTheClosingQuote", "\"ab\"c\"d;e\n", {{"abc\"d", "e"}}, 1},
        QuotedCase{"CrAfterTheClosingQuoteIsDropped", "\"a\"\rb;c\n", {{"ab", "c"}}, 1},
        QuotedCase{"CrBeforeTheOpeningQuote", "\r\"a;b\";c\n", {{"a;b", "c"}}, 1},
        QuotedCase{"UnclosedAtTheEnd", "a;\"b;c\nd\"\"e", {{"a", "b;c\nd\"e"}}, 1, true},
        QuotedCase{"EmptyQuotedFields", "\"\";x;\"\"\n", {{"", "x", ""}}, 1},
        QuotedCase{"LineOfTwoQuotesIsARow", "\"\"\n\n\"\"\r\n", {{""}, {""}}, 3},
        QuotedCase{"LineOfFourQuotes", "\"\"\"\"\n", {{"\""}}, 1},
        QuotedCase{"LineOfThreeQuotes", "\"\"\"\n", {{"\"\n"}}, 1, true},
        QuotedCase{"CrLfRecordsSpanningLines",
                   "a;\"x\r\ny\"\r\nb;c\r\n",
                   {{"a", "x\r\ny"}, {"b", "c"}},
                   2},
        QuotedCase{"CtrlZInsideQuotes",
                   "\"a\x1a"
                   "b\";c\n\x1a\"d\n",
                   {{"a\x1a"
                     "b",
                     "c"}},
                   1},
        QuotedCase{"CtrlZOutsideQuotesSkipsToTheLf",
                   "\"a\";b\x1a;\"c\nd;e\n",
                   {{"a", "b"}, {"d", "e"}},
                   2},
        QuotedCase{"LastRecordWithoutLineEnd", "x;\"y\"", {{"x", "y"}}, 1},
        QuotedCase{"ClosingQuoteThenCrAtTheEnd", "\"y\"\r", {{"y"}}, 1},
        QuotedCase{"LongQuotedFieldOverManyLines", LongQuoted(), {{LongQuotedText(), "z"}}, 1},
        QuotedCase{"EmptyFile", "", {}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

class QuotedLoadTest : public TempDirTest {
 protected:
  LoadResult Load(const std::string& bytes, bool detect, bool quoted, Table& t,
                  testing_support::LoadFn fn = &LoadTable) {
    ClearGrid(t);
    RecordingObserver obs(';');
    return fn(WriteFile("f.txt", bytes), detect, t, obs, quoted);
  }
};

// Separators inside quotes do not count for the detection: three fields by
// ';' only when the quotes are not read.
TEST_F(QuotedLoadTest, DetectionIgnoresSeparatorsInsideQuotes) {
  const std::string bytes = "\"a;b;c\";x\n\"d;e\nf;g\";y\n";
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    LoadResult res = Load(bytes, true, true, t, p.load);
    EXPECT_FALSE(res.detected);
    EXPECT_EQ(res.separator, '\t');
    EXPECT_EQ(DataRows(t), (Rows{{"a;b;c;x"}, {"d;e\nf;g;y"}}));
    res = Load(bytes, true, false, t, p.load);
    EXPECT_TRUE(res.detected);
    EXPECT_EQ(res.separator, ';');
    res = Load("\"1;2\";b;c\n", true, true, t, p.load);
    EXPECT_EQ(res.separator, ';');
    EXPECT_EQ(DataRows(t), (Rows{{"1;2", "b", "c"}}));
    EXPECT_EQ(t.Get(3, 0), "3");
  }
}

// The probe ends with the 100th line, also inside a quoted field.
TEST_F(QuotedLoadTest, DetectionProbesTheFirstHundredLines) {
  Table t;
  EXPECT_TRUE(Load("\"" + std::string(99, '\n') + "\";x;y\n", true, true, t).detected);
  EXPECT_FALSE(Load("\"" + std::string(100, '\n') + "\";x;y\n", true, true, t).detected);
  EXPECT_FALSE(Load("\"" + std::string(99, '\n') + "\";x\na;b;c\n", true, true, t).detected);
}

// The hint looks at the separator the load uses: a quoted field holding it
// would be split.
TEST_F(QuotedLoadTest, HintForQuotedFieldsWhenTheyAreNotRead) {
  struct Case {
    std::string bytes;
    char sep;
    bool detect, hint;
  };
  const Case cases[] = {{"\"1.234,50\";x\n", ',', false, true},
                        {"\"1.234,50\";x\n", ';', false, false},
                        {"a;\"b;c\nd\"\n", ';', false, true},  // the line ends before the quote
                        {"a;\"b \"\"x;y\"\"\";c;d\n", ',', true, true},
                        {"\"abc\";x\n", ';', false, false},
                        {"a;b\"c;d\"\n", ';', false, false},
                        {"plain;fields\n", ';', true, false},
                        {std::string(100, '\n') + "\"a;b\"\n", ';', false, false}};
  for (const auto& c : cases) {
    for (const bool quoted : {false, true}) {
      Table t;
      ClearGrid(t);
      RecordingObserver obs(c.sep);
      const LoadResult res = LoadTable(WriteFile("h.txt", c.bytes), c.detect, t, obs, quoted);
      EXPECT_EQ(res.looks_quoted, c.hint && !quoted) << c.bytes << c.sep;
    }
  }
}

// Escape answered No stops after the record, not the line.
TEST_F(QuotedLoadTest, EscapeStopsAfterARecord) {
  for (const auto& p : kPaths) {
    Table t;
    ClearGrid(t);
    RecordingObserver obs(';');
    obs.escape_at_poll = 1;
    obs.confirm_answer = false;
    const LoadResult res = p.load(WriteFile("e.txt", "\"a\nb\";c\nd\n"), false, t, obs, true);
    EXPECT_TRUE(res.stopped) << p.name;
    EXPECT_EQ(DataRows(t), (Rows{{"a\nb", "c"}})) << p.name;
  }
}

}  // namespace
}  // namespace core
