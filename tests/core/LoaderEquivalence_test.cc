// The block scanner of LoadTable must give exactly what the line-by-line
// reading of LoadTableSimple gives. The load fuzzer holds the two to each
// other on its corpus (scan block and read edges included, see
// tests/fuzz/make_seeds.py); what it cannot reach is here: a stop by Escape,
// and lines longer than the reader's 1 MiB chunk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "core/Loader.h"
#include "core/Table.h"

namespace core {
namespace {

using testing_support::LoadFn;
using testing_support::RecordingObserver;
using testing_support::Rows;
using testing_support::TempDirTest;

// Everything a load leaves and reports, the observer's calls included.
struct Outcome {
  Code status;
  char separator;
  bool detected, stopped, utf8;
  int64_t stored_rows, lines_read;
  int cols, rows;
  Rows cells;  // each row up to its last cell that is not empty
  std::vector<std::pair<int, int64_t>> progress;
  int64_t escape_polls;
  int confirm_asked;
  bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os) {
  *os << "status " << static_cast<int>(o.status) << ", separator " << static_cast<int>(o.separator)
      << ", detected " << o.detected << ", stopped " << o.stopped << ", utf8 " << o.utf8 << ", "
      << o.stored_rows << " rows of " << o.lines_read << " lines, " << o.cols << " x " << o.rows
      << ", " << o.progress.size() << " progress reports, " << o.escape_polls << " polls, "
      << o.confirm_asked << " questions, cells " << ::testing::PrintToString(o.cells);
}

struct Options {
  bool auto_detect = true;
  char separator = ';';
  int64_t escape_at_poll = 0;  // answered No
};

Outcome LoadAndRecord(LoadFn fn, const std::string& path, const Options& o) {
  Table t;
  ClearGrid(t);
  RecordingObserver obs(o.separator);
  obs.escape_at_poll = o.escape_at_poll;
  obs.confirm_answer = false;
  const LoadResult r = fn(path, o.auto_detect, t, obs);
  Outcome out{r.status.code(), r.separator,      r.detected,       r.stopped,    t.utf8(),
              r.stored_rows,   r.lines_read,     t.ColCount(),     t.RowCount(), {},
              obs.progress,    obs.escape_polls, obs.confirm_asked};
  for (int row = 0; row < t.RowCount(); ++row) {
    int used = std::min(static_cast<int>(t.StoredLength(row)), t.ColCount());
    while (used > 0 && t.Get(used - 1, row).empty()) --used;
    std::vector<std::string>& cells = out.cells.emplace_back();
    for (int col = 0; col < used; ++col) cells.emplace_back(t.Get(col, row));
  }
  return out;
}

class LoaderEquivalenceTest : public TempDirTest {
 protected:
  // Loads `bytes` both ways; the two outcomes must be the same.
  Outcome Compare(const std::string& bytes, const Options& o) {
    const std::string path = WriteFile("eq.txt", bytes);
    const Outcome block = LoadAndRecord(&LoadTable, path, o);
    EXPECT_EQ(block, LoadAndRecord(&LoadTableSimple, path, o));
    return block;
  }
};

// Escape answered No after each line of a file with every kind of line end,
// across two scan blocks: the block path stops where the line path does and
// judges the encoding by the rows stored, up to the last byte and no further.
TEST_F(LoaderEquivalenceTest, EscapeStopsAfterEveryKindOfLineEnd) {
  const std::string lines[] = {"a;b;c;die erste Zeile endet mit LF\n", "d;e;f;dann CR LF\r\n",
                               "g\rh;i;ein einzelnes CR\n", "j;k\x1al;m;hinter Ctrl-Z\n",
                               "n;o;die letzte Zeile ohne LF"};
  const int64_t count = static_cast<int64_t>(std::size(lines));
  for (const bool detect : {true, false}) {
    for (int64_t k = 1; k <= count; ++k) {
      // Line k holds the file's only byte that is not UTF-8.
      std::string bytes;
      for (int64_t i = 1; i <= count; ++i) bytes += (i == k ? "\xE4" : "") + lines[i - 1];
      for (const int64_t poll : {k - 1, k}) {
        if (poll == 0) continue;
        SCOPED_TRACE(std::string(detect ? "detected" : "';'") + ", Windows-1252 in line " +
                     std::to_string(k) + ", Escape at poll " + std::to_string(poll));
        const Outcome o = Compare(bytes, Options{detect, ';', poll});
        EXPECT_TRUE(o.stopped);
        EXPECT_EQ(o.lines_read, poll);
        EXPECT_EQ(o.utf8, poll < k);
      }
    }
  }
}

// `n` bytes without a line end: fields of both separators, a TAB, a blank
// and a byte that is not UTF-8.
std::string LongLine(size_t n) {
  static constexpr char kPattern[] = "ab;cd,ef\tgh \xE4ij";
  std::string s(n, ' ');
  for (size_t i = 0; i < n; ++i) s[i] = kPattern[i % (sizeof kPattern - 1)];
  return s;
}

// The reader's buffer grows for these; line ends land at the grown buffer's
// edge and the cleaned slow line is longer than the unchecked line size.
TEST_F(LoaderEquivalenceTest, LinesLongerThanTheReadChunk) {
  constexpr size_t kChunk = size_t{1} << 20;
  const std::string line = LongLine(2 * kChunk + 100);
  Compare(line, Options{});
  Compare("x;y;z\n" + line + "\nlast\n", Options{});
  Compare(line.substr(0, kChunk - 1) + "\r\n" + line.substr(0, kChunk + 3), Options{false, ',', 0});
  const Outcome o =
      Compare(line.substr(0, kChunk + 5) + "\r" + line.substr(0, 10), Options{false, ';', 0});
  EXPECT_EQ(o.stored_rows, 1);
}

}  // namespace
}  // namespace core
