// Loading a delimited text file into a table.
//
// Every non-empty line becomes one row, its fields the cells of that row,
// with the running row number in column 0. The separator is either detected
// from the first lines (';', ',' then TAB: the first that splits a line into
// three or more fields wins, and row 0 gets the column numbers) or the
// configured one. The caller has emptied the table (ClearGrid) before.
//
// With quoted fields on, a field that starts with '"' runs to its closing
// quote: "" inside it stands for one quote, and the separator, CR, LF and
// Ctrl-Z inside it belong to the field, so one record (one row) may span
// lines. Bytes after the closing quote up to the next separator or record end
// are kept as they stand; a quote anywhere else is an ordinary character.
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
  int64_t lines_read = 0;   // every line read, empty ones too (records when quoted)
  // Quoted fields on: the file ended inside a quoted field, which then holds
  // the rest of the file.
  bool unclosed_quote = false;
  // Quoted fields off: a field of the probed lines starts with '"' and holds
  // the separator before its closing quote (or the line's end), so the file
  // was likely written with quoted fields.
  bool looks_quoted = false;
};

// A big file is read by two threads: it goes in blocks of block_bytes,
// each split at a byte into two regions, and each thread reads the lines
// that start in its region, with a read of its own, into cells of its own.
// The helper thread's lines go into the table in order, while it reads its
// region of the next block, with the same progress, Escape polls and
// results as one thread alone would give. Only the block scanner of
// LoadTable without quoted fields splits, and only blocks of at least
// from_block_bytes.
struct ParallelLoad {
  uint64_t from_file_bytes = uint64_t{16} << 20;
  size_t block_bytes = size_t{2} << 20;
  size_t from_block_bytes = size_t{1} << 20;
  bool always = false;  // a helper also on a machine of one core (tests)
};
ParallelLoad GetParallelLoad();
// For tests, which split small files; not safe while a load runs.
void SetParallelLoad(const ParallelLoad& split);

// `auto_detect`: detection is in force (the "Automatisch" box is ticked and
// shown); with `quoted` it ignores separators inside quoted fields and probes
// the records of the first 100 lines.
LoadResult LoadTable(const std::string& path, bool auto_detect, Table& table,
                     LoadObserver& observer, bool quoted = false);

// The line-by-line form of the reading pass, without the block scanner: the
// reference the fast path is tested against, and the path taken for
// separators that are themselves line characters (LF, CR, Ctrl-Z).
LoadResult LoadTableSimple(const std::string& path, bool auto_detect, Table& table,
                           LoadObserver& observer, bool quoted = false);

}  // namespace core

#endif  // MARVESK_CORE_LOADER_H_
