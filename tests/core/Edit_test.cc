#include "core/Edit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/ClipText.h"
#include "core/Memory.h"
#include "core/Table.h"
#include "core/Transpose.h"

namespace core {
namespace {

using Grid = std::vector<std::vector<std::string>>;  // [row][col]

// A table as the loader leaves it: numbers in row 0 and column 0, "c<col>r<row>"
// in the data cells, and row `short_row` (if any) storing only its first two
// data cells.
void FillNumbered(Table& t, int data_cols, int data_rows, int short_row = -1) {
  t.Reset(data_cols + 1, data_rows + 1);
  for (int c = 1; c <= data_cols; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r <= data_rows; ++r) {
    t.Set(0, r, std::to_string(r));
    const int last = r == short_row ? 2 : data_cols;
    for (int c = 1; c <= last; ++c) t.Set(c, r, "c" + std::to_string(c) + "r" + std::to_string(r));
  }
}

Grid Snapshot(const Table& t) {
  Grid g(static_cast<size_t>(t.RowCount()));
  for (int r = 0; r < t.RowCount(); ++r) {
    for (int c = 0; c < t.ColCount(); ++c) g[static_cast<size_t>(r)].emplace_back(t.Get(c, r));
  }
  return g;
}

std::string At(const Grid& g, int c, int r) {
  if (r < 0 || r >= static_cast<int>(g.size())) return {};
  const auto& row = g[static_cast<size_t>(r)];
  return c >= 0 && c < static_cast<int>(row.size()) ? row[static_cast<size_t>(c)] : std::string();
}

// The cell loops of removal written out cell by cell, as the reference the
// row-wise implementation must agree with: columns after the run move left
// in every row but 0 (rows up in every column but 0), then the count drops.
Grid ReferenceRemove(Grid g, bool cols, int from, int to) {
  const int n_cols = g.empty() ? 0 : static_cast<int>(g[0].size());
  const int n_rows = static_cast<int>(g.size());
  const int n = cols ? n_cols : n_rows;
  from = std::max(from, 1);
  to = std::min(to, n - 1);
  if (to < from) return g;
  const int k = to - from + 1;
  const Grid old = g;
  for (int r = (cols ? 1 : from); r < n_rows; ++r) {
    for (int c = (cols ? from : 1); c < n_cols; ++c) {
      g[static_cast<size_t>(r)][static_cast<size_t>(c)] =
          cols ? At(old, c + k, r) : At(old, c, r + k);
    }
  }
  if (cols) {
    for (auto& row : g) row.resize(static_cast<size_t>(n_cols - k));
  } else {
    g.resize(static_cast<size_t>(n_rows - k));
  }
  return g;
}

Grid ReferenceClear(Grid g, bool cols, int from, int to) {
  for (size_t r = 1; r < g.size(); ++r) {
    for (size_t c = 1; c < g[r].size(); ++c) {
      const int pos = static_cast<int>(cols ? c : r);
      if (pos >= from && pos <= to) g[r][c].clear();
    }
  }
  return g;
}

class CountingObserver : public ProgressObserver {
 public:
  void Started(int maximum) override {
    ++started;
    this->maximum = maximum;
  }
  void Progress(int position) override { positions.push_back(position); }
  void Finished() override { ++finished; }
  int started = 0, finished = 0, maximum = -1;
  std::vector<int> positions;
};

struct RunCase {
  bool cols;
  int from, to;
};

// 5 data columns, 4 data rows (ColCount 6, RowCount 5), row 3 stored short.
const RunCase kRuns[] = {
    {true, 2, 3},    {true, 5, 5},   {true, 1, 5},  {true, 4, 99},  {true, 6, 6},
    {true, 12, 12},  {true, -3, 1},  {true, 3, 2},  {true, -5, -2}, {true, 1, 1},
    {false, 4, 4},   {false, 1, 4},  {false, 2, 3}, {false, 5, 5},  {false, 0, 2},
    {false, -7, -1}, {false, 3, 99}, {false, 3, 1}, {false, 1, 1},
};

std::string Describe(const RunCase& rc) {
  return std::string(rc.cols ? "columns " : "rows ") + std::to_string(rc.from) + ".." +
         std::to_string(rc.to);
}

TEST(EditRuns, RemovalAgreesWithTheCellLoops) {
  for (const RunCase& rc : kRuns) {
    Table t;
    FillNumbered(t, 5, 4, /*short_row=*/3);
    const Grid expected = ReferenceRemove(Snapshot(t), rc.cols, rc.from, rc.to);
    CountingObserver progress;
    if (rc.cols) {
      RemoveCols(t, rc.from, rc.to, &progress);
    } else {
      ASSERT_TRUE(RemoveRows(t, rc.from, rc.to, &progress).ok());
    }
    EXPECT_EQ(Snapshot(t), expected) << Describe(rc);
    EXPECT_EQ(progress.started, progress.finished) << Describe(rc);
    // Cells beyond the new counts read empty, and nothing grew.
    EXPECT_LE(t.ColCount(), 6) << Describe(rc);
    EXPECT_LE(t.RowCount(), 5) << Describe(rc);
    EXPECT_EQ(t.Get(t.ColCount(), 1), "") << Describe(rc);
    EXPECT_EQ(t.Get(1, t.RowCount()), "") << Describe(rc);
  }
}

TEST(EditRuns, ClearingAgreesWithTheCellLoops) {
  for (const RunCase& rc : kRuns) {
    Table t;
    FillNumbered(t, 5, 4, /*short_row=*/3);
    const Grid expected = ReferenceClear(Snapshot(t), rc.cols, rc.from, rc.to);
    if (rc.cols) {
      ClearCols(t, rc.from, rc.to);
    } else {
      ClearRows(t, rc.from, rc.to);
    }
    EXPECT_EQ(Snapshot(t), expected) << Describe(rc);
  }
}

TEST(EditRuns, RemovingTwoColumnsClosesTheGap) {
  Table t;
  FillNumbered(t, 5, 2);
  CountingObserver progress;
  RemoveCols(t, 2, 3, &progress);
  ASSERT_EQ(t.ColCount(), 4);
  EXPECT_EQ(t.Get(1, 1), "c1r1");
  EXPECT_EQ(t.Get(2, 1), "c4r1");
  EXPECT_EQ(t.Get(3, 2), "c5r2");
  EXPECT_EQ(t.Get(3, 0), "3");  // the header keeps its numbers
  EXPECT_EQ(progress.maximum, 2);
  EXPECT_EQ(progress.positions, (std::vector<int>{1, 2}));
}

TEST(EditRuns, RemovingARowKeepsTheRowNumbers) {
  Table t;
  FillNumbered(t, 2, 4);
  CountingObserver progress;
  ASSERT_TRUE(RemoveRows(t, 2, 2, &progress).ok());
  ASSERT_EQ(t.RowCount(), 4);
  EXPECT_EQ(t.Get(0, 2), "2");
  EXPECT_EQ(t.Get(1, 2), "c1r3");
  EXPECT_EQ(t.Get(0, 3), "3");
  EXPECT_EQ(t.Get(2, 3), "c2r4");
  EXPECT_EQ(progress.positions, (std::vector<int>{2, 3, 4}));
}

TEST(EditRuns, RemovingEverythingLeavesTheHeader) {
  Table t;
  FillNumbered(t, 3, 3);
  RemoveCols(t, 1, 3, nullptr);
  EXPECT_EQ(t.ColCount(), 1);
  Table u;
  FillNumbered(u, 3, 3);
  ASSERT_TRUE(RemoveRows(u, 1, 3, nullptr).ok());
  EXPECT_EQ(u.RowCount(), 1);
  EXPECT_EQ(u.Get(1, 0), "1");
}

TEST(EditRuns, RowsWithoutStorageKeepTheirPlace) {
  // A row that stores nothing at all (not even a number) between stored ones.
  Table t;
  t.Reset(3, 5);
  for (int r : {1, 2, 4}) {
    t.Set(0, r, std::to_string(r));
    t.Set(1, r, "x" + std::to_string(r));
  }
  const Grid expected = ReferenceRemove(Snapshot(t), false, 1, 1);
  ASSERT_TRUE(RemoveRows(t, 1, 1, nullptr).ok());
  EXPECT_EQ(Snapshot(t), expected);
}

// From about a million cells on, the row operations split the rows between
// two threads: nothing of the result may show where, and the progress still
// climbs to its maximum.
TEST(EditRuns, BigTablesAgreeWithTheCellLoops) {
  const int rows = 200000;  // x 6 columns: enough for two threads
  const int mid = rows / 2;
  Table base;
  FillNumbered(base, 5, rows, /*short_row=*/mid + 1);
  base.Set(3, mid, std::string(40, 'L'));  // a long text at the split
  const Grid before = Snapshot(base);
  auto check_progress = [](const CountingObserver& p) {
    EXPECT_EQ(p.started, 1);
    EXPECT_EQ(p.finished, 1);
    ASSERT_FALSE(p.positions.empty());
    EXPECT_TRUE(std::is_sorted(p.positions.begin(), p.positions.end()));
    EXPECT_EQ(p.positions.back(), p.maximum);
  };
  for (const RunCase& rc :
       {RunCase{true, 2, 3}, RunCase{false, 3, 6}, RunCase{false, 1000, rows - 1000}}) {
    for (const bool remove : {true, false}) {
      SCOPED_TRACE(std::string(remove ? "remove " : "clear ") + Describe(rc));
      Table t;
      FillNumbered(t, 5, rows, mid + 1);
      t.Set(3, mid, std::string(40, 'L'));
      CountingObserver progress;
      if (remove && rc.cols) {
        RemoveCols(t, rc.from, rc.to, &progress);
        check_progress(progress);
      } else if (remove) {
        ASSERT_TRUE(RemoveRows(t, rc.from, rc.to, nullptr).ok());
      } else if (rc.cols) {
        ClearCols(t, rc.from, rc.to);
      } else {
        ClearRows(t, rc.from, rc.to);
      }
      EXPECT_TRUE(Snapshot(t) == (remove ? ReferenceRemove(before, rc.cols, rc.from, rc.to)
                                         : ReferenceClear(before, rc.cols, rc.from, rc.to)));
    }
  }
  // A block cleared, copied and pasted one column and one row on.
  Table t;
  FillNumbered(t, 5, rows, mid + 1);
  t.Set(3, mid, std::string(40, 'L'));
  CountingObserver cleared;
  ClearBlock(t, Block{4, 3, 5, rows - 3}, &cleared);
  check_progress(cleared);
  Grid expected = before;
  for (int r = 3; r <= rows - 3; ++r) {
    for (int c = 4; c <= 5; ++c) expected[static_cast<size_t>(r)][static_cast<size_t>(c)].clear();
  }
  EXPECT_TRUE(Snapshot(t) == expected);
  Table clip;
  ASSERT_TRUE(CopyBlock(t, Block{1, 1, 5, rows}, clip, nullptr).ok());
  CountingObserver pasted;
  ASSERT_TRUE(PasteBlock(clip, t, 2, 2, &pasted).ok());
  check_progress(pasted);
  const Grid copied = expected;
  for (int r = 2; r <= rows; ++r) {
    for (int c = 2; c <= 5; ++c) {
      expected[static_cast<size_t>(r)][static_cast<size_t>(c)] = At(copied, c - 1, r - 1);
    }
  }
  EXPECT_TRUE(Snapshot(t) == expected);
}

// --- blocks ---

TEST(EditBlocks, CopyTakesTheBlockAndPasteIsCutAtTheEdges) {
  Table t;
  FillNumbered(t, 5, 4);
  Table clip;
  ASSERT_TRUE(CopyBlock(t, Block{2, 1, 4, 2}, clip, nullptr).ok());
  ASSERT_EQ(clip.ColCount(), 3);
  ASSERT_EQ(clip.RowCount(), 2);
  EXPECT_EQ(clip.Get(0, 0), "c2r1");
  EXPECT_EQ(clip.Get(2, 1), "c4r2");

  struct Case {
    int left, top;
  };
  for (const Case& at : {Case{4, 1}, Case{1, 4}, Case{5, 4}, Case{0, 0}, Case{-2, -1}}) {
    Table u;
    FillNumbered(u, 5, 4);
    Grid expected = Snapshot(u);
    for (int r = 0; r < clip.RowCount(); ++r) {
      for (int c = 0; c < clip.ColCount(); ++c) {
        const int tc = at.left + c, tr = at.top + r;
        if (tc >= 1 && tc <= 5 && tr >= 1 && tr <= 4) {
          expected[static_cast<size_t>(tr)][static_cast<size_t>(tc)] = clip.Get(c, r);
        }
      }
    }
    CountingObserver progress;
    ASSERT_TRUE(PasteBlock(clip, u, at.left, at.top, &progress).ok());
    EXPECT_EQ(Snapshot(u), expected) << "paste at " << at.left << ", " << at.top;
    EXPECT_EQ(progress.maximum, 3);
  }
}

TEST(EditBlocks, PasteIntoShortRowsAndOfEmptyCells) {
  Table t;
  FillNumbered(t, 5, 3, /*short_row=*/2);
  Table clip;
  clip.Reset(5, 5);  // a block of empty cells, as before any copy
  clip.Set(4, 0, "far");
  ASSERT_TRUE(PasteBlock(clip, t, 1, 2, nullptr).ok());
  EXPECT_EQ(t.Get(1, 2), "");
  EXPECT_EQ(t.Get(5, 2), "far");
  EXPECT_EQ(t.Get(1, 3), "");
  EXPECT_EQ(t.Get(1, 1), "c1r1");
  EXPECT_EQ(t.ColCount(), 6);
  EXPECT_EQ(t.RowCount(), 4);
}

TEST(EditBlocks, CopyThenPasteOntoItselfChangesNothing) {
  Table t;
  FillNumbered(t, 4, 4, /*short_row=*/2);
  t.Set(2, 3, std::string(40, 'L'));  // a long text, kept outside the cell
  const Grid before = Snapshot(t);
  Table clip;
  ASSERT_TRUE(CopyBlock(t, Block{1, 1, 4, 4}, clip, nullptr).ok());
  ASSERT_TRUE(PasteBlock(clip, t, 1, 1, nullptr).ok());
  EXPECT_EQ(Snapshot(t), before);
}

// Column 0 is kept apart from the rows, in the table and in the clip alike:
// blocks that start left of it, at it or past it are copied cell for cell,
// give the same text as their clip, and pasted back change nothing.
TEST(EditBlocks, BlocksAtAndBesideColumnZeroAgreeWithTheCells) {
  Table t;
  FillNumbered(t, 5, 5, /*short_row=*/2);
  t.Set(3, 3, std::string(40, 'L'));
  t.SetRowCount(8);
  t.Set(0, 6, "6");  // a row with its number only
  const Grid before = Snapshot(t);
  for (const int left : {-2, 0, 1, 2}) {
    for (const int top : {-1, 0, 2}) {
      for (const int right : {left, left + 1, 5, 7}) {
        const Block block{left, top, right, 7};
        SCOPED_TRACE(testing::Message() << "block " << left << "," << top << " - " << right);
        Table clip;
        ASSERT_TRUE(CopyBlock(t, block, clip, nullptr).ok());
        ASSERT_EQ(clip.ColCount(), right - left + 1);
        for (int r = 0; r < clip.RowCount(); ++r) {
          for (int c = 0; c < clip.ColCount(); ++c) {
            ASSERT_EQ(clip.Get(c, r), t.Get(left + c, top + r)) << c << "," << r;
          }
        }
        if (left >= 0 && top >= 0) {
          const Block inside{left, top, std::min(right, 5), 7};
          EXPECT_EQ(BlockToText(clip, Block{0, 0, inside.right - left, 7 - top}),
                    BlockToText(t, inside));
        }
        ASSERT_TRUE(PasteBlock(clip, t, left, top, nullptr).ok());
        ASSERT_EQ(Snapshot(t), before);
      }
    }
  }
}

TEST(EditBlocks, TheClipOutlivesTheSourcesCells) {
  Table t;
  FillNumbered(t, 3, 3);
  const std::string long_text(100, 'q');
  t.Set(1, 1, long_text);
  Table clip;
  ASSERT_TRUE(CopyBlock(t, Block{1, 1, 2, 2}, clip, nullptr).ok());
  ClearBlock(t, Block{1, 1, 3, 3}, nullptr);
  t.Reset(4, 4);
  Table u;
  FillNumbered(u, 3, 3);
  ASSERT_TRUE(PasteBlock(clip, u, 2, 2, nullptr).ok());
  EXPECT_EQ(u.Get(2, 2), long_text);
  EXPECT_EQ(u.Get(3, 3), "c2r2");
}

TEST(EditBlocks, ClearEmptiesOnlyDataCellsOfTheBlock) {
  Table t;
  FillNumbered(t, 20, 3, /*short_row=*/2);
  Grid expected = Snapshot(t);
  for (int r = 1; r <= 2; ++r) {
    for (int c = 1; c <= 18; ++c) expected[static_cast<size_t>(r)][static_cast<size_t>(c)].clear();
  }
  CountingObserver progress;
  ClearBlock(t, Block{-1, 0, 18, 2}, &progress);  // header cells in the block stay
  EXPECT_EQ(Snapshot(t), expected);
  EXPECT_EQ(progress.maximum, 18);
  ASSERT_EQ(progress.positions.size(), 18u);
  EXPECT_EQ(progress.positions.back(), 18);
}

TEST(EditBlocks, PasteRecodesAClipOfTheOtherEncoding) {
  Table utf8;
  FillNumbered(utf8, 2, 1);
  utf8.Set(1, 1, "M\xC3\xBCller \xE2\x82\xAC \xE4\xB8\xAD");  // Müller € 中
  Table ansi;
  FillNumbered(ansi, 2, 1);
  ansi.set_utf8(false);
  ansi.Set(2, 1,
           "Stra\xDF"
           "e");  // Straße

  Table clip;
  ASSERT_TRUE(CopyBlock(utf8, Block{1, 1, 1, 1}, clip, nullptr).ok());
  EXPECT_TRUE(clip.utf8());
  ASSERT_TRUE(PasteBlock(clip, ansi, 1, 1, nullptr).ok());
  EXPECT_EQ(ansi.Get(1, 1), "M\xFCller \x80 ?");  // 中 has no place in Windows-1252

  ASSERT_TRUE(CopyBlock(ansi, Block{2, 1, 2, 1}, clip, nullptr).ok());
  EXPECT_FALSE(clip.utf8());
  ASSERT_TRUE(PasteBlock(clip, utf8, 2, 1, nullptr).ok());
  EXPECT_EQ(utf8.Get(2, 1),
            "Stra\xC3\x9F"
            "e");
}

TEST(EditBlocks, OutOfMemoryLosesNothing) {
  Table t;
  FillNumbered(t, 3, 3);
  Table clip;
  clip.Reset(2, 1);
  clip.Set(0, 0, "old");
  clip.Set(1, 0, "older");  // beyond column 0: recoding it takes room
  Table ansi;
  FillNumbered(ansi, 3, 3);
  ansi.set_utf8(false);
  const Grid ansi_before = Snapshot(ansi);

  const ScopedMemoryProbe none([](uint64_t) { return false; });
  const Result copied = CopyBlock(t, Block{1, 1, 3, 3}, clip, nullptr);
  const Result pasted = PasteBlock(clip, ansi, 1, 1, nullptr);
  EXPECT_EQ(copied.code(), Code::kOutOfMemory);
  EXPECT_EQ(copied.message(), "Speicherplatz zu klein");
  EXPECT_EQ(clip.ColCount(), 2);
  EXPECT_EQ(clip.Get(0, 0), "old");
  EXPECT_EQ(pasted.code(), Code::kOutOfMemory);  // recoding needs room of its own
  EXPECT_EQ(Snapshot(ansi), ansi_before);
}

// --- search ---

// The search's stepping written out cell by cell with Get, as the reference
// for the row-wise scan.
std::optional<CellPos> ReferenceForward(const Table& t, const std::string& text, SearchCursor& s) {
  const int saved = s.col;
  if (s.col < t.ColCount()) {
    ++s.col;
  } else if (s.row < t.RowCount()) {
    ++s.row;
    s.col = 1;
  }
  for (int r = s.row; r <= t.RowCount() - 1; ++r) {
    for (int c = s.col; c <= t.ColCount() - 1; ++c) {
      if (r >= 1 && c >= 1 && !text.empty() && t.Get(c, r).find(text) != std::string_view::npos) {
        s = {c, r};
        return CellPos{c, r};
      }
    }
    s.col = r < t.RowCount() - 1 ? 1 : saved;
  }
  return std::nullopt;
}

std::optional<CellPos> ReferenceBackward(const Table& t, const std::string& text, SearchCursor& s) {
  const int saved = s.col;
  if (s.col > 1) {
    --s.col;
  } else if (s.row > 1) {
    --s.row;
    s.col = t.ColCount() - 1;
  }
  for (int r = s.row; r >= 1; --r) {
    for (int c = s.col; c >= 1; --c) {
      if (!text.empty() && t.Get(c, r).find(text) != std::string_view::npos) {
        s = {c, r};
        return CellPos{c, r};
      }
    }
    s.col = r > 1 ? t.ColCount() - 1 : saved;
  }
  return std::nullopt;
}

TEST(EditSearch, TheWorkedExample) {
  Table t;
  t.Reset(4, 3);
  t.Set(2, 1, "x");
  t.Set(1, 2, "x");
  SearchCursor s{0, 1};  // as typing into the search field leaves it
  EXPECT_EQ(SearchForward(t, "x", s), (CellPos{2, 1}));
  EXPECT_EQ(SearchForward(t, "x", s), (CellPos{1, 2}));
  EXPECT_EQ(SearchForward(t, "x", s), std::nullopt);
  EXPECT_EQ(s, (SearchCursor{1, 2}));
  EXPECT_EQ(SearchBackward(t, "x", s), (CellPos{2, 1}));
}

TEST(EditSearch, MatchingRules) {
  Table t;
  FillNumbered(t, 3, 3);
  t.Set(2, 2, "abc");
  t.Set(3, 3, std::string(30, '-') + "Tail");  // a long text
  t.Set(1, 3, "123456789012345");              // all 15 inline bytes used
  struct Case {
    std::string text;
    SearchCursor from;
    bool forward;
    std::optional<CellPos> hit;
  };
  const Case cases[] = {
      {"ABC", {0, 1}, true, std::nullopt},  // case matters
      {"b", {0, 1}, true, CellPos{2, 2}},
      {"", {0, 1}, true, std::nullopt},
      {"Tail", {0, 1}, true, CellPos{3, 3}},
      {"--T", {3, 3}, false, std::nullopt},  // the cursor cell is not examined again
      {"45", {2, 3}, false, CellPos{1, 3}},
      {"5", {0, 1}, false, std::nullopt},      // nothing before (0, 1)
      {"c1r1", {1, 1}, false, CellPos{1, 1}},  // no step back from (1, 1)
      {"c1r1", {1, 1}, true, std::nullopt},    // but forward it is left
      {"abcd", {0, 1}, true, std::nullopt},    // longer than the cell
  };
  for (const Case& k : cases) {
    SearchCursor s = k.from;
    const auto hit = k.forward ? SearchForward(t, k.text, s) : SearchBackward(t, k.text, s);
    EXPECT_EQ(hit, k.hit) << "'" << k.text << "' from " << k.from.col << ", " << k.from.row;
  }
}

TEST(EditSearch, HeaderCellsAreNeverFound) {
  Table t;
  t.Reset(3, 3);
  t.Set(1, 0, "7");
  t.Set(0, 1, "7");
  t.Set(0, 2, "7");
  t.Set(2, 2, "a");
  for (SearchCursor s : {SearchCursor{0, 0}, SearchCursor{0, 1}, SearchCursor{-1, -1}}) {
    EXPECT_EQ(SearchForward(t, "7", s), std::nullopt);
  }
  SearchCursor s{2, 2};
  EXPECT_EQ(SearchBackward(t, "7", s), std::nullopt);
}

TEST(EditSearch, AFruitlessBackwardSearchKeepsTheSteppedRow) {
  Table t;
  FillNumbered(t, 3, 6);
  t.Set(1, 5, "hit");
  SearchCursor s{3, 6};
  ASSERT_EQ(SearchBackward(t, "hit", s), (CellPos{1, 5}));
  EXPECT_EQ(SearchBackward(t, "hit", s), std::nullopt);
  EXPECT_EQ(s, (SearchCursor{1, 4}));
}

TEST(EditSearch, AgreesWithTheCellByCellScan) {
  std::mt19937 rng(20261208);
  const std::string alphabet = "ab\xC3\xBC";
  for (int round = 0; round < 300; ++round) {
    Table t;
    const int cols = 1 + static_cast<int>(rng() % 6), rows = 1 + static_cast<int>(rng() % 6);
    t.Reset(cols, rows);
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < cols; ++c) {
        if (rng() % 3 == 0) continue;
        std::string text(rng() % 20, 'a');
        for (char& ch : text) ch = alphabet[rng() % alphabet.size()];
        t.Set(c, r, text);
      }
    }
    std::string needle(1 + rng() % 3, 'a');
    for (char& ch : needle) ch = alphabet[rng() % alphabet.size()];
    SearchCursor s{static_cast<int>(rng() % (cols + 2)) - 1, static_cast<int>(rng() % (rows + 2))};
    SearchCursor ref = s;
    for (int step = 0; step < 6; ++step) {
      const bool forward = rng() % 2 == 0;
      const auto got = forward ? SearchForward(t, needle, s) : SearchBackward(t, needle, s);
      const auto want =
          forward ? ReferenceForward(t, needle, ref) : ReferenceBackward(t, needle, ref);
      ASSERT_EQ(got, want) << "round " << round << " step " << step;
      ASSERT_EQ(s, ref) << "round " << round << " step " << step;
    }
  }
}

// The two views as the window holds them: each switch transposes into the
// other view's table, whose storage serves again, and edits go to the view
// shown. After every step the view shown must hold what the same steps give
// on a plain grid.
TEST(TwoViews, EditsAndSwitchesAgreeWithPlainCopies) {
  auto transposed = [](const Grid& g) {
    Grid t(g.empty() ? 0 : g[0].size(), std::vector<std::string>(g.size()));
    for (size_t r = 0; r < g.size(); ++r) {
      for (size_t c = 0; c < g[r].size(); ++c) t[c][r] = g[r][c];
    }
    return t;
  };
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Table views[2];
    FillNumbered(views[0], 7, 9, /*short_row=*/seed % 2 ? 4 : -1);
    int shown = 0;
    Grid model = Snapshot(views[0]);
    for (int step = 0; step < 400; ++step) {
      Table& t = views[shown];
      const int cols = t.ColCount();
      const int rows = t.RowCount();
      const int from = pick(1, 3);
      const int to = from + pick(0, 1);
      switch (pick(0, 6)) {
        case 0:
          ASSERT_TRUE(TransposeGrid(t, views[1 - shown], nullptr).ok());
          shown = 1 - shown;
          model = transposed(model);
          break;
        case 1:
        case 2: {
          const int c = pick(1, cols - 1);
          const int r = pick(1, rows - 1);
          const std::string text = pick(0, 1) ? "s" + std::to_string(step)
                                              : "a text longer than a cell " + std::to_string(step);
          t.Set(c, r, text);
          model[static_cast<size_t>(r)][static_cast<size_t>(c)] = text;
          break;
        }
        case 3:
          if (cols < 6) break;
          RemoveCols(t, from, to, nullptr);
          model = ReferenceRemove(model, true, from, to);
          break;
        case 4:
          if (rows < 6) break;
          ASSERT_TRUE(RemoveRows(t, from, to, nullptr).ok());
          model = ReferenceRemove(model, false, from, to);
          break;
        case 5:
          ClearRows(t, from, to);
          model = ReferenceClear(model, false, from, to);
          break;
        case 6:
          // Room that rows grow into later must read empty.
          t.SetColCount(cols + 1);
          t.SetRowCount(rows + 1);
          for (auto& row : model) row.emplace_back();
          model.emplace_back(static_cast<size_t>(cols + 1));
          break;
      }
      ASSERT_EQ(Snapshot(views[shown]), model) << "after step " << step;
    }
  }
}

}  // namespace
}  // namespace core
