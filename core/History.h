// The undo history of one table: each step keeps only what it needs to take
// its change back (the cells a change overwrote, or the removed run), and
// the whole history is capped against the memory the table uses, the oldest
// steps going first. A step that cannot be kept (too large, or no memory for
// it) empties the history instead of failing the change: the change goes
// ahead, it just cannot be taken back.
//
// Recording comes before the change, with the table as it is then. If the
// change then fails, Forget() takes the step out again.
#ifndef MARVESK_CORE_HISTORY_H_
#define MARVESK_CORE_HISTORY_H_

#include <cstdint>
#include <deque>
#include <memory>

#include "core/Edit.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

class HistoryStep;

// What an undo or redo changed, so the caller can refresh what shows it.
struct HistoryChange {
  enum class Kind {
    kCells,  // the cells of `block` changed; the counts did not
    kShape,  // rows or columns came or went
    kMove,   // the caller moves `from` to `to` (a row or a column), see Undo
  };
  Kind kind = Kind::kCells;
  Block block;
  bool row = false;  // kMove: a row, else a column
  int from = 0;
  int to = 0;
};

class History {
 public:
  // The cap: `fraction` of the table's storage, but never below
  // `floor_bytes` (a small table keeps a useful history).
  explicit History(double fraction = 0.25, uint64_t floor_bytes = uint64_t{8} << 20);
  ~History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  // Before the data cells of `block` change (cut to the table's data cells).
  // True when a step was kept. False when there is nothing to keep (the
  // block or run lies outside the data cells) or the step could not be kept,
  // which empties the history.
  bool RecordCells(const Table& table, const Block& block);
  // Before RemoveCols(table, from, to) / RemoveRows(table, from, to).
  bool RecordRemoveCols(const Table& table, int from, int to);
  bool RecordRemoveRows(const Table& table, int from, int to);
  // Before `change` is made: one of the three above.
  bool Record(const Table& table, const TableChange& change);
  // A row or column moved from `from` to `to` (after the move; costs nothing).
  void RecordMove(bool row, int from, int to);
  // The change recorded last did not happen.
  void Forget();
  void Clear();

  bool CanUndo() const { return !undo_.empty(); }
  // The kind of change the next Undo or Redo makes (there must be a step).
  HistoryChange::Kind PeekUndo() const;
  HistoryChange::Kind PeekRedo() const;
  bool CanRedo() const { return !redo_.empty(); }
  size_t UndoSteps() const { return undo_.size(); }
  size_t RedoSteps() const { return redo_.size(); }
  // Bytes the steps hold, undo and redo together.
  uint64_t Bytes() const { return bytes_; }
  uint64_t Limit(const Table& table) const;
  void SetCap(double fraction, uint64_t floor_bytes) {
    fraction_ = fraction;
    floor_ = floor_bytes;
  }

  // Takes the last change back, or makes the last one taken back again.
  // Cells and shape changes are applied to `table`; a move is not: the
  // caller moves the row or column (it also owns what travels with it, like
  // a column's width) from `from` to `to`. Without a step (CanUndo,
  // CanRedo) nothing happens. kOutOfMemory leaves the table and the history
  // as they were.
  Result Undo(Table& table, HistoryChange& change);
  Result Redo(Table& table, HistoryChange& change);

 private:
  bool Push(std::unique_ptr<HistoryStep> step, const Table& table);
  bool Fits(uint64_t estimate, const Table& table);

  double fraction_;
  uint64_t floor_;
  std::deque<std::unique_ptr<HistoryStep>> undo_;
  std::deque<std::unique_ptr<HistoryStep>> redo_;
  uint64_t bytes_ = 0;
};

// Exchanges the cells of `clip` with the cells of `table` whose top-left
// cell is (left, top), cut to the table. Both keep each other's long texts
// alive. kOutOfMemory (making room in the rows) leaves both as they were.
Result SwapBlock(Table& table, Table& clip, int left, int top);

}  // namespace core

#endif  // MARVESK_CORE_HISTORY_H_
