// Writing with quoted fields, and files written so loading back with quoted
// fields: the same cells, on both loading paths.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Loader.h"
#include "core/Table.h"
#include "core/Writer.h"

namespace core {
namespace {

using testing_support::DataRows;
using testing_support::kPaths;
using testing_support::Padded;
using testing_support::RecordingObserver;
using testing_support::Rows;
using testing_support::TempDirTest;

// Data rows with numbers in column 0 and row 0, as after a load; short rows
// stay short.
void Fill(Table& t, const Rows& rows, int data_cols) {
  t.Reset(data_cols + 1, static_cast<int>(rows.size()) + 1);
  for (int c = 1; c <= data_cols; ++c) t.Set(c, 0, std::to_string(c));
  for (size_t r = 0; r < rows.size(); ++r) {
    t.Set(0, static_cast<int>(r) + 1, std::to_string(r + 1));
    for (size_t c = 0; c < rows[r].size(); ++c) {
      t.Set(static_cast<int>(c) + 1, static_cast<int>(r) + 1, rows[r][c]);
    }
  }
}

class QuotedWriteTest : public TempDirTest {
 protected:
  std::string Write(const Table& t, char sep) {
    const std::string path = PathOf("out.csv");
    const WriteResult res = WriteTable(t, path, sep, nullptr, false, /*quoted=*/true);
    EXPECT_TRUE(res.status.ok());
    EXPECT_EQ(res.rows_written, t.RowCount() - 1);
    return ReadFile(path);
  }
};

TEST_F(QuotedWriteTest, FieldsAreQuotedExactlyWhenTheyNeedIt) {
  struct Case {
    const char* name;
    Rows rows;
    int cols;
    char sep;
    std::string expected;
  };
  const Case cases[] = {
      {"plain fields, no trailing separator", {{"a", "b c", "d"}}, 3, ';', "a;b c;d\r\n"},
      {"separator", {{"a;b", "x"}}, 2, ';', "\"a;b\";x\r\n"},
      {"another separator's byte is plain", {{"a;b", "x,y"}}, 2, ',', "a;b,\"x,y\"\r\n"},
      {"quotes doubled",
       {{"say \"hi\"", "a\"b", "\""}},
       3,
       '\t',
       "\"say \"\"hi\"\"\"\t\"a\"\"b\"\t\"\"\"\"\r\n"},
      {"line characters", {{"a\rb", "c\nd", "e\x1a"}}, 3, ';', "\"a\rb\";\"c\nd\";\"e\x1a\"\r\n"},
      {"empty fields stay empty", {{"", "x", ""}, {}}, 3, ';', ";x;\r\n;;\r\n"},
      {"a line's only field empty", {{""}, {"a"}, {}}, 1, ';', "\"\"\r\na\r\n\"\"\r\n"},
      {"long fields",
       {{std::string(40, 'L') + ";", std::string(20, 'M')}},
       2,
       ';',
       "\"" + std::string(40, 'L') + ";\";" + std::string(20, 'M') + "\r\n"},
      {"no data column", {{}, {}}, 0, ';', "\r\n\r\n"},
      {"no data row", {}, 3, ';', ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Table t;
    Fill(t, c.rows, c.cols);
    EXPECT_EQ(Write(t, c.sep), c.expected);
  }
}

// What a spreadsheet program writes for a German table with minimal quoting
// loads into the cells and is written back byte for byte.
TEST_F(QuotedWriteTest, SpreadsheetFileLoadsAndIsWrittenBackAsItWas) {
  const std::string file =
      "Name;Betrag;Notiz\r\n"
      "M\xC3\xBCller;1.234,50;\"Zeile 1\r\nZeile 2\"\r\n"
      "\"Sag \"\"Hallo\"\"\";;x\r\n";
  const std::string path = WriteFile("tabelle.csv", file);
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    ClearGrid(t);
    RecordingObserver obs;
    const LoadResult res = p.load(path, true, t, obs, true);
    EXPECT_EQ(res.separator, ';');
    EXPECT_EQ(res.lines_read, 3);
    EXPECT_EQ(DataRows(t), (Rows{{"Name", "Betrag", "Notiz"},
                                 {"M\xC3\xBCller", "1.234,50", "Zeile 1\r\nZeile 2"},
                                 {"Sag \"Hallo\"", "", "x"}}));
    EXPECT_TRUE(t.utf8());
    EXPECT_EQ(Write(t, ';'), file);
    EXPECT_EQ(CellsNeedingQuotes(t, ';'), 1);
  }
}

TEST_F(QuotedWriteTest, CellsNeedingQuotesCountsDataCellsOnly) {
  Table t;
  Fill(t, {{"a;b", "x\ny", "plain"}, {"c\rd", std::string(20, 'L') + ",", "\"q\""}, {"e;"}}, 3);
  t.Set(1, 0, ";");  // header cells do not count
  t.Set(0, 2, ";");
  EXPECT_EQ(CellsNeedingQuotes(t, ';'), 4);
  EXPECT_EQ(CellsNeedingQuotes(t, ','), 3);
  EXPECT_EQ(CellsNeedingQuotes(t, '\t'), 2);
  t.SetColCount(2);  // cells past ColCount do not count
  EXPECT_EQ(CellsNeedingQuotes(t, ';'), 3);
}

// Random tables of the bytes that need quotes, written with quoted fields and
// loaded back with them: the same data cells.
TEST_F(QuotedWriteTest, RandomTablesComeBackAsTheyWere) {
  static const std::string kAlphabet[] = {";", "\"", "\r", "\n", "\x1a",
                                          " ", "\t", "a",  "Z",  "\xC3\xA4"};
  std::mt19937 rng(20261208);
  for (int round = 0; round < 301; ++round) {
    // The last round writes more than the writer's buffers hold at once.
    const bool big = round == 300;
    const int cols = big ? 5 : 1 + static_cast<int>(rng() % 5);
    const size_t lines = big ? 250000 : 1 + rng() % 6;
    Rows rows(lines, std::vector<std::string>(static_cast<size_t>(cols)));
    for (auto& row : rows) {
      for (auto& cell : row) {
        for (unsigned n = rng() % 6; n > 0; --n) cell += kAlphabet[rng() % std::size(kAlphabet)];
      }
    }
    const char sep = round % 2 ? ';' : '\t';
    Table t;
    Fill(t, rows, cols);
    const std::string bytes = Write(t, sep);
    for (const auto& p : kPaths) {
      Table back;
      ClearGrid(back);
      RecordingObserver obs(sep);
      const LoadResult res = p.load(PathOf("out.csv"), false, back, obs, true);
      ASSERT_EQ(DataRows(back), Padded(rows, static_cast<size_t>(cols)))
          << p.name << " file " << ::testing::PrintToString(bytes);
      ASSERT_FALSE(res.unclosed_quote);
    }
  }
}

}  // namespace
}  // namespace core
