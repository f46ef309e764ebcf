// Copying a table with rows and columns exchanged (the transposed view).
#ifndef MARVESK_CORE_TRANSPOSE_H_
#define MARVESK_CORE_TRANSPOSE_H_

#include "core/Progress.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

// Copies `source` transposed into `target`: target cell (r, c) := source cell
// (c, r) for every cell, header row 0 and column 0 included, so the row
// numbers become the column numbers and back. The target's counts
// (ColCount := source.RowCount, RowCount := source.ColCount) are set once
// before any cell is written, and nothing of its earlier table remains. Long
// texts are shared with the source, not copied, and the target reads its
// bytes in the source's encoding. `observer` may be null: Started with
// source.ColCount() - 1, Progress before source columns 0, 100, 200, ...,
// Finished, also on failure. Source and target must be different tables.
//
// kOutOfMemory ("Speicherplatz zu klein") when the copy does not fit in
// memory; target is then the empty 2 x 2 table and source is unchanged.
Result TransposeGrid(const Table& source, Table& target, ProgressObserver* observer);

}  // namespace core

#endif  // MARVESK_CORE_TRANSPOSE_H_
