#include "core/Loader.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "core/LineReader.h"
#include "core/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

constexpr int kDetectLines = 100;
constexpr int kCounterWrap = 10000;
constexpr char kCandidates[] = {';', ',', '\t'};

size_t CountFields(const std::string& line, char sep) {
  if (line.empty()) return 0;
  return 1 + static_cast<size_t>(std::count(line.begin(), line.end(), sep));
}

// Writes the decimal number into buf (at least 20 bytes), returns its length.
size_t FormatNumber(int64_t v, char* buf) {
  char tmp[24];
  size_t n = 0;
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  for (size_t i = 0; i < n; ++i) buf[i] = tmp[n - 1 - i];
  return n;
}

// The state of one load: detection, the reading pass and the finish.
class Loader {
 public:
  Loader(Table& table, LoadObserver& observer) : table_(table), observer_(observer) {}

  LoadResult Run(const std::string& path, bool auto_detect, bool simple) {
    if (!reader_.Open(path)) return OpenFailed();
    if (auto_detect) {
      bool ok = false;
      try {
        ok = Detect();
      } catch (const std::bad_alloc&) {
        // The header row of a line with millions of fields did not fit.
        table_.SetColCount(2);
        table_.SetRowCount(2);
        result_.status = LoadResult::Status::kOutOfMemory;
        Finish();
        return result_;
      }
      if (!ok) return OpenFailed();
    } else {
      result_.separator = observer_.ConfiguredSeparator();
    }
    sep_ = result_.separator;

    observer_.ReadingStarted();
    if (!reader_.Rewind()) {
      result_.status = LoadResult::Status::kReadFailed;
    } else {
      ReserveRows();
      const bool line_char = sep_ == '\n' || sep_ == '\r' || sep_ == kCtrlZ;
      if (simple || line_char) {
        ReadSimple();
      } else {
        ReadFast();
      }
      if (result_.lines_read == 0 && !stop_) {
        // The reading loop always reads once, also in an empty file.
        EndLine();
      }
      if (reader_.failed() && result_.status == LoadResult::Status::kLoaded) {
        result_.status = LoadResult::Status::kReadFailed;
      }
    }
    if (result_.status == LoadResult::Status::kReadFailed) result_.error = reader_.error();
    Finish();
    return result_;
  }

 private:
  LoadResult OpenFailed() {
    reader_.Close();
    result_.status = LoadResult::Status::kOpenFailed;
    result_.error = reader_.error();
    return result_;
  }

  bool Detect() {
    std::string line;
    for (char candidate : kCandidates) {
      result_.separator = candidate;
      if (!reader_.Rewind()) return false;
      for (int i = 0; i < kDetectLines && !reader_.AtEof(); ++i) {
        reader_.ReadLine(&line);
        if (reader_.failed()) return false;
        const size_t n = CountFields(line, candidate);
        if (n > 2) {
          result_.detected = true;
          const int cols = n + 1 > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n + 1);
          table_.SetColCount(cols);
          Cell* header = table_.ResizeRow(0, static_cast<size_t>(cols));
          char num[24];
          for (int j = 1; j < cols; ++j) header[j] = Cell::Inline(num, FormatNumber(j, num));
          return true;
        }
      }
      if (reader_.failed()) return false;
    }
    return true;  // nobody decided: TAB, the last candidate
  }

  // Room for the rows the file will likely give, so the row directory is not
  // copied while it grows. A guess from the first block; wrong guesses only
  // cost the usual growth.
  void ReserveRows() {
    const uint64_t size = reader_.file_size();
    if (size == 0 || !reader_.Fill()) return;
    const size_t sample = reader_.end() - reader_.pos();
    const size_t lfs = static_cast<size_t>(
        std::count(reader_.data() + reader_.pos(), reader_.data() + reader_.end(), '\n'));
    const double estimate = static_cast<double>(size) * static_cast<double>(lfs + 1) /
                                static_cast<double>(sample) * 1.05 +
                            16;
    if (estimate > 1e9) return;
    try {
      table_.ReserveRows(static_cast<size_t>(estimate));
    } catch (const std::bad_alloc&) {
      // Not fatal: the rows then grow step by step until memory really ends.
    }
  }

  // The fields of the line being read go straight into the table's pool, at
  // row_[1..nfields_]; row_[0] is kept for the row number.
  void OpenRow() {
    row_ = table_.OpenRow();
    room_ = table_.OpenRowRoom();
  }
  void GrowRow() {
    // Cells 1..nfields_ are written (none while the pool is still empty).
    const size_t used = room_ ? nfields_ + 1 : 0;
    row_ = table_.GrowOpenRow(used, std::max<size_t>((nfields_ + 2) * 2, 64));
    room_ = table_.OpenRowRoom();
  }
  void PushField(const char* p, size_t n) {
    if (nfields_ + 1 >= room_) GrowRow();
    row_[++nfields_] = table_.MakeCellPadded(p, n);
  }
  void PushFieldSafe(const char* p, size_t n) {
    if (nfields_ + 1 >= room_) GrowRow();
    row_[++nfields_] = table_.MakeCell({p, n});
  }

  // One line has been read; its fields (if any) are in row_[1..n].
  // Returns false when the reading is to stop.
  bool EndLine() {
    ++result_.lines_read;
    if (++counter_ > kCounterWrap) counter_ = 0;
    const size_t n = nfields_;
    nfields_ = 0;
    if (n > 0 && !StoreRow(n)) {
      stop_ = true;
      return false;
    }
    if (counter_ % 100 == 0) observer_.Progress(counter_, result_.stored_rows);
    if (observer_.EscapePressed() && !observer_.ConfirmContinue()) {
      result_.stopped = true;
      stop_ = true;
      return false;
    }
    return true;
  }

  bool StoreRow(size_t n) {
    const int64_t k = result_.stored_rows + 1;
    if (k >= INT_MAX || n >= static_cast<size_t>(INT_MAX)) {
      result_.status = LoadResult::Status::kOutOfMemory;
      return false;
    }
    try {
      if (table_.RowCount() < k + 1) table_.AppendRow();
    } catch (const std::bad_alloc&) {
      // The line whose storing failed is dropped.
      result_.status = LoadResult::Status::kOutOfMemory;
      return false;
    }
    if (table_.ColCount() < static_cast<int>(n + 1)) table_.SetColCount(static_cast<int>(n + 1));
    char num[24];
    row_[0] = Cell::Inline(num, FormatNumber(k, num));
    table_.CommitOpenRow(static_cast<int>(k), n + 1);
    OpenRow();
    result_.stored_rows = k;
    if (n > widest_) widest_ = n;
    return true;
  }

  // Splits an already cleaned line text (no CR, no Ctrl-Z) into scratch_.
  void SplitIntoScratch(const char* p, size_t n) {
    if (n == 0) return;
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == sep_) {
        PushFieldSafe(p + start, i - start);
        start = i + 1;
      }
    }
    PushFieldSafe(p + start, n - start);
  }

  void ReadSimple() {
    OpenRow();
    std::string line;
    while (!stop_) {
      reader_.ReadLine(&line);
      if (!line.empty()) {
        try {
          SplitIntoScratch(line.data(), line.size());
        } catch (const std::bad_alloc&) {
          result_.status = LoadResult::Status::kOutOfMemory;
          break;
        }
        if (!utf8_bad_ && !IsValidUtf8(line)) utf8_bad_ = true;
      }
      if (!EndLine()) break;
      if (reader_.AtEof()) break;
    }
  }

  // A line that holds a CR somewhere other than before its LF: cleaned the
  // slow way. [p, p+n) is the raw line without its LF.
  bool SlowLine(const char* p, size_t n) {
    std::string text;
    text.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == kCtrlZ) break;
      if (p[i] != '\r') text.push_back(p[i]);
    }
    nfields_ = 0;
    SplitIntoScratch(text.data(), text.size());
    if (!utf8_bad_ && !IsValidUtf8(text)) utf8_bad_ = true;
    return EndLine();
  }

#if defined(__SSE2__)
  struct Vectors {
    __m128i sep, lf, cr, sub;
  };
  static uint64_t SpecialMask(const char* p, const Vectors& v, int* high) {
    uint64_t m = 0;
    int hi = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
      const __m128i e =
          _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v.sep), _mm_cmpeq_epi8(x, v.lf)),
                       _mm_or_si128(_mm_cmpeq_epi8(x, v.cr), _mm_cmpeq_epi8(x, v.sub)));
      m |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(e))) << (16 * k);
      hi |= _mm_movemask_epi8(x);
    }
    *high |= hi;
    return m;
  }
#else
  struct Vectors {
    char sep;
  };
  static uint64_t SpecialMask(const char* p, const Vectors& v, int* high) {
    uint64_t m = 0;
    for (int k = 0; k < 64; ++k) {
      const char c = p[k];
      if (c == v.sep || c == '\n' || c == '\r' || c == kCtrlZ) m |= uint64_t{1} << k;
      if (static_cast<unsigned char>(c) >= 0x80) *high = 1;
    }
    return m;
  }
#endif

  // Scans [b, e) of the reader's buffer, which holds complete lines, or the
  // file's last line when `final`. Returns false when the reading stops.
  bool ProcessRegion(const char* buf, size_t b, size_t e, bool final) {
#if defined(__SSE2__)
    const Vectors v{_mm_set1_epi8(sep_), _mm_set1_epi8('\n'), _mm_set1_epi8('\r'),
                    _mm_set1_epi8(kCtrlZ)};
#else
    const Vectors v{sep_};
#endif
    int high = 0;
    size_t line_start = b;
    size_t field_start = b;
    size_t i = b;
    // The UTF-8 check covers exactly the bytes the line-by-line reading
    // loads: [unchecked, to) is checked at each point where bytes are stepped
    // over (behind a Ctrl-Z; lines with a stray CR, which SlowLine checks
    // cleaned) and before every early return, so that a stop keeps the flag
    // right for the rows stored.
    size_t unchecked = b;
    auto check = [&](size_t to) {
      if (high && !utf8_bad_ && to > unchecked && !IsValidUtf8({buf + unchecked, to - unchecked})) {
        utf8_bad_ = true;
      }
      unchecked = to;
    };
    nfields_ = 0;
    try {
      while (i < e) {
        uint64_t m = SpecialMask(buf + i, v, &high);
        if (e - i < 64) m &= (uint64_t{1} << (e - i)) - 1;
        size_t jump = 0;  // non-zero: continue the scan there
        while (m) {
          const size_t pos = i + static_cast<size_t>(__builtin_ctzll(m));
          m &= m - 1;
          const char c = buf[pos];
          if (c == sep_) {
            PushField(buf + field_start, pos - field_start);
            field_start = pos + 1;
          } else if (c == '\n') {
            if (pos > line_start) PushField(buf + field_start, pos - field_start);
            if (!EndLine()) {
              check(pos);
              return false;
            }
            line_start = field_start = pos + 1;
          } else if (c == '\r') {
            if ((pos + 1 < e && buf[pos + 1] == '\n') || (pos + 1 == e && final)) {
              if (pos > line_start) PushField(buf + field_start, pos - field_start);
              if (!EndLine()) {
                check(pos);
                return false;
              }
              jump = std::min(pos + 2, e);
            } else {
              const char* lf = static_cast<const char*>(std::memchr(buf + pos, '\n', e - pos));
              const size_t line_end = lf ? static_cast<size_t>(lf - buf) : e;
              jump = lf ? line_end + 1 : e;
              check(line_start);
              const bool go_on = SlowLine(buf + line_start, line_end - line_start);
              unchecked = jump;
              if (!go_on) return false;
            }
            line_start = field_start = jump;
            break;
          } else {  // Ctrl-Z
            if (pos == line_start) {
              check(pos);
              eof_ = true;  // Ctrl-Z at the start of a line ends the file
              return false;
            }
            PushField(buf + field_start, pos - field_start);
            const bool go_on = EndLine();
            check(pos);
            const char* lf = static_cast<const char*>(std::memchr(buf + pos, '\n', e - pos));
            jump = lf ? static_cast<size_t>(lf - buf) + 1 : e;
            unchecked = jump;
            if (!go_on) return false;
            line_start = field_start = jump;
            break;
          }
        }
        i = jump ? jump : i + 64;
      }
      if (final && line_start < e) {
        PushField(buf + field_start, e - field_start);
        if (!EndLine()) {
          check(e);
          return false;
        }
      }
    } catch (const std::bad_alloc&) {
      check(line_start);  // the line that did not fit is not loaded
      throw;
    }
    check(e);
    return true;
  }

  void ReadFast() {
    OpenRow();
    try {
      while (!stop_) {
        if (reader_.pos() == reader_.end() && !reader_.Fill()) break;
        const char* buf = reader_.data();
        size_t b = reader_.pos();
        const void* last_lf = ::memrchr(buf + b, '\n', reader_.end() - b);
        size_t e;
        bool final = false;
        if (last_lf) {
          e = static_cast<size_t>(static_cast<const char*>(last_lf) - buf) + 1;
        } else {
          if (reader_.Fill()) continue;  // the line goes on in the next block
          if (reader_.failed()) break;
          // Fill moved the unread bytes to the front of the buffer.
          buf = reader_.data();
          b = reader_.pos();
          e = reader_.end();
          final = true;
        }
        const bool go_on = ProcessRegion(buf, b, e, final);
        reader_.set_pos(e);
        if (!go_on) break;
      }
    } catch (const std::bad_alloc&) {
      // A long field did not fit into the arena: the line is dropped.
      nfields_ = 0;
      result_.status = LoadResult::Status::kOutOfMemory;
    }
  }

  void Finish() {
    reader_.Close();
    if (result_.stored_rows > 0) table_.SetColCount(static_cast<int>(widest_ + 1));
    table_.set_utf8(!utf8_bad_);
  }

  Table& table_;
  LoadObserver& observer_;
  FileReader reader_;
  LoadResult result_;
  char sep_ = '\t';
  int counter_ = 0;
  size_t widest_ = 0;
  bool stop_ = false;
  Cell* row_ = nullptr;
  size_t room_ = 0;
  size_t nfields_ = 0;
  bool utf8_bad_ = false;
  bool eof_ = false;
};

}  // namespace

LoadResult LoadTable(const std::string& path, bool auto_detect, Table& table,
                     LoadObserver& observer) {
  return Loader(table, observer).Run(path, auto_detect, /*simple=*/false);
}

LoadResult LoadTableSimple(const std::string& path, bool auto_detect, Table& table,
                           LoadObserver& observer) {
  return Loader(table, observer).Run(path, auto_detect, /*simple=*/true);
}

}  // namespace core
