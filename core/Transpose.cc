#include "core/Transpose.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/Memory.h"
#include "core/RowHalves.h"
#include "core/TableBuilder.h"

namespace core {
namespace {

// Source columns per progress step.
constexpr int kColumnBlock = 100;
// Source columns copied per pass over the source rows. Each is a target row
// written front to back; the hardware prefetcher follows about this many
// streams, not a hundred.
constexpr size_t kStripe = 16;
// Rows of a wide table lie far apart, where no prefetcher looks: their cells
// are asked for this many rows early.
constexpr int kPrefetchRows = 8;

// Source columns [first, last) (first >= 1) of the source rows
// [row_begin, row_end) (row_begin >= 1) into the target rows out[first..last),
// and the column 0 of the rows below `heads_end` into the target row out[0]:
// the tables keep column 0 apart from the rows, so it is read beside them.
void CopyStripe(const Table& source, Cell* const* out, size_t first, size_t last, int row_begin,
                int row_end, int heads_end) {
  const int src_rows = row_end;
  Cell* const* rows = out + first;
  for (int r = row_begin; r < src_rows; ++r) {
#if defined(__GNUC__)
    // Written out here: GCC 12 drops calls to a function that only prefetches.
    if (r + kPrefetchRows < src_rows) {
      const size_t ahead = std::min(source.StoredLength(r + kPrefetchRows), last);
      if (ahead > first) {
        const char* p =
            reinterpret_cast<const char*>(source.StoredCells(r + kPrefetchRows) + first);
        for (size_t b = 0; b < (ahead - first) * sizeof(Cell); b += 64) __builtin_prefetch(p + b);
      }
    }
#endif
    if (r < heads_end) out[0][r] = source.Head(r);
    const size_t stored = std::min(source.StoredLength(r), last);
    if (stored <= first) continue;
    const Cell* cells = source.StoredCells(r) + first;
    const size_t n = stored - first;
    // Every target row written here has length > r by construction.
    for (size_t i = 0; i < n; ++i) rows[i][r] = cells[i];
  }
}

// A copy that frees its source goes through the rows in steps of about this
// many cells, and gives back what each step has passed.
constexpr uint64_t kFreeStepCells = uint64_t{1} << 19;
// The row entries go back in pieces of a huge page: giving back part of one
// would only split it.
constexpr uintptr_t kGiveBackBytes = uintptr_t{2} << 20;

uintptr_t Address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

// The pages of an array that a thread has passed, from `begin` on, go back
// in whole pieces; a piece it shares with the elements of another thread
// stays.
class PassedPages {
 public:
  explicit PassedPages(const void* begin)
      : done_((Address(begin) + kGiveBackBytes - 1) & ~(kGiveBackBytes - 1)) {}
  void UpTo(const void* end) {
    const uintptr_t upto = Address(end) & ~(kGiveBackBytes - 1);
    if (upto <= done_) return;
    GiveBackPages(reinterpret_cast<const void*>(done_), upto - done_);
    done_ = upto;
  }

 private:
  uintptr_t done_;
};

uintptr_t PieceBelow(uintptr_t a) { return a & ~(kGiveBackBytes - 1); }
uintptr_t PieceAbove(uintptr_t a) { return PieceBelow(a + kGiveBackBytes - 1); }
// The start of the first whole page of `page` bytes at or above a.
uintptr_t PageAbove(uintptr_t a, uintptr_t page) { return (a + page - 1) & ~(page - 1); }

// The source's pool blocks and which rows keep their cells in them.
class PoolPlan {
 public:
  static constexpr size_t kNone = SIZE_MAX;

  struct Span {
    uintptr_t begin, end;                    // the block's cells
    size_t block;                            // its index in the table
    int first_row = INT_MAX, last_row = -1;  // last_row -1: no row's cells
    // The rows' cells follow each other in the order of the rows, as a load
    // or a transposition lays them out: the cells between the start of one
    // row and the start of a later one then belong to the rows between them.
    bool ordered = true;
  };

  PoolPlan(const Table& source, const TableBuilder& src) {
    for (size_t i = 0; i < src.PoolBlockCount(); ++i) {
      const auto [cells, count] = src.PoolBlock(i);
      if (cells) spans_.push_back(Span{Address(cells), Address(cells + count), i});
    }
    std::sort(spans_.begin(), spans_.end(),
              [](const Span& a, const Span& b) { return a.begin < b.begin; });
    std::vector<uintptr_t> last_end(spans_.size(), 0);
    size_t hit = 0;
    for (int r = 0; r < source.RowCount(); ++r) {
      const auto [begin, end] = Cells(source, r);
      const size_t i = Find(begin, hit);
      if (i == kNone) continue;  // not the pool's: never freed here
      Span& span = spans_[i];
      span.first_row = std::min(span.first_row, r);
      span.last_row = r;
      if (begin < last_end[i] || end > span.end) span.ordered = false;
      last_end[i] = end;
    }
    by_last_row_.resize(spans_.size());
    for (size_t i = 0; i < spans_.size(); ++i) by_last_row_[i] = i;
    std::stable_sort(by_last_row_.begin(), by_last_row_.end(), [this](size_t a, size_t b) {
      return spans_[a].last_row < spans_[b].last_row;
    });
  }

  // The cells of row `r` as addresses ([0, 0) for a row without cells).
  static std::pair<uintptr_t, uintptr_t> Cells(const Table& source, int r) {
    const size_t n = source.StoredLength(r);
    if (n <= 1) return {0, 0};
    return {Address(source.StoredCells(r) + 1), Address(source.StoredCells(r) + n)};
  }
  // The span holding address p (kNone: none); `hit` remembers the last one
  // found, since rows mostly follow each other.
  size_t Find(uintptr_t p, size_t& hit) const {
    if (p == 0) return kNone;
    if (hit < spans_.size() && p >= spans_[hit].begin && p < spans_[hit].end) return hit;
    auto it = std::upper_bound(spans_.begin(), spans_.end(), p,
                               [](uintptr_t a, const Span& s) { return a < s.begin; });
    if (it == spans_.begin() || p >= (it - 1)->end) return kNone;
    hit = static_cast<size_t>(it - 1 - spans_.begin());
    return hit;
  }
  const std::vector<Span>& spans() const { return spans_; }
  // Span indices by the last row that needs them.
  const std::vector<size_t>& by_last_row() const { return by_last_row_; }

 private:
  std::vector<Span> spans_;
  std::vector<size_t> by_last_row_;
};

// The pages of the source blocks a freeing copy has passed, moved into the
// target rows ahead of the copy instead of going back to the system: the
// copy then writes into pages that are there, where fresh ones would cost a
// page fault each, the dearest part of a big copy. Only for a fresh target
// block whose every cell the copy writes, since the moved pages still hold
// the source's cells.
class PagesAhead {
 public:
  // This thread writes the source rows [row_begin, row_end) into the target
  // rows out[c], which have length[c] cells.
  PagesAhead(Cell* const* out, const CellBlockVector<uint32_t>& length, int row_begin, int row_end)
      : out_(out), page_(PageBytes()) {
    rows_.resize(length.size());
    for (size_t c = 0; c < length.size(); ++c) {
      const int end = std::min(row_end, static_cast<int>(length[c]));
      // The page shared with the other thread's rows stays where it is.
      if (end > row_begin) rows_[c].stop = Address(out[c] + end) & ~(page_ - 1);
    }
  }

  // Moves the whole pages of [begin, end), part of a source block that is a
  // mapping of its own, into the target rows, in even shares, ahead of
  // source row `next` (the rows before it are written). True when all of
  // them moved: nothing of [begin, end) is then left to give back.
  bool Land(uintptr_t begin, uintptr_t end, int next) {
    if (failed_ || end <= begin) return false;
    uintptr_t from = Above(begin);
    const uintptr_t limit = end & ~(page_ - 1);
    size_t open = 0;
    for (size_t c = 0; c < rows_.size(); ++c) open += Start(c, next) < rows_[c].stop;
    if (open == 0 || limit <= from) return false;
    const uintptr_t share = std::max<uintptr_t>((limit - from) / open & ~(page_ - 1), page_);
    for (size_t c = 0; c < rows_.size() && from < limit; ++c) {
      const uintptr_t at = Start(c, next);
      if (at >= rows_[c].stop) continue;
      const uintptr_t n = std::min({share, rows_[c].stop - at, limit - from});
      if (!MoveCellPages(reinterpret_cast<void*>(from), reinterpret_cast<void*>(at), n)) {
        failed_ = true;  // the copy faults its pages in as before
        return false;
      }
      from += n;
      rows_[c].ready = at + n;
    }
    return from >= limit && begin == Above(begin) && end == limit;
  }

 private:
  struct Row {
    uintptr_t ready = 0;  // pages moved in below here
    uintptr_t stop = 0;   // this thread's whole pages end here
  };
  uintptr_t Above(uintptr_t a) const { return PageAbove(a, page_); }
  // The first page of target row c that holds no written cell yet.
  uintptr_t Start(size_t c, int next) const {
    return std::max(rows_[c].ready, Above(Address(out_[c] + std::max(next, 1))));
  }

  Cell* const* out_;
  const uintptr_t page_;
  std::vector<Row> rows_;
  bool failed_ = false;
};

// The pages of source rows a copy by column ranges has passed, moved into
// the part of the target that this thread alone writes, ahead of the copy
// (see PagesAhead): [begin, end) holds the target rows of its columns, one
// after the other. The pages it shares with the other thread's rows stay.
class RegionAhead {
 public:
  RegionAhead(uintptr_t begin, uintptr_t end)
      : page_(PageBytes()), ready_(Above(begin)), stop_(end & ~(page_ - 1)) {}

  // Moves the whole pages of [begin, end), passed cells of a source row in
  // a block that is a mapping of its own, to the region's pages from
  // `written` on (the target cells before it are written). True when all
  // of [begin, end) moved.
  bool Land(uintptr_t begin, uintptr_t end, uintptr_t written) {
    const uintptr_t from = Above(begin);
    const uintptr_t at = std::max(ready_, Above(written));
    const uintptr_t limit = end & ~(page_ - 1);
    if (failed_ || limit <= from || stop_ <= at) return false;
    const uintptr_t n = std::min(limit - from, stop_ - at);
    if (!MoveCellPages(reinterpret_cast<void*>(from), reinterpret_cast<void*>(at), n)) {
      failed_ = true;  // the copy faults its pages in as before
      return false;
    }
    ready_ = at + n;
    return n == limit - from && begin == from && end == limit;
  }

 private:
  uintptr_t Above(uintptr_t a) const { return PageAbove(a, page_); }

  const uintptr_t page_;
  uintptr_t ready_;  // pages moved in below here
  const uintptr_t stop_;
  bool failed_ = false;
};

// What one thread of a freeing copy has given back of the source: blocks
// whose rows are all its own go once the last of them is copied; of an
// ordered block shared with other rows, the pages behind the rows it has
// copied go as it passes them.
class PassedRows {
 public:
  PassedRows(const Table& source, TableBuilder& src, const PoolPlan& plan, int own_from,
             int own_end, PagesAhead* ahead)
      : source_(source),
        src_(src),
        plan_(plan),
        ahead_(ahead),
        own_from_(own_from),
        own_end_(own_end),
        entries_(src.RowEntry(own_from)),
        heads_(src.HeadEntry(own_from)),
        first_(plan.spans().size(), 0),
        from_(plan.spans().size(), 0),
        upto_(plan.spans().size(), 0),
        freed_(plan.spans().size(), false) {}

  // Rows [top, end) are copied.
  void Passed(int top, int end) {
    for (int r = top; r < end; ++r) {
      const auto [begin, stop] = PoolPlan::Cells(source_, r);
      const size_t i = plan_.Find(begin, hit_);
      if (i == PoolPlan::kNone || !plan_.spans()[i].ordered) continue;
      if (from_[i] == 0) from_[i] = first_[i] = PieceAbove(begin);  // below: other threads' rows
      upto_[i] = stop;
    }
    const auto& spans = plan_.spans();
    for (; next_ < spans.size(); ++next_) {
      const size_t i = plan_.by_last_row()[next_];
      const PoolPlan::Span& span = spans[i];
      if (span.last_row >= end) break;
      if (span.last_row < 0 || span.first_row < own_from_ || span.last_row >= own_end_) continue;
      if (first_[i]) {  // but for the pieces that went already
        MoveAhead(span, span.begin, first_[i], end);
        MoveAhead(span, from_[i], span.end, end);
      } else {
        MoveAhead(span, span.begin, span.end, end);
      }
      src_.FreePoolBlock(span.block);
      freed_[i] = true;
    }
    for (size_t i = 0; i < spans.size(); ++i) {
      const uintptr_t upto = PieceBelow(upto_[i]);
      if (freed_[i] || from_[i] == 0 || upto <= from_[i]) continue;
      // What it does not move goes back.
      if (!MoveAhead(spans[i], from_[i], upto, end)) {
        GiveBackPages(reinterpret_cast<const void*>(from_[i]), upto - from_[i]);
      }
      from_[i] = upto;
    }
    entries_.UpTo(src_.RowEntry(end));
    heads_.UpTo(src_.HeadEntry(end));
  }

 private:
  // The passed pages of [begin, end), within the span's block, into the
  // target ahead of source row `next`, where the block is a mapping of its
  // own (see NewCellBlock). True when all of them moved.
  bool MoveAhead(const PoolPlan::Span& span, uintptr_t begin, uintptr_t end, int next) {
    if (!ahead_ || span.end - span.begin < kMappedCellBytes) return false;
    return ahead_->Land(std::max(begin, span.begin), std::min(end, span.end), next);
  }

  const Table& source_;
  TableBuilder& src_;
  const PoolPlan& plan_;
  PagesAhead* const ahead_;  // null: the blocks go back to the system
  const int own_from_, own_end_;
  PassedPages entries_, heads_;
  // Per span: the pieces [first_, from_) are given back, up to upto_ passed.
  std::vector<uintptr_t> first_, from_, upto_;
  std::vector<bool> freed_;
  size_t next_ = 0;  // in plan_.by_last_row()
  size_t hit_ = 0;
};

// Columns [col_begin, col_end) (col_begin >= 1) of the source rows
// [row_begin, row_end) into the target rows out[col_begin..], and with
// col_begin 1 their column 0 below row0_end into out[0]: in blocks of
// kColumnBlock columns, at(first column) before each, then done(last) once
// the columns below `last` are copied.
template <typename At, typename Done>
void CopyColumnBlocks(const Table& source, Cell* const* out, int col_begin, int col_end,
                      int row0_end, int row_begin, int row_end, const At& at, const Done& done) {
  for (int c0 = col_begin == 1 ? 0 : col_begin; c0 < col_end;) {
    at(c0);
    const size_t first = static_cast<size_t>(std::max(c0, 1));
    const int next = std::min((c0 / kColumnBlock + 1) * kColumnBlock, col_end);
    const size_t last = static_cast<size_t>(next);
    // A table of column 0 alone still has it copied, in a stripe of no cells.
    for (size_t stripe = first; stripe < last || (c0 == 0 && stripe == first); stripe += kStripe) {
      CopyStripe(source, out, stripe, std::min(stripe + kStripe, last), row_begin, row_end,
                 c0 == 0 && stripe == first ? row0_end : 0);
    }
    done(last);
    c0 = next;
  }
}

// The progress before each column block of a thread that copies all
// columns of its rows: from the one with pace != 0 (see OnRowHalves).
auto BlockProgress(ProgressObserver* observer, int pace) {
  return [observer = pace != 0 ? observer : nullptr](int c0) {
    if (observer) observer->Progress(c0);
  };
}

// The progress of a copy by column blocks: every kColumnBlock-th column up
// to the position reached. Null observer: this thread reports nothing.
class ColumnMarks {
 public:
  ColumnMarks(ProgressObserver* observer, int cols) : observer_(observer), cols_(cols) {}
  void UpTo(int at) {
    if (!observer_) return;
    for (; next_ < cols_ && next_ <= at; next_ += kColumnBlock) observer_->Progress(next_);
  }

 private:
  ProgressObserver* const observer_;
  const int cols_;
  int next_ = 0;
};

// Wider sources than this are copied column block by column block: each
// step of a few rows would touch a page of every target row, and the rows
// are long enough to give back their own pages.
constexpr int kFreeByRowsMaxCols = 2048;

// Whether the two threads of a copy take a half of the columns each rather
// than of the rows: the target rows of a source much wider than long are
// short, and with the rows split both threads would write into every
// target page, each faulting on the same fresh pages.
bool SplitColumns(int src_rows, int src_cols) {
  return src_cols > kFreeByRowsMaxCols && src_cols > src_rows;
}

// Columns [col_begin, col_end) of the long rows [row_begin, row_end) of a
// wide source (and their column 0 below row0_end, with col_begin 1), as
// CopyColumnBlocks copies them, each row giving back the pages of its cells
// copied so far, or moving them `ahead` (when not null; this thread then
// copies the columns of every row). The pages lie inside the row's cells of
// these columns, so nothing another row or thread needs goes.
template <typename At>
void CopyFreeingByColumns(const Table& source, Cell* const* out, int col_begin, int col_end,
                          int row0_end, int row_begin, int row_end, const At& at,
                          RegionAhead* ahead = nullptr) {
  const uintptr_t page = kGiveBackBytes / 512;  // at least the system's page
  const auto own = [&](int r) {                 // the end of this copy's cells of row r
    return std::min(source.StoredLength(r), static_cast<size_t>(col_end));
  };
  std::vector<uintptr_t> from(static_cast<size_t>(std::max(row_end - row_begin, 0)));
  std::vector<uintptr_t> piece(from.size());
  for (int r = row_begin; r < row_end; ++r) {
    if (own(r) <= static_cast<size_t>(col_begin)) continue;
    const uintptr_t begin = Address(source.StoredCells(r) + col_begin);
    const uintptr_t end = Address(source.StoredCells(r) + own(r));
    const size_t i = static_cast<size_t>(r - row_begin);
    from[i] = PageAbove(begin, page);
    // A few calls per row, in whole huge pages where the row is long.
    piece[i] = std::clamp<uintptr_t>(((end - begin) / 16) & ~(page - 1), page, kGiveBackBytes);
  }
  CopyColumnBlocks(
      source, out, col_begin, col_end, row0_end, row_begin, row_end, at, [&](size_t last) {
        for (int r = row_begin; r < row_end; ++r) {
          const size_t i = static_cast<size_t>(r - row_begin);
          const size_t stored = std::min(own(r), last);
          if (from[i] == 0 || stored <= static_cast<size_t>(col_begin)) continue;
          const uintptr_t upto = Address(source.StoredCells(r) + stored) & ~(page - 1);
          if (upto < from[i] + piece[i] && stored < own(r)) continue;
          if (upto <= from[i]) continue;
          // A row of this many cells lies in a block mapped on its own.
          const bool moved =
              ahead && last < static_cast<size_t>(col_end) &&
              (own(r) - static_cast<size_t>(col_begin)) * sizeof(Cell) >= kMappedCellBytes &&
              ahead->Land(from[i], upto, Address(out[last] + 1));
          if (!moved) GiveBackPages(reinterpret_cast<const void*>(from[i]), upto - from[i]);
          from[i] = upto;
        }
      });
}

// The source's column 0 and its rows [1, row0_end) go into the target's row
// out[0], columns [1, src_cols) into out[1..]: the rows of [row_begin,
// row_end) in steps, each step's source memory given back once it is passed
// where no other rows need it. `plan` is shared with the thread that does
// the other rows; `pace` as OnRowHalves gives it (0: this thread reports no
// progress).
void CopyFreeing(const Table& source, TableBuilder& src, const PoolPlan& plan, Cell* const* out,
                 int src_cols, int row0_end, int row_begin, int row_end, int pace,
                 ProgressObserver* observer, PagesAhead* ahead) {
  const int own_from = row_begin == 1 ? 0 : row_begin;  // row 0 went first
  const int step = static_cast<int>(
      std::max<uint64_t>(1, kFreeStepCells / static_cast<uint64_t>(std::max(src_cols, 1))));
  const int src_rows = source.RowCount();
  PassedRows passed(source, src, plan, own_from, row_end, ahead);
  ColumnMarks marks(pace != 0 ? observer : nullptr, src_cols);
  auto report = [&](int done) {
    marks.UpTo(static_cast<int>(static_cast<int64_t>(src_cols - 1) *
                                RowsDone(1, src_rows - 1, done, pace) /
                                std::max(src_rows - 1, 1)));
  };
  report(0);
  const size_t cols = static_cast<size_t>(src_cols);
  for (int top = row_begin; top < row_end && cols > 0; top += step) {
    const int end = std::min(row_end, top + step);
    // A table of column 0 alone still has it copied, in a stripe of no cells.
    for (size_t first = 1; first == 1 || first < cols; first += kStripe) {
      CopyStripe(source, out, first, std::min(first + kStripe, cols), top, end,
                 first == 1 ? row0_end : 0);
    }
    passed.Passed(top == row_begin ? own_from : top, end);
    report(end - 1);
  }
  marks.UpTo(src_cols);
}

// The source's row 0 becomes the target's column 0, which the tables keep
// apart from their rows: its cells [first, last), on any thread for its own
// part of the target rows.
void CopyHeaderRow(const Table& source, Table& target, TableBuilder& build, int first, int last) {
  if (source.RowCount() == 0 || target.RowCount() == 0) return;
  if (first == 0) build.MutableHead(0) = source.Head(0);
  const int stored = std::min({static_cast<int>(source.StoredLength(0)), target.RowCount(), last});
  for (int c = std::max(first, 1); c < stored; ++c) {
    build.MutableHead(c) = source.StoredCells(0)[c];
  }
}

// `freeing`: the source itself, when its memory is to go back as the copy
// passes it (else null).
void Copy(const Table& source, Table& target, ProgressObserver* observer, Table* freeing) {
  const int src_rows = source.RowCount();
  const int src_cols = source.ColCount();
  // The target's blocks (the view's table before) serve again.
  target.ResetKeepingStorage(src_rows, src_cols);
  TableBuilder build(target);
  build.ShareArenasOf(source);

  // Target row c >= 1 needs room up to the last source row r >= 1 that
  // stores column c; the cells after it read empty anyway. First length[c]
  // := the last row whose stored part ends at column c, then a suffix
  // maximum gives them all. Target row 0 takes the source's column 0.
  CellBlockVector<uint32_t> length(static_cast<size_t>(src_cols), 0);
  bool full = true;  // every source row stores every column
  for (int r = 1; r < src_rows; ++r) {
    const size_t n = std::min(source.StoredLength(r), static_cast<size_t>(src_cols));
    if (n > 1) length[n - 1] = static_cast<uint32_t>(r) + 1;  // r only grows
    if (n < static_cast<size_t>(src_cols)) full = false;
  }
  if (src_cols > 0) {
    for (int r = src_rows - 1; r >= 1; --r) {
      if (source.Head(r).empty()) continue;
      length[0] = static_cast<uint32_t>(r) + 1;
      break;
    }
  }
  uint64_t total = 0;
  for (size_t c = length.size(); c-- > 0;) {
    if (c >= 1 && c + 1 < length.size()) length[c] = std::max(length[c], length[c + 1]);
    total += std::max<uint32_t>(length[c], 1) - 1;
  }
  if (total > SIZE_MAX / sizeof(Cell)) throw std::bad_alloc();
  build.ReserveCells(static_cast<size_t>(total));
  // A freeing copy may move the source's pages into a fresh target whose
  // every cell it writes, where neither lies in huge pages.
  const bool land = freeing && full && build.PoolBlockFresh() &&
                    total * sizeof(Cell) >= kMappedCellBytes && !build.PoolHasHugeBlocks() &&
                    !TableBuilder(*freeing).PoolHasHugeBlocks();
  CellBlockVector<Cell*> out(static_cast<size_t>(src_cols));
  // Of a full table every target cell is copied, so none needs clearing
  // first; nor does row 0, which takes every cell of the source's column 0.
  for (int c = 0; c < src_cols; ++c) {
    const size_t n = length[static_cast<size_t>(c)];
    out[static_cast<size_t>(c)] =
        full || c == 0 ? build.SizeRowForWriting(c, n) : build.ResizeRow(c, n);
  }
  build.Finish();  // the kept blocks not taken go back
  const bool split_columns = SplitColumns(src_rows, src_cols);
  // Split by columns, each thread copies its own part of the header row.
  if (!split_columns) CopyHeaderRow(source, target, build, 0, src_cols);

  // Each target row is written at the places of the source rows, so the
  // two halves of the source rows fill disjoint halves of every target row:
  // the second core takes the lower half (and the first touch of its pages)
  // while this thread copies the upper one and reports the progress.
  // The source's column 0 becomes the target's row 0, with the first
  // stripe; that row takes every cell of it up to its length.
  const int row0_end = src_cols > 0 ? static_cast<int>(length[0]) : 0;
  // A wide source: the columns split, each thread copying its own of every
  // row; the one with pace 2 reports for both.
  auto by_columns = [&](bool free) {
    OnRowHalves(1, src_cols - 1, CellsOf(1, src_rows - 1, src_cols), [&](int lo, int hi, int pace) {
      CopyHeaderRow(source, target, build, lo == 1 ? 0 : lo, hi + 1);
      ColumnMarks marks(pace != 0 ? observer : nullptr, src_cols);
      const auto at = [&](int c0) { marks.UpTo(RowsDone(1, src_cols - 1, c0, pace)); };
      if (free) {
        const size_t end = length[static_cast<size_t>(hi)];
        RegionAhead ahead(Address(out[static_cast<size_t>(lo)] + 1),
                          Address(out[static_cast<size_t>(hi)] + std::max<size_t>(end, 1)));
        CopyFreeingByColumns(source, out.data(), lo, hi + 1, row0_end, 1, src_rows, at,
                             land ? &ahead : nullptr);
      } else {
        CopyColumnBlocks(source, out.data(), lo, hi + 1, row0_end, 1, src_rows, at, [](size_t) {});
      }
      marks.UpTo(src_cols);
    });
  };
  if (!freeing) {
    if (split_columns) {
      by_columns(false);
      return;
    }
    OnRowHalves(1, src_rows - 1, CellsOf(1, src_rows - 1, src_cols),
                [&](int top, int bottom, int pace) {
                  CopyColumnBlocks(source, out.data(), 1, src_cols, row0_end, top, bottom + 1,
                                   BlockProgress(observer, pace), [](size_t) {});
                });
    return;
  }
  TableBuilder src(*freeing);
  const PoolPlan plan(source, src);
  // Nothing below throws: the source is whole until here.
  src.Finish();  // its blocks kept for more rows
  for (const PoolPlan::Span& span : plan.spans()) {
    if (span.last_row < 0) src.FreePoolBlock(span.block);
  }
  if (split_columns) {
    by_columns(true);
    return;
  }
  OnRowHalves(1, src_rows - 1, CellsOf(1, src_rows - 1, src_cols),
              [&](int top, int bottom, int pace) {
                if (src_cols > kFreeByRowsMaxCols) {
                  CopyFreeingByColumns(source, out.data(), 1, src_cols, row0_end, top, bottom + 1,
                                       BlockProgress(observer, pace));
                } else {
                  std::unique_ptr<PagesAhead> ahead;
                  if (land)
                    ahead = std::make_unique<PagesAhead>(out.data(), length, top, bottom + 1);
                  CopyFreeing(source, src, plan, out.data(), src_cols, row0_end, top, bottom + 1,
                              pace, observer, ahead.get());
                }
              });
}

Result Transpose(const Table& source, Table& target, ProgressObserver* observer, Table* freeing) {
  if (observer) observer->Started(source.ColCount() - 1);
  Result result = CatchOutOfMemory([&] {
    Copy(source, target, observer, freeing);
    // The cells are the same bytes, so they are read the same way.
    target.set_utf8(source.utf8());
  });
  if (!result.ok()) target.Reset(2, 2);
  if (result.ok() && freeing) ClearGrid(*freeing);
  if (observer) observer->Finished();
  return result;
}

}  // namespace

Result TransposeGrid(const Table& source, Table& target, ProgressObserver* observer) {
  return Transpose(source, target, observer, nullptr);
}

Result TransposeGridFreeingSource(Table& source, Table& target, ProgressObserver* observer,
                                  uint64_t free_from) {
  const bool big = source.StorageBytes() >= free_from;
  return Transpose(source, target, observer, big ? &source : nullptr);
}

}  // namespace core
