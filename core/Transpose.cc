#include "core/Transpose.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace core {
namespace {

// Source columns per pass over the source rows: the progress step, and few
// enough target rows that their write positions stay in the L1 cache.
constexpr int kColumnBlock = 100;

void Copy(const Table& source, Table& target, TransposeObserver* observer) {
  const int src_rows = source.RowCount();
  const int src_cols = source.ColCount();
  target.Reset(src_rows, src_cols);
  target.ShareArenasOf(source);

  // Target row c needs room up to the last source row that stores column c;
  // the cells after it read empty anyway. First length[c] := the last row
  // whose stored part ends at column c, then a suffix maximum gives them all.
  std::vector<uint32_t> length(static_cast<size_t>(src_cols), 0);
  for (int r = 0; r < src_rows; ++r) {
    const size_t n = std::min(source.StoredLength(r), static_cast<size_t>(src_cols));
    if (n > 0) length[n - 1] = static_cast<uint32_t>(r) + 1;  // r only grows
  }
  uint64_t total = 0;
  for (size_t c = length.size(); c-- > 0;) {
    if (c + 1 < length.size()) length[c] = std::max(length[c], length[c + 1]);
    total += length[c];
  }
  if (total > SIZE_MAX / sizeof(Cell)) throw std::bad_alloc();
  target.ReserveCells(static_cast<size_t>(total));
  std::vector<Cell*> out(static_cast<size_t>(src_cols));
  for (int c = 0; c < src_cols; ++c) {
    out[static_cast<size_t>(c)] = target.ResizeRow(c, length[static_cast<size_t>(c)]);
  }

  for (int c0 = 0; c0 < src_cols; c0 += kColumnBlock) {
    if (observer) observer->Progress(c0);
    const size_t first = static_cast<size_t>(c0);
    const size_t last = std::min(first + kColumnBlock, static_cast<size_t>(src_cols));
    Cell* const* rows = out.data() + first;
    for (int r = 0; r < src_rows; ++r) {
      const size_t stored = std::min(source.StoredLength(r), last);
      if (stored <= first) continue;
      const Cell* cells = source.StoredCells(r) + first;
      const size_t n = stored - first;
      // Every target row written here has length > r by construction.
      for (size_t i = 0; i < n; ++i) rows[i][r] = cells[i];
    }
  }
}

}  // namespace

void TransposeGrid(const Table& source, Table& target, TransposeObserver* observer) {
  if (observer) observer->Started(source.ColCount() - 1);
  try {
    Copy(source, target, observer);
  } catch (const std::bad_alloc&) {
    target.Reset(2, 2);
    if (observer) observer->Finished();
    throw;
  }
  if (observer) observer->Finished();
}

}  // namespace core
