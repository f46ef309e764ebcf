// Loading a delimited text file into a table.
//
// Every non-empty line becomes one row, its fields the cells of that row,
// with the running row number in column 0. The separator is either detected
// from the first lines (';', ',' then TAB: the first that splits a line into
// three or more fields wins, and row 0 gets the column numbers) or the
// configured one. The caller has emptied the table (ClearGrid) before.
#ifndef MARVESK_CORE_LOADER_H_
#define MARVESK_CORE_LOADER_H_

#include <cstdint>
#include <string>

#include "core/Progress.h"
#include "core/Result.h"
#include "core/Table.h"

namespace core {

// What the load needs of its caller beside the progress, called on the
// caller's thread. The progress: Started with 10000 when the reading pass
// starts; every 100 lines read StoredRows with the rows stored so far, then
// Progress with the wrapping line counter (0..10000); EscapePressed after
// every line; Finished when the reading pass has ended, also on failure.
class LoadObserver : public ProgressObserver {
 public:
  // The configured separator; asked only when no detection runs, after the
  // file has been opened.
  virtual char ConfiguredSeparator() = 0;
  virtual void StoredRows(int64_t /*rows*/) {}
  // Asked when Escape was pressed; false stops the reading.
  virtual bool ConfirmContinue() = 0;
};

struct [[nodiscard]] LoadResult {
  // kOk: read to the end, or stopped by the user. kOpenFailed: the file could
  // not be opened or read before the reading pass. kOutOfMemory: the table ran
  // out of memory; the rows before stay. kReadFailed: reading failed during
  // the reading pass (an error, or the file became shorter than it was when
  // opened); the rows before stay.
  Result status;
  char separator = '\t';
  bool detected = false;    // a detection candidate decided
  bool stopped = false;     // the user answered No to the continue question
  int64_t stored_rows = 0;  // k
  int64_t lines_read = 0;   // every line read, empty ones too
};

// `auto_detect`: detection is in force (the "Automatisch" box is ticked and
// shown).
LoadResult LoadTable(const std::string& path, bool auto_detect, Table& table,
                     LoadObserver& observer);

// The line-by-line form of the reading pass, without the block scanner: the
// reference the fast path is tested against, and the path taken for
// separators that are themselves line characters (LF, CR, Ctrl-Z).
LoadResult LoadTableSimple(const std::string& path, bool auto_detect, Table& table,
                           LoadObserver& observer);

}  // namespace core

#endif  // MARVESK_CORE_LOADER_H_
