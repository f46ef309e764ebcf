// Row operations on both cores. Rows are stored apart from each other and
// the edits that walk all of them wait on memory, not on arithmetic, so for
// a big table the second core takes the lower half of the rows while the
// calling thread does the upper one. Nothing else runs meanwhile: the
// window paints no grid during an edit.
#ifndef MARVESK_CORE_ROWHALVES_H_
#define MARVESK_CORE_ROWHALVES_H_

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>

namespace core {

// From rows of this many cells on, OnRowHalves runs on two threads.
inline constexpr uint64_t kParallelCells = uint64_t{1} << 20;

// The first row of the lower half of [top, bottom] when split.
inline int RowSplit(int top, int bottom) { return top + (bottom - top + 1) / 2; }

// The cells of rows [top, bottom] of a table `width` columns wide: a few
// cells of each row cost about what the whole rows do.
inline uint64_t CellsOf(int top, int bottom, int width) {
  return static_cast<uint64_t>(std::max(bottom - top + 1, 0)) *
         static_cast<uint64_t>(std::max(width, 0));
}

// Runs work(lo, hi, pace) over the rows [top, bottom]: for `cells` of
// kParallelCells or more (see CellsOf) on two threads, the other one taking
// [RowSplit, bottom] (pace 0: it reports nothing) while this one does the
// rows before (pace 2: each row it has done stands for two); otherwise this
// thread does all (pace 1). True when two threads ran. `work` must not
// throw.
template <typename Work>
bool OnRowHalves(int top, int bottom, uint64_t cells, const Work& work) {
  if (cells >= kParallelCells && bottom > top && std::thread::hardware_concurrency() > 1) {
    const int split = RowSplit(top, bottom);
    std::thread lower;
    try {
      lower = std::thread([&] { work(split, bottom, 0); });
    } catch (const std::system_error&) {
      work(top, bottom, 1);  // no second thread: all of it here
      return false;
    }
    work(top, split - 1, 2);
    lower.join();
    return true;
  }
  work(top, bottom, 1);
  return false;
}

// The progress position of the rows [top, bottom] once the thread with
// `pace` has done row `done` of its part.
inline int RowsDone(int top, int bottom, int done, int pace) {
  return pace == 2 ? std::min(bottom, top + 2 * (done - top) + 1) : done;
}

}  // namespace core

#endif  // MARVESK_CORE_ROWHALVES_H_
