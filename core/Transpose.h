// Copying a table with rows and columns exchanged (the transposed view).
#ifndef MARVESK_CORE_TRANSPOSE_H_
#define MARVESK_CORE_TRANSPOSE_H_

#include <cstdint>

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

// Storage from which TransposeGridFreeingSource frees the source.
inline constexpr uint64_t kFreeSourceFromBytes = uint64_t{1} << 30;

// As TransposeGrid, for a source that is not needed afterwards (the view
// switch makes the other view anew each time). A source of `free_from`
// bytes of storage or more gives its memory back as the copy passes it, so
// that the two views of a big table never take twice its room, and is left
// as ClearGrid leaves a table; a smaller one is kept as it is, its memory
// serving the copy back without fresh pages. On failure the source is
// unchanged: the copy fails before it frees anything.
Result TransposeGridFreeingSource(Table& source, Table& target, ProgressObserver* observer,
                                  uint64_t free_from = kFreeSourceFromBytes);

}  // namespace core

#endif  // MARVESK_CORE_TRANSPOSE_H_
