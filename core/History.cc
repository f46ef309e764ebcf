#include "core/History.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "core/RowHalves.h"
#include "core/TableBuilder.h"

namespace core {

class HistoryStep {
 public:
  virtual ~HistoryStep() = default;
  virtual Result Undo(Table& table, HistoryChange& change) = 0;
  virtual Result Redo(Table& table, HistoryChange& change) = 0;
  virtual uint64_t Bytes() const = 0;
  virtual HistoryChange::Kind Kind() const = 0;
};

namespace {

constexpr uint64_t kStepOverhead = 256;  // the step object and its bookkeeping

uint64_t CellBytes(const Table& clip) {
  uint64_t n = 0;
  for (int r = 0; r < clip.RowCount(); ++r) n += std::max<size_t>(clip.StoredLength(r), 1) - 1;
  // Each row's reference and its cell of column 0 besides.
  return n * sizeof(Cell) + static_cast<uint64_t>(clip.RowCount()) * (16 + sizeof(Cell));
}

// Cells overwritten in place (an edit, Del, a paste, emptying a run): the old
// cells are kept in a clip; undo and redo exchange them with the table's.
class CellsStep final : public HistoryStep {
 public:
  CellsStep(Block block, Table&& clip) : block_(block) { clip_.swap(clip); }

  Result Undo(Table& table, HistoryChange& change) override { return Exchange(table, change); }
  Result Redo(Table& table, HistoryChange& change) override { return Exchange(table, change); }
  uint64_t Bytes() const override { return CellBytes(clip_) + kStepOverhead; }
  HistoryChange::Kind Kind() const override { return HistoryChange::Kind::kCells; }

 private:
  Result Exchange(Table& table, HistoryChange& change) {
    change = HistoryChange{HistoryChange::Kind::kCells, block_};
    return SwapBlock(table, clip_, block_.left, block_.top);
  }

  Block block_;
  Table clip_;
};

// Removed columns: the removed cells of every row and how many cells each
// row stored before, so undo puts back exactly what was there.
class RemoveColsStep final : public HistoryStep {
 public:
  RemoveColsStep(const Table& table, int from, int to) : from_(from), to_(to) {
    TableBuilder(keep_).ShareArenasOf(table);
    const int rows = table.RowCount();
    stored_.reserve(static_cast<size_t>(rows));
    size_t total = 0;
    for (int r = 0; r < rows; ++r) {
      const int s = static_cast<int>(table.StoredLength(r));
      stored_.push_back(static_cast<uint32_t>(s));
      if (r >= 1) total += static_cast<size_t>(Removed(s));
    }
    // Row 0 loses the numbers of the last columns when the count drops.
    const int kept = table.ColCount() - (to - from + 1);
    const int header = rows > 0 ? static_cast<int>(stored_[0]) : 0;
    if (header > kept) {
      header_.assign(table.StoredCells(0) + kept, table.StoredCells(0) + header);
    }
    cells_.resize(total);
    const size_t lower_start = RemovedBefore(RowSplit(1, rows - 1));
    OnRowHalves(1, rows - 1, CellsOf(1, rows - 1, table.ColCount()), [&](int top, int bottom, int) {
      Cell* out = cells_.data() + (top == 1 ? 0 : lower_start);
      for (int r = top; r <= bottom; ++r) {
        const int removed = Removed(static_cast<int>(stored_[static_cast<size_t>(r)]));
        if (removed == 0) continue;
        std::memcpy(static_cast<void*>(out), table.StoredCells(r) + from,
                    static_cast<size_t>(removed) * sizeof(Cell));
        out += removed;
      }
    });
  }

  Result Undo(Table& table, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kShape, {}, false, 0, 0};
    const int k = to_ - from_ + 1;
    TableBuilder build(table);
    const Result shared = CatchOutOfMemory([&] { build.ShareArenasOf(keep_); });
    if (!shared.ok()) return shared;
    table.SetColCount(table.ColCount() + k);
    // The rows kept their room since the removal, so growing them back
    // allocates nothing unless something else took it; should it fail, the
    // rows done so far lose their cells again and nothing has changed.
    int r = 0;
    const Result done = CatchOutOfMemory([&] { PutBack(table, build, r); });
    if (!done.ok()) {
      TakeOutAgain(build, r);
      table.SetColCount(table.ColCount() - k);  // row 0 too
    }
    return done;
  }

  Result Redo(Table& table, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kShape, {}, false, 0, 0};
    RemoveCols(table, from_, to_, nullptr);
    return Result::Ok();
  }

  HistoryChange::Kind Kind() const override { return HistoryChange::Kind::kShape; }
  uint64_t Bytes() const override {
    return stored_.capacity() * sizeof(uint32_t) +
           (cells_.capacity() + header_.capacity()) * sizeof(Cell) + kStepOverhead;
  }

 private:
  // The cells the removal took from a row that stored `s` cells.
  int Removed(int s) const { return std::max(0, std::min(s, to_ + 1) - from_); }

  // Gives row 0 and then rows 1, 2, ... their removed cells back; `r` is
  // the row being worked on, so that a failure knows the rows done.
  void PutBack(Table& table, TableBuilder& build, int& r) {
    const int rows = table.RowCount();
    const Cell* in = cells_.data();
    if (rows > 0 && stored_[0] > table.StoredLength(0)) {
      Cell* header = build.ResizeRow(0, stored_[0]);
      std::memcpy(static_cast<void*>(header + stored_[0] - header_.size()), header_.data(),
                  header_.size() * sizeof(Cell));
    }
    // Rows that kept their room take it back without memory from the pool,
    // so when all of them kept it both halves go at once. Otherwise one pass,
    // which may run out of memory part way.
    bool room = true;
    for (int q = 1; q < rows && room; ++q) {
      const int s = static_cast<int>(stored_[static_cast<size_t>(q)]);
      room = Removed(s) == 0 || build.RowHasRoom(q, static_cast<size_t>(s));
    }
    if (!room) {
      for (r = 1; r < rows; ++r) PutBackRow(build, r, in);
      return;
    }
    const size_t lower_start = RemovedBefore(RowSplit(1, rows - 1));
    OnRowHalves(1, rows - 1, CellsOf(1, rows - 1, table.ColCount()), [&](int top, int bottom, int) {
      const Cell* at = in + (top == 1 ? 0 : lower_start);
      for (int row = top; row <= bottom; ++row) PutBackRow(build, row, at);
    });
    r = rows;
  }

  // Gives `row` its removed cells back from `at`, which moves past them.
  void PutBackRow(TableBuilder& build, int row, const Cell*& at) {
    const int s = static_cast<int>(stored_[static_cast<size_t>(row)]);
    const int removed = Removed(s);
    if (removed == 0) return;
    Cell* cells = build.ResizeRow(row, static_cast<size_t>(s));
    std::memmove(static_cast<void*>(cells + from_ + removed), cells + from_,
                 static_cast<size_t>(s - from_ - removed) * sizeof(Cell));
    std::memcpy(static_cast<void*>(cells + from_), at, static_cast<size_t>(removed) * sizeof(Cell));
    at += removed;
  }

  // The cells removed from the rows 1 .. row - 1.
  size_t RemovedBefore(int row) const {
    size_t n = 0;
    for (int q = 1; q < row; ++q)
      n += static_cast<size_t>(Removed(static_cast<int>(stored_[static_cast<size_t>(q)])));
    return n;
  }

  // Removes again what PutBack gave rows 1 .. done - 1.
  void TakeOutAgain(TableBuilder& build, int done) {
    for (int q = 1; q < done; ++q) {
      const int s = static_cast<int>(stored_[static_cast<size_t>(q)]);
      const int removed = Removed(s);
      if (removed == 0) continue;
      Cell* cells = build.MutableCells(q);
      std::memmove(static_cast<void*>(cells + from_), cells + from_ + removed,
                   static_cast<size_t>(s - from_ - removed) * sizeof(Cell));
      build.TruncateRow(q, static_cast<size_t>(s - removed));
    }
  }

  int from_;
  int to_;
  Table keep_;  // keeps the long texts of the removed cells alive
  std::vector<uint32_t> stored_;
  std::vector<Cell> header_;  // row 0 beyond the columns left by the removal
  std::vector<Cell> cells_;
};

// Removed rows: their cells, and the numbers in column 0 of the last rows,
// which the removal drops (the numbers stay with the places).
class RemoveRowsStep final : public HistoryStep {
 public:
  RemoveRowsStep(const Table& table, int from, int to, Table&& rows)
      : from_(from), to_(to), rows_before_(table.RowCount()) {
    rows_.swap(rows);
    const int k = to - from + 1;
    TableBuilder(rows_).ShareArenasOf(table);
    for (int r = rows_before_ - k; r < rows_before_; ++r) {
      numbers_.push_back(table.Head(r));
    }
  }

  Result Undo(Table& table, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kShape, {}, false, 0, 0};
    const int k = to_ - from_ + 1;
    const int rows = rows_before_;
    const int cols = table.ColCount();
    TableBuilder build(table);
    build.ShareArenasOf(rows_);
    if (cols == 0) {  // nothing was stored, nothing moved
      table.SetRowCount(rows);
      return Result::Ok();
    }
    const Result room = CatchOutOfMemory([&] {
      table.SetRowCount(rows);
      for (int r = rows - k; r < rows; ++r) {
        // The rows at the end take what the removed rows stored.
        const size_t need = std::min(rows_.StoredLength(Removed(r)), static_cast<size_t>(cols));
        if (table.StoredLength(r) < need) build.ResizeRow(r, need);
      }
    });
    if (!room.ok()) {
      table.SetRowCount(rows - k);
      return room;
    }
    // The removal moved each removed row i (from + i) up the table in steps
    // of k until it was among the last k; the numbers in column 0 stayed
    // where they were. The tail gets the removed rows and the last numbers
    // back, then the same exchanges of the rows run backwards.
    for (int r = rows - k; r < rows; ++r) {
      const int i = Removed(r);
      const size_t n = std::min(rows_.StoredLength(i), table.StoredLength(r));
      if (n > 1) {
        std::memcpy(static_cast<void*>(build.MutableCells(r) + 1), rows_.StoredCells(i) + 1,
                    (n - 1) * sizeof(Cell));
      }
      build.TruncateRow(r, n);
      build.MutableHead(r) = numbers_[static_cast<size_t>(r - (rows - k))];
    }
    for (int r = rows - k - 1; r >= from_; --r) build.SwapRowStorage(r, r + k);
    return Result::Ok();
  }

  Result Redo(Table& table, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kShape, {}, false, 0, 0};
    return RemoveRows(table, from_, to_, nullptr);
  }

  HistoryChange::Kind Kind() const override { return HistoryChange::Kind::kShape; }
  uint64_t Bytes() const override {
    return CellBytes(rows_) + numbers_.capacity() * sizeof(Cell) + kStepOverhead;
  }

 private:
  // The removed row (0-based in the run) that the removal left at place r
  // of the tail.
  int Removed(int r) const {
    const int k = to_ - from_ + 1;
    return ((r - from_) % k + k) % k;
  }

  int from_;
  int to_;
  int rows_before_;
  Table rows_;  // the removed rows (their column 0 is not used)
  std::vector<Cell> numbers_;
};

class MoveStep final : public HistoryStep {
 public:
  MoveStep(bool row, int from, int to) : row_(row), from_(from), to_(to) {}
  Result Undo(Table&, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kMove, {}, row_, to_, from_};
    return Result::Ok();
  }
  Result Redo(Table&, HistoryChange& change) override {
    change = HistoryChange{HistoryChange::Kind::kMove, {}, row_, from_, to_};
    return Result::Ok();
  }
  uint64_t Bytes() const override { return kStepOverhead; }
  HistoryChange::Kind Kind() const override { return HistoryChange::Kind::kMove; }

 private:
  bool row_;
  int from_;
  int to_;
};

}  // namespace

History::History(double fraction, uint64_t floor_bytes)
    : fraction_(fraction), floor_(floor_bytes) {}

History::~History() = default;

uint64_t History::Limit(const Table& table) const {
  const auto share = static_cast<uint64_t>(static_cast<double>(table.StorageBytes()) * fraction_);
  return std::max(share, floor_);
}

bool History::Fits(uint64_t estimate, const Table& table) {
  if (estimate + kStepOverhead <= Limit(table)) return true;
  Clear();  // the change goes ahead, without a way back
  return false;
}

bool History::Push(std::unique_ptr<HistoryStep> step, const Table& table) {
  // A new change ends what could be made again.
  for (const auto& s : redo_) bytes_ -= s->Bytes();
  redo_.clear();
  bytes_ += step->Bytes();
  undo_.push_back(std::move(step));
  const uint64_t limit = Limit(table);
  while (bytes_ > limit && !undo_.empty()) {
    bytes_ -= undo_.front()->Bytes();
    undo_.pop_front();
  }
  return !undo_.empty();
}

bool History::RecordCells(const Table& table, const Block& block) {
  const Block part = DataPart(table, block);
  if (part.right < part.left || part.bottom < part.top) return false;  // nothing will change
  const uint64_t cells = static_cast<uint64_t>(part.right - part.left + 1) *
                         static_cast<uint64_t>(part.bottom - part.top + 1);
  if (!Fits(cells * sizeof(Cell), table)) return false;
  bool kept = false;
  const Result made = CatchOutOfMemory([&] {
    Table clip;
    const Result copied = CopyBlock(table, part, clip, nullptr);
    if (copied.ok()) kept = Push(std::make_unique<CellsStep>(part, std::move(clip)), table);
    return copied;
  });
  if (!made.ok()) Clear();
  return kept;
}

bool History::RecordRemoveCols(const Table& table, int from, int to) {
  from = std::max(from, 1);
  to = std::min(to, table.ColCount() - 1);
  if (to < from) return false;
  const uint64_t cells =
      static_cast<uint64_t>(to - from + 1) * static_cast<uint64_t>(table.RowCount());
  if (!Fits(cells * sizeof(Cell) + table.RowCount() * sizeof(uint32_t), table)) return false;
  bool kept = false;
  const Result made = CatchOutOfMemory(
      [&] { kept = Push(std::make_unique<RemoveColsStep>(table, from, to), table); });
  if (!made.ok()) Clear();
  return kept;
}

bool History::RecordRemoveRows(const Table& table, int from, int to) {
  from = std::max(from, 1);
  to = std::min(to, table.RowCount() - 1);
  if (to < from) return false;
  const uint64_t cells =
      static_cast<uint64_t>(to - from + 1) * static_cast<uint64_t>(table.ColCount());
  if (!Fits(cells * sizeof(Cell), table)) return false;
  bool kept = false;
  const Result made = CatchOutOfMemory([&] {
    Table rows;
    const Result copied = CopyBlock(table, Block{0, from, table.ColCount() - 1, to}, rows, nullptr);
    if (copied.ok()) {
      kept = Push(std::make_unique<RemoveRowsStep>(table, from, to, std::move(rows)), table);
    }
    return copied;
  });
  if (!made.ok()) Clear();
  return kept;
}

bool History::Record(const Table& table, const TableChange& change) {
  const Block& b = change.block;
  switch (change.kind) {
    case TableChange::Kind::kCells:
      return RecordCells(table, b);
    case TableChange::Kind::kRemoveCols:
      return RecordRemoveCols(table, b.left, b.right);
    case TableChange::Kind::kRemoveRows:
      return RecordRemoveRows(table, b.top, b.bottom);
  }
  return false;
}

void History::RecordMove(bool row, int from, int to) {
  if (from == to) return;
  for (const auto& s : redo_) bytes_ -= s->Bytes();
  redo_.clear();
  const Result kept = CatchOutOfMemory([&] {
    undo_.push_back(std::make_unique<MoveStep>(row, from, to));
    bytes_ += undo_.back()->Bytes();
  });
  if (!kept.ok()) Clear();
}

HistoryChange::Kind History::PeekUndo() const { return undo_.back()->Kind(); }
HistoryChange::Kind History::PeekRedo() const { return redo_.back()->Kind(); }

void History::Forget() {
  if (undo_.empty()) return;
  bytes_ -= undo_.back()->Bytes();
  undo_.pop_back();
}

void History::Clear() {
  undo_.clear();
  redo_.clear();
  bytes_ = 0;
}

Result History::Undo(Table& table, HistoryChange& change) {
  if (undo_.empty()) return Result::Ok();
  HistoryStep* step = undo_.back().get();
  const uint64_t before = step->Bytes();
  const Result done = step->Undo(table, change);
  if (!done.ok()) return done;
  bytes_ = bytes_ - before + step->Bytes();
  redo_.push_back(std::move(undo_.back()));
  undo_.pop_back();
  return done;
}

Result History::Redo(Table& table, HistoryChange& change) {
  if (redo_.empty()) return Result::Ok();
  HistoryStep* step = redo_.back().get();
  const uint64_t before = step->Bytes();
  const Result done = step->Redo(table, change);
  if (!done.ok()) return done;
  bytes_ = bytes_ - before + step->Bytes();
  undo_.push_back(std::move(redo_.back()));
  redo_.pop_back();
  return done;
}

Result SwapBlock(Table& table, Table& clip, int left, int top) {
  const int width = std::min(clip.ColCount(), table.ColCount() - left);
  const int height = std::min(clip.RowCount(), table.RowCount() - top);
  if (width <= 0 || height <= 0 || left < 0 || top < 0) return Result::Ok();
  TableBuilder into(table);
  TableBuilder back(clip);
  const Result room = CatchOutOfMemory([&] {
    into.ShareArenasOf(clip);
    back.ShareArenasOf(table);
    // Both sides store every cell of the block before any is exchanged.
    for (int r = 0; r < height; ++r) {
      if (table.StoredLength(top + r) < static_cast<size_t>(left + width)) {
        into.ResizeRow(top + r, static_cast<size_t>(left + width));
      }
      if (clip.StoredLength(r) < static_cast<size_t>(width)) {
        back.ResizeRow(r, static_cast<size_t>(width));
      }
    }
  });
  if (!room.ok()) return room;
  // Column 0 of either table is kept apart from its rows: the clip's always
  // takes part, the table's when the block starts there.
  for (int r = 0; r < height; ++r) {
    Cell& first = left == 0 ? into.MutableHead(top + r) : into.MutableCells(top + r)[left];
    std::swap(first, back.MutableHead(r));
    if (width > 1) {
      Cell* t = into.MutableCells(top + r) + left + 1;
      std::swap_ranges(t, t + width - 1, back.MutableCells(r) + 1);
    }
  }
  return Result::Ok();
}

}  // namespace core
