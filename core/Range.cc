#include "core/Range.h"

#include <cstdint>

#include "core/Convert.h"

namespace core {
namespace {

// The pair of `bounds` the axis works on.
void Pair(RangeBounds& bounds, RangeAxis axis, int32_t*& from, int32_t*& to) {
  from = axis == RangeAxis::kColumns ? &bounds.ColFrom : &bounds.RowFrom;
  to = axis == RangeAxis::kColumns ? &bounds.ColTo : &bounds.RowTo;
}

// The strict value of a field, or count - 1 written into it when it is no
// whole number.
int64_t StrictOr(std::string& field, int64_t fallback) {
  try {
    return StrToIntStrict(field);
  } catch (const ConvertError&) {
    field = IntToStr(fallback);
    return fallback;
  }
}

}  // namespace

RangeBounds ReadRange(RangeFields& fields, RangeAxis axis, int count) {
  RangeBounds bounds;
  int32_t* from_out;
  int32_t* to_out;
  Pair(bounds, axis, from_out, to_out);
  const int64_t n = count;
  int64_t from = ToInt(fields.ab);
  int64_t to = ToInt(fields.bis);
  if (to >= n) {
    to = n - 1;
    fields.bis = IntToStr(to);
  }
  // A first number beyond the table gives an empty run past its end.
  if (from >= n) from = n + 1;
  if (from > to) {
    to = from;
    fields.bis = IntToStr(to);
  }
  if (from < 1) {
    from = 1;
    fields.ab = "1";
  }
  // Counts fit in 32 bits; n + 1 is cut to the largest value there.
  *from_out = static_cast<int32_t>(from > INT32_MAX ? INT32_MAX : from);
  *to_out = static_cast<int32_t>(to > INT32_MAX ? INT32_MAX : to);
  return bounds;
}

bool CheckFields(RangeFields& fields) {
  if (fields.bis.empty()) fields.bis = fields.ab;
  return !fields.ab.empty() && !fields.bis.empty();
}

std::string DeleteConfirmText(const RangeFields& fields, RangeAxis axis, RangeMode mode) {
  std::string s = "Löschen";
  s += mode == RangeMode::kRemove ? " alles" : " Inhalt";
  s += '\r';
  s += axis == RangeAxis::kColumns ? "Spalte: " : "Zeile: ";
  s += IntToStr(StrToIntStrict(fields.ab));
  s += '-';
  s += IntToStr(StrToIntStrict(fields.bis));
  return s;
}

std::string OkHint(RangeFields& fields, RangeAxis axis, RangeMode mode, int count) {
  if (!CheckFields(fields)) return "Ab und Bis eingeben";
  const int64_t n = count;
  const int64_t from = StrictOr(fields.ab, n - 1);
  const int64_t to = StrictOr(fields.bis, n - 1);
  if (to >= n) fields.bis = IntToStr(n - 1);
  const int64_t last = to >= n ? n - 1 : to;
  // Unlike ReadRange, a first number beyond the table is pulled back onto
  // its last column or row: the hint shows a run that can be acted on.
  const int64_t first = from >= n ? n - 1 : from;
  if (from >= n) fields.ab = IntToStr(first);
  if (last < first) fields.bis = IntToStr(first);
  if (first < 1) fields.ab = "1";
  return DeleteConfirmText(fields, axis, mode);
}

TableChange RangeRun::Change() const {
  if (mode == RangeMode::kClear) {
    return TableChange::Cells(axis == RangeAxis::kColumns ? Block{from, 1, to, INT32_MAX}
                                                          : Block{1, from, INT32_MAX, to});
  }
  return axis == RangeAxis::kColumns ? TableChange::RemoveCols(from, to)
                                     : TableChange::RemoveRows(from, to);
}

std::optional<RangeRun> PlanRange(RangeFields& fields, RangeAxis axis, RangeMode mode, int count,
                                  RangeBounds& bounds) {
  if (!CheckFields(fields)) return std::nullopt;
  bounds = ReadRange(fields, axis, count);
  const bool columns = axis == RangeAxis::kColumns;
  return RangeRun{axis, mode, columns ? bounds.ColFrom : bounds.RowFrom,
                  columns ? bounds.ColTo : bounds.RowTo};
}

Result ApplyRange(Table& table, const RangeRun& run, ProgressObserver* observer) {
  const bool columns = run.axis == RangeAxis::kColumns;
  if (run.mode == RangeMode::kClear) {
    if (columns) {
      ClearCols(table, run.from, run.to);
    } else {
      ClearRows(table, run.from, run.to);
    }
    return Result::Ok();
  }
  if (!columns) return RemoveRows(table, run.from, run.to, observer);
  RemoveCols(table, run.from, run.to, observer);
  return Result::Ok();
}

}  // namespace core
