// Building and editing a table's rows in place, for the loader, the
// transposition and the edit operations: cells are written straight into the
// table's block pool instead of going through Set() one at a time. Everything here is inline, so
// the hot loops pay nothing for the indirection.
#ifndef MARVESK_CORE_TABLEBUILDER_H_
#define MARVESK_CORE_TABLEBUILDER_H_

#include <cstddef>
#include <string_view>
#include <utility>

#include "core/Table.h"

namespace core {

class TableBuilder {
 public:
  explicit TableBuilder(Table& table) : t_(table) {}
  TableBuilder(const TableBuilder&) = delete;
  TableBuilder& operator=(const TableBuilder&) = delete;

  Table& table() { return t_; }

  // A cell for `text`; long texts are copied into the table's arena.
  Cell MakeCell(std::string_view text) { return t_.MakeCell(text); }
  // As MakeCell, for a text inside a buffer readable 16 bytes past its start.
  Cell MakeCellPadded(const char* p, size_t n) { return t_.MakeCellPadded(p, n); }

  // Rows are counted in columns, column 0 included, and their cells are
  // addressed as StoredCells has them: column c at [c], for c >= 1 only;
  // column 0 is the row's head, set through MutableHead.
  //
  // The row being built lies at OpenRow(), with room for columns below
  // OpenRowRoom(). GrowOpenRow moves the columns below `used` written so far
  // to a block with room for at least `room` columns and returns the new
  // place. CommitOpenRow makes the columns below n the stored cells of `row`
  // (n <= ColCount).
  Cell* OpenRow() { return t_.OpenRow(); }
  size_t OpenRowRoom() const { return t_.OpenRowRoom(); }
  Cell* GrowOpenRow(size_t used, size_t room, bool ahead = false) {
    return t_.GrowOpenRow(used, room, ahead);
  }
  void CommitOpenRow(int row, size_t n) { t_.CommitOpenRow(row, n); }
  // Rows built on another thread: the cells of a row are taken out of that
  // table's pool (TakeOpenRow), this table takes its storage over
  // (TakeStorageOf) and places them (PlaceRow; `row` < RowCount).
  Cell* TakeOpenRow(size_t n) { return t_.TakeOpenRow(n); }
  void TakeStorageOf(Table& other) { t_.TakeStorageOf(other); }
  void ShareKeptWith(Table& other) { t_.ShareKeptWith(other); }
  void PlaceRow(int row, Cell* cells, size_t n) { t_.PlaceRow(row, cells, n); }
  // The rows are built: a block taken ahead for more, and the kept blocks
  // not taken again, go back, and blocks grow as they like again.
  void Finish() {
    t_.FreeSpare();
    t_.LimitBlocks(0);
  }
  // Pool blocks of at most n cells while the rows are built (see Finish).
  void LimitBlocks(size_t n) { t_.LimitBlocks(n); }

  // Appends one empty row (RowCount + 1); AppendRowFits: without taking
  // memory, so it cannot fail.
  void AppendRow() { t_.AppendRow(); }
  bool AppendRowFits() const { return t_.AppendRowFits(); }
  // Room for n rows without moving the row directory.
  void ReserveRows(size_t n) { t_.ReserveRows(n); }
  // One pool block for n more cells, so that the rows sized next (by
  // ResizeRow of empty rows) share a single allocation without slack.
  void ReserveCells(size_t n) { t_.ReserveCells(n); }
  // Whether the pool block taken last came fresh from the system: no table
  // wrote into it before.
  bool PoolBlockFresh() const { return t_.PoolBlockFresh(); }
  // Gives `row` room for n stored columns (n <= ColCount), the new ones
  // empty, and returns them for writing. Existing cells are kept.
  Cell* ResizeRow(int row, size_t n) { return t_.ResizeRow(row, n); }
  // Whether ResizeRow(row, n) takes no memory (it may then run on any thread
  // for rows no other thread touches).
  bool RowHasRoom(int row, size_t n) const { return t_.RowHasRoom(row, n); }
  // As ResizeRow for an empty row, with the cells left unset: the caller
  // writes every one.
  Cell* SizeRowForWriting(int row, size_t n) { return t_.SizeRowForWriting(row, n); }
  // The stored cells of `row`, for writing in place; TruncateRow lowers the
  // stored length (n <= StoredLength), SwapRowStorage exchanges two rows
  // with everything they store; column 0 stays. EraseRows drops rows' stored
  // cells and moves the rows after them up; column 0 stays with the places,
  // losing its last n cells.
  Cell* MutableCells(int row) { return t_.MutableCells(row); }
  Cell& MutableHead(int row) { return t_.MutableHead(row); }
  void TruncateRow(int row, size_t n) { t_.TruncateRow(row, n); }
  void SwapRowStorage(int a, int b) { t_.SwapRowStorage(a, b); }
  void EraseRows(int from, int n) { t_.EraseRows(from, n); }
  // Lets the table hold cells whose texts live in `other`'s arenas.
  void ShareArenasOf(const Table& other) { t_.ShareArenasOf(other); }
  // The pool blocks and the places of the row entries, for a copy that
  // gives the table's memory back as it goes (see Table).
  size_t PoolBlockCount() const { return t_.PoolBlockCount(); }
  std::pair<const Cell*, size_t> PoolBlock(size_t i) const { return t_.PoolBlock(i); }
  void FreePoolBlock(size_t i) { t_.FreePoolBlock(i); }
  bool PoolHasHugeBlocks() const { return t_.PoolHasHugeBlocks(); }
  const void* RowEntry(int row) const { return t_.RowEntry(row); }
  const void* HeadEntry(int row) const { return t_.HeadEntry(row); }

 private:
  Table& t_;
};

}  // namespace core

#endif  // MARVESK_CORE_TABLEBUILDER_H_
