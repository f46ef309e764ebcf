#include "core/Transpose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/Memory.h"
#include "core/Table.h"
#include "core/TableBuilder.h"

namespace core {
namespace {

// A table as the loader leaves it: row numbers in column 0, column numbers in
// row 0, and `cell(c, r)` in every data cell; with `one_block`, all rows in
// one pool block.
template <typename CellText>
void FillNumbered(Table& t, int data_cols, int data_rows, CellText cell, bool one_block = false) {
  t.Reset(data_cols + 1, data_rows + 1);
  if (one_block) {
    TableBuilder build(t);
    build.ReserveCells(static_cast<size_t>(data_cols) * static_cast<size_t>(data_rows + 1));
    for (int r = 0; r <= data_rows; ++r) build.ResizeRow(r, static_cast<size_t>(data_cols + 1));
  }
  for (int c = 1; c <= data_cols; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r <= data_rows; ++r) {
    t.Set(0, r, std::to_string(r));
    for (int c = 1; c <= data_cols; ++c) t.Set(c, r, cell(c, r));
  }
}

std::string Name(int c, int r) { return "c" + std::to_string(c) + "r" + std::to_string(r); }

// Every cell of `target` inside its counts, and a margin beyond them, against
// the exchanged cell of `source`.
void ExpectTransposed(const Table& source, const Table& target) {
  ASSERT_EQ(target.ColCount(), source.RowCount());
  ASSERT_EQ(target.RowCount(), source.ColCount());
  for (int r = 0; r < target.RowCount() + 2; ++r) {
    for (int c = 0; c < target.ColCount() + 2; ++c) {
      ASSERT_EQ(target.Get(c, r), source.Get(r, c)) << "target cell (" << c << ", " << r << ")";
    }
  }
}

std::vector<std::vector<std::string>> Snapshot(const Table& t) {
  std::vector<std::vector<std::string>> cells(static_cast<size_t>(t.RowCount()));
  for (int r = 0; r < t.RowCount(); ++r) {
    for (int c = 0; c < t.ColCount(); ++c) cells[static_cast<size_t>(r)].emplace_back(t.Get(c, r));
  }
  return cells;
}

class RecordingObserver : public ProgressObserver {
 public:
  void Started(int maximum) override {
    events.push_back("started");
    this->maximum = maximum;
  }
  void Progress(int position) override {
    events.push_back("progress");
    positions.push_back(position);
  }
  void Finished() override { events.push_back("finished"); }

  std::vector<std::string> events;
  std::vector<int> positions;
  int maximum = -100;
};

TEST(TransposeGrid, ThreeByFiveBecomesFiveByThreeWithHeaders) {
  Table source;
  FillNumbered(source, 3, 5, Name);
  ASSERT_EQ(source.ColCount(), 4);
  ASSERT_EQ(source.RowCount(), 6);
  Table target;
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());

  EXPECT_EQ(target.ColCount(), 6);
  EXPECT_EQ(target.RowCount(), 4);
  // The row numbers have become the column numbers and the other way round.
  for (int k = 1; k <= 5; ++k) EXPECT_EQ(target.Get(k, 0), std::to_string(k));
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(target.Get(0, k), std::to_string(k));
  EXPECT_EQ(target.Get(0, 0), "");
  EXPECT_EQ(target.Get(5, 3), "c3r5");
  EXPECT_EQ(target.Get(2, 1), "c1r2");
  ExpectTransposed(source, target);
}

TEST(TransposeGrid, TwiceGivesTheOriginalBack) {
  // Lengths around the inline limit, embedded NUL and high bytes included.
  const std::vector<std::string> texts = {"",
                                          "x",
                                          std::string(15, 'a'),
                                          std::string(16, 'b'),
                                          std::string(100, 'c'),
                                          std::string("n\0l", 3),
                                          "\xe4\xf6\xfc"};
  Table source;
  FillNumbered(source, 7, 30, [&](int c, int r) {
    return texts[static_cast<size_t>(c * 3 + r) % texts.size()] + std::to_string(c * r % 4);
  });
  Table once, twice;
  ASSERT_TRUE(TransposeGrid(source, once, nullptr).ok());
  ASSERT_TRUE(TransposeGrid(once, twice, nullptr).ok());
  EXPECT_EQ(twice.ColCount(), source.ColCount());
  EXPECT_EQ(twice.RowCount(), source.RowCount());
  EXPECT_EQ(Snapshot(twice), Snapshot(source));
}

TEST(TransposeGrid, OneDataColumnGivesOneDataRow) {
  Table source;
  FillNumbered(source, 1, 4, Name);
  Table target;
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
  EXPECT_EQ(target.ColCount(), 5);
  EXPECT_EQ(target.RowCount(), 2);
  EXPECT_EQ(target.Get(4, 1), "c1r4");
  ExpectTransposed(source, target);
}

TEST(TransposeGrid, SingleRowAndEmptyTables) {
  struct Case {
    int cols, rows;
  };
  for (const Case& k :
       {Case{2, 2}, Case{1, 1}, Case{1000, 1}, Case{1, 1000}, Case{0, 3}, Case{5, 0}}) {
    SCOPED_TRACE(testing::Message() << k.cols << " x " << k.rows);
    Table source;
    source.Reset(k.cols, k.rows);
    for (int r = 0; r < k.rows; ++r) {
      for (int c = 0; c < k.cols; ++c) source.Set(c, r, Name(c, r));
    }
    Table target;
    ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
    ExpectTransposed(source, target);
  }
}

TEST(TransposeGrid, RaggedRowsReadEmptyWhereNothingWasStored) {
  Table source;
  source.Reset(6, 7);
  source.Set(5, 0, "head5");  // only the far column of row 0
  source.Set(0, 1, "1");      // a row of only its number
  source.Set(3, 2, "mid");    // a hole before it
  source.Set(5, 4, "end");    // a full-width row further down
  source.Set(1, 4, "first");
  source.Set(2, 6, "lastrow");  // the last row, short
  // Row 3 and row 5 store nothing.
  Table target;
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
  ExpectTransposed(source, target);
  EXPECT_EQ(target.Get(4, 5), "end");
  EXPECT_EQ(target.Get(6, 2), "lastrow");
  EXPECT_EQ(target.Get(6, 5), "");
}

TEST(TransposeGrid, RaggedRowsAcrossColumnBlocks) {
  // Stored lengths that end before, on and after the block and stripe edges.
  Table source;
  source.Reset(233, 61);
  for (int r = 0; r < 61; ++r) {
    const int stored = (r * 37) % 234;
    for (int c = 0; c < stored; ++c) {
      if ((c + r) % 5 != 0) source.Set(c, r, Name(c, r));
    }
  }
  Table target;
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
  ExpectTransposed(source, target);
}

// Big enough that two threads copy, each half of the source rows: ragged
// rows, long cells and a split that falls inside runs of stored cells.
TEST(TransposeGrid, TwoThreadsGiveTheSameTable) {
  for (const int rows : {(1 << 20) / 4 + 1, (1 << 20) / 4 + 2}) {
    SCOPED_TRACE(rows);
    Table source;
    source.Reset(5, rows);
    for (int r = 0; r < rows; ++r) {
      const int stored = r % 6;
      for (int c = 0; c < stored && c < 5; ++c) {
        source.Set(c, r, r % 97 == 0 ? Name(c, r) + " and a text too long for a cell" : Name(c, r));
      }
    }
    Table target;
    ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
    ExpectTransposed(source, target);
  }
}

TEST(TransposeGrid, SparseColumnsDoNotCostADenseCopy) {
  // As a loaded ragged file: row 0 numbers all 2000 columns, but the data
  // rows are short. A dense copy would need 20000 x 2000 cells (640 MB).
  Table source;
  source.Reset(2001, 20001);
  for (int c = 1; c <= 2000; ++c) source.Set(c, 0, std::to_string(c));
  for (int r = 1; r <= 20000; ++r) {
    source.Set(0, r, std::to_string(r));
    source.Set(1, r, "v");
  }
  source.Set(2000, 7, "far");
  Table target;
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
  EXPECT_EQ(target.Get(7, 2000), "far");
  EXPECT_EQ(target.Get(20000, 1), "v");
  EXPECT_EQ(target.Get(20000, 1999), "");
  EXPECT_LT(target.StorageBytes(), uint64_t{16} << 20);
}

TEST(TransposeGrid, LongCellsOutliveTheSource) {
  auto long_text = [](int c, int r) { return std::string(40, 'L') + Name(c, r); };
  Table target;
  {
    Table source;
    FillNumbered(source, 4, 50, long_text);
    ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
    source.Reset(2, 2);
    // Fresh long texts that may take the memory the source gave up.
    Table other;
    FillNumbered(other, 4, 50, [](int, int) { return std::string(56, 'X'); });
  }
  for (int c = 1; c <= 4; ++c) {
    for (int r = 1; r <= 50; ++r) ASSERT_EQ(target.Get(r, c), long_text(c, r));
  }
}

TEST(TransposeGrid, NothingOfTheTargetsEarlierTableRemains) {
  Table target;
  FillNumbered(target, 40, 60, [](int, int) { return std::string(20, 'o'); });
  Table source;
  FillNumbered(source, 2, 3, Name);
  ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
  ExpectTransposed(source, target);
  // Raising the counts again must show empty cells, not the old texts.
  target.SetColCount(41);
  target.SetRowCount(61);
  for (int r = 0; r < 61; ++r) {
    for (int c = 0; c < 41; ++c) {
      if (c < 4 && r < 3) continue;
      ASSERT_EQ(target.Get(c, r), "") << "cell (" << c << ", " << r << ")";
    }
  }
}

TEST(TransposeProgress, EveryHundredthSourceColumn) {
  struct Case {
    int col_count;
    int maximum;
    std::vector<int> positions;
    int row_count = 3;
  };
  std::vector<int> wide;  // copied by two threads, each taking half the columns
  for (int c = 0; c <= 5000; c += 100) wide.push_back(c);
  const std::vector<Case> cases = {
      {251, 250, {0, 100, 200}}, {2, 1, {0}}, {100, 99, {0}},          {101, 100, {0, 100}},
      {201, 200, {0, 100, 200}}, {0, -1, {}}, {5001, 5000, wide, 300},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "ColCount " << k.col_count);
    Table source;
    source.Reset(k.col_count, k.row_count);
    for (int c = 0; c < k.col_count; ++c) source.Set(c, 1, Name(c, 1));
    RecordingObserver observer;
    Table target;
    ASSERT_TRUE(TransposeGrid(source, target, &observer).ok());
    EXPECT_EQ(observer.maximum, k.maximum);
    EXPECT_EQ(observer.positions, k.positions);
    ASSERT_GE(observer.events.size(), 2u);
    EXPECT_EQ(observer.events.front(), "started");
    EXPECT_EQ(observer.events.back(), "finished");
    EXPECT_EQ(observer.events.size(), k.positions.size() + 2);
    ExpectTransposed(source, target);
  }
}

// The cells keep their bytes, so the copy must be read in the same encoding:
// a Windows-1252 table shown as UTF-8 turns every umlaut into U+FFFD, and an
// edit there would write those bytes back.
TEST(TransposeGrid, CarriesTheTextEncodingBothWays) {
  for (bool utf8 : {false, true}) {
    Table source;
    FillNumbered(source, 3, 1, [](int, int) { return std::string("M\xFCller"); });
    source.set_utf8(utf8);
    Table once;
    Table twice;
    once.set_utf8(!utf8);
    twice.set_utf8(!utf8);
    ASSERT_TRUE(TransposeGrid(source, once, nullptr).ok());
    ASSERT_TRUE(TransposeGrid(once, twice, nullptr).ok());
    EXPECT_EQ(once.utf8(), utf8);
    EXPECT_EQ(twice.utf8(), utf8);
  }
}

// A table whose rows lie all over its pool: ragged rows, some grown later
// (their cells move behind all the others), long texts, rows moved far.
void FillScattered(Table& t, int cols, int rows) {
  t.Reset(cols, rows);
  for (int c = 1; c < cols; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r < rows; ++r) {
    t.Set(0, r, std::to_string(r));
    for (int c = 1; c < 1 + r % std::max(cols, 1); ++c) {
      t.Set(c, r, r % 89 == 0 ? Name(c, r) + " and a text too long for a cell" : Name(c, r));
    }
  }
  for (int r = 3; r < rows; r += 7) t.Set(cols - 1, r, "grown");
  if (rows > 20) {
    t.MoveRow(2, rows - 3);
    t.MoveRow(rows / 2 + 1, 5);
  }
}

// The view switch frees a big source as the copy passes it: switched three
// times, the views must be the ones TransposeGrid makes, in one thread or
// two, for rows spread over the pool as edits leave them and for rows laid
// out by a transposition, tall and wide; each source is left as a cleared
// grid.
TEST(TransposeGridFreeingSource, SwitchesGiveWhatTheCopyGivesAndLeaveTheSourceCleared) {
  struct Case {
    int cols, rows;
  };
  for (const Case k : {Case{6, 300000}, Case{240, 150}, Case{3000, 40}, Case{6000, 200},
                       Case{6, 40}, Case{1, 30}, Case{0, 5}, Case{7, 1}}) {
    SCOPED_TRACE(testing::Message() << k.cols << " x " << k.rows);
    Table plain;
    FillScattered(plain, k.cols, k.rows);
    Table expected;
    RecordingObserver expected_progress;
    ASSERT_TRUE(TransposeGrid(plain, expected, &expected_progress).ok());
    const auto views = std::vector{Snapshot(expected), Snapshot(plain)};

    Table view[2];
    FillScattered(view[0], k.cols, k.rows);
    FillNumbered(view[1], 9, 9, Name);  // an earlier table
    for (int i = 0; i < 3; ++i) {
      SCOPED_TRACE(testing::Message() << "switch " << i + 1);
      Table& source = view[i % 2];
      Table& target = view[(i + 1) % 2];
      const int cols = source.ColCount();
      RecordingObserver progress;
      ASSERT_TRUE(TransposeGridFreeingSource(source, target, &progress, /*free_from=*/0).ok());
      EXPECT_EQ(Snapshot(target), views[static_cast<size_t>(i % 2)]);
      if (i == 0) {
        EXPECT_EQ(progress.positions, expected_progress.positions);
      }
      EXPECT_EQ(progress.events.size(), progress.positions.size() + 2);
      EXPECT_EQ(source.ColCount(), cols);
      EXPECT_EQ(source.RowCount(), 2);
      for (int c = 0; c < cols; ++c) EXPECT_EQ(source.Get(c, 1), "");
    }
  }
}

// Of a big table whose rows store every column, the switch moves the pages
// of the source blocks it has passed into the target ahead of the copy: the
// moved pages still hold source cells, so every target cell must be written
// over, and none the copy wrote may be moved over. There and back, with a
// target that held nothing and one that held a small table. Tables in huge
// pages move none of theirs, and give the same.
TEST(TransposeGridFreeingSource, MovesPassedPagesIntoAFullTarget) {
  // Whether this system moves pages at all (else the copy faults them in).
  void* a = NewCellBlock(kMappedCellBytes);
  void* b = NewCellBlock(kMappedCellBytes);
  ASSERT_TRUE(a && b);
  const bool moves = MoveCellPages(a, b, PageBytes());
  FreeCellBlock(a, kMappedCellBytes);
  FreeCellBlock(b, kMappedCellBytes);
  const auto cell = [](int c, int r) {
    return r % 97 == 0 ? Name(c, r) + " longer than a cell" : Name(c, r);
  };
  Table plain;
  FillNumbered(plain, 7, 200000, cell);
  Table expected;
  ASSERT_TRUE(TransposeGrid(plain, expected, nullptr).ok());
  const auto there = Snapshot(expected);
  const auto back = Snapshot(plain);
  for (const bool huge : {false, true}) {
    SCOPED_TRACE(huge ? "huge pages" : "small pages");
    ScopedHugePages pages(huge);
    // A source in one block shared by both threads of the copy moves only
    // the pieces they have passed.
    for (const auto& [earlier, one_block] :
         {std::pair{false, false}, {true, false}, {false, true}}) {
      SCOPED_TRACE(earlier ? "target held a table" : "empty target");
      SCOPED_TRACE(one_block ? "source in one block" : "source in growing blocks");
      FreeKeptBlocks();  // else a table may get a block an earlier one gave back
      Table view[2];
      FillNumbered(view[0], 7, 200000, cell, one_block);
      if (earlier) FillNumbered(view[1], 9, 9, Name);
      EXPECT_EQ(TableBuilder(view[0]).PoolHasHugeBlocks(), huge && SystemHasHugePages());
      const uint64_t moved = MovedCellBytes();
      ASSERT_TRUE(TransposeGridFreeingSource(view[0], view[1], nullptr, 0).ok());
      EXPECT_EQ(Snapshot(view[1]), there);
      ASSERT_TRUE(TransposeGridFreeingSource(view[1], view[0], nullptr, 0).ok());
      EXPECT_EQ(Snapshot(view[0]), back);
      if (moves && !(huge && SystemHasHugePages())) {
        EXPECT_GT(MovedCellBytes(), moved);
      } else {
        EXPECT_EQ(MovedCellBytes(), moved);
      }
    }
  }
}

TEST(TransposeGridFreeingSource, KeepsASourceBelowTheSize) {
  Table source;
  FillScattered(source, 8, 100);
  const auto before = Snapshot(source);
  Table target;
  ASSERT_TRUE(TransposeGridFreeingSource(source, target, nullptr, source.StorageBytes() + 1).ok());
  EXPECT_EQ(Snapshot(source), before);
  ExpectTransposed(source, target);
}

TEST(TransposeGrid, OutOfMemoryLeavesAnEmptyTargetAndTheSourceAsItWas) {
  Table source;
  FillNumbered(source, 11, 3000, [](int c, int r) {
    return (c + r) % 5 == 0 ? std::string(30, 'q') + Name(c, r) : Name(c, r);
  });
  const auto before = Snapshot(source);
  // The target rows past column 0, in one block whose first cell stays unused.
  const uint64_t needed = (12 * 3000 + 1) * sizeof(Cell);
  // Nothing at all, a little, and almost all of what the copy needs.
  for (uint64_t budget : {uint64_t{0}, uint64_t{4096}, needed / 2, needed - 1}) {
    SCOPED_TRACE(testing::Message() << "budget " << budget);
    Table target;
    FillNumbered(target, 30, 30, Name);  // an earlier table
    RecordingObserver observer;
    for (const bool freeing : {false, true}) {
      ScopedMemoryProbe limit(BudgetProbe(budget));
      const Result result = freeing ? TransposeGridFreeingSource(source, target, &observer, 0)
                                    : TransposeGrid(source, target, &observer);
      EXPECT_EQ(result.code(), Code::kOutOfMemory);
      EXPECT_EQ(result.message(), "Speicherplatz zu klein");
    }
    EXPECT_EQ(target.ColCount(), 2);
    EXPECT_EQ(target.RowCount(), 2);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) EXPECT_EQ(target.Get(c, r), "");
    }
    EXPECT_EQ(Snapshot(source), before);
    EXPECT_EQ(observer.events.back(), "finished");
    // Both tables stay usable.
    target.Set(1, 1, "after");
    EXPECT_EQ(target.Get(1, 1), "after");
    ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
    ExpectTransposed(source, target);
  }
  {
    ScopedMemoryProbe limit(BudgetProbe(needed));
    Table target;
    ASSERT_TRUE(TransposeGrid(source, target, nullptr).ok());
    ExpectTransposed(source, target);
  }
}

}  // namespace
}  // namespace core
