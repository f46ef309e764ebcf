// The rules of the range panel over plain values: the two number fields
// ("ab", "bis") as texts that the rules read and correct, the two mode
// choices, and the counts of the grid the run belongs to.
#ifndef MARVESK_CORE_RANGE_H_
#define MARVESK_CORE_RANGE_H_

#include <cstdint>
#include <optional>
#include <string>

#include "core/Edit.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

// The texts of the fields "ab" and "bis", corrected in place by the rules.
struct RangeFields {
  std::string ab;
  std::string bis;
  bool operator==(const RangeFields&) const = default;
};

// Columns or rows; removed or emptied.
enum class RangeAxis { kColumns, kRows };
enum class RangeMode { kRemove, kClear };

// The run as last read; the pair of the axis not chosen is 0 and 0. A run is
// empty when its last number is below its first.
struct RangeBounds {
  int32_t ColFrom = 0;
  int32_t ColTo = 0;
  int32_t RowFrom = 0;
  int32_t RowTo = 0;
  bool operator==(const RangeBounds&) const = default;
};

// Reads the fields leniently (an empty or unreadable field is 0), limits the
// run to `count` (ColCount or RowCount of the grid) and writes corrections
// back: a last number beyond the table becomes count - 1, a first number
// beyond it gives the empty run count + 1..count + 1, a last number below
// the first becomes the first, and a first number below 1 becomes 1.
RangeBounds ReadRange(RangeFields& fields, RangeAxis axis, int count);

// An empty "bis" takes the text of "ab"; true when both then hold text.
bool CheckFields(RangeFields& fields);

// The question put before the run is changed, lines divided by a CR:
// "Löschen alles\rSpalte: 3-5". The fields are read strictly; a text that is
// no whole number throws ConvertError ("'x' ist kein gültiger Integerwert").
std::string DeleteConfirmText(const RangeFields& fields, RangeAxis axis, RangeMode mode);

// The OK button's hint: corrects the fields so that they hold the run a
// click would act on (an unreadable field or one beyond the table becomes
// count - 1, a last number below the first becomes the first, a first below
// 1 becomes 1) and returns the question, or "Ab und Bis eingeben" while a
// field is empty.
std::string OkHint(RangeFields& fields, RangeAxis axis, RangeMode mode, int count);

// The run OK acts on: a run of columns or rows, removed or emptied.
struct RangeRun {
  RangeAxis axis = RangeAxis::kColumns;
  RangeMode mode = RangeMode::kRemove;
  int from = 0;
  int to = 0;
  // What the undo history keeps of it.
  TableChange Change() const;
};

// The field check and ReadRange of OK, against `count` (ColCount or
// RowCount): nothing when a field is empty, else the run, with `bounds`
// and the fields taking what was read.
std::optional<RangeRun> PlanRange(RangeFields& fields, RangeAxis axis, RangeMode mode, int count,
                                  RangeBounds& bounds);

// Removes the run, the rest closing the gap, or empties its data cells
// (counts stay). An empty run, also one beyond the table, changes nothing.
// Progress (removal only): one step per row, maximum RowCount - 1.
// kOutOfMemory leaves the table as it was.
Result ApplyRange(Table& table, const RangeRun& run, ProgressObserver* observer);

}  // namespace core

#endif  // MARVESK_CORE_RANGE_H_
