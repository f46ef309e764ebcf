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
    const int stored = std::max(static_cast<int>(clip.StoredLength(r)), 1);  // column 0 apart
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
    const int first = dst.left - left;
    int need = 0;
    for (int c = last; c >= std::max(first, 1); --c) {
      if (!clip.StoredCells(src_row)[c].empty()) {
        need = c + left + 1;
        break;
      }
    }
    if (need == 0 && first == 0 && !clip.Head(src_row).empty()) need = left + 1;
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

Result RemoveRows(Table& table, int from, int to, ProgressObserver* observer) {
  from = std::max(from, 1);
  to = std::min(to, table.RowCount() - 1);
  if (to < from) return Result::Ok();
  const int rows = table.RowCount();
  Progress progress(observer, rows - 1);
  // The rows after the run move up; the numbers in column 0 are kept apart
  // from the rows and stay with the places, so only the row references move.
  TableBuilder(table).EraseRows(from, to - from + 1);
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
    // Clip column 0 is kept apart, as every table's is: the block's first
    // column goes there, the source columns [from, ...) into the clip's rows.
    // The source's own column 0 (a block reaching left of the data) is apart
    // too and goes cell by cell.
    const int left = block.left;
    const int from = std::max(left + 1, 1);
    const bool head_in_row = left < 0 && block.right >= 0;
    std::vector<uint32_t> length(static_cast<size_t>(height), 0);
    size_t total = 0;
    for (int r = first; r <= last; ++r) {
      const int end = std::min(static_cast<int>(source.StoredLength(r)), block.right + 1);
      int n = end > from ? end - left : 0;
      if (head_in_row) n = std::max(n, 1 - left);
      length[static_cast<size_t>(r - block.top)] = static_cast<uint32_t>(n);
      total += static_cast<size_t>(std::max(n - 1, 0));
    }
    build.ReserveCells(total);
    // The rows take their room here, one after the other from the pool; the
    // cells are copied into them by both threads. A block from the data on
    // fills its rows whole, so they need not be emptied first (the pool's
    // memory may hold an earlier table's cells).
    std::vector<Cell*> out(static_cast<size_t>(height), nullptr);
    for (int r = first; r <= last; ++r) {
      const uint32_t n = length[static_cast<size_t>(r - block.top)];
      if (n <= 1) continue;
      out[static_cast<size_t>(r - block.top)] =
          left >= 0 ? build.SizeRowForWriting(r - block.top, n) : build.ResizeRow(r - block.top, n);
    }
    OnRowHalves(
        first, last, CellsOf(first, last, source.ColCount()), [&](int top, int bottom, int) {
          for (int r = top; r <= bottom; ++r) {
            const int clip_row = r - block.top;
            const int stored = static_cast<int>(source.StoredLength(r));
            if (left == 0) {
              build.MutableHead(clip_row) = source.Head(r);
            } else if (left > 0 && left < stored) {
              build.MutableHead(clip_row) = source.StoredCells(r)[left];
            }
            Cell* cells = out[static_cast<size_t>(clip_row)];
            if (head_in_row) cells[-left] = source.Head(r);
            const int end = std::min(stored, block.right + 1);
            if (end <= from) continue;
            std::memcpy(static_cast<void*>(cells + (from - left)), source.StoredCells(r) + from,
                        static_cast<size_t>(end - from) * sizeof(Cell));
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
                    int c = lo;
                    if (c == left) out[c++] = from->Head(src_row);  // the clip's column 0
                    for (; c < end; ++c) {
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
