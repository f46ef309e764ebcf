// Random table operations (Set, SetColCount, SetRowCount, MoveRow, MoveCol,
// ClearGrid, Reset) applied to a core::Table and to a plain model of it; the
// table must match the model, and TransposeGrid twice (the second time
// freeing its source as the view switch does) must give it back. Each
// source is destroyed once it has been transposed, so the shared long texts
// must outlive it. One transposition may run under a memory budget: it then
// either succeeds or leaves the empty 2 x 2 target and the source untouched.
//
// Input: a budget byte (0: none, else that many KiB), then operations, each an
// operation byte followed by its arguments.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "core/Memory.h"
#include "core/Result.h"
#include "core/Table.h"
#include "core/Transpose.h"

namespace {

// Small enough that a few thousand operations run quickly.
constexpr int kMaxCount = 48;

// The table as rows of ColCount texts each.
struct Model {
  int cols = 2;
  std::vector<std::vector<std::string>> rows;
  bool utf8 = true;

  int RowCount() const { return static_cast<int>(rows.size()); }
  void SetColCount(int n) {
    cols = std::max(n, 0);
    for (auto& r : rows) r.resize(static_cast<size_t>(cols));
  }
  void SetRowCount(int n) {
    rows.resize(static_cast<size_t>(std::max(n, 0)),
                std::vector<std::string>(static_cast<size_t>(cols)));
  }
  void Reset(int c, int r) {
    rows.clear();
    cols = std::max(c, 0);
    SetRowCount(r);
  }
  void Set(int c, int r, std::string_view text) {
    if (c < 0 || r < 0 || c >= cols || r >= RowCount()) return;
    rows[r][c] = text;
  }
  void MoveRow(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= RowCount() || to >= RowCount()) return;
    const int lo = std::min(from, to), hi = std::max(from, to);
    std::vector<std::string> numbers;
    for (int r = lo; r <= hi && cols > 0; ++r) numbers.push_back(rows[r][0]);
    auto first = rows.begin() + lo, last = rows.begin() + hi + 1;
    std::rotate(first, from < to ? first + 1 : last - 1, last);
    for (int r = lo; r <= hi && cols > 0; ++r) rows[r][0] = numbers[r - lo];
  }
  void MoveCol(int from, int to) {
    if (from == to || from < 0 || to < 0 || from >= cols || to >= cols) return;
    const int lo = std::min(from, to), hi = std::max(from, to);
    for (size_t r = 1; r < rows.size(); ++r) {
      auto first = rows[r].begin() + lo, last = rows[r].begin() + hi + 1;
      std::rotate(first, from < to ? first + 1 : last - 1, last);
    }
  }
};

// Counts in -1..kMaxCount+1, so the refused values come up too.
int Count(fuzz::FuzzInput& in) { return static_cast<int>(in.Below(kMaxCount + 3)) - 1; }
int Index(fuzz::FuzzInput& in, int n) { return static_cast<int>(in.Below(n + 2)) - 1; }

void Apply(fuzz::FuzzInput& in, core::Table& t, Model& m) {
  switch (in.Byte() % 8) {
    case 0: {
      const int c = Index(in, m.cols), r = Index(in, m.RowCount());
      const std::string_view text = in.Take(in.Below(40));  // inline and long texts
      t.Set(c, r, text);
      m.Set(c, r, text);
      break;
    }
    case 1: {
      const int n = Count(in);
      t.SetColCount(n);
      m.SetColCount(n);
      break;
    }
    case 2: {
      const int n = Count(in);
      t.SetRowCount(n);
      m.SetRowCount(n);
      break;
    }
    case 3: {
      const int from = Index(in, m.RowCount()), to = Index(in, m.RowCount());
      t.MoveRow(from, to);
      m.MoveRow(from, to);
      break;
    }
    case 4: {
      const int from = Index(in, m.cols), to = Index(in, m.cols);
      t.MoveCol(from, to);
      m.MoveCol(from, to);
      break;
    }
    case 5:
      core::ClearGrid(t);
      m.Reset(m.cols, 2);
      break;
    case 6: {
      const int c = Count(in), r = Count(in);
      t.Reset(c, r);
      m.Reset(c, r);
      m.utf8 = t.utf8();  // Reset does not say what it does with the encoding
      break;
    }
    default:
      m.utf8 = in.Byte() & 1;
      t.set_utf8(m.utf8);
      break;
  }
}

// `t` equals the model, or the model with rows and columns exchanged.
void CheckTable(const core::Table& t, const Model& m, bool transposed, const char* what) {
  const int cols = transposed ? m.RowCount() : m.cols;
  const int rows = transposed ? m.cols : m.RowCount();
  const std::string where = std::string(what) + " of a " + std::to_string(m.cols) + " x " +
                            std::to_string(m.RowCount()) + " table";
  FUZZ_CHECK(t.ColCount() == cols, where);
  FUZZ_CHECK(t.RowCount() == rows, where);
  FUZZ_CHECK(t.utf8() == m.utf8, where + ": encoding");
  for (int r = 0; r < rows; ++r) {
    FUZZ_CHECK(t.StoredLength(r) <= static_cast<size_t>(cols), where);
    FUZZ_CHECK(t.Get(cols, r).empty() && t.Get(-1, r).empty(), where);
    for (int c = 0; c < cols; ++c) {
      const std::string& want = transposed ? m.rows[c][r] : m.rows[r][c];
      FUZZ_CHECK(t.Get(c, r) == want, where + ": cell " + std::to_string(c) + "," +
                                          std::to_string(r) + " is " + fuzz::Escaped(t.Get(c, r)) +
                                          ", not " + fuzz::Escaped(want));
    }
  }
  FUZZ_CHECK(t.Get(0, rows).empty() && t.Get(0, -1).empty(), where);
}

// Checks the order and range of the progress calls.
class CheckingObserver : public core::ProgressObserver {
 public:
  void Started(int maximum) override {
    FUZZ_CHECK(!started_, "Started twice");
    started_ = true;
    maximum_ = maximum;
  }
  void Progress(int position) override {
    FUZZ_CHECK(started_ && !finished_, "Progress outside Started..Finished");
    FUZZ_CHECK(position == next_ && position <= maximum_, "Progress " + std::to_string(position));
    next_ += 100;
  }
  void Finished() override {
    FUZZ_CHECK(!finished_, "Finished twice");
    finished_ = true;
  }
  void CheckDone(int source_cols) const {
    FUZZ_CHECK(finished_, "Finished not called");
    if (started_) FUZZ_CHECK(maximum_ == source_cols - 1, "Started maximum");
  }

 private:
  bool started_ = false, finished_ = false;
  int maximum_ = 0, next_ = 0;
};

// Transposes `source` into a new table holding leftovers of earlier work;
// `freeing`: as the view switch does it, the source's memory going back as
// the copy passes it, which leaves the source cleared.
std::unique_ptr<core::Table> Transpose(core::Table& source, bool freeing) {
  auto target = std::make_unique<core::Table>();
  target->Reset(3, 3);
  target->Set(2, 2, "a leftover longer than fifteen bytes");
  CheckingObserver observer;
  const int cols = source.ColCount();
  const core::Result r = freeing ? core::TransposeGridFreeingSource(source, *target, &observer, 0)
                                 : core::TransposeGrid(source, *target, &observer);
  FUZZ_CHECK(r.ok(), "TransposeGrid failed: " + r.message());
  observer.CheckDone(cols);
  if (freeing) {
    FUZZ_CHECK(source.ColCount() == cols && source.RowCount() == 2, "freed source not cleared");
    for (int c = 0; c < cols; ++c) FUZZ_CHECK(source.Get(c, 1).empty(), "freed source not empty");
  }
  return target;
}

// A transposition that may run out of memory after `budget` bytes.
void TransposeWithBudget(const core::Table& source, const Model& m, uint64_t budget) {
  core::Table target;
  CheckingObserver observer;
  const core::Result r = [&] {
    const core::ScopedMemoryProbe probe(core::BudgetProbe(budget));
    return core::TransposeGrid(source, target, &observer);
  }();
  observer.CheckDone(source.ColCount());
  CheckTable(source, m, false, "source after a budgeted transposition");
  if (r.ok()) {
    CheckTable(target, m, true, "budgeted transposition");
    return;
  }
  FUZZ_CHECK(r.code() == core::Code::kOutOfMemory, "budget: " + r.message());
  FUZZ_CHECK(r.message() == core::kOutOfMemoryText, r.message());
  FUZZ_CHECK(target.ColCount() == 2 && target.RowCount() == 2, "budget: target not 2 x 2");
  FUZZ_CHECK(target.Get(0, 0).empty() && target.Get(1, 1).empty(), "budget: target not empty");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput in(data, size);
  const uint64_t budget = uint64_t{in.Byte()} * 1024;
  auto table = std::make_unique<core::Table>();
  Model model;
  model.SetRowCount(table->RowCount());
  model.SetColCount(table->ColCount());
  model.utf8 = table->utf8();
  while (!in.empty()) Apply(in, *table, model);
  CheckTable(*table, model, false, "operations");
  if (budget > 0) TransposeWithBudget(*table, model, budget);

  auto once = Transpose(*table, false);
  table.reset();  // the long texts now live on in `once` alone
  CheckTable(*once, model, true, "transposed");
  auto twice = Transpose(*once, true);
  once.reset();
  CheckTable(*twice, model, false, "transposed twice");
  return 0;
}
