#include "core/Writer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "core/FileUtil.h"
#include "core/LineReader.h"
#include "core/Memory.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

// Bigger than AtomicFileWriter's own buffer, so full chunks go straight to
// write() instead of being copied a second time.
constexpr size_t kChunk = size_t{2} << 20;
static_assert(SpareBytes::kAlign % AtomicFileWriter::kDirectAlign == 0);
// Room a short cell takes at most: its 16 bytes copied whole, then the separator.
constexpr size_t kShortRoom = sizeof(Cell) + 1;

// Rows are short and need not lie one after the other in the pool (edited and
// moved rows do not), so the hardware prefetcher cannot be relied on; asking
// for a row a few rows early keeps the loop running at memory speed.
constexpr int kPrefetchRows = 8;
constexpr size_t kPrefetchBytes = 256;

// Puts full chunks into the file on a thread of its own, so that the next
// chunk is formatted while the last one goes to the file: the two take about
// as long. The thread starts with the first chunk handed over, so a small
// file is written by the calling thread alone, and when it cannot be started
// the chunks are written in place.
class ChunkWriter {
 public:
  explicit ChunkWriter(AtomicFileWriter& out) : out_(out) {}
  ChunkWriter(const ChunkWriter&) = delete;
  ChunkWriter& operator=(const ChunkWriter&) = delete;
  ~ChunkWriter() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Hands over the n bytes at p, which must stay as they are until Wait()
  // returns; waits for the chunk handed over before. False once a write
  // failed.
  bool Hand(const char* p, size_t n) {
    if (!Wait()) return false;
    if (alone_ || (!thread_.joinable() && !Start())) return out_.Write(p, n);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      chunk_ = p;
      size_ = n;
    }
    changed_.notify_all();
    return true;
  }
  // Waits until everything handed over is in the file (or failed to get
  // there); false once a write failed.
  bool Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return chunk_ == nullptr; });
    return ok_;
  }

 private:
  bool Start() {
    try {
      thread_ = std::thread([this] { Run(); });
      return true;
    } catch (const std::system_error&) {
      alone_ = true;  // no thread to be had: every chunk in place
      return false;
    }
  }
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return chunk_ != nullptr || stop_; });
      if (chunk_ == nullptr) return;
      const char* p = chunk_;
      const size_t n = size_;
      lock.unlock();
      const bool written = out_.Write(p, n);
      lock.lock();
      ok_ = ok_ && written;
      chunk_ = nullptr;
      changed_.notify_all();
    }
  }

  AtomicFileWriter& out_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const char* chunk_ = nullptr;  // handed over, not yet written
  size_t size_ = 0;
  bool ok_ = true;
  bool stop_ = false;
  bool alone_ = false;
};

// Formats rows into a large buffer that is handed to the file in chunks:
// two buffers in turn, one filled while the other is written.
class RowFormatter {
 public:
  RowFormatter(AtomicFileWriter& out, char separator, bool quoted)
      : out_(out), writer_(out), sep_(separator), quoted_(quoted) {
    // Aligned, so that a save straight to the disk takes full chunks as
    // they are; the last save's, when there was one.
    for (auto& buffer : buffers_) buffer = SpareBytes(kChunk);
    buf_ = buffers_[0].get();
    pos_ = buf_;
    end_ = buf_ + kChunk;
    for (const char c : {separator, '"', '\r', '\n', kCtrlZ}) {
      needs_quotes_[static_cast<unsigned char>(c)] = true;
    }
  }

  // Appends one line of quoted fields; false once the file reported a failure.
  bool QuotedRow(const Cell* cells, size_t stored, size_t col_count) {
    const size_t stored_end = std::min(stored, col_count);
    size_t c = 1;
    while (c < col_count) {
      if (col_count > 2) {
        // Short cells that need no quotes, as many as the buffer surely
        // holds, go without checks; the next cell goes the careful way,
        // and then the run goes on.
        const size_t stop = std::min(stored_end, c + static_cast<size_t>(end_ - pos_) / kShortRoom);
        char* pos = pos_;
        const char sep = sep_;
        for (; c < stop && cells[c].IsInline() && !ShortNeedsQuotes(cells[c]); ++c) {
          if (c > 1) *pos++ = sep;
          pos = CopyShort(cells[c], pos);
        }
        pos_ = pos;
        if (c == col_count) break;
      }
      if (c > 1 && !Put(sep_)) return false;
      const std::string_view text = c < stored_end ? cells[c].view() : std::string_view();
      if (!Field(text, col_count == 2)) return false;
      ++c;
    }
    if (end_ - pos_ < 2 && !Flush()) return false;
    pos_[0] = '\r';
    pos_[1] = '\n';
    pos_ += 2;
    return true;
  }

  bool quoted() const { return quoted_; }

  // Appends one line; false once the file reported a failure.
  bool Row(const Cell* cells, size_t stored, size_t col_count) {
    const size_t stored_end = std::min(stored, col_count);
    size_t c = 1;
    while (c < stored_end) {
      // As many short cells as the buffer surely holds go without checks (a
      // row of millions of cells, as a transposed table has, in many runs);
      // a long cell goes the careful way.
      const size_t room = static_cast<size_t>(end_ - pos_) / kShortRoom;
      if (room == 0) {
        if (!Flush()) return false;
        continue;
      }
      const size_t stop = std::min(stored_end, c + room);
      char* pos = pos_;
      const char sep = sep_;
      for (; c < stop && cells[c].IsInline(); ++c) {
        pos = CopyShort(cells[c], pos);
        *pos++ = sep;
      }
      pos_ = pos;
      if (c < stop) {
        if (!Append(cells[c].view())) return false;
        *pos_++ = sep_;
        ++c;
      }
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

  // Whether a short cell holds a byte that puts it in quotes.
  bool ShortNeedsQuotes(const Cell& cell) const {
    const std::string_view text = cell.view();
#if defined(__SSE2__)
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
    const __m128i hit = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8(sep_)), _mm_cmpeq_epi8(x, _mm_set1_epi8('"'))),
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\r')),
                                  _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))),
                     _mm_cmpeq_epi8(x, _mm_set1_epi8(kCtrlZ))));
    const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(hit));
    return (bits & ((1u << text.size()) - 1)) != 0;
#else
    for (const char c : text) {
      if (needs_quotes_[static_cast<unsigned char>(c)]) return true;
    }
    return false;
#endif
  }

  // A fixed 16-byte copy is cheaper than one of variable length; the bytes
  // past the text are overwritten by what follows.
  static char* CopyShort(const Cell& cell, char* pos) {
    const std::string_view text = cell.view();
    std::memcpy(pos, text.data(), sizeof(Cell));
    return pos + text.size();
  }

  // Hands the buffer's bytes to the file and goes on in the other buffer.
  // Unless `all`, only whole pages go: the bytes after the last page boundary
  // move to the front of the other buffer, so that a save straight to the
  // disk gets every chunk as it is, without a copy into its own buffer.
  bool Flush(bool all = false) {
    const size_t n = static_cast<size_t>(pos_ - buf_);
    const size_t whole = all ? n : n & ~(AtomicFileWriter::kDirectAlign - 1);
    if (whole == 0) return true;
    const bool ok = writer_.Hand(buf_, whole);  // the other buffer is free again
    turn_ ^= 1;
    char* const next = buffers_[turn_].get();
    std::memcpy(next, buf_ + whole, n - whole);
    buf_ = next;
    end_ = buf_ + kChunk;
    pos_ = buf_ + (n - whole);
    return ok;
  }
  // Everything formatted so far into the file; false once a write failed.
  bool Finish() { return Flush(/*all=*/true) && writer_.Wait(); }

 private:
  bool Put(char c) {
    if (pos_ == end_ && !Flush()) return false;
    *pos_++ = c;
    return true;
  }

  // One field of a quoted line; `only`: the line's only field, which is put
  // in quotes even when empty.
  bool Field(std::string_view text, bool only) {
    bool quote = only && text.empty();
    for (const char c : text) quote |= needs_quotes_[static_cast<unsigned char>(c)];
    auto append = [this](std::string_view part) { return part.empty() || Append(part); };
    if (!quote) return append(text);
    if (!Put('"')) return false;
    for (size_t start = 0;;) {
      const size_t q = text.find('"', start);
      if (q == std::string_view::npos) {
        if (!append(text.substr(start))) return false;
        break;
      }
      if (!append(text.substr(start, q + 1 - start)) || !Put('"')) return false;
      start = q + 1;
    }
    return Put('"');
  }

  // A long text; leaves room for the separator after it.
  bool Append(std::string_view text) {
    if (text.size() + 1 > static_cast<size_t>(end_ - pos_)) {
      if (text.size() + 1 > kChunk - AtomicFileWriter::kDirectAlign) {
        // Too long for a buffer: everything before it goes first.
        return Flush(/*all=*/true) && writer_.Wait() && out_.Write(text);
      }
      if (!Flush()) return false;
    }
    std::memcpy(pos_, text.data(), text.size());
    pos_ += text.size();
    return true;
  }

  AtomicFileWriter& out_;
  SpareBytes buffers_[2];
  ChunkWriter writer_;  // after the buffers: it may write from them until it ends
  int turn_ = 0;
  char* buf_;  // the buffer being filled
  char* pos_;
  char* end_;
  char sep_;
  bool quoted_;
  std::array<bool, 256> needs_quotes_{};  // the bytes that put a field in quotes
};

// Whether [p, p+n) holds the separator, CR or LF.
bool HoldsLineOrSeparator(const char* p, size_t n, char sep) {
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == sep || p[i] == '\n' || p[i] == '\r') return true;
  }
  return false;
}

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
    const bool written =
        formatter.quoted()
            ? formatter.QuotedRow(table.StoredCells(r), table.StoredLength(r), col_count)
            : formatter.Row(table.StoredCells(r), table.StoredLength(r), col_count);
    if (!written) return false;
    result.rows_written = r;
    if (observer) {
      observer->Progress(r);
      if (observer->EscapePressed()) {
        result.status = Result::Error(Code::kStopped, {});
        break;
      }
    }
  }
  return formatter.Finish();
}

}  // namespace

WriteResult WriteTable(const Table& table, const std::string& path, char separator,
                       ProgressObserver* observer, bool sync, bool quoted) {
  const std::string failed = "Datei " + path +
                             " konnte nicht gespeichert werden. Eine vorhandene Datei dieses "
                             "Namens bleibt unverändert";
  WriteResult result;
  AtomicFileWriter out;
  // A synced save has to reach the disk anyway: it goes there straight.
  if (const Result opened = out.Open(path, /*direct=*/sync); !opened.ok()) {
    result.status = Result::Error(Code::kCreateFailed, failed, opened.reason());
    return result;
  }
  bool ok;
  if (observer) observer->Started(table.RowCount() - 1);
  {
    RowFormatter formatter(out, separator, quoted);
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

int64_t CellsNeedingQuotes(const Table& table, char separator) {
  const size_t col_count = static_cast<size_t>(std::max(table.ColCount(), 0));
  int64_t count = 0;
#if defined(__SSE2__)
  const __m128i sep = _mm_set1_epi8(separator);
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
#endif
  for (int r = 1; r < table.RowCount(); ++r) {
    const Cell* cells = table.StoredCells(r);
    const size_t end = std::min(table.StoredLength(r), col_count);
    for (size_t c = 1; c < end; ++c) {
      const Cell& cell = cells[c];
#if defined(__SSE2__)
      if (cell.IsInline()) {
        // A short text lies inside the cell: one compare of its 16 bytes,
        // the ones past the text masked off.
        const auto* raw = reinterpret_cast<const unsigned char*>(&cell);
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw));
        const __m128i hit = _mm_or_si128(
            _mm_cmpeq_epi8(x, sep), _mm_or_si128(_mm_cmpeq_epi8(x, lf), _mm_cmpeq_epi8(x, cr)));
        count += (static_cast<unsigned>(_mm_movemask_epi8(hit)) & ((1u << raw[15]) - 1)) != 0;
        continue;
      }
#endif
      const std::string_view text = cell.view();
      count += HoldsLineOrSeparator(text.data(), text.size(), separator);
    }
  }
  return count;
}

}  // namespace core
