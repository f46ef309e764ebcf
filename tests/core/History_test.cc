#include "core/History.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/Edit.h"
#include "core/Memory.h"
#include "core/Table.h"

namespace {

// Everything a table shows: counts and every cell, header cells included.
struct Snapshot {
  int cols = 0;
  int rows = 0;
  std::vector<std::string> cells;
  bool operator==(const Snapshot&) const = default;
};

Snapshot Take(const core::Table& t) {
  Snapshot s{t.ColCount(), t.RowCount(), {}};
  for (int r = 0; r < t.RowCount(); ++r) {
    for (int c = 0; c < t.ColCount(); ++c) s.cells.emplace_back(t.Get(c, r));
  }
  return s;
}

// A numbered table with ragged rows, empty cells and texts too long to be
// stored inside a cell.
void Fill(core::Table& t, int cols, int rows, uint32_t seed) {
  std::mt19937 random(seed);
  t.Reset(cols, rows);
  for (int c = 1; c < cols; ++c) t.Set(c, 0, std::to_string(c));
  for (int r = 1; r < rows; ++r) {
    t.Set(0, r, std::to_string(r));
    const int stored = static_cast<int>(random() % static_cast<uint32_t>(cols));
    for (int c = 1; c <= stored; ++c) {
      switch (random() % 4) {
        case 0:
          break;  // empty
        case 1:
          t.Set(c, r, "lang-" + std::string(20 + random() % 30, static_cast<char>('a' + c % 26)));
          break;
        default:
          t.Set(c, r, std::to_string(r) + ":" + std::to_string(c));
      }
    }
  }
}

// One change of the kinds the window makes, recorded first.
void Change(core::Table& t, core::History& h, std::mt19937& random, std::string& what) {
  const int cols = t.ColCount();
  const int rows = t.RowCount();
  auto pick = [&](int n) { return n > 1 ? 1 + static_cast<int>(random() % (n - 1)) : 1; };
  int a = pick(cols), b = pick(cols), c = pick(rows), d = pick(rows);
  if (a > b) std::swap(a, b);
  if (c > d) std::swap(c, d);
  switch (random() % 8) {
    case 0:
      what = "edit";
      h.RecordCells(t, {a, c, a, c});
      t.Set(a, c, random() % 2 ? "neu" : std::string(40, 'N'));
      break;
    case 1:
      what = "clear block";
      h.RecordCells(t, {a, c, b, d});
      core::ClearBlock(t, {a, c, b, d}, nullptr);
      break;
    case 2: {
      what = "paste";
      core::Table clip;
      Fill(clip, 4, 3, static_cast<uint32_t>(random()));
      h.RecordCells(t, {a, c, a + 3, c + 2});
      ASSERT_TRUE(core::PasteBlock(clip, t, a, c, nullptr).ok());
      break;
    }
    case 3:
      what = "remove columns";
      h.RecordRemoveCols(t, a, b);
      core::RemoveCols(t, a, b, nullptr);
      break;
    case 4:
      what = "remove rows";
      h.RecordRemoveRows(t, c, d);
      ASSERT_TRUE(core::RemoveRows(t, c, d, nullptr).ok());
      break;
    case 5:
      what = "clear columns";
      h.RecordCells(t, {a, 1, b, rows - 1});
      core::ClearCols(t, a, b);
      break;
    case 6:
      what = "move";
      t.MoveRow(c, d);
      h.RecordMove(true, c, d);
      break;
    default:
      // Recorded, then the change failed: the newest step must go.
      what = "failed change";
      if (h.RecordCells(t, {a, c, b, d})) h.Forget();
  }
}

void Apply(core::Table& t, const core::HistoryChange& change) {
  if (change.kind != core::HistoryChange::Kind::kMove) return;
  if (change.row) {
    t.MoveRow(change.from, change.to);
  } else {
    t.MoveCol(change.from, change.to);
  }
}

void UndoAll(core::Table& t, core::History& h) {
  while (h.CanUndo()) {
    core::HistoryChange change;
    ASSERT_TRUE(h.Undo(t, change).ok());
    Apply(t, change);
  }
}

// Random changes on random tables: undoing every one of them in turn gives
// back each state before it, cell for cell, and redoing them all gives the
// last state again. Undone once more, a new change ends every step and
// taking it back leaves a history of no bytes, so the byte count stayed
// right through every undo and redo.
TEST(History, UndoAndRedoRestoreEveryStateExactly) {
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    std::mt19937 random(seed);
    core::Table t;
    Fill(t, 2 + static_cast<int>(random() % 9), 2 + static_cast<int>(random() % 30), seed);
    core::History h(1.0, uint64_t{1} << 30);
    std::vector<Snapshot> states{Take(t)};
    std::vector<std::string> names;
    for (int i = 0; i < 12; ++i) {
      std::string what;
      Change(t, h, random, what);
      names.push_back(what);
      states.push_back(Take(t));
    }
    for (int i = static_cast<int>(names.size()) - 1; i >= 0; --i) {
      if (!h.CanUndo()) break;  // a change that changed nothing keeps no step
      core::HistoryChange change;
      ASSERT_TRUE(h.Undo(t, change).ok());
      Apply(t, change);
      // Steps that changed nothing are not kept: find the state it matches.
      bool matched = false;
      for (int j = i; j >= 0 && !matched; --j) {
        if (Take(t) == states[static_cast<size_t>(j)]) {
          matched = true;
          i = j;
        }
      }
      ASSERT_TRUE(matched) << "seed " << seed << ", undo of " << names[static_cast<size_t>(i)];
    }
    ASSERT_EQ(Take(t), states.front()) << "seed " << seed;
    while (h.CanRedo()) {
      core::HistoryChange change;
      ASSERT_TRUE(h.Redo(t, change).ok());
      Apply(t, change);
    }
    EXPECT_EQ(Take(t), states.back()) << "seed " << seed;
    UndoAll(t, h);
    EXPECT_EQ(Take(t), states.front()) << "seed " << seed;
    h.RecordMove(true, 1, 2);
    h.Forget();
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(h.Bytes(), 0u) << "seed " << seed;
  }
}

TEST(History, ANewChangeEndsTheRedoStepsAndTheCapDropsTheOldest) {
  core::Table t;
  t.Reset(6, 100);
  for (int r = 0; r < 100; ++r) {
    for (int c = 0; c < 6; ++c) t.Set(c, r, "z");
  }
  // Room for three steps of one column of 99 cells: 16 bytes a cell, 16 a
  // row, 256 for the step.
  core::History h(0.0, 3 * (99 * 16 + 99 * 16 + 256) + 100);
  for (int i = 0; i < 5; ++i) {
    ASSERT_TRUE(h.RecordCells(t, {1, 1, 1, 99}));
    core::ClearCols(t, 1, 1);
    t.Set(1, 1, "schritt " + std::to_string(i));
  }
  EXPECT_EQ(h.UndoSteps(), 3u) << "the two oldest went";
  EXPECT_LE(h.Bytes(), h.Limit(t));
  core::HistoryChange change;
  ASSERT_TRUE(h.Undo(t, change).ok());
  EXPECT_EQ(t.Get(1, 1), "schritt 3");
  EXPECT_EQ(change.kind, core::HistoryChange::Kind::kCells);
  EXPECT_EQ(h.RedoSteps(), 1u);
  ASSERT_TRUE(h.RecordCells(t, {2, 2, 2, 2}));
  t.Set(2, 2, "x");
  EXPECT_EQ(h.RedoSteps(), 0u);
  EXPECT_EQ(h.UndoSteps(), 3u);
}

TEST(History, AStepLargerThanTheCapEmptiesTheHistoryAndTheChangeGoesAhead) {
  core::Table t;  // short texts only, each row sized once: the cells are its memory
  t.Reset(11, 1000);
  for (int r = 0; r < 1000; ++r) {
    for (int c = 10; c >= 0; --c) t.Set(c, r, "k");
  }
  core::History h(0.25, 0);
  ASSERT_GT(10 * 999 * 16, h.Limit(t)) << t.StorageBytes();
  ASSERT_TRUE(h.RecordCells(t, {1, 1, 1, 1}));
  EXPECT_FALSE(h.RecordCells(t, {1, 1, 10, 999})) << "most of the table is over a quarter";
  EXPECT_FALSE(h.CanUndo());
  EXPECT_EQ(h.Bytes(), 0u);
  // Nothing to keep is no step either.
  EXPECT_FALSE(h.RecordCells(t, {20, 1, 30, 5}));
  EXPECT_FALSE(h.RecordRemoveCols(t, 11, 12));
  EXPECT_FALSE(h.RecordRemoveRows(t, 0, 0));
}

TEST(History, NoMemoryForAStepEmptiesTheHistoryAndTheChangeGoesAhead) {
  core::Table t;
  t.Reset(6, 2000);
  for (int r = 0; r < 2000; ++r) {
    for (int c = 5; c >= 0; --c) t.Set(c, r, "v" + std::to_string(c));
  }
  core::History h(1.0, uint64_t{1} << 30);
  ASSERT_TRUE(h.RecordCells(t, {1, 1, 1, 1}));
  // Small blocks may still be taken, the copy of a big run may not.
  {
    core::ScopedMemoryProbe small_blocks([](uint64_t bytes) { return bytes < 4096; });
    EXPECT_FALSE(h.RecordCells(t, {1, 1, 5, 1999}));
    EXPECT_FALSE(h.RecordRemoveRows(t, 2, 1500));
  }
  EXPECT_FALSE(h.CanUndo()) << "what was kept went to make room";
  EXPECT_EQ(h.Bytes(), 0u);
  ASSERT_TRUE(core::RemoveRows(t, 2, 1500, nullptr).ok());
  EXPECT_EQ(t.RowCount(), 501);
}

// A removal from a table of a million cells is recorded and undone by two
// threads, each taking half the rows: the ragged rows must not show where
// the halves meet.
// Big enough for both cores: the removed cells are kept, and given back, by
// two threads, column 0 of the removed rows included.
TEST(History, UndoingABigRemovalGivesBackEveryCell) {
  core::Table t;
  Fill(t, 11, 110000, 7);
  const Snapshot before = Take(t);
  struct Run {
    bool rows;
    int from, to;
  };
  for (const Run& run : {Run{false, 5, 5}, Run{false, 1, 10}, Run{false, 8, 30}, Run{true, 3, 3},
                         Run{true, 1, 50000}, Run{true, 109990, 120000}}) {
    SCOPED_TRACE((run.rows ? "rows " : "columns ") + std::to_string(run.from) + ".." +
                 std::to_string(run.to));
    core::History h(1.0, uint64_t{1} << 34);
    if (run.rows) {
      ASSERT_TRUE(h.RecordRemoveRows(t, run.from, run.to));
      ASSERT_TRUE(core::RemoveRows(t, run.from, run.to, nullptr).ok());
    } else {
      ASSERT_TRUE(h.RecordRemoveCols(t, run.from, run.to));
      core::RemoveCols(t, run.from, run.to, nullptr);
    }
    const Snapshot removed = Take(t);
    core::HistoryChange change;
    ASSERT_TRUE(h.Undo(t, change).ok());
    EXPECT_TRUE(Take(t) == before);
    ASSERT_TRUE(h.Redo(t, change).ok());
    EXPECT_TRUE(Take(t) == removed);
    ASSERT_TRUE(h.Undo(t, change).ok());
  }
}

TEST(History, RemovedColumnCostsLittleMoreThanItsCells) {
  core::Table t;
  t.Reset(11, 10001);
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 0; c < t.ColCount(); ++c) t.Set(c, r, "x" + std::to_string(c));
  }
  core::History h(1.0, 0);
  ASSERT_TRUE(h.RecordRemoveCols(t, 5, 5));
  const double per_cell = static_cast<double>(h.Bytes()) / 10000.0;
  EXPECT_LE(per_cell, 24.0);  // 16 for the cell, 4 for the row's length
}

TEST(SwapBlock, ExchangesCellsBothWaysAndKeepsLongTextsAlive) {
  core::Table t;
  t.Reset(4, 4);
  t.Set(1, 1, "kurz");
  t.Set(2, 2, std::string(50, 'T'));
  core::Table clip;
  clip.Reset(2, 2);
  clip.Set(0, 0, std::string(60, 'C'));
  clip.Set(1, 1, "c");
  ASSERT_TRUE(core::SwapBlock(t, clip, 1, 1).ok());
  EXPECT_EQ(t.Get(1, 1), std::string(60, 'C'));
  EXPECT_EQ(t.Get(2, 2), "c");
  EXPECT_EQ(clip.Get(0, 0), "kurz");
  EXPECT_EQ(clip.Get(1, 1), std::string(50, 'T'));
  t.Reset(4, 4);  // the table's own texts go; the clip's copy of them stays
  EXPECT_EQ(clip.Get(1, 1), std::string(50, 'T'));
  // Cut at the table's edge.
  core::Table small;
  small.Reset(2, 2);
  ASSERT_TRUE(core::SwapBlock(small, clip, 1, 1).ok());
  EXPECT_EQ(small.Get(1, 1), "kurz");
  EXPECT_EQ(clip.Get(0, 0), "");
}

}  // namespace
