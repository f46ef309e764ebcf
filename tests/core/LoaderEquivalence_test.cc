// The block scanner of LoadTable must give exactly what the line-by-line
// reading of LoadTableSimple gives. The load fuzzer holds the two to each
// other on its corpus (scan block and read edges included, see
// tests/fuzz/make_seeds.py); what it cannot reach is here: a stop by Escape,
// and lines longer than the reader's 1 MiB chunk.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/Loader.h"
#include "core/Memory.h"
#include "core/Table.h"
#include "core/TableBuilder.h"

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
    int used = std::min(std::max(static_cast<int>(t.StoredLength(row)), 1), t.ColCount());
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

// Two threads splitting every block must give what one thread gives, down to
// the progress reports and Escape polls. Blocks of 512 bytes, each split in
// two, make many regions whose last lines go on past their ends; reads come
// back at most GetParam() bytes at a time.
class TwoThreadsTest : public LoaderEquivalenceTest, public ::testing::WithParamInterface<size_t> {
 protected:
  void SetUp() override {
    LoaderEquivalenceTest::SetUp();
    saved_ = GetParallelLoad();
    SetParallelLoad(ParallelLoad{0, 512, 1, true});
  }
  void TearDown() override {
    SetParallelLoad(saved_);
    LoaderEquivalenceTest::TearDown();
  }
  ReadFn ShortReads() const {
    return [n = GetParam()](int fd, void* buf, size_t want) {
      return ::read(fd, buf, std::min(want, n));
    };
  }
  // Every kind of line, empty ones among them, so that rows and lines part.
  static std::string Lines(int count, int bad_line, int end_line) {
    static const char* const kKinds[] = {
        "a;b;c;LF\n", "d;e;f;CR LF\r\n",          "g\rh;i;CR\n", "\n", "j;k\x1al;m;Ctrl-Z\n",
        "\r\n",       "n;o;ein langes Feld, 24\n"};
    std::string bytes;
    for (int i = 1; i <= count; ++i) {
      if (i == end_line) bytes += "\x1a";  // ends the file
      if (i == bad_line) bytes += "\xE4";
      bytes += kKinds[i % std::size(kKinds)];
    }
    return bytes + "p;q;ohne LF";
  }

 private:
  ParallelLoad saved_;
};

TEST_P(TwoThreadsTest, ReadAsOneThreadDoes) {
  ScopedFileIo io(ShortReads());
  constexpr int kLines = 150;
  struct Case {
    int bad_line, end_line;
    int64_t escape_at_poll;
  };
  const Case cases[] = {{0, 0, 0}, {40, 0, 0},  {140, 0, 0}, {0, 77, 0},  {120, 90, 0},
                        {0, 0, 5}, {60, 0, 59}, {60, 0, 60}, {0, 0, 101}, {130, 0, 149}};
  for (const Case& c : cases) {
    for (const bool detect : {true, false}) {
      SCOPED_TRACE("bad " + std::to_string(c.bad_line) + ", end " + std::to_string(c.end_line) +
                   ", Escape at " + std::to_string(c.escape_at_poll) +
                   (detect ? ", detected" : ""));
      const Outcome o =
          Compare(Lines(kLines, c.bad_line, c.end_line), Options{detect, ';', c.escape_at_poll});
      EXPECT_EQ(o.stored_rows > 0, true);
    }
  }
}

// Out of memory on either thread (whichever asks first gets the memory): the
// rows stored are the file's first rows, numbered from 1, and the load says
// it ran out. The cells are short, so each thread's first block fits.
TEST_P(TwoThreadsTest, OutOfMemoryKeepsTheRowsBefore) {
  ScopedFileIo io(ShortReads());
  std::string bytes;
  for (int i = 1; i <= 30000; ++i) bytes += std::to_string(i) + ";x;kurz\n";
  const std::string path = WriteFile("oom.txt", bytes);
  // Room for the row directory the load reserves and for this thread's first
  // block, which it takes before the helper asks for any: this one then
  // always stores rows before memory ends.
  for (const uint64_t budget : {(uint64_t{3} << 19) + (uint64_t{1} << 17), uint64_t{2} << 20}) {
    SCOPED_TRACE("budget " + std::to_string(budget));
    Table t;
    ClearGrid(t);
    testing_support::RecordingObserver obs(';');
    LoadResult r;
    {
      ScopedMemoryProbe probe(BudgetProbe(budget));
      r = LoadTable(path, false, t, obs);
    }
    EXPECT_EQ(r.status.code(), Code::kOutOfMemory);
    ASSERT_GT(r.stored_rows, 0);
    ASSERT_LT(r.stored_rows, 30000);
    for (int row = 1; row <= r.stored_rows; ++row) {
      ASSERT_EQ(t.Get(0, row), std::to_string(row));
      ASSERT_EQ(t.Get(1, row), std::to_string(row));
      ASSERT_EQ(t.Get(3, row), "kurz");
    }
  }
}

// A load into the blocks of the table loaded before (ClearGrid keeping its
// storage, as the window does) gives what a load into a fresh table gives,
// and cells that rows grow into afterwards read empty.
TEST_P(TwoThreadsTest, ReloadIntoTheBlocksOfTheTableBefore) {
  ScopedFileIo io(ShortReads());
  std::string before;
  for (int i = 0; i < 3000; ++i) before += "alt;alt;alt;alt;alt;alt;alt\n";
  const std::string old_path = WriteFile("before.txt", before);
  const std::string path = WriteFile("after.txt", Lines(2000, 1500, 0));
  const Outcome fresh = LoadAndRecord(&LoadTable, path, Options{});
  Table t;
  RecordingObserver obs(';');
  ASSERT_TRUE(LoadTable(old_path, true, t, obs).status.ok());
  ClearGrid(t, /*keep_storage=*/true);
  RecordingObserver again(';');
  const LoadResult r = LoadTable(path, true, t, again);
  ASSERT_EQ(r.stored_rows, fresh.stored_rows);
  ASSERT_EQ(t.RowCount(), fresh.rows);
  ASSERT_EQ(t.ColCount(), fresh.cols);
  for (int row = 0; row < t.RowCount(); ++row) {
    t.Set(t.ColCount() - 1, row, "x");
    const std::vector<std::string>& cells = fresh.cells[static_cast<size_t>(row)];
    for (int col = 0; col < t.ColCount() - 1; ++col) {
      const std::string expected =
          static_cast<size_t>(col) < cells.size() ? cells[static_cast<size_t>(col)] : "";
      ASSERT_EQ(t.Get(col, row), expected) << "cell (" << col << ", " << row << ")";
    }
  }
}

// A load split between two threads stores its cells in few blocks: each
// thread's blocks go on growing from region to region, up to a sixteenth
// of the file, where starting small in every region would give hundreds.
TEST_F(LoaderEquivalenceTest, TwoThreadsStoreTheCellsInFewBlocks) {
  const ParallelLoad saved = GetParallelLoad();
  SetParallelLoad(ParallelLoad{0, size_t{256} << 10, 1, true});
  constexpr int kLines = 1000000;
  std::string bytes;
  for (int i = 0; i < kLines; ++i) bytes += "1;2;3;4;5;6;7;8;9\n";
  const std::string path = WriteFile("blocks.txt", bytes);
  Table t;
  RecordingObserver obs(';');
  FreeKeptBlocks();  // else the load may take blocks an earlier test gave back
  const LoadResult r = LoadTable(path, false, t, obs);
  SetParallelLoad(saved);
  ASSERT_TRUE(r.status.ok());
  ASSERT_EQ(t.Get(9, kLines), "9");
  TableBuilder build(t);
  const size_t most = bytes.size() / 16 / sizeof(Cell);
  size_t blocks = 0;
  for (size_t i = 0; i < build.PoolBlockCount(); ++i) {
    const size_t cells = build.PoolBlock(i).second;
    blocks += cells > 0;
    EXPECT_LE(cells, most + 1);  // and the unused first cell
  }
  // Blocks of the most cells, and each thread's steps up to them.
  EXPECT_LE(blocks, size_t{kLines} * 9 / most + 2 * 8);
}

INSTANTIATE_TEST_SUITE_P(ReadSizes, TwoThreadsTest, ::testing::Values(61, 500, 1 << 20));

}  // namespace
}  // namespace core
