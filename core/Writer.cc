#include "core/Writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/FileUtil.h"

namespace core {
namespace {

// Bigger than AtomicFileWriter's own buffer, so full chunks go straight to
// write() instead of being copied a second time.
constexpr size_t kChunk = size_t{4} << 20;
// Room a short cell takes at most: its 16 bytes copied whole, then the separator.
constexpr size_t kShortRoom = sizeof(Cell) + 1;

// Rows are short and need not lie one after the other in the pool (edited and
// moved rows do not), so the hardware prefetcher cannot be relied on; asking
// for a row a few rows early keeps the loop running at memory speed.
constexpr int kPrefetchRows = 8;
constexpr size_t kPrefetchBytes = 256;

// Formats rows into a large buffer that is handed to the file in chunks.
class RowFormatter {
 public:
  RowFormatter(AtomicFileWriter& out, char separator)
      : out_(out), buf_(new char[kChunk]), sep_(separator) {
    pos_ = buf_.get();
    end_ = buf_.get() + kChunk;
  }

  // Appends one line; false once the file reported a failure.
  bool Row(const Cell* cells, size_t stored, size_t col_count) {
    const size_t stored_end = std::min(stored, col_count);
    size_t c = 1;
    if (stored_end > 1 && static_cast<size_t>(end_ - pos_) >= (stored_end - 1) * kShortRoom) {
      // The usual row: short cells only, and room for all of them, so the
      // loop needs no checks. A long cell hands over to the careful loop.
      char* pos = pos_;
      const char sep = sep_;
      for (; c < stored_end && cells[c].IsInline(); ++c) {
        pos = CopyShort(cells[c], pos);
        *pos++ = sep;
      }
      pos_ = pos;
    }
    for (; c < stored_end; ++c) {
      const Cell& cell = cells[c];
      if (static_cast<size_t>(end_ - pos_) < kShortRoom && !Flush()) return false;
      if (cell.IsInline()) {
        pos_ = CopyShort(cell, pos_);
      } else if (!Append(cell.view())) {
        return false;
      }
      *pos_++ = sep_;
    }
    // Columns past the stored cells are empty: separators only.
    size_t empty = col_count > 1 ? col_count - std::max<size_t>(stored_end, 1) : 0;
    while (empty > 0) {
      if (pos_ == end_ && !Flush()) return false;
      const size_t n = std::min(empty, static_cast<size_t>(end_ - pos_));
      std::memset(pos_, sep_, n);
      pos_ += n;
      empty -= n;
    }
    if (end_ - pos_ < 2 && !Flush()) return false;
    pos_[0] = '\r';
    pos_[1] = '\n';
    pos_ += 2;
    return true;
  }

  // A fixed 16-byte copy is cheaper than one of variable length; the bytes
  // past the text are overwritten by what follows.
  static char* CopyShort(const Cell& cell, char* pos) {
    const std::string_view text = cell.view();
    std::memcpy(pos, text.data(), sizeof(Cell));
    return pos + text.size();
  }

  bool Flush() {
    const size_t n = static_cast<size_t>(pos_ - buf_.get());
    pos_ = buf_.get();
    return out_.Write(buf_.get(), n);
  }

 private:
  // A long text; leaves room for the separator after it.
  bool Append(std::string_view text) {
    if (text.size() + 1 > static_cast<size_t>(end_ - pos_)) {
      if (!Flush()) return false;
      if (text.size() + 1 > kChunk) return out_.Write(text);
    }
    std::memcpy(pos_, text.data(), text.size());
    pos_ += text.size();
    return true;
  }

  AtomicFileWriter& out_;
  std::unique_ptr<char[]> buf_;
  char* pos_;
  char* end_;
  char sep_;
};

}  // namespace

namespace {

// The rows 1 .. RowCount-1 into the formatter; false when the file failed.
bool WriteRows(const Table& table, RowFormatter& formatter, ProgressObserver* observer,
               WriteResult& result) {
  const size_t col_count = static_cast<size_t>(std::max(table.ColCount(), 0));
  for (int r = 1; r < table.RowCount(); ++r) {
#if defined(__GNUC__)
    // Written out here: GCC 12 drops calls to a function that only prefetches.
    if (r + kPrefetchRows < table.RowCount()) {
      const char* p = reinterpret_cast<const char*>(table.StoredCells(r + kPrefetchRows));
      const size_t bytes =
          std::min(table.StoredLength(r + kPrefetchRows) * sizeof(Cell), kPrefetchBytes);
      for (size_t b = 0; b < bytes; b += 64) __builtin_prefetch(p + b);
    }
#endif
    if (!formatter.Row(table.StoredCells(r), table.StoredLength(r), col_count)) return false;
    result.rows_written = r;
    if (observer) {
      observer->Progress(r);
      if (observer->EscapePressed()) {
        result.status = Result::Error(Code::kStopped, {});
        break;
      }
    }
  }
  return formatter.Flush();
}

}  // namespace

WriteResult WriteTable(const Table& table, const std::string& path, char separator,
                       ProgressObserver* observer, bool sync) {
  const std::string failed = "Datei " + path +
                             " konnte nicht gespeichert werden. Eine vorhandene Datei dieses "
                             "Namens bleibt unverändert";
  WriteResult result;
  AtomicFileWriter out;
  if (const Result opened = out.Open(path); !opened.ok()) {
    result.status = Result::Error(Code::kCreateFailed, failed, opened.reason());
    return result;
  }
  bool ok;
  if (observer) observer->Started(table.RowCount() - 1);
  {
    RowFormatter formatter(out, separator);
    ok = WriteRows(table, formatter, observer, result);
  }
  // Commit also reports a failed earlier write, and then leaves the target
  // untouched.
  const Result committed = out.Commit(sync);
  if (!committed.ok() || !ok) {
    const std::string reason = committed.ok() ? std::strerror(EIO) : committed.reason();
    result.status = Result::Error(Code::kWriteFailed, failed, reason);
    result.rows_written = 0;
  }
  if (observer) observer->Finished();
  return result;
}

}  // namespace core
