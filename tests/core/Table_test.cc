#include "core/Table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/TableBuilder.h"

namespace core {
namespace {

std::string CellText(int col, int row) {
  return "r" + std::to_string(row) + "c" + std::to_string(col);
}

// What FillNumbered puts into (col, row).
std::string Numbered(int col, int row) {
  if (row == 0) return col == 0 ? "" : std::to_string(col);
  if (col == 0) return std::to_string(row);
  return CellText(col, row);
}

// A table with header numbers in row 0 and column 0 and "r<row>c<col>" in
// every data cell, as a load leaves it.
void FillNumbered(Table& t, int cols, int rows) {
  t.Reset(cols, rows);
  for (int c = 1; c < cols; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r < rows; ++r) {
    t.Set(0, r, std::to_string(r));
    for (int c = 1; c < cols; ++c) t.Set(c, r, CellText(c, r));
  }
}

TEST(Table, EmptyTableIsTwoByTwoOfEmptyCells) {
  Table t;
  EXPECT_EQ(t.ColCount(), 2);
  EXPECT_EQ(t.RowCount(), 2);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 2; ++c) EXPECT_EQ(t.Get(c, r), "");
  }
  EXPECT_TRUE(t.utf8());
}

TEST(Table, ReadingOutsideTheCountsGivesEmptyText) {
  Table t;
  FillNumbered(t, 3, 3);
  for (auto [c, r] : std::vector<std::pair<int, int>>{
           {-1, 1}, {1, -1}, {3, 1}, {1, 3}, {100, 100}, {-5, -5}, {0, 3}, {3, 0}}) {
    EXPECT_EQ(t.Get(c, r), "") << c << "," << r;
  }
}

TEST(Table, WritingOutsideTheCountsChangesNothing) {
  Table t;
  FillNumbered(t, 3, 3);
  for (auto [c, r] : std::vector<std::pair<int, int>>{{-1, 1}, {1, -1}, {3, 1}, {1, 3}, {7, 9}}) {
    t.Set(c, r, "outside");
  }
  EXPECT_EQ(t.ColCount(), 3);
  EXPECT_EQ(t.RowCount(), 3);
  // Raising the counts afterwards must not reveal the rejected writes.
  t.SetColCount(10);
  t.SetRowCount(10);
  for (int r = 0; r < 10; ++r) {
    for (int c = 0; c < 10; ++c) EXPECT_NE(t.Get(c, r), "outside") << c << "," << r;
  }
  EXPECT_EQ(t.Get(1, 1), "r1c1");
  EXPECT_EQ(t.Get(2, 2), "r2c2");
}

TEST(Table, RaisingCountsAddsEmptyCellsAndKeepsTheOld) {
  Table t;
  FillNumbered(t, 3, 3);
  t.SetColCount(6);
  t.SetRowCount(5);
  EXPECT_EQ(t.ColCount(), 6);
  EXPECT_EQ(t.RowCount(), 5);
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 6; ++c) {
      const bool old = r < 3 && c < 3;
      EXPECT_EQ(t.Get(c, r), old ? Numbered(c, r) : "") << c << "," << r;
    }
  }
  t.Set(5, 4, "corner");
  EXPECT_EQ(t.Get(5, 4), "corner");
}

TEST(Table, LoweringCountsDiscardsCells) {
  Table t;
  FillNumbered(t, 5, 5);
  t.Set(4, 4, "a long text beyond fifteen bytes");
  t.SetColCount(3);
  t.SetRowCount(3);
  EXPECT_EQ(t.Get(4, 1), "");
  EXPECT_EQ(t.Get(1, 4), "");
  t.SetColCount(5);
  t.SetRowCount(5);
  for (int r = 0; r < 5; ++r) {
    for (int c = 0; c < 5; ++c) {
      EXPECT_EQ(t.Get(c, r), r < 3 && c < 3 ? Numbered(c, r) : "") << c << "," << r;
    }
  }
}

TEST(Table, NegativeCountsAreTakenAsZero) {
  Table t;
  t.SetColCount(-3);
  t.SetRowCount(-1);
  EXPECT_EQ(t.ColCount(), 0);
  EXPECT_EQ(t.RowCount(), 0);
  t.Set(0, 0, "x");
  EXPECT_EQ(t.Get(0, 0), "");
}

TEST(ClearGrid, EmptiesEveryCellKeepsColumnsAndSetsTwoRows) {
  Table t;
  FillNumbered(t, 6, 40);
  t.Set(0, 0, "corner");
  ClearGrid(t);
  EXPECT_EQ(t.ColCount(), 6);
  EXPECT_EQ(t.RowCount(), 2);
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 6; ++c) EXPECT_EQ(t.Get(c, r), "") << c << "," << r;
  }
  // Nothing of the old rows comes back when the rows are raised again.
  t.SetRowCount(40);
  for (int r = 0; r < 40; ++r) {
    for (int c = 0; c < 6; ++c) EXPECT_EQ(t.Get(c, r), "") << c << "," << r;
  }
}

TEST(Table, CellTextsOfEveryLengthRoundTrip) {
  Table t;
  t.Reset(8, 3);
  const std::vector<std::string> texts = {"",
                                          "x",
                                          std::string(15, 'a'),
                                          std::string(16, 'b'),
                                          std::string(17, 'c'),
                                          std::string("nul\0inside", 10),
                                          std::string(1000, 'd'),
                                          std::string(3u << 20, 'e')};
  for (size_t i = 0; i < texts.size(); ++i) t.Set(static_cast<int>(i), 1, texts[i]);
  for (size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(t.Get(static_cast<int>(i), 1), texts[i]) << i;
  // Overwriting switches between inline and long storage in both directions.
  t.Set(2, 1, std::string(40, 'L'));
  t.Set(3, 1, "s");
  EXPECT_EQ(t.Get(2, 1), std::string(40, 'L'));
  EXPECT_EQ(t.Get(3, 1), "s");
  EXPECT_EQ(t.Get(4, 1), texts[4]);
}

TEST(Table, ManyLongCellsStayIntactAcrossArenaBlocks) {
  Table t;
  constexpr int kRows = 3000;
  t.Reset(3, kRows);
  auto text = [](int r, int c) {
    return std::string(500 + r % 7, static_cast<char>('A' + c)) + std::to_string(r);
  };
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 3; ++c) t.Set(c, r, text(r, c));
  }
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(t.Get(c, r), text(r, c)) << c << "," << r;
  }
}

TEST(Table, MoveRowMovesDataAndKeepsRowNumbers) {
  struct Case {
    int from, to;
    std::vector<int> order;  // source row of each row 1..5 afterwards
  };
  const Case cases[] = {{1, 4, {2, 3, 4, 1, 5}},
                        {4, 1, {4, 1, 2, 3, 5}},
                        {2, 2, {1, 2, 3, 4, 5}},
                        {5, 1, {5, 1, 2, 3, 4}},
                        {1, 5, {2, 3, 4, 5, 1}}};
  for (const auto& c : cases) {
    Table t;
    FillNumbered(t, 4, 6);
    t.MoveRow(c.from, c.to);
    for (int r = 1; r <= 5; ++r) {
      EXPECT_EQ(t.Get(0, r), std::to_string(r)) << c.from << "->" << c.to;
      for (int col = 1; col < 4; ++col) {
        EXPECT_EQ(t.Get(col, r), CellText(col, c.order[r - 1])) << c.from << "->" << c.to;
      }
    }
    for (int col = 1; col < 4; ++col) EXPECT_EQ(t.Get(col, 0), std::to_string(col));
  }
}

TEST(Table, MoveRowOfRaggedRowsKeepsNumbersAndDataLengths) {
  Table t;
  t.Reset(5, 4);
  t.Set(0, 1, "1");
  t.Set(0, 2, "2");
  for (int c = 1; c < 5; ++c) t.Set(c, 2, CellText(c, 2));
  t.Set(0, 3, "3");
  t.Set(1, 3, "only");
  // Row 1 has its number only; row 2 is full.
  t.MoveRow(2, 1);
  EXPECT_EQ(t.Get(0, 1), "1");
  EXPECT_EQ(t.Get(0, 2), "2");
  EXPECT_EQ(t.Get(0, 3), "3");
  for (int c = 1; c < 5; ++c) {
    EXPECT_EQ(t.Get(c, 1), CellText(c, 2));
    EXPECT_EQ(t.Get(c, 2), "");
  }
  t.MoveRow(3, 1);
  EXPECT_EQ(t.Get(0, 1), "1");
  EXPECT_EQ(t.Get(1, 1), "only");
  EXPECT_EQ(t.Get(2, 1), "");
  EXPECT_EQ(t.Get(4, 2), CellText(4, 2));
  EXPECT_EQ(t.Get(0, 3), "3");
}

TEST(Table, MoveColMovesDataAndKeepsColumnNumbers) {
  struct Case {
    int from, to;
    std::vector<int> order;  // source column of each column 1..4 afterwards
  };
  const Case cases[] = {
      {1, 3, {2, 3, 1, 4}}, {4, 2, {1, 4, 2, 3}}, {3, 3, {1, 2, 3, 4}}, {1, 4, {2, 3, 4, 1}}};
  for (const auto& c : cases) {
    Table t;
    FillNumbered(t, 5, 4);
    t.MoveCol(c.from, c.to);
    for (int col = 1; col <= 4; ++col) {
      EXPECT_EQ(t.Get(col, 0), std::to_string(col)) << c.from << "->" << c.to;
      for (int r = 1; r < 4; ++r) {
        EXPECT_EQ(t.Get(col, r), CellText(c.order[col - 1], r)) << c.from << "->" << c.to;
      }
    }
    for (int r = 1; r < 4; ++r) EXPECT_EQ(t.Get(0, r), std::to_string(r));
  }
}

// Column 0 is kept apart from the rest of a row; a move that takes it along
// (no grid offers one, the table allows it) carries its cells like any other,
// and rows or columns that go take their cells of it along.
TEST(Table, ColumnZeroMovesAndGoesLikeTheOthers) {
  Table t;
  FillNumbered(t, 4, 3);
  t.MoveCol(0, 2);
  for (int r = 1; r < 3; ++r) {
    EXPECT_EQ(t.Get(0, r), CellText(1, r));
    EXPECT_EQ(t.Get(1, r), CellText(2, r));
    EXPECT_EQ(t.Get(2, r), std::to_string(r));
    EXPECT_EQ(t.Get(3, r), CellText(3, r));
  }
  t.MoveCol(2, 0);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.Get(c, r), Numbered(c, r)) << c << "," << r;
  }
  t.SetRowCount(1);
  t.SetRowCount(3);
  EXPECT_EQ(t.Get(0, 1), "");
  EXPECT_EQ(t.Get(0, 2), "");
  t.Set(0, 2, "2");
  t.ResetKeepingStorage(4, 3);
  EXPECT_EQ(t.Get(0, 2), "");
  t.Set(0, 1, "1");
  t.SetColCount(0);
  t.SetColCount(4);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(t.Get(c, r), "") << c << "," << r;
  }
}

TEST(Table, MoveColInShortRowsMovesEmptyCells) {
  Table t;
  t.Reset(5, 3);
  t.Set(0, 1, "1");
  t.Set(1, 1, "a");  // row 1 stores two cells only
  t.Set(0, 2, "2");
  t.Set(3, 2, "z");
  t.MoveCol(1, 4);
  EXPECT_EQ(t.Get(1, 1), "");
  EXPECT_EQ(t.Get(4, 1), "a");
  EXPECT_EQ(t.Get(2, 2), "z");
  EXPECT_EQ(t.Get(4, 2), "");
  EXPECT_EQ(t.Get(0, 1), "1");
  EXPECT_EQ(t.Get(0, 2), "2");
}

}  // namespace
}  // namespace core

namespace core {
namespace {

// Rows built in place as a load builds them, with the next block taken
// ahead (and its pages provided on another thread) from the big blocks on:
// every row keeps its cells, whichever block they landed in.
TEST(TableBuilder, RowsBuiltWithBlocksTakenAheadKeepTheirCells) {
  Table table;
  TableBuilder build(table);
  constexpr int kRows = 120000;
  constexpr size_t kCells = 100;  // 12 million cells: several big blocks
  table.SetColCount(static_cast<int>(kCells) + 1);
  Cell* row = build.OpenRow();
  size_t room = build.OpenRowRoom();
  char text[16];
  for (int r = 1; r <= kRows; ++r) {
    if (room < kCells + 1) {
      row = build.GrowOpenRow(0, kCells + 1, /*ahead=*/true);
      room = build.OpenRowRoom();
    }
    for (size_t c = 1; c <= kCells; ++c) {
      const int n = std::snprintf(text, sizeof text, "%d.%zu", r, c);
      row[c] = Cell::Inline(text, static_cast<size_t>(n));
    }
    if (table.RowCount() < r + 1) build.AppendRow();
    build.MutableHead(r) =
        Cell::Inline(text, static_cast<size_t>(std::snprintf(text, sizeof text, "%d.0", r)));
    build.CommitOpenRow(r, kCells + 1);
    row = build.OpenRow();
    room = build.OpenRowRoom();
  }
  build.Finish();
  ASSERT_EQ(table.RowCount(), kRows + 1);
  for (int r : {1, 2, 777, kRows / 2, kRows - 1, kRows}) {
    for (int c : {0, 1, 50, static_cast<int>(kCells)}) {
      EXPECT_EQ(table.Get(c, r), std::to_string(r) + "." + std::to_string(c));
    }
  }
}

// The blocks a table gives back serve the next table (see FreedBlocks)
// while they still hold its texts: cells the new table never wrote read
// empty all the same.
TEST(Table, BlocksOfAnEarlierTableLeaveNothingBehind) {
  constexpr int kCols = 11, kRows = 30000;  // pool blocks of 1 MB and more
  {
    Table earlier;
    FillNumbered(earlier, kCols, kRows);
  }
  Table t;
  t.Reset(kCols, kRows);
  for (int r = 1; r < kRows; ++r) t.Set(kCols - 1, r, "z");
  for (int r = 1; r < kRows; ++r) {
    for (int c = 1; c < kCols - 1; ++c) ASSERT_EQ(t.Get(c, r), "") << c << "," << r;
    ASSERT_EQ(t.Get(kCols - 1, r), "z") << r;
  }
}

}  // namespace
}  // namespace core
