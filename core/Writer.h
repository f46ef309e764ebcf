// Writing a table as delimited text.
//
// One line per data row (rows 1 .. RowCount-1), holding the cells of columns
// 1 .. ColCount-1 byte for byte, each followed by the separator, the last one
// too, then CR LF. Nothing is quoted or escaped, so a cell holding the
// separator splits into two fields when the file is loaded again.
//
// With quoted fields the fields of a line are joined by the separator, with
// none after the last, and a field is put in quotes (its own quotes doubled)
// exactly when it holds the separator, a quote, CR, LF or Ctrl-Z; a line
// whose only field is empty is written as "" so that it is not lost.
#ifndef MARVESK_CORE_WRITER_H_
#define MARVESK_CORE_WRITER_H_

#include <cstdint>
#include <string>

#include "core/Progress.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

struct [[nodiscard]] WriteResult {
  // kOk: every row written and the file put in place. kStopped: stopped by
  // Escape; the complete rows so far are in place. kCreateFailed: the file
  // could not be created; kWriteFailed: writing or putting the file in place
  // failed. Both failures leave everything as it was and carry the message
  // "Datei <path> konnte nicht gespeichert werden. ...".
  Result status;
  int rows_written = 0;  // rows in the file put in place; 0 on failure
};

// Writes `table` to `path` through AtomicFileWriter: an earlier file of that
// name is replaced only once the new one is complete, and stays byte for byte
// as it was on any failure. RowCount 1 gives an empty file, ColCount 1 lines
// of only CR LF. `observer` may be null: once the file is created, Started
// with RowCount - 1, Progress after each row written completely, then
// EscapePressed (true stops after that row), and Finished at the end, also
// on failure. `sync`: the file and its folder entry are flushed to disk (see
// AtomicFileWriter). `quoted`: written with quoted fields.
WriteResult WriteTable(const Table& table, const std::string& path, char separator,
                       ProgressObserver* observer, bool sync = true, bool quoted = false);

// The data cells (columns 1 .. ColCount-1, rows 1 .. RowCount-1) holding the
// separator, CR or LF: those a save without quoted fields writes so that they
// split differently when the file is loaded again.
int64_t CellsNeedingQuotes(const Table& table, char separator);

}  // namespace core

#endif  // MARVESK_CORE_WRITER_H_
