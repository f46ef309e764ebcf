// Editing a table's data cells: removing and emptying runs of columns or
// rows, block clear/copy/paste, and the search over the data cells.
//
// Data cells are columns 1..ColCount-1 and rows 1..RowCount-1; the header
// row 0 and column 0 (the numbers) are never changed by these operations
// and never found by the search. Column and row numbers outside the table
// (negative ones included) are cut to it; nothing here reads or writes a
// cell outside the counts, and only removal changes a count (never up).
#ifndef MARVESK_CORE_EDIT_H_
#define MARVESK_CORE_EDIT_H_

#include <optional>
#include <string_view>

#include "core/Progress.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

// A column or row with its number in the table.
struct CellPos {
  int col = 0;
  int row = 0;
  bool operator==(const CellPos&) const = default;
};

// A rectangle of cells, bounds included.
struct Block {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// A change of a table as its undo step keeps it: the cells of a block (the
// counts stay), or a run of data columns or rows that goes.
struct TableChange {
  enum class Kind { kCells, kRemoveCols, kRemoveRows };
  Kind kind = Kind::kCells;
  // kCells: the cells; kRemoveCols: columns left..right; kRemoveRows: rows
  // top..bottom.
  Block block;

  static TableChange Cells(const Block& b) { return {Kind::kCells, b}; }
  static TableChange RemoveCols(int from, int to) { return {Kind::kRemoveCols, {from, 0, to, 0}}; }
  static TableChange RemoveRows(int from, int to) { return {Kind::kRemoveRows, {0, from, 0, to}}; }
  // Rows or columns go: the table has a new shape.
  bool Shape() const { return kind != Kind::kCells; }
};

// The data cells of `b`, cut to the table; empty (right < left or bottom <
// top) when it holds none.
Block DataPart(const Table& table, const Block& b);

// Removes the data columns `from`..`to`: in every row but row 0 the columns
// after the run move left to close the gap, then ColCount drops by the
// run's length, so the header numbers stay 1, 2, ... A run that is empty
// (to < from) or lies beyond the last column removes nothing. Progress: one
// step per row, maximum RowCount - 1. Never allocates.
void RemoveCols(Table& table, int from, int to, ProgressObserver* observer);

// Removes the data rows `from`..`to`: the rows after the run move up, column
// 0 (the row numbers) staying in place, then RowCount drops by the run's
// length. Progress as RemoveCols. kOutOfMemory leaves the table unchanged.
Result RemoveRows(Table& table, int from, int to, ProgressObserver* observer);

// Empties the data cells of columns (rows) `from`..`to`; counts stay.
void ClearCols(Table& table, int from, int to);
void ClearRows(Table& table, int from, int to);

// Empties every cell of `block` that is a data cell. Progress: one step per
// column of the block.
void ClearBlock(Table& table, const Block& block, ProgressObserver* observer);

// Makes `clip` a table of exactly the block's size holding the block's
// cells, cell (0, 0) being the block's top-left cell, in the source's
// encoding. Cells outside the source read empty. Long texts are shared with
// the source, not copied. kOutOfMemory leaves `clip` as it was. `clip` and
// `source` must be different tables.
Result CopyBlock(const Table& source, const Block& block, Table& clip, ProgressObserver* observer);

// Writes every cell of `clip` into `target` with its cell (0, 0) at (left,
// top); cells landing beyond the target's last column or row, or on a
// header cell, are dropped. The counts never change. A clip in the other
// encoding is recoded on the way. kOutOfMemory leaves `target` unchanged.
// Progress: one step per column of the clip.
Result PasteBlock(const Table& clip, Table& target, int left, int top, ProgressObserver* observer);

// The search cursor: the cell from which the next search continues. (0, 1)
// lies just before the first data cell.
struct SearchCursor {
  int col = 0;
  int row = 0;
  bool operator==(const SearchCursor&) const = default;
};

// The next data cell after the cursor, in reading order, whose text holds
// `text` byte for byte; an empty text matches nothing. On a hit the cursor
// is the hit. Without one, the cursor's row keeps the first step's value
// and its column returns to its value before the search; there is no
// wrap-around.
std::optional<CellPos> SearchForward(const Table& table, std::string_view text,
                                     SearchCursor& cursor);
// The same backwards (right to left, bottom to top). From (1, 1) there is no
// step back, so (1, 1) itself is examined again.
std::optional<CellPos> SearchBackward(const Table& table, std::string_view text,
                                      SearchCursor& cursor);

}  // namespace core

#endif  // MARVESK_CORE_EDIT_H_
