// Copying a table with rows and columns exchanged (the transposed view).
#ifndef MARVESK_CORE_TRANSPOSE_H_
#define MARVESK_CORE_TRANSPOSE_H_

#include "core/Result.h"
#include "core/Table.h"

namespace core {

// Progress of one transposition, called on the caller's thread.
class TransposeObserver {
 public:
  virtual ~TransposeObserver() = default;
  // The copy starts; positions run up to `maximum` (source.ColCount() - 1).
  virtual void Started(int maximum) = 0;
  // Source column `position` (0, 100, 200, ...) is about to be copied.
  virtual void Progress(int position) = 0;
  // The copy has ended; also called when it fails.
  virtual void Finished() = 0;
};

// Copies `source` transposed into `target`: target cell (r, c) := source cell
// (c, r) for every cell, header row 0 and column 0 included, so the row
// numbers become the column numbers and back. The target's counts
// (ColCount := source.RowCount, RowCount := source.ColCount) are set once
// before any cell is written, and nothing of its earlier table remains. Long
// texts are shared with the source, not copied, and the target reads its
// bytes in the source's encoding. `observer` may be null; source and target
// must be different tables.
//
// kOutOfMemory ("Speicherplatz zu klein") when the copy does not fit in
// memory; target is then the empty 2 x 2 table and source is unchanged.
Result TransposeGrid(const Table& source, Table& target, TransposeObserver* observer);

}  // namespace core

#endif  // MARVESK_CORE_TRANSPOSE_H_
