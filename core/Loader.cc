#include "core/Loader.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "core/LineReader.h"
#include "core/Memory.h"
#include "core/TableBuilder.h"
#include "core/Text.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

constexpr int kDetectLines = 100;
// Blocks are taken ahead while at least this much of the file is unread.
constexpr uint64_t kAheadBytes = uint64_t{256} << 20;
constexpr int kCounterWrap = 10000;
constexpr char kCandidates[] = {';', ',', '\t'};

// When and how the reading pass splits its blocks between two threads.
ParallelLoad& Split() {
  static ParallelLoad split;
  return split;
}

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

// Appends like std::string::append, but a text that outgrows the headroom
// fails with std::bad_alloc before the system would kill the program for it.
void AppendChecked(std::string* s, const char* p, size_t n) {
  const size_t need = s->size() + n;
  if (need > s->capacity()) {
    const size_t cap = std::max(need, s->capacity() * 2);
    if (cap > kUncheckedLineBytes) ReserveMemory(cap);
    s->reserve(cap);
  }
  s->append(p, n);
}

void PushChecked(std::string* s, int c) {
  const char ch = static_cast<char>(c);
  if (s->size() < s->capacity()) {
    s->push_back(ch);
  } else {
    AppendChecked(s, &ch, 1);
  }
}

// The bytes of the file for the byte-wise reading of quoted fields, at most
// `max_lines` LFs of them.
class FileBytes {
 public:
  explicit FileBytes(FileReader& reader, int max_lines = INT_MAX)
      : r_(reader), lines_left_(max_lines) {}
  // The next byte (0..255), or -1 at the end.
  int Peek() {
    if (lines_left_ == 0 || (r_.pos() == r_.end() && !r_.Fill())) return -1;
    return static_cast<unsigned char>(r_.data()[r_.pos()]);
  }
  int Get() {
    const int c = Peek();
    if (c >= 0) {
      r_.set_pos(r_.pos() + 1);
      if (c == '\n') --lines_left_;
    }
    return c;
  }

 private:
  FileReader& r_;
  int lines_left_;
};

// The same over the bytes [p, p+n) of the reader's buffer; hit_end tells
// that a byte past them was asked for.
class SpanBytes {
 public:
  SpanBytes(const char* p, size_t n) : p_(p), n_(n) {}
  int Peek() {
    if (i_ == n_) {
      hit_end = true;
      return -1;
    }
    return static_cast<unsigned char>(p_[i_]);
  }
  int Get() {
    const int c = Peek();
    if (c >= 0) ++i_;
    return c;
  }
  size_t pos() const { return i_; }
  bool hit_end = false;

 private:
  const char* p_;
  size_t n_;
  size_t i_ = 0;
};

#if defined(__SSE2__)
struct Vectors {
  explicit Vectors(char sep)
      : sep(_mm_set1_epi8(sep)),
        lf(_mm_set1_epi8('\n')),
        cr(_mm_set1_epi8('\r')),
        sub(_mm_set1_epi8(kCtrlZ)),
        quote(_mm_set1_epi8('"')) {}
  __m128i sep, lf, cr, sub, quote;
};
// Bit k: p[k] is the separator, LF, CR or Ctrl-Z. *high gets a bit set when
// any of the 64 bytes is 0x80 or above.
inline uint64_t SpecialMask(const char* p, const Vectors& v, int* high) {
  uint64_t m = 0;
  int hi = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i e = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v.sep), _mm_cmpeq_epi8(x, v.lf)),
                                   _mm_or_si128(_mm_cmpeq_epi8(x, v.cr), _mm_cmpeq_epi8(x, v.sub)));
    m |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(e))) << (16 * k);
    hi |= _mm_movemask_epi8(x);
  }
  *high |= hi;
  return m;
}
// As SpecialMask, with the quote as a special byte too; *quotes gets the
// quotes alone.
inline uint64_t QuotedMask(const char* p, const Vectors& v, int* high, uint64_t* quotes) {
  uint64_t m = 0;
  uint64_t q = 0;
  int hi = 0;
  for (int k = 0; k < 4; ++k) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    const __m128i qe = _mm_cmpeq_epi8(x, v.quote);
    const __m128i e =
        _mm_or_si128(_mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, v.sep), _mm_cmpeq_epi8(x, v.lf)),
                                  _mm_or_si128(_mm_cmpeq_epi8(x, v.cr), _mm_cmpeq_epi8(x, v.sub))),
                     qe);
    m |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(e))) << (16 * k);
    q |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(qe))) << (16 * k);
    hi |= _mm_movemask_epi8(x);
  }
  *high |= hi;
  *quotes = q;
  return m;
}
#else
struct Vectors {
  explicit Vectors(char s) : sep(s) {}
  char sep;
};
inline uint64_t SpecialMask(const char* p, const Vectors& v, int* high) {
  uint64_t m = 0;
  for (int k = 0; k < 64; ++k) {
    const char c = p[k];
    if (c == v.sep || c == '\n' || c == '\r' || c == kCtrlZ) m |= uint64_t{1} << k;
    if (static_cast<unsigned char>(c) >= 0x80) *high = 1;
  }
  return m;
}
inline uint64_t QuotedMask(const char* p, const Vectors& v, int* high, uint64_t* quotes) {
  uint64_t q = 0;
  for (int k = 0; k < 64; ++k) {
    if (p[k] == '"') q |= uint64_t{1} << k;
  }
  *quotes = q;
  return SpecialMask(p, v, high) | q;
}
#endif

// One scan over [line_start, end) of the reader's buffer.
struct Region {
  const char* buf;
  size_t end;
  bool final;  // the file's last line, without a line end, closes the region
  size_t line_start;
  size_t field_start;
  // The UTF-8 check covers exactly the bytes the line-by-line reading loads:
  // [unchecked, to) is checked at each point where bytes are stepped over
  // (behind a Ctrl-Z; lines with a stray CR, which SlowLine checks cleaned)
  // and before every early return, so that a stop keeps the flag right for
  // the rows stored.
  size_t unchecked;
  int high = 0;  // a byte of 0x80 or above was seen
};

class Helper;

// One line read by the helper thread: its cells (numbered as the helper
// expects; the reader renumbers them when it stored fewer rows), nothing for
// an empty line, and whether the bytes read up to its end were all valid
// UTF-8.
struct HelperLine {
  Cell* cells;
  uint32_t n;
  bool utf8_bad;
};

// What the helper read of one region.
struct HelperLog {
  std::vector<HelperLine> lines;
  bool ended = false;   // a Ctrl-Z at the start of a line: the file ends there
  bool oom = false;     // a line did not fit; the lines before it are logged
  bool failed = false;  // the reading failed behind the lines logged
  std::string error;
  void Clear() {
    lines.clear();
    ended = oom = failed = false;
    error.clear();
  }
};

// The state of one load: detection, the reading pass and the finish.
class Loader {
 public:
  Loader(Table& table, LoadObserver& observer, bool quoted)
      : table_(table), build_(table), observer_(observer), quoted_(quoted) {}
  ~Loader();

  // A loader that only reads blocks handed to it, on the helper thread,
  // into `table`'s pool, and logs the lines instead of storing rows.
  struct Helping {};
  Loader(Helping, Table& table, LoadObserver& observer, char sep)
      : table_(table), build_(table), observer_(observer), sep_(sep), helping_(true) {
    OpenRow();
  }

  // The helper's side: reads the lines that start in [from, to) of the
  // file open as fd into the log, while the reader reads others.
  void ReadForReader(int fd, uint64_t from, uint64_t to, uint64_t size, bool ahead) {
    much_to_come_ = ahead;
    log_.Clear();
    try {
      region_.Reserve(RegionBytesMost());
      const bool read = region_.Read(fd, from, to, size);
      if (region_.end() > region_.begin()) {
        log_.ended =
            !ProcessRegion(region_.data(), region_.begin(), region_.end(), region_.final());
      }
      if (!read && !log_.ended) {
        log_.failed = true;
        log_.error = region_.error();
      }
    } catch (const std::bad_alloc&) {
      log_.oom = true;  // the lines before stay
    }
  }
  // Only while the helper waits.
  void TakeLog(HelperLog* out) { std::swap(*out, log_); }

  LoadResult Run(const std::string& path, bool auto_detect, bool simple) {
    path_ = path;
    if (!reader_.Open(path)) {
      OpenFailed();
      return result_;
    }
    if (ChooseSeparator(auto_detect)) {
      if (!quoted_) HintQuotes();
      observer_.Started(kCounterWrap);
      ReadAll(simple);
      observer_.Finished();
    }
    Finish();
    return result_;
  }

 private:
  void Fail(Code code) {
    std::string message = kOutOfMemoryText;
    if (code == Code::kOpenFailed) {
      message = "Datei " + path_ + " ist schon von anderem Programm geöffnet";
    } else if (code == Code::kReadFailed) {
      message = "Datei " + path_ +
                " konnte nicht vollständig gelesen werden. Angezeigt werden die Zeilen bis zur "
                "Fehlerstelle";
    }
    std::string detail;
    if (code != Code::kOutOfMemory) detail = read_error_.empty() ? reader_.error() : read_error_;
    result_.status = Result::Error(code, std::move(message), std::move(detail));
  }

  void OpenFailed() {
    Fail(Code::kOpenFailed);
    reader_.Close();
    opened_ = false;
  }

  // The line being stored did not fit: it is dropped, and the reading ends.
  void OutOfMemory() {
    nfields_ = 0;
    stop_ = true;
    Fail(Code::kOutOfMemory);
  }

  // False when the load ends here (the file failed, or its header row did
  // not fit).
  bool ChooseSeparator(bool auto_detect) {
    if (!auto_detect) {
      sep_ = result_.separator = observer_.ConfiguredSeparator();
      return true;
    }
    bool ok = false;
    if (!CatchOutOfMemory([&] { ok = Detect(); }).ok()) {
      // The header row of a line with millions of fields did not fit.
      table_.SetColCount(2);
      table_.SetRowCount(2);
      Fail(Code::kOutOfMemory);
      return false;
    }
    if (!ok) OpenFailed();
    sep_ = result_.separator;
    return ok;
  }

  bool Detect() {
    if (quoted_) return DetectQuoted();
    std::string line;
    for (char candidate : kCandidates) {
      result_.separator = candidate;
      if (!reader_.Rewind()) return false;
      for (int i = 0; i < kDetectLines && !reader_.AtEof(); ++i) {
        reader_.ReadLine(&line);
        if (reader_.failed()) return false;
        const size_t n = CountFields(line, candidate);
        if (n > 2) {
          Decide(n);
          return true;
        }
      }
      if (reader_.failed()) return false;
    }
    return true;  // nobody decided: TAB, the last candidate
  }

  // Detection over the records that start in the first lines; a record cut
  // by the end of the probe counts with the fields read so far.
  bool DetectQuoted() {
    for (char candidate : kCandidates) {
      result_.separator = candidate;
      if (!reader_.Rewind()) return false;
      FileBytes in(reader_, kDetectLines);
      size_t n = 0;
      bool unclosed = false;
      while (ReadRecord(
          in, candidate, [&](const std::string&) { ++n; }, &unclosed)) {
        if (reader_.failed()) return false;
        if (n > 2) {
          Decide(n);
          return true;
        }
        n = 0;
      }
      if (reader_.failed()) return false;
    }
    return true;
  }

  void Decide(size_t fields) {
    result_.detected = true;
    WriteColumnNumbers(fields + 1 > static_cast<size_t>(INT_MAX) ? INT_MAX
                                                                 : static_cast<int>(fields + 1));
  }

  // Whether the probed lines hold a quote at all; most files have none, and
  // then they need not be looked at byte by byte.
  bool ProbedLinesHoldAQuote() {
    int lines = kDetectLines;
    while (lines > 0 && (reader_.pos() < reader_.end() || reader_.Fill())) {
      const char* const p = reader_.data() + reader_.pos();
      const char* const e = reader_.data() + reader_.end();
      const char* cut = p;
      while (lines > 0 && cut < e) {
        const void* lf = std::memchr(cut, '\n', static_cast<size_t>(e - cut));
        if (!lf) {
          cut = e;
          break;
        }
        cut = static_cast<const char*>(lf) + 1;
        --lines;
      }
      if (std::memchr(p, '"', static_cast<size_t>(cut - p))) return true;
      reader_.set_pos(static_cast<size_t>(cut - reader_.data()));
    }
    return false;
  }

  // Quoted fields off: reads the probed lines once more, byte by byte and
  // without storing them, for a field that starts with a quote and holds the
  // separator before its closing quote or the line's end. A failure here is
  // left to the reading pass.
  void HintQuotes() {
    if (sep_ == '"' || sep_ == '\n' || sep_ == '\r' || sep_ == kCtrlZ || !reader_.Rewind()) return;
    if (!ProbedLinesHoldAQuote() || !reader_.Rewind()) return;
    const int sep = static_cast<unsigned char>(sep_);
    FileBytes in(reader_, kDetectLines);
    for (int c = in.Peek(); c >= 0 && c != kCtrlZ; c = in.Peek()) {
      bool field_start = true;
      bool quoted = false;
      while ((c = in.Get()) >= 0 && c != '\n') {
        if (c == '\r') continue;
        if (c == kCtrlZ) {
          while ((c = in.Get()) >= 0 && c != '\n') {
          }
          break;
        }
        if (quoted) {
          if (c == sep) {
            result_.looks_quoted = true;
            return;
          }
          if (c != '"') continue;
          if (in.Peek() == '"') {
            in.Get();  // "" stands for one quote
          } else {
            quoted = false;
          }
          continue;
        }
        quoted = field_start && c == '"';
        field_start = c == sep;
      }
    }
  }

  // Reads one record of quoted fields byte by byte and hands each field to
  // `field_out`; text_ gets the record's bytes as loaded (without the CRs
  // outside quotes and the bytes behind a Ctrl-Z). False, with nothing read,
  // at the end of the bytes or before a Ctrl-Z that starts a record.
  // *unclosed: the bytes ended inside a quoted field.
  template <typename Bytes, typename FieldOut>
  bool ReadRecord(Bytes& in, char separator, FieldOut&& field_out, bool* unclosed) {
    const int sep = static_cast<unsigned char>(separator);
    text_.clear();
    field_.clear();
    int c = in.Peek();
    if (c < 0 || c == kCtrlZ) return false;
    bool field_start = true;
    while ((c = in.Get()) >= 0 && c != '\n') {
      if (c == '\r') continue;
      if (c == kCtrlZ) {
        while ((c = in.Get()) >= 0 && c != '\n') {
        }
        break;
      }
      PushChecked(&text_, c);
      if (c == sep) {
        field_out(field_);
        field_.clear();
        field_start = true;
        continue;
      }
      if (c != '"' || !field_start) {
        field_start = false;
        PushChecked(&field_, c);
        continue;
      }
      field_start = false;
      while ((c = in.Get()) >= 0) {
        PushChecked(&text_, c);
        if (c == '"') {
          if (in.Peek() != '"') break;  // the closing quote
          PushChecked(&text_, in.Get());
        }
        PushChecked(&field_, c);
      }
      if (c < 0) {
        *unclosed = true;
        break;
      }
    }
    if (!text_.empty()) field_out(field_);
    return true;
  }

  void WriteColumnNumbers(int cols) {
    table_.SetColCount(cols);
    Cell* header = build_.ResizeRow(0, static_cast<size_t>(cols));
    char num[24];
    for (int j = 1; j < cols; ++j) header[j] = Cell::Inline(num, FormatNumber(j, num));
  }

  void ReadAll(bool simple) {
    if (!reader_.Rewind()) {
      Fail(Code::kReadFailed);
      return;
    }
    ReserveRows();
    build_.LimitBlocks(BlockCellsMost());
    const bool line_char = sep_ == '\n' || sep_ == '\r' || sep_ == kCtrlZ;
    if (quoted_ && (simple || line_char)) {
      ReadSimpleQuoted();
    } else if (quoted_) {
      ReadFastQuoted();
    } else if (simple || line_char) {
      ReadSimple();
    } else {
      ReadFast();
    }
    if (result_.lines_read == 0 && !stop_) {
      // The reading loop always reads once, also in an empty file.
      EndLine();
    }
    if (reader_.failed() && result_.status.ok()) Fail(Code::kReadFailed);
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
    // Not fatal when it fails: the rows then grow step by step until memory
    // really ends.
    (void)CatchOutOfMemory([&] { build_.ReserveRows(static_cast<size_t>(estimate)); });
  }

  // The fields of the line being read go straight into the table's pool, at
  // row_[1..nfields_]; the row number goes apart, into column 0.
  void OpenRow() {
    row_ = build_.OpenRow();
    room_ = build_.OpenRowRoom();
  }
  // Pool blocks of a sixteenth of the file at most: its cells take about
  // twice its bytes, so the last block of each thread leaves at most a 32nd
  // of them unused. None for a file of unknown size.
  size_t BlockCellsMost() const {
    return static_cast<size_t>(reader_.file_size() / 16 / sizeof(Cell));
  }
  bool MuchToCome() const {
    const uint64_t read = std::max(reader_.bytes_read(), regions_at_);
    return reader_.file_size() > read && reader_.file_size() - read >= kAheadBytes;
  }
  void GrowRow() {
    // Cells 1..nfields_ are written (none while the pool is still empty).
    const size_t used = room_ ? nfields_ + 1 : 0;
    // With much of a big file still to read, the table takes its next
    // block ahead, and the other core has the kernel provide its pages.
    const bool ahead = helping_ ? much_to_come_ : MuchToCome();
    row_ = build_.GrowOpenRow(used, std::max<size_t>((nfields_ + 2) * 2, 64), ahead);
    room_ = build_.OpenRowRoom();
  }
  void PushField(const char* p, size_t n) {
    if (nfields_ + 1 >= room_) GrowRow();
    row_[++nfields_] = build_.MakeCellPadded(p, n);
  }
  void PushFieldSafe(const char* p, size_t n) {
    if (nfields_ + 1 >= room_) GrowRow();
    row_[++nfields_] = build_.MakeCell({p, n});
  }

  // One line has been read; its fields (if any) are in row_[1..n].
  // Returns false when the reading is to stop.
  bool EndLine() {
    if (helping_) return LogLine();
    CountLine();
    const size_t n = nfields_;
    nfields_ = 0;
    if (n > 0 && !StoreRow(n)) {
      stop_ = true;
      return false;
    }
    return ReportLine();
  }

  void CountLine() {
    ++result_.lines_read;
    if (++counter_ > kCounterWrap) counter_ = 0;
  }

  // After each line: the progress every 100 lines, and Escape. False when
  // the user stops the reading.
  bool ReportLine() {
    if (counter_ % 100 == 0) {
      observer_.StoredRows(result_.stored_rows);
      observer_.Progress(counter_);
    }
    if (observer_.EscapePressed() && !observer_.ConfirmContinue()) {
      result_.stopped = true;
      stop_ = true;
      return false;
    }
    return true;
  }

  bool StoreRow(size_t n) {
    if (!RoomForRow(n)) return false;
    const int64_t k = result_.stored_rows + 1;
    build_.MutableHead(static_cast<int>(k)) = RowNumber(k);
    build_.CommitOpenRow(static_cast<int>(k), n + 1);
    OpenRow();
    result_.stored_rows = k;
    if (n > widest_) widest_ = n;
    return true;
  }

  // Row stored_rows + 1 can take n fields.
  bool RoomForRow(size_t n) {
    const int64_t k = result_.stored_rows + 1;
    if (k >= INT_MAX || n >= static_cast<size_t>(INT_MAX)) {
      Fail(Code::kOutOfMemory);
      return false;
    }
    if (table_.RowCount() < k + 1) {
      if (build_.AppendRowFits()) {
        build_.AppendRow();
      } else if (!CatchOutOfMemory([&] { build_.AppendRow(); }).ok()) {
        // The line whose storing failed is dropped.
        Fail(Code::kOutOfMemory);
        return false;
      }
    }
    if (table_.ColCount() < static_cast<int>(n + 1)) table_.SetColCount(static_cast<int>(n + 1));
    return true;
  }

  // The number of row k as a cell. Rows come in order, so the text is
  // counted up from the one before instead of being divided down anew.
  Cell RowNumber(int64_t k) {
    if (k != number_) number_len_ = FormatNumber(number_ = k, number_text_);
    const Cell cell = Cell::InlineFromPadded(number_text_, number_len_);
    size_t i = number_len_;
    while (i > 0 && number_text_[i - 1] == '9') number_text_[--i] = '0';
    if (i > 0) {
      ++number_text_[i - 1];
    } else {  // 9...9 + 1
      number_text_[0] = '1';
      number_text_[number_len_++] = '0';
    }
    ++number_;
    return cell;
  }

  // The helper's EndLine: the line goes into the log, its cells stay where
  // they were read.
  bool LogLine() {
    const size_t n = nfields_;
    nfields_ = 0;
    HelperLine line{nullptr, 0, utf8_bad_};
    if (n > 0) {
      // A line of 2^32 fields is refused when it is stored, like any line
      // of INT_MAX fields or more.
      line.n = static_cast<uint32_t>(std::min<size_t>(n + 1, UINT32_MAX));
      line.cells = build_.TakeOpenRow(n + 1);
      OpenRow();
    }
    log_.lines.push_back(line);
    return true;
  }

  // The lines the helper read, taken as if read here: the same rows, the
  // same progress and the same Escape polls. False when the reading ends.
  bool TakeHelperLines(const HelperLog& log) {
    for (const HelperLine& line : log.lines) {
      CountLine();
      if (line.utf8_bad) utf8_bad_ = true;
      if (line.n > 0) {
        const size_t n = line.n - 1;
        if (line.n == UINT32_MAX || !RoomForRow(n)) {
          stop_ = true;
          return false;
        }
        const int64_t k = result_.stored_rows + 1;
        build_.MutableHead(static_cast<int>(k)) = RowNumber(k);
        build_.PlaceRow(static_cast<int>(k), line.cells, n + 1);
        result_.stored_rows = k;
        if (n > widest_) widest_ = n;
      }
      if (!ReportLine()) return false;
    }
    if (log.oom) {
      OutOfMemory();
      return false;
    }
    if (log.failed) ReadFailed(log.error);
    return !log.ended && !log.failed;
  }

  // A region could not be read to its end: the rows before stay.
  void ReadFailed(const std::string& error) {
    read_error_ = error;
    stop_ = true;
    Fail(Code::kReadFailed);
  }

  // Splits an already cleaned line text (no CR, no Ctrl-Z) into the open row.
  void SplitIntoRow(const char* p, size_t n) {
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
    const Result read = CatchOutOfMemory([&] {
      while (!stop_) {
        reader_.ReadLine(&line);
        if (reader_.failed()) break;  // the line the failure cut is not loaded
        if (!line.empty()) {
          SplitIntoRow(line.data(), line.size());
          if (!utf8_bad_ && !IsValidUtf8(line)) utf8_bad_ = true;
        }
        if (!EndLine() || reader_.AtEof()) break;
      }
    });
    if (!read.ok()) OutOfMemory();
  }

  // A line that holds a CR somewhere other than before its LF: cleaned the
  // slow way. [p, p+n) is the raw line without its LF.
  bool SlowLine(const char* p, size_t n) {
    std::string text;
    if (n > kUncheckedLineBytes) ReserveMemory(n);
    text.reserve(n);
    for (size_t i = 0; i < n; ++i) {
      if (p[i] == kCtrlZ) break;
      if (p[i] != '\r') text.push_back(p[i]);
    }
    nfields_ = 0;
    SplitIntoRow(text.data(), text.size());
    if (!utf8_bad_ && !IsValidUtf8(text)) utf8_bad_ = true;
    return EndLine();
  }

  void Check(Region& g, size_t to) {
    if (g.high && !utf8_bad_ && to > g.unchecked &&
        !IsValidUtf8({g.buf + g.unchecked, to - g.unchecked})) {
      utf8_bad_ = true;
    }
    g.unchecked = to;
  }

  // The line-break handlers return where the scan goes on: kGoOn for the
  // next special byte of the block, a position when the rest of the block is
  // skipped, kStop when the reading ends.
  static constexpr size_t kGoOn = 0;
  static constexpr size_t kStop = SIZE_MAX;

  size_t OnLineFeed(Region& g, size_t pos) {
    if (pos > g.line_start) PushField(g.buf + g.field_start, pos - g.field_start);
    if (helping_) Check(g, pos);  // each logged line knows the flag up to its end
    if (!EndLine()) {
      Check(g, pos);
      return kStop;
    }
    g.line_start = g.field_start = pos + 1;
    return kGoOn;
  }

  size_t OnCarriageReturn(Region& g, size_t pos) {
    const bool before_lf = pos + 1 < g.end ? g.buf[pos + 1] == '\n' : g.final;
    size_t jump;
    if (before_lf) {
      if (pos > g.line_start) PushField(g.buf + g.field_start, pos - g.field_start);
      if (helping_) Check(g, pos);
      if (!EndLine()) {
        Check(g, pos);
        return kStop;
      }
      jump = std::min(pos + 2, g.end);
    } else {
      const char* lf = static_cast<const char*>(std::memchr(g.buf + pos, '\n', g.end - pos));
      const size_t line_end = lf ? static_cast<size_t>(lf - g.buf) : g.end;
      jump = lf ? line_end + 1 : g.end;
      Check(g, g.line_start);
      const bool go_on = SlowLine(g.buf + g.line_start, line_end - g.line_start);
      g.unchecked = jump;
      if (!go_on) return kStop;
    }
    g.line_start = g.field_start = jump;
    return jump;
  }

  size_t OnCtrlZ(Region& g, size_t pos) {
    if (pos == g.line_start) {
      Check(g, pos);
      return kStop;  // Ctrl-Z at the start of a line ends the file
    }
    PushField(g.buf + g.field_start, pos - g.field_start);
    if (helping_) Check(g, pos);
    const bool go_on = EndLine();
    Check(g, pos);
    const char* lf = static_cast<const char*>(std::memchr(g.buf + pos, '\n', g.end - pos));
    const size_t jump = lf ? static_cast<size_t>(lf - g.buf) + 1 : g.end;
    g.unchecked = jump;
    if (!go_on) return kStop;
    g.line_start = g.field_start = jump;
    return jump;
  }

  // A line end or Ctrl-Z at pos.
  size_t OnLineBreak(Region& g, size_t pos) {
    const char c = g.buf[pos];
    if (c == '\n') return OnLineFeed(g, pos);
    if (c == '\r') return OnCarriageReturn(g, pos);
    return OnCtrlZ(g, pos);
  }

  bool ScanRegion(Region& g) {
    const Vectors v(sep_);
    // The separator, by far the most frequent special byte, is handled here
    // with the scan's state in locals; everything else goes through g.
    const char sep = sep_;
    const char* const buf = g.buf;
    const size_t end = g.end;
    size_t field_start = g.field_start;
    size_t i = g.line_start;
    while (i < end) {
      uint64_t m = SpecialMask(buf + i, v, &g.high);
      if (end - i < 64) m &= (uint64_t{1} << (end - i)) - 1;
      size_t next = i + 64;
      while (m) {
        const size_t pos = i + static_cast<size_t>(__builtin_ctzll(m));
        m &= m - 1;
        if (buf[pos] == sep) {
          PushField(buf + field_start, pos - field_start);
          field_start = pos + 1;
          continue;
        }
        g.field_start = field_start;
        const size_t jump = OnLineBreak(g, pos);
        if (jump == kStop) return false;
        field_start = g.field_start;
        if (jump != kGoOn) {
          next = jump;
          break;
        }
      }
      i = next;
    }
    g.field_start = field_start;
    return true;
  }

  // Scans [b, e) of the reader's buffer, which holds complete lines, or the
  // file's last line when `final`. Returns false when the reading stops.
  bool ProcessRegion(const char* buf, size_t b, size_t e, bool final) {
    Region g{buf, e, final, b, b, b};
    nfields_ = 0;
    try {
      if (!ScanRegion(g)) return false;
      if (final && g.line_start < e) {
        PushField(buf + g.field_start, e - g.field_start);
        if (!EndLine()) {
          Check(g, e);
          return false;
        }
      }
    } catch (const std::bad_alloc&) {
      Check(g, g.line_start);  // the line that did not fit is not loaded
      throw;
    }
    Check(g, e);
    return true;
  }

  // A helper thread for a big file, when the machine has a second core.
  std::unique_ptr<Helper> StartHelper();

  void ReadFast() {
    OpenRow();
    if (reader_.file_size() >= Split().from_file_bytes &&
        Split().block_bytes >= std::max<size_t>(Split().from_block_bytes, 2)) {
      if (std::unique_ptr<Helper> helper = StartHelper()) {
        ReadRegions(*helper);
        return;
      }
    }
    const Result read = CatchOutOfMemory([&] {
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
    });
    if (!read.ok()) OutOfMemory();  // a long field or the line buffer did not fit
  }

  // Both threads read: the file goes in blocks, each split at a byte into a
  // region of this thread's and one of the helper's, and each thread reads
  // and scans its own bytes. The helper's lines of one block go into the
  // table while it reads its region of the next; where the split lies
  // follows which of the two had to wait.
  void ReadRegions(Helper& helper);
  // Either thread's share of a block, in 64ths, and the least either gets.
  static constexpr int kShares = 64;
  static constexpr int kSharesLeast = 8;
  static size_t RegionBytesMost() {
    return Split().block_bytes - Split().block_bytes / kShares * kSharesLeast;
  }

  void ReadSimpleQuoted() {
    OpenRow();
    const Result read = CatchOutOfMemory([&] {
      FileBytes in(reader_);
      bool unclosed = false;
      auto push = [&](const std::string& f) { PushFieldSafe(f.data(), f.size()); };
      while (!stop_ && ReadRecord(in, sep_, push, &unclosed)) {
        if (reader_.failed()) break;  // the record the failure cut is not loaded
        if (unclosed) result_.unclosed_quote = true;
        if (!utf8_bad_ && !IsValidUtf8(text_)) utf8_bad_ = true;
        if (!EndLine()) break;
      }
    });
    if (!read.ok()) OutOfMemory();
  }

  // The handlers of the quoted scan return where it goes on, kStop, or
  // kMore when the record does not end in the region.
  static constexpr size_t kMore = SIZE_MAX - 1;

  // The record's fields are in the row; the next record starts at `next`.
  size_t EndRecord(Region& g, size_t pos, size_t next) {
    if (!EndLine()) {
      Check(g, pos);
      return kStop;
    }
    g.line_start = g.field_start = next;
    return next;
  }

  // A record the block scan leaves to the byte-wise reading (a CR that ends
  // no line, a Ctrl-Z, text after a closing quote), read from its start.
  size_t SlowRecord(Region& g) {
    nfields_ = 0;
    SpanBytes in(g.buf + g.line_start, g.end - g.line_start);
    bool unclosed = false;
    ReadRecord(
        in, sep_, [&](const std::string& f) { PushFieldSafe(f.data(), f.size()); }, &unclosed);
    if (in.hit_end && !g.final) return kMore;
    if (unclosed) result_.unclosed_quote = true;
    const size_t next = g.line_start + in.pos();
    Check(g, g.line_start);
    if (!utf8_bad_ && !IsValidUtf8(text_)) utf8_bad_ = true;
    g.unchecked = next;
    if (!EndLine()) return kStop;
    g.line_start = g.field_start = next;
    return next;
  }

  // The quoted field opening at `open`: its closing quote is looked for with
  // memchr, and the field's text copied only when it holds "".
  size_t OnQuotedField(Region& g, size_t open) {
    const char* const buf = g.buf;
    const size_t end = g.end;
    size_t s = open + 1;  // the text from here on is not taken yet
    bool built = false;   // scratch_ holds the text before s
    size_t close;         // the closing quote, or end
    for (;;) {
      const void* q = std::memchr(buf + s, '"', end - s);
      close = q ? static_cast<size_t>(static_cast<const char*>(q) - buf) : end;
      if (close + 1 >= end && !g.final) return kMore;  // no quote yet, or "" may follow
      if (close + 1 >= end || buf[close + 1] != '"') break;
      if (!built) scratch_.clear();
      built = true;
      AppendChecked(&scratch_, buf + s, close + 1 - s);
      s = close + 2;
    }
    const size_t after = close == end ? end : close + 1;
    const char c = after < end ? buf[after] : '\n';
    size_t next;
    if (after == end) {
      next = end;
    } else if (c == sep_) {
      next = after + 1;
    } else if (c == '\n') {
      next = after + 1;
    } else if (c == '\r' && after + 1 == end) {
      if (!g.final) return kMore;
      next = end;
    } else if (c == '\r' && buf[after + 1] == '\n') {
      next = after + 2;
    } else {
      return SlowRecord(g);
    }
    if (built) {
      AppendChecked(&scratch_, buf + s, close - s);
      PushFieldSafe(scratch_.data(), scratch_.size());
    } else {
      PushField(buf + s, close - s);
    }
    if (close == end) result_.unclosed_quote = true;
    if (after < end && c == sep_) {
      g.field_start = next;
      return next;
    }
    return EndRecord(g, after, next);
  }

  // The block scan with quoted fields over [g.line_start, g.end): stores the
  // records that end in the region; returns where the first one that does
  // not starts (g.end when none), or kStop.
  size_t ScanQuoted(Region& g) {
    const Vectors v(sep_);
    const char sep = sep_;
    const char* const buf = g.buf;
    const size_t end = g.end;
    size_t field_start = g.line_start;
    size_t i = g.line_start;
    while (i < end) {
      uint64_t quotes;
      uint64_t m = QuotedMask(buf + i, v, &g.high, &quotes);
      if (end - i < 64) m &= (uint64_t{1} << (end - i)) - 1;
      size_t next = i + 64;
      while (m) {
        const size_t pos = i + static_cast<size_t>(__builtin_ctzll(m));
        m &= m - 1;
        const char c = buf[pos];
        if (c == sep) {
          PushField(buf + field_start, pos - field_start);
          field_start = pos + 1;
          continue;
        }
        if (c == '"' && pos != field_start) continue;  // inside a field: an ordinary byte
        if (c == '"' && sep != '"') {
          // The common quoted field: closed in this block, no "" inside, the
          // separator right behind it. Everything else goes the long way.
          const uint64_t later = pos - i == 63 ? 0 : quotes & (~uint64_t{0} << (pos - i + 1));
          const size_t close = later ? i + static_cast<size_t>(__builtin_ctzll(later)) : end;
          if (close + 1 < end && buf[close + 1] == sep) {
            PushField(buf + pos + 1, close - pos - 1);
            field_start = close + 2;
            if (field_start - i < 64) {
              m &= ~uint64_t{0} << (field_start - i);
              continue;
            }
            next = field_start;
            break;
          }
        }
        g.field_start = field_start;
        size_t jump;
        if (c == '"') {
          jump = OnQuotedField(g, pos);
        } else if (c == '\n' || (c == '\r' && (pos + 1 < end ? buf[pos + 1] == '\n' : g.final))) {
          if (pos > g.line_start) PushField(buf + field_start, pos - field_start);
          jump = EndRecord(g, pos, std::min(pos + (c == '\r' ? 2 : 1), end));
        } else if (c == '\r' && pos + 1 == end) {
          jump = kMore;  // whether an LF follows is not known yet
        } else if (c == kCtrlZ && pos == g.line_start) {
          Check(g, pos);
          return kStop;  // Ctrl-Z at the start of a record ends the file
        } else {
          jump = SlowRecord(g);
        }
        if (jump == kStop) return kStop;
        if (jump == kMore) return g.line_start;
        field_start = g.field_start;
        if (jump < i + 64) {
          // Still inside this block: its mask goes on past the jump.
          m &= ~uint64_t{0} << (jump - i);
          continue;
        }
        if (!g.high) g.high = HighBytes(buf + i + 64, jump - i - 64);
        next = jump;
        break;
      }
      i = next;
    }
    g.field_start = field_start;
    if (g.line_start == end || !g.final) return g.line_start;
    // The file's last record, without a line end.
    PushField(buf + field_start, end - field_start);
    return EndRecord(g, end, end);
  }

  // Whether the bytes a jump passed by hold one of 0x80 or above, for the
  // UTF-8 check; long runs are simply left to the check.
  static int HighBytes(const char* p, size_t n) {
    if (n > 256) return 1;
    unsigned char any = 0;
    for (size_t k = 0; k < n; ++k) any |= static_cast<unsigned char>(p[k]);
    return any >> 7;
  }

  size_t ProcessQuoted(const char* buf, size_t b, size_t e, bool final) {
    Region g{buf, e, final, b, b, b};
    nfields_ = 0;
    size_t done;
    try {
      done = ScanQuoted(g);
    } catch (const std::bad_alloc&) {
      Check(g, g.line_start);  // the record that did not fit is not loaded
      throw;
    }
    if (done != kStop) Check(g, done);
    return done;
  }

  // The block scan with quoted fields: a record that goes on behind the bytes
  // read so far is scanned again from its start once more are read (the
  // reader's buffer grows to hold it, so a long record costs a few rescans).
  void ReadFastQuoted() {
    OpenRow();
    const Result read = CatchOutOfMemory([&] {
      bool final = false;
      while (!stop_) {
        if (reader_.pos() == reader_.end() && !reader_.Fill()) break;
        const size_t done = ProcessQuoted(reader_.data(), reader_.pos(), reader_.end(), final);
        if (done == kStop) break;
        reader_.set_pos(done);
        if (done < reader_.end()) {
          // At least twice the record's bytes before it is scanned again,
          // however short the reads come back.
          const size_t want = 2 * (reader_.end() - done);
          bool more = false;
          while (reader_.end() - reader_.pos() < want && reader_.Fill()) more = true;
          if (reader_.failed()) break;  // the record the failure cut is not loaded
          if (!more) final = true;
        }
      }
    });
    if (!read.ok()) OutOfMemory();
  }

  void Finish() {
    build_.Finish();
    reader_.Close();
    if (!opened_) return;
    if (result_.stored_rows > 0) table_.SetColCount(static_cast<int>(widest_ + 1));
    table_.set_utf8(!utf8_bad_);
  }

  Table& table_;
  TableBuilder build_;
  LoadObserver& observer_;
  FileReader reader_;
  LoadResult result_;
  std::string path_;
  bool opened_ = true;
  bool quoted_ = false;
  char sep_ = '\t';
  int counter_ = 0;
  size_t widest_ = 0;
  bool stop_ = false;
  Cell* row_ = nullptr;
  size_t room_ = 0;
  size_t nfields_ = 0;
  bool utf8_bad_ = false;
  // The text of row number number_, readable 16 bytes from its start.
  char number_text_[24] = {'1'};
  size_t number_len_ = 1;
  int64_t number_ = 1;
  // The helper's side.
  bool helping_ = false;
  bool much_to_come_ = false;  // the helper takes its blocks ahead
  HelperLog log_;
  LineRegion region_;        // the helper's bytes
  uint64_t regions_at_ = 0;  // the reader's block starts here
  std::string read_error_;   // why a region could not be read
  std::string text_;         // the record read byte-wise, as loaded
  std::string field_;        // its field being read
  std::string scratch_;      // a quoted field's text without its doubled quotes
};

// The second thread of a load: a loader of its own, reading into a table of
// its own whose pool blocks the load's table takes over block by block.
class Helper {
 public:
  explicit Helper(char sep) : loader_(Loader::Helping{}, table_, null_observer_, sep) {}
  Helper(const Helper&) = delete;
  Helper& operator=(const Helper&) = delete;
  ~Helper() {
    if (!thread_.joinable()) return;
    Wait();
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void Start() {
    thread_ = std::thread([this] { Run(); });
  }

  // Hands the helper the lines that start in [from, to) of the file open
  // as fd, whose size is `size`.
  void Read(int fd, uint64_t from, uint64_t to, uint64_t size, bool ahead) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      fd_ = fd;
      from_ = from;
      to_ = to;
      size_ = size;
      ahead_ = ahead;
      busy_ = true;
    }
    wake_.notify_all();
  }
  bool Busy() {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_;
  }
  // Until the lines handed over are read.
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return !busy_; });
  }

  // What the helper read of the region handed over last (it is waited for).
  void TakeLog(HelperLog* log) { loader_.TakeLog(log); }
  Table& table() { return table_; }

 private:
  class NullObserver : public LoadObserver {
   public:
    char ConfiguredSeparator() override { return '\t'; }
    bool ConfirmContinue() override { return true; }
  };

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return busy_ || quit_; });
      if (quit_) return;
      lock.unlock();
      loader_.ReadForReader(fd_, from_, to_, size_, ahead_);
      lock.lock();
      busy_ = false;
      wake_.notify_all();
    }
  }

  NullObserver null_observer_;
  Table table_;
  Loader loader_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  int fd_ = -1;
  uint64_t from_ = 0;
  uint64_t to_ = 0;
  uint64_t size_ = 0;
  bool ahead_ = false;
  bool busy_ = false;
  bool quit_ = false;
};

Loader::~Loader() = default;

std::unique_ptr<Helper> Loader::StartHelper() {
  if (std::thread::hardware_concurrency() < 2 && !Split().always) return nullptr;
  try {
    auto helper = std::make_unique<Helper>(sep_);
    // The blocks of the table before serve both threads.
    build_.ShareKeptWith(helper->table());
    TableBuilder(helper->table()).LimitBlocks(BlockCellsMost());
    helper->Start();
    return helper;
  } catch (const std::system_error&) {
    return nullptr;  // no thread to be had: one reads alone
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void Loader::ReadRegions(Helper& helper) {
  int share = kShares / 2;
  const uint64_t size = reader_.file_size();
  const uint64_t block = Split().block_bytes;
  const int fd = reader_.fd();
  bool helper_has_region = false;
  LineRegion mine;
  HelperLog log;
  // The helper's region read last: its cells' blocks and its log.
  auto take = [&] {
    helper.Wait();
    build_.TakeStorageOf(helper.table());
    helper.TakeLog(&log);
  };
  const Result read = CatchOutOfMemory([&] {
    // This thread's first block before the helper asks for any: with
    // memory short, the helper could else take it all, and not even the
    // file's first rows would be stored.
    if (room_ == 0) GrowRow();
    mine.Reserve(RegionBytesMost());
    for (uint64_t at = 0;; at += block) {
      regions_at_ = at;
      const uint64_t to = at + block;
      const uint64_t mid = at + std::max<uint64_t>(block * (kShares - share) / kShares, 1);
      const bool split = mid < size;
      const bool helper_had_region = helper_has_region;
      if (helper_had_region) take();
      // The helper's next region first: it reads while its lines before
      // go into the table.
      if (split) helper.Read(fd, mid, to, size, MuchToCome());
      helper_has_region = split;
      if (helper_had_region && !TakeHelperLines(log)) break;
      const bool read_all = mine.Read(fd, at, split ? mid : to, size);
      if (mine.end() > mine.begin() &&
          !ProcessRegion(mine.data(), mine.begin(), mine.end(), mine.final())) {
        break;
      }
      if (!read_all) {
        ReadFailed(mine.error());
        break;
      }
      if (split) {
        // Whoever waits gets less to read next time.
        share += helper.Busy() ? -1 : 1;
        share = std::clamp(share, kSharesLeast, kShares - kSharesLeast);
      }
      if (to >= size) {
        // The file's last region, the helper's when it has one.
        if (helper_has_region) {
          take();
          TakeHelperLines(log);
        }
        break;
      }
    }
  });
  // A region the helper still reads is dropped; the helper's end waits
  // for it.
  if (!read.ok()) OutOfMemory();  // a long field or the region's buffer did not fit
}

}  // namespace

ParallelLoad GetParallelLoad() { return Split(); }
void SetParallelLoad(const ParallelLoad& split) { Split() = split; }

LoadResult LoadTable(const std::string& path, bool auto_detect, Table& table,
                     LoadObserver& observer, bool quoted) {
  return Loader(table, observer, quoted).Run(path, auto_detect, /*simple=*/false);
}

LoadResult LoadTableSimple(const std::string& path, bool auto_detect, Table& table,
                           LoadObserver& observer, bool quoted) {
  return Loader(table, observer, quoted).Run(path, auto_detect, /*simple=*/true);
}

}  // namespace core
