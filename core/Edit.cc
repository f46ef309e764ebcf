#include "core/Edit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "core/RowHalves.h"
#include "core/TableBuilder.h"
#include "core/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

// Columns handled per pass over the rows by the block operations: rows are
// stored one after another, so walking a column at a time would go through
// the whole table once per column.
constexpr int kStripe = 16;

// Reports Started/Finished around a piece of work, whatever way it ends.
class Progress {
 public:
  Progress(ProgressObserver* observer, int maximum) : observer_(observer) {
    if (observer_) observer_->Started(maximum);
  }
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() {
    if (observer_) observer_->Finished();
  }
  void Step(int position) {
    if (observer_) observer_->Progress(position);
  }

 private:
  ProgressObserver* observer_;
};

bool IsEmpty(const Block& b) { return b.right < b.left || b.bottom < b.top; }

// Empties stored cells [lo, hi] of every row in [top, bottom].
void EmptyRowCells(Table& table, TableBuilder& build, int lo, int hi, int top, int bottom) {
  for (int r = top; r <= bottom; ++r) {
    const int stored = static_cast<int>(table.StoredLength(r));
    const int end = std::min(hi + 1, stored);
    if (end <= lo) continue;
    std::memset(static_cast<void*>(build.MutableCells(r) + lo), 0,
                static_cast<size_t>(end - lo) * sizeof(Cell));
  }
}

// Empties the cells of `part` (inside the data part) a stripe of `stripe`
// columns at a time; `step` is called by this thread with the last column
// of each stripe done, for both halves of the rows.
template <typename Step>
void EmptyCells(Table& table, TableBuilder& build, const Block& part, int stripe,
                const Step& step) {
  OnRowHalves(part.top, part.bottom, CellsOf(part.top, part.bottom, table.ColCount()),
              [&](int top, int bottom, int pace) {
                for (int lo = part.left; lo <= part.right; lo += stripe) {
                  const int hi = lo + std::min(stripe - 1, part.right - lo);
                  EmptyRowCells(table, build, lo, hi, top, bottom);
                  if (pace != 0) step(hi);
                }
              });
}

// Does `cell` hold `text` (not empty)?
inline bool Holds(const Cell& cell, std::string_view text) {
#if defined(__SSE2__)
  // Short cells hold their bytes inside the 16-byte cell itself. Cell
  // lengths vary from cell to cell, so the test is kept free of branches on
  // them: the candidates are the places of the first byte from which the
  // whole text still fits (none when the cell is shorter).
  if (cell.IsInline() && text.size() <= Cell::kInlineMax) {
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&cell);
    const unsigned n = raw[15];
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw));
    const __m128i first = _mm_set1_epi8(text[0]);
    unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, first)));
    hits &= ((1u << n) - 1) >> (text.size() - 1);
    while (hits) {
      const int at = __builtin_ctz(hits);
      if (std::memcmp(raw + at + 1, text.data() + 1, text.size() - 1) == 0) return true;
      hits &= hits - 1;
    }
    return false;
  }
#endif
  if (cell.size() < text.size()) return false;
  return cell.view().find(text) != std::string_view::npos;
}

// The first column in [from, to] of `row` holding `text`, or -1; scanning
// forward, or backward from `to` down to `from`.
int FindInRow(const Table& table, int row, int from, int to, std::string_view text, bool forward) {
  to = std::min(to, static_cast<int>(table.StoredLength(row)) - 1);
  if (to < from) return -1;
  const Cell* cells = table.StoredCells(row);
  if (forward) {
    for (int c = from; c <= to; ++c) {
      if (Holds(cells[c], text)) return c;
    }
  } else {
    for (int c = to; c >= from; --c) {
      if (Holds(cells[c], text)) return c;
    }
  }
  return -1;
}

// The clip's cells in the target's encoding, when the two differ.
void Recode(const Table& clip, Table& out, bool to_utf8) {
  out.Reset(clip.ColCount(), clip.RowCount());
  out.set_utf8(to_utf8);
  for (int r = 0; r < clip.RowCount(); ++r) {
    const int stored = static_cast<int>(clip.StoredLength(r));
    for (int c = 0; c < stored; ++c) {
      const std::string_view text = clip.Get(c, r);
      if (!text.empty()) out.Set(c, r, RecodeText(text, clip.utf8(), to_utf8));
    }
  }
}

// Gives each target row of the paste room for the clip cells that are not
// empty, before any cell is written, so that running out of memory leaves
// the target as it was.
void MakeRoomForPaste(const Table& clip, Table& target, TableBuilder& build, const Block& dst,
                      int left, int top) {
  for (int r = dst.top; r <= dst.bottom; ++r) {
    const int src_row = r - top;
    const int last = std::min(static_cast<int>(clip.StoredLength(src_row)) - 1, dst.right - left);
    int need = 0;
    for (int c = last; c >= dst.left - left; --c) {
      if (!clip.StoredCells(src_row)[c].empty()) {
        need = c + left + 1;
        break;
      }
    }
    if (need > static_cast<int>(target.StoredLength(r))) {
      build.ResizeRow(r, static_cast<size_t>(need));
    }
  }
}

}  // namespace

Block DataPart(const Table& table, const Block& b) {
  return Block{std::max(b.left, 1), std::max(b.top, 1), std::min(b.right, table.ColCount() - 1),
               std::min(b.bottom, table.RowCount() - 1)};
}

void RemoveCols(Table& table, int from, int to, ProgressObserver* observer) {
  from = std::max(from, 1);
  to = std::min(to, table.ColCount() - 1);
  if (to < from) return;  // nothing of the table is in the run
  const int k = to - from + 1;
  TableBuilder build(table);
  const int last = table.RowCount() - 1;
  Progress progress(observer, last);
  const bool halves =
      OnRowHalves(1, last, CellsOf(1, last, table.ColCount()), [&](int top, int bottom, int pace) {
        for (int r = top; r <= bottom; ++r) {
          const int stored = static_cast<int>(table.StoredLength(r));
          if (stored > from) {
            Cell* cells = build.MutableCells(r);
            const int moved = std::max(stored - from - k, 0);
            std::memmove(static_cast<void*>(cells + from), cells + from + k,
                         static_cast<size_t>(moved) * sizeof(Cell));
            build.TruncateRow(r, static_cast<size_t>(from + moved));
          }
          if (pace != 0) progress.Step(RowsDone(1, last, r, pace));
        }
      });
  if (halves) progress.Step(last);  // the other half is done too
  table.SetColCount(table.ColCount() - k);
}

namespace {

// Column 0 of every row d in [from + k, RowCount) takes the cell of row
// d - k, as it was before: the numbers move down k rows. From the back, so
// that none is overwritten before it is read; each row costs a read from
// memory, so a big table does it on both cores, the lower rows on the
// second. There the rows read first by the lower part, [split - k, split),
// are written first by the upper part: their old cells are kept aside
// beforehand. Every row in [from, RowCount) stores column 0.
void HandNumbersOn(const Table& table, TableBuilder& build, int from, int k) {
  const int rows = table.RowCount();
  const int first = from + k;  // the first row that takes a number
  const int split = RowSplit(first, rows - 1);
  std::vector<Cell> aside;
  bool halves = CellsOf(first, rows - 1, table.ColCount()) >= kParallelCells && split - k >= from &&
                std::thread::hardware_concurrency() > 1;
  if (halves) {
    try {
      aside.resize(static_cast<size_t>(k));
    } catch (const std::bad_alloc&) {
      halves = false;  // no room to keep them aside: one thread, which needs none
    }
  }
  if (halves) {
    for (int r = split - k; r < split; ++r) {
      aside[static_cast<size_t>(r - (split - k))] = table.StoredCells(r)[0];
    }
  }
  OnRowHalves(first, rows - 1, halves ? kParallelCells : 0, [&](int top, int bottom, int pace) {
    for (int d = bottom; d >= top; --d) {
      const int source = d - k;
      build.MutableCells(d)[0] = pace == 0 && source < split
                                     ? aside[static_cast<size_t>(source - (split - k))]
                                     : table.StoredCells(source)[0];
    }
  });
}

}  // namespace

Result RemoveRows(Table& table, int from, int to, ProgressObserver* observer) {
  from = std::max(from, 1);
  to = std::min(to, table.RowCount() - 1);
  if (to < from) return Result::Ok();
  const int k = to - from + 1;
  const int rows = table.RowCount();
  TableBuilder build(table);
  const bool numbered = table.ColCount() > 0;
  // Every row that moves needs a stored column 0 to hand its number back.
  const Result room = CatchOutOfMemory([&] {
    for (int r = from; numbered && r < rows; ++r) {
      if (table.StoredLength(r) == 0) build.ResizeRow(r, 1);
    }
  });
  if (!room.ok()) return room;
  Progress progress(observer, rows - 1);
  // Each row after the run moves up k places and the numbers in column 0
  // stay where they are: first every number goes to the row that will take
  // its place (from the back, so that none is overwritten before it is
  // read), then the run's row references go in one move.
  if (numbered) HandNumbersOn(table, build, from, k);
  build.EraseRows(from, k);
  for (int r = from; r < rows; ++r) progress.Step(r);
  return Result::Ok();
}

void ClearCols(Table& table, int from, int to) {
  const Block part = DataPart(table, Block{from, 1, to, table.RowCount() - 1});
  if (IsEmpty(part)) return;
  TableBuilder build(table);
  // A run of columns is a few cells of each row: all of them in one pass.
  EmptyCells(table, build, part, part.right - part.left + 1, [](int) {});
}

void ClearRows(Table& table, int from, int to) {
  const Block part = DataPart(table, Block{1, from, table.ColCount() - 1, to});
  if (IsEmpty(part)) return;
  TableBuilder build(table);
  EmptyCells(table, build, part, part.right - part.left + 1, [](int) {});
}

void ClearBlock(Table& table, const Block& block, ProgressObserver* observer) {
  const Block part = DataPart(table, block);
  if (IsEmpty(part)) return;
  TableBuilder build(table);
  Progress progress(observer, part.right - part.left + 1);
  int reported = part.left - 1;
  EmptyCells(table, build, part, kStripe, [&](int done) {
    for (int c = reported + 1; c <= done; ++c) progress.Step(c - part.left + 1);
    reported = done;
  });
}

Result CopyBlock(const Table& source, const Block& block, Table& clip, ProgressObserver* observer) {
  if (IsEmpty(block)) return Result::Ok();
  const int width = block.right - block.left + 1;
  const int height = block.bottom - block.top + 1;
  Progress progress(observer, width);
  const Result copied = CatchOutOfMemory([&] {
    Table fresh;
    fresh.Reset(width, height);
    fresh.set_utf8(source.utf8());
    TableBuilder build(fresh);
    build.ShareArenasOf(source);
    // Rows of the block outside the source read empty and store nothing.
    const int first = std::max(block.top, 0);
    const int last = std::min(block.bottom, source.RowCount() - 1);
    const int lo = std::max(block.left, 0);
    std::vector<uint32_t> length(static_cast<size_t>(height), 0);
    size_t total = 0;
    for (int r = first; r <= last; ++r) {
      const int end = std::min(static_cast<int>(source.StoredLength(r)), block.right + 1);
      if (end > lo) length[static_cast<size_t>(r - block.top)] = static_cast<uint32_t>(end - lo);
      total += length[static_cast<size_t>(r - block.top)];
    }
    build.ReserveCells(total);
    // The rows take their room here, one after the other from the pool; the
    // cells are copied into them by both threads.
    std::vector<Cell*> out(static_cast<size_t>(height), nullptr);
    for (int r = first; r <= last; ++r) {
      const uint32_t n = length[static_cast<size_t>(r - block.top)];
      if (n == 0) continue;
      out[static_cast<size_t>(r - block.top)] =
          build.ResizeRow(r - block.top, n + static_cast<size_t>(lo - block.left));
    }
    OnRowHalves(
        first, last, CellsOf(first, last, source.ColCount()), [&](int top, int bottom, int) {
          for (int r = top; r <= bottom; ++r) {
            const uint32_t n = length[static_cast<size_t>(r - block.top)];
            if (n == 0) continue;
            std::memcpy(
                static_cast<void*>(out[static_cast<size_t>(r - block.top)] + (lo - block.left)),
                source.StoredCells(r) + lo, n * sizeof(Cell));
          }
        });
    clip.swap(fresh);
  });
  if (!copied.ok()) return copied;
  for (int c = 1; c <= width; ++c) progress.Step(c);
  return Result::Ok();
}

Result PasteBlock(const Table& clip, Table& target, int left, int top, ProgressObserver* observer) {
  Progress progress(observer, clip.ColCount());
  const Block dst =
      DataPart(target, Block{left, top, left + clip.ColCount() - 1, top + clip.RowCount() - 1});
  if (IsEmpty(dst)) {
    for (int c = 1; c <= clip.ColCount(); ++c) progress.Step(c);
    return Result::Ok();
  }
  TableBuilder build(target);
  Table recoded;
  const Table* from = &clip;
  const Result room = CatchOutOfMemory([&] {
    if (clip.utf8() != target.utf8()) {
      Recode(clip, recoded, target.utf8());
      from = &recoded;
    }
    build.ShareArenasOf(*from);
    MakeRoomForPaste(*from, target, build, dst, left, top);
  });
  if (!room.ok()) return room;
  int reported = dst.left - 1;
  OnRowHalves(dst.top, dst.bottom, CellsOf(dst.top, dst.bottom, target.ColCount()),
              [&](int row_top, int row_bottom, int pace) {
                for (int lo = dst.left; lo <= dst.right; lo += kStripe) {
                  const int hi = std::min(lo + kStripe - 1, dst.right);
                  for (int r = row_top; r <= row_bottom; ++r) {
                    const int stored = static_cast<int>(target.StoredLength(r));
                    // Cells beyond read empty, as do the clip's.
                    const int end = std::min(hi + 1, stored);
                    if (end <= lo) continue;
                    Cell* out = build.MutableCells(r);
                    const int src_row = r - top;
                    const int src_stored = static_cast<int>(from->StoredLength(src_row));
                    const Cell* in = from->StoredCells(src_row);
                    for (int c = lo; c < end; ++c) {
                      const int sc = c - left;
                      out[c] = sc < src_stored ? in[sc] : Cell();
                    }
                  }
                  if (pace == 0) continue;
                  for (int c = reported + 1; c <= hi; ++c) progress.Step(c - left + 1);
                  reported = hi;
                }
              });
  for (int c = dst.right + 1; c < left + clip.ColCount(); ++c) progress.Step(c - left + 1);
  return Result::Ok();
}

std::optional<CellPos> SearchForward(const Table& table, std::string_view text,
                                     SearchCursor& cursor) {
  const int saved = cursor.col;
  const int cols = table.ColCount();
  const int rows = table.RowCount();
  if (cursor.col < cols) {
    ++cursor.col;
  } else if (cursor.row < rows) {
    ++cursor.row;
    cursor.col = 1;
  }
  const int first = cursor.row;
  for (int r = first; r <= rows - 1; ++r) {
    if (r >= 1 && !text.empty()) {
      const int c = FindInRow(table, r, std::max(cursor.col, 1), cols - 1, text, true);
      if (c >= 0) {
        cursor = SearchCursor{c, r};
        return CellPos{c, r};
      }
    }
    cursor.col = r < rows - 1 ? 1 : saved;
  }
  return std::nullopt;
}

std::optional<CellPos> SearchBackward(const Table& table, std::string_view text,
                                      SearchCursor& cursor) {
  const int saved = cursor.col;
  const int cols = table.ColCount();
  if (cursor.col > 1) {
    --cursor.col;
  } else if (cursor.row > 1) {
    --cursor.row;
    cursor.col = cols - 1;
  }
  // Rows past the end read empty and cannot match; the scan starts inside,
  // with the column those rows would have left behind.
  int first = cursor.row;
  const int last_row = table.RowCount() - 1;
  if (first > last_row) {
    if (last_row >= 1) {
      cursor.col = cols - 1;
    } else if (first >= 1) {
      cursor.col = saved;
    }
    first = last_row;
  }
  for (int r = first; r >= 1; --r) {
    if (!text.empty()) {
      const int c = FindInRow(table, r, 1, std::min(cursor.col, cols - 1), text, false);
      if (c >= 0) {
        cursor = SearchCursor{c, r};
        return CellPos{c, r};
      }
    }
    cursor.col = r > 1 ? cols - 1 : saved;
  }
  return std::nullopt;
}

}  // namespace core
