// marvesk_bench: timing figures for the core's big-file paths (load,
// transposition, save, column and row edits, block edits, search, quoted
// fields) on files it generates itself.
// Each figure is a ratio against a plain baseline measured in the same run,
// so runs on different machines or days stay comparable. One `name: value`
// line per figure.
//
//   marvesk_bench [--quick | --huge] [--dir DIR] [--keep]
//
//   --quick  small files: a smoke test, the figures mean little
//   --huge   1 GB and 2 GB files instead, each measured in five fresh
//            processes (medians), GNU datamash beside them when installed
//   --dir    create the temporary directory inside DIR (default $TMPDIR or /tmp)
//   --keep   leave the temporary directory and its files in place
//
// Every timed step runs kRepeats times and the best time counts; a warm-up
// read first puts the file into the page cache.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/ClipText.h"
#include "core/Edit.h"
#include "core/FileUtil.h"
#include "core/History.h"
#include "core/Loader.h"
#include "core/Memory.h"
#include "core/Table.h"
#include "core/Transpose.h"
#include "core/Writer.h"

namespace {

constexpr int kRepeats = 3;
constexpr char kSep = ';';

struct InputFile {
  const char* name;
  int64_t lines;
  int fields;
  int min_len;
  int max_len;
  bool digits;  // numbers instead of alphanumeric texts
  uint64_t seed;
  std::string path;
  uint64_t size = 0;
  int64_t cells() const { return lines * fields; }
};

// splitmix64: fast, fixed seed, the same files on every machine.
uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9e3779b97f4a7c15ull);
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

uint64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

bool Generate(InputFile& input) {
  static const char kAlnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::FILE* f = std::fopen(input.path.c_str(), "wb");
  if (!f) return false;
  uint64_t state = input.seed;
  std::string chunk;
  bool ok = true;
  const uint64_t span = static_cast<uint64_t>(input.max_len - input.min_len + 1);
  for (int64_t line = 0; line < input.lines; ++line) {
    for (int field = 0; field < input.fields; ++field) {
      if (field > 0) chunk.push_back(kSep);
      const int len = input.min_len + static_cast<int>(NextRandom(state) % span);
      for (int i = 0; i < len; ++i) {
        const uint64_t r = NextRandom(state);
        const bool lead = i == 0 && len > 1;  // numbers get no leading zero
        chunk.push_back(!input.digits ? kAlnum[r % 62]
                        : lead        ? static_cast<char>('1' + r % 9)
                                      : static_cast<char>('0' + r % 10));
      }
    }
    chunk.push_back('\n');
    if (chunk.size() >= (1 << 20) || line + 1 == input.lines) {
      ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size() && ok;
      chunk.clear();
    }
  }
  ok = (std::fclose(f) == 0) && ok;
  input.size = FileSize(input.path);
  return ok && input.size > 0;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Best of kRepeats runs of `step`; `prepare` runs before each and `after`
// after each, both untimed.
double Best(const std::function<void()>& step, const std::function<void()>& prepare = {},
            const std::function<void()>& after = {}) {
  double best = 1e300;
  for (int i = 0; i < kRepeats; ++i) {
    if (prepare) prepare();
    const double t0 = Now();
    step();
    best = std::min(best, Now() - t0);
    if (after) after();
  }
  return best;
}

struct ScanCounts {
  uint64_t seps = 0;
  uint64_t lfs = 0;
};
// Counts separators and LFs, 16 bytes a step where SSE2 is there: a plain
// loop runs at a fraction of memory speed and would flatter every ratio.
void CountBytes(const unsigned char* p, size_t n, ScanCounts* counts) {
  uint64_t seps = 0;
  uint64_t lfs = 0;
  size_t i = 0;
#if defined(__SSE2__)
  const __m128i sep = _mm_set1_epi8(kSep);
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  auto sum = [&](__m128i bytes) {
    const __m128i s = _mm_sad_epu8(bytes, zero);
    return static_cast<uint64_t>(_mm_cvtsi128_si64(s)) +
           static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(s, s)));
  };
  while (n - i >= 16) {
    // Byte-wide counters hold up to 255 hits before they are summed up.
    const size_t steps = std::min<size_t>((n - i) / 16, 255);
    __m128i seps_acc = zero;
    __m128i lfs_acc = zero;
    for (size_t k = 0; k < steps; ++k, i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      seps_acc = _mm_sub_epi8(seps_acc, _mm_cmpeq_epi8(x, sep));
      lfs_acc = _mm_sub_epi8(lfs_acc, _mm_cmpeq_epi8(x, lf));
    }
    seps += sum(seps_acc);
    lfs += sum(lfs_acc);
  }
#endif
  for (; i < n; ++i) {
    seps += p[i] == kSep;
    lfs += p[i] == '\n';
  }
  counts->seps = seps;
  counts->lfs = lfs;
}

// The practical limit of any loader: one read of the whole file into a
// buffer (sized and touched beforehand, so no page faults are timed) and one
// pass counting separators and line ends.
bool Scan(const std::string& path, std::vector<char>& buf, ScanCounts* counts) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  size_t got = 0;
  while (got < buf.size()) {  // read() may return less than asked for
    const ssize_t n = read(fd, buf.data() + got, buf.size() - got);
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  CountBytes(reinterpret_cast<const unsigned char*>(buf.data()), got, counts);
  return got == buf.size();
}

class QuietObserver final : public core::LoadObserver {
 public:
  char ConfiguredSeparator() override { return kSep; }
  bool ConfirmContinue() override { return true; }
};

// The core load as the program does it; false when the table is not what
// the file holds (then the figures would be meaningless).
bool Load(const InputFile& input, core::Table& table, bool quoted = false) {
  QuietObserver observer;
  core::ClearGrid(table);
  const core::LoadResult r =
      core::LoadTable(input.path, /*auto_detect=*/true, table, observer, quoted);
  return r.status.ok() && r.stored_rows == input.lines && table.ColCount() == input.fields + 1 &&
         r.separator == kSep;
}

// A "VmRSS:"-like line of /proc/self/status in bytes; -1 when missing.
int64_t StatusBytes(const char* key) {
  std::FILE* f = std::fopen("/proc/self/status", "r");
  if (!f) return -1;
  char line[256];
  long long kb = -1;
  const size_t n = std::strlen(key);
  while (kb < 0 && std::fgets(line, sizeof line, f)) {
    if (std::strncmp(line, key, n) == 0) std::sscanf(line + n, "%lld", &kb);
  }
  std::fclose(f);
  return kb < 0 ? -1 : kb * 1024;
}

struct MemoryFigures {
  bool ok = false;
  int64_t rss_before = 0;
  int64_t hwm_after = 0;
  uint64_t storage = 0;
};

// The memory child's side (--memory-run): one load into a fresh table in a
// fresh process, the figures written to stdout. The peak is reset first
// (clear_refs 5), so only the load counts.
int MemoryRunMain(const char* path, const char* lines, const char* fields) {
  const InputFile input{"memory", std::atoll(lines), std::atoi(fields), 0, 0, false, 0, path};
  MemoryFigures m;
  core::Table table;
  const int fd = open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
  const bool reset = fd >= 0 && write(fd, "5", 1) == 1;
  if (fd >= 0) close(fd);
  m.rss_before = StatusBytes("VmRSS:");
  m.ok = reset && m.rss_before > 0 && Load(input, table);
  m.hwm_after = StatusBytes("VmHWM:");
  m.storage = table.StorageBytes();
  return write(1, &m, sizeof m) == static_cast<ssize_t>(sizeof m) ? 0 : 1;
}

// Peak memory of one load into a fresh table, measured in a process of its
// own (this program again, with --memory-run), as a user loads a file. A
// forked child would inherit this process's heap, whose free memory a load
// can reuse without raising the peak.
bool MeasureLoadMemory(const InputFile& input, MemoryFigures* out) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const std::string lines = std::to_string(input.lines);
  const std::string fields = std::to_string(input.fields);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl("/proc/self/exe", "marvesk_bench", "--memory-run", input.path.c_str(), lines.c_str(),
          fields.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return false;
  }
  const bool got = read(fds[0], out, sizeof *out) == static_cast<ssize_t>(sizeof *out);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return got && WIFEXITED(status) && WEXITSTATUS(status) == 0 && out->ok;
}

// Flushes the folder entry of `path`.
bool SyncFolder(const std::string& path) {
  const std::string folder = core::DirectoryPart(path);
  const int dir_fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dir_fd < 0) return false;
  const bool ok = fsync(dir_fd) == 0;
  close(dir_fd);
  return ok;
}

// The baseline for saving: the same bytes in one plain buffered write.
bool PlainWrite(const std::string& path, const std::string& bytes, bool sync) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (sync) ok = std::fflush(f) == 0 && fsync(fileno(f)) == 0 && ok;
  ok = std::fclose(f) == 0 && ok;
  // The folder entry too, as a synced save flushes it after the rename.
  return (!sync || SyncFolder(path)) && ok;
}

// The same bytes past the page cache, synced, as a C program that knows its
// file system takes direct writes would write them: whole 8 MB pieces
// straight from `bytes` (aligned), the tail through the cache. False when
// the file system refuses direct writes.
bool PlainDirectWrite(const std::string& path, const char* bytes, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_DIRECT, 0644);
  if (fd < 0) return false;
  constexpr size_t kPiece = size_t{8} << 20;
  const size_t whole = size & ~(core::AtomicFileWriter::kDirectAlign - 1);
  bool ok = true;
  for (size_t at = 0; ok && at < size;) {
    if (at == whole) ok = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_DIRECT) == 0;
    const size_t n = at < whole ? std::min(kPiece, whole - at) : size - at;
    const ssize_t put = ok ? write(fd, bytes + at, n) : -1;
    ok = put > 0;
    if (ok) at += static_cast<size_t>(put);
  }
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  return SyncFolder(path) && ok;
}

// One figure line; flushed, so a long run shows its progress.
void Print(const InputFile& input, const char* figure, int decimals, double value) {
  std::printf("%s %s: %.*f\n", input.name, figure, decimals, value);
  std::fflush(stdout);
}

bool Fail(const InputFile& input, const char* what) {
  std::fprintf(stderr, "marvesk_bench: %s: %s\n", input.name, what);
  return false;
}

// Progress of the edit figures goes nowhere, but the calls are made: the
// window pays one virtual call per row too.
class QuietEditObserver final : public core::ProgressObserver {
 public:
  void Started(int) override {}
  void Progress(int) override {}
  void Finished() override {}
};

// The rows an edit check samples: the first ones, the last ones and some
// between.
std::vector<int> SampleRows(const core::Table& table) {
  const int last = table.RowCount() - 1;
  return {1, 2, last / 3, last / 2, last - 1, last};
}

// Texts of `col` in `rows`.
std::vector<std::string> ColumnTexts(const core::Table& table, int col,
                                     const std::vector<int>& rows) {
  std::vector<std::string> texts;
  for (int r : rows) texts.emplace_back(table.Get(col, r));
  return texts;
}

// Texts of the data cells (column 1 on) of `row`.
std::vector<std::string> RowTexts(const core::Table& table, int row) {
  std::vector<std::string> texts;
  for (int c = 1; c < table.ColCount(); ++c) texts.emplace_back(table.Get(c, row));
  return texts;
}

// One edit figure: `edit` timed on a freshly loaded table each run. Before
// each run `note` records what the edit must give (false: the samples would
// not show a wrong result), after it `check` compares; both untimed.
bool TimeEdit(const InputFile& input, core::Table& table, double load_s, const std::string& figure,
              const std::function<bool()>& note, const std::function<void()>& edit,
              const std::function<bool()>& check) {
  bool loaded = true;
  bool telling = true;
  bool right = true;
  const double edit_s = Best(
      edit,
      [&] {
        loaded = Load(input, table) && loaded;
        telling = note() && telling;
      },
      [&] { right = check() && right; });
  if (!loaded) return Fail(input, ("the load before " + figure + " failed").c_str());
  if (!telling) return Fail(input, ("the samples for " + figure + " cannot show a fault").c_str());
  if (!right) return Fail(input, (figure + " did not give the expected table").c_str());
  Print(input, (figure + " s").c_str(), 4, edit_s);
  Print(input, (figure + "/load").c_str(), 3, edit_s / load_s);
  return true;
}

// Column 5 removed: column 6 moves into its place.
bool RemoveColumnFigure(const InputFile& input, core::Table& table, double load_s) {
  QuietEditObserver observer;
  int cols = 0;
  std::vector<int> rows;
  std::vector<std::string> before;  // column 4, which must stay
  std::vector<std::string> next;
  auto note = [&] {
    cols = table.ColCount();
    rows = SampleRows(table);
    before = ColumnTexts(table, 4, rows);
    next = ColumnTexts(table, 6, rows);
    return ColumnTexts(table, 5, rows) != next && before != ColumnTexts(table, 5, rows);
  };
  auto check = [&] {
    return table.ColCount() == cols - 1 && ColumnTexts(table, 4, rows) == before &&
           ColumnTexts(table, 5, rows) == next;
  };
  return TimeEdit(
      input, table, load_s, "remove column", note,
      [&] { core::RemoveCols(table, 5, 5, &observer); }, check);
}

// Column 5 removed with its undo step recorded first, as the window does,
// then taken back: the table is as loaded again. Against the removal itself
// (without a step), timed in turns on fresh loads. The history's bytes per
// removed cell are the capacities of what the step keeps.
bool UndoRemoveColumnFigure(const InputFile& input, core::Table& table) {
  QuietEditObserver observer;
  core::History history;
  double remove_s = 1e300;
  double record_s = 1e300;
  double undo_s = 1e300;
  double first_remove_s = 0;
  double first_undo_s = 0;
  double bytes_per_cell = 0;
  bool right = true;
  for (int i = 0; i < kRepeats; ++i) {
    right = Load(input, table) && right;
    const double t0 = Now();
    core::RemoveCols(table, 5, 5, &observer);
    const double removal = Now() - t0;
    remove_s = std::min(remove_s, removal);
    if (i == 0) first_remove_s = removal;

    right = Load(input, table) && right;
    const int cols = table.ColCount();
    const std::vector<int> rows = SampleRows(table);
    const std::vector<std::string> fifth = ColumnTexts(table, 5, rows);
    const std::vector<std::string> sixth = ColumnTexts(table, 6, rows);
    const std::string header = std::string(table.Get(cols - 1, 0));
    history.Clear();
    const double t1 = Now();
    right = history.RecordRemoveCols(table, 5, 5) && right;
    record_s = std::min(record_s, Now() - t1);
    const double removed = static_cast<double>(table.RowCount() - 1);
    bytes_per_cell = static_cast<double>(history.Bytes()) / removed;
    core::RemoveCols(table, 5, 5, &observer);
    right = table.ColCount() == cols - 1 && ColumnTexts(table, 5, rows) == sixth && right;
    core::HistoryChange change;
    const double t2 = Now();
    right = history.Undo(table, change).ok() && right;
    const double undoing = Now() - t2;
    undo_s = std::min(undo_s, undoing);
    if (i == 0) first_undo_s = undoing;
    right = table.ColCount() == cols && ColumnTexts(table, 5, rows) == fifth &&
            ColumnTexts(table, 6, rows) == sixth && table.Get(cols - 1, 0) == header && right;
  }
  history.Clear();
  if (!right) return Fail(input, "undoing the removal did not give the loaded table back");
  Print(input, "record remove column s", 4, record_s);
  Print(input, "undo remove column s", 4, undo_s);
  Print(input, "record remove column/remove column", 3, record_s / remove_s);
  Print(input, "undo remove column/remove column", 3, undo_s / remove_s);
  Print(input, "first undo remove column/remove column", 3, first_undo_s / first_remove_s);
  Print(input, "history bytes/removed cell", 1, bytes_per_cell);
  return true;
}

// Ten rows removed 40 % into the table: the rows after them move up, the
// numbers in column 0 stay.
bool RemoveRowsFigure(const InputFile& input, core::Table& table, double load_s) {
  QuietEditObserver observer;
  const int from = static_cast<int>(input.lines * 2 / 5);
  const int to = from + 9;
  int rows = 0;
  std::vector<std::string> before_run;
  std::vector<std::string> after_run;
  std::vector<std::string> last_row;
  core::Result result;
  auto note = [&] {
    rows = table.RowCount();
    before_run = RowTexts(table, from - 1);
    after_run = RowTexts(table, to + 1);
    last_row = RowTexts(table, rows - 1);
    return RowTexts(table, from) != after_run && before_run != after_run;
  };
  auto check = [&] {
    const int last = rows - 11;
    return result.ok() && table.RowCount() == rows - 10 &&
           RowTexts(table, from - 1) == before_run && RowTexts(table, from) == after_run &&
           table.Get(0, from) == std::to_string(from) && RowTexts(table, last) == last_row &&
           table.Get(0, last) == std::to_string(last);
  };
  return TimeEdit(
      input, table, load_s, "remove rows", note,
      [&] { result = core::RemoveRows(table, from, to, &observer); }, check);
}

// Column 5 emptied; its neighbours and the counts stay.
bool ClearColumnFigure(const InputFile& input, core::Table& table, double load_s) {
  int cols = 0;
  int rows = 0;
  std::vector<int> samples;
  std::vector<std::string> left;
  std::vector<std::string> right;
  auto note = [&] {
    cols = table.ColCount();
    rows = table.RowCount();
    samples = SampleRows(table);
    left = ColumnTexts(table, 4, samples);
    right = ColumnTexts(table, 6, samples);
    const std::vector<std::string> cleared = ColumnTexts(table, 5, samples);
    return std::none_of(cleared.begin(), cleared.end(), [](const auto& t) { return t.empty(); });
  };
  auto check = [&] {
    const std::vector<std::string> cleared = ColumnTexts(table, 5, samples);
    return table.ColCount() == cols && table.RowCount() == rows &&
           std::all_of(cleared.begin(), cleared.end(), [](const auto& t) { return t.empty(); }) &&
           ColumnTexts(table, 4, samples) == left && ColumnTexts(table, 6, samples) == right;
  };
  return TimeEdit(
      input, table, load_s, "clear column", note, [&] { core::ClearCols(table, 5, 5); }, check);
}

// The whole data block of `table`, as a select-all gives it.
core::Block DataBlock(const core::Table& table) {
  return core::Block{1, 1, table.ColCount() - 1, table.RowCount() - 1};
}

// The columns a block check samples: the first, a middle and the last one.
std::vector<int> SampleCols(const core::Table& table) {
  const int last = table.ColCount() - 1;
  return {1, last / 2, last};
}

// Texts of the sampled cells (col - col_shift, row - row_shift), column by
// column.
std::vector<std::string> BlockTexts(const core::Table& table, const std::vector<int>& cols,
                                    const std::vector<int>& rows, int col_shift = 0,
                                    int row_shift = 0) {
  std::vector<std::string> texts;
  for (int c : cols) {
    for (int r : rows) texts.emplace_back(table.Get(c - col_shift, r - row_shift));
  }
  return texts;
}

// A text no cell holds, searched from the first data cell to the end,
// against memmem of it over the file's bytes. Beforehand, untimed, the text
// is put into the last cell once to show that the search gets there.
bool SearchAbsentFigure(const InputFile& input, core::Table& table) {
  static constexpr std::string_view kAbsent = "#nicht#";
  std::string bytes;
  if (!core::ReadWholeFile(input.path, &bytes).ok()) return Fail(input, "cannot read the file");
  const void* found = nullptr;
  const double memmem_s =
      Best([&] { found = memmem(bytes.data(), bytes.size(), kAbsent.data(), kAbsent.size()); });
  bytes = std::string();
  if (found != nullptr) return Fail(input, "the file holds the text searched as absent");

  const int last_col = table.ColCount() - 1;
  const int last_row = table.RowCount() - 1;
  const std::string kept(table.Get(last_col, last_row));
  table.Set(last_col, last_row, "x" + std::string(kAbsent));
  core::SearchCursor cursor{1, 1};
  const bool reaches =
      core::SearchForward(table, kAbsent, cursor) == core::CellPos{last_col, last_row};
  table.Set(last_col, last_row, kept);
  if (!reaches || table.Get(last_col, last_row) != kept) {
    return Fail(input, "the search does not find a text in the last cell");
  }

  bool hit = false;
  bool cursor_back = true;
  const double search_s =
      Best([&] { hit = core::SearchForward(table, kAbsent, cursor).has_value() || hit; },
           [&] {
             cursor = core::SearchCursor{1, 1};
           },
           // Without a hit the row keeps its first step, the column returns.
           [&] { cursor_back = cursor.col == 1 && cursor.row == 1 && cursor_back; });
  if (hit) return Fail(input, "the search found the absent text");
  if (!cursor_back) return Fail(input, "the search moved the cursor without a hit");
  Print(input, "search absent s", 4, search_s);
  Print(input, "memmem s", 4, memmem_s);
  Print(input, "search absent/memmem", 3, search_s / memmem_s);
  return true;
}

// All data cells copied into a fresh clip table each run.
bool CopyAllFigure(const InputFile& input, const core::Table& table, double load_s,
                   std::unique_ptr<core::Table>& clip) {
  QuietEditObserver observer;
  const core::Block block = DataBlock(table);
  const std::vector<int> rows = SampleRows(table);
  const std::vector<int> cols = SampleCols(table);
  const std::vector<std::string> expected = BlockTexts(table, cols, rows);
  core::Result result;
  bool right = true;
  const double copy_s = Best([&] { result = core::CopyBlock(table, block, *clip, &observer); },
                             [&] { clip = std::make_unique<core::Table>(); },
                             [&] {
                               right = result.ok() && clip->ColCount() == block.right &&
                                       clip->RowCount() == block.bottom &&
                                       BlockTexts(*clip, cols, rows, 1, 1) == expected && right;
                             });
  if (!right) return Fail(input, "the copy did not give the block's cells");
  const double cells = static_cast<double>(block.right) * block.bottom;
  Print(input, "copy all s", 4, copy_s);
  Print(input, "copy all/load", 3, copy_s / load_s);
  Print(input, "copy bytes/cell", 1, static_cast<double>(clip->StorageBytes()) / cells);
  return true;
}

// The clipboard text of all data cells, against the save without fsync.
bool ClipboardCopyFigure(const InputFile& input, const core::Table& table, double save_s) {
  const core::Block block = DataBlock(table);
  std::string text;
  const double text_s =
      Best([&] { text = core::BlockToText(table, block); }, [&] { text = std::string(); });
  // No generated cell needs quotes: the cells' bytes, a TAB between
  // neighbours and an LF between rows.
  const uint64_t rows = static_cast<uint64_t>(block.bottom);
  const uint64_t tabs = rows * static_cast<uint64_t>(block.right - 1);
  uint64_t length = tabs + rows - 1;
  for (int r = 1; r <= block.bottom; ++r) {
    for (int c = 1; c <= block.right; ++c) length += table.Get(c, r).size();
  }
  const std::string first_line = std::string(table.Get(1, 1)) + '\t' + std::string(table.Get(2, 1));
  if (text.size() != length ||
      static_cast<uint64_t>(std::count(text.begin(), text.end(), '\t')) != tabs ||
      static_cast<uint64_t>(std::count(text.begin(), text.end(), '\n')) != rows - 1 ||
      text.compare(0, first_line.size(), first_line) != 0) {
    return Fail(input, "the clipboard text is not the block's cells");
  }
  Print(input, "clipboard copy s", 4, text_s);
  Print(input, "clipboard copy/save", 3, text_s / save_s);
  return true;
}

// The copy of all data cells pasted back onto them: nothing may change. A
// last paste one column to the right, untimed, shows that the paste writes.
bool PasteAllFigure(const InputFile& input, core::Table& table, const core::Table& clip,
                    double load_s) {
  QuietEditObserver observer;
  const int cols = table.ColCount();
  const int rows = table.RowCount();
  const std::vector<int> sample_rows = SampleRows(table);
  const std::vector<int> sample_cols = SampleCols(table);
  const std::vector<std::string> before = BlockTexts(table, sample_cols, sample_rows);
  const std::vector<std::string> numbers = ColumnTexts(table, 0, sample_rows);
  core::Result result;
  bool right = true;
  const double paste_s = Best([&] { result = core::PasteBlock(clip, table, 1, 1, &observer); }, {},
                              [&] {
                                right = result.ok() && table.ColCount() == cols &&
                                        table.RowCount() == rows &&
                                        BlockTexts(table, sample_cols, sample_rows) == before &&
                                        ColumnTexts(table, 0, sample_rows) == numbers && right;
                              });
  if (!right) return Fail(input, "the paste changed the table");
  const std::vector<int> moved_cols = {2, cols - 1};
  const std::vector<std::string> shifted = BlockTexts(table, moved_cols, sample_rows, 1);
  if (shifted == BlockTexts(table, moved_cols, sample_rows) ||
      !core::PasteBlock(clip, table, 2, 1, &observer).ok() ||
      BlockTexts(table, moved_cols, sample_rows) != shifted) {
    return Fail(input, "the paste one column on did not write the clip");
  }
  Print(input, "paste all s", 4, paste_s);
  Print(input, "paste all/load", 3, paste_s / load_s);
  return true;
}

// All data cells emptied; the counts and both header lines stay.
bool ClearAllFigure(const InputFile& input, core::Table& table, double load_s) {
  QuietEditObserver observer;
  int cols = 0;
  int rows = 0;
  std::vector<int> sample_rows;
  std::vector<int> sample_cols;
  auto empty = [](const std::vector<std::string>& texts, bool all) {
    auto is_empty = [](const std::string& t) { return t.empty(); };
    return all ? std::all_of(texts.begin(), texts.end(), is_empty)
               : std::none_of(texts.begin(), texts.end(), is_empty);
  };
  auto headers = [&] {
    for (int r : sample_rows) {
      if (table.Get(0, r) != std::to_string(r)) return false;
    }
    for (int c : sample_cols) {
      if (table.Get(c, 0) != std::to_string(c)) return false;
    }
    return true;
  };
  auto note = [&] {
    cols = table.ColCount();
    rows = table.RowCount();
    sample_rows = SampleRows(table);
    sample_cols = SampleCols(table);
    return empty(BlockTexts(table, sample_cols, sample_rows), false) && headers();
  };
  auto check = [&] {
    return table.ColCount() == cols && table.RowCount() == rows &&
           empty(BlockTexts(table, sample_cols, sample_rows), true) && headers();
  };
  return TimeEdit(
      input, table, load_s, "clear all", note,
      [&] { core::ClearBlock(table, DataBlock(table), &observer); }, check);
}

// The block operations on all data cells, from a fresh load.
bool BlockFigures(const InputFile& input, core::Table& table, double load_s, double save_s) {
  if (!Load(input, table)) return Fail(input, "the load before the block figures failed");
  auto clip = std::make_unique<core::Table>();
  return SearchAbsentFigure(input, table) && CopyAllFigure(input, table, load_s, clip) &&
         ClipboardCopyFigure(input, table, save_s) && PasteAllFigure(input, table, *clip, load_s) &&
         ClearAllFigure(input, table, load_s);
}

bool RunFile(const InputFile& input, const std::string& dir) {
  const double cells = static_cast<double>(input.cells());

  // Memory first, while this process is still small.
  MemoryFigures mem;
  if (!MeasureLoadMemory(input, &mem)) return Fail(input, "load for the memory figure failed");
  const double peak_above =
      static_cast<double>(mem.hwm_after - mem.rss_before) - static_cast<double>(input.size);
  Print(input, "bytes/cell", 1, peak_above / cells);
  Print(input, "storage bytes/cell", 1, static_cast<double>(mem.storage) / cells);

  // Scan baseline, after the warm-up read.
  std::vector<char> buf(input.size);
  ScanCounts counts;
  if (!Scan(input.path, buf, &counts)) return Fail(input, "warm-up read failed");
  if (counts.lfs != static_cast<uint64_t>(input.lines) ||
      counts.seps != static_cast<uint64_t>(input.lines * (input.fields - 1))) {
    return Fail(input, "the scan counted other separators or lines than generated");
  }
  const double scan_s = Best([&] { Scan(input.path, buf, &counts); });
  buf = std::vector<char>();
  Print(input, "scan s", 3, scan_s);

  core::Table loaded;
  bool ok = true;
  const double load_s = Best([&] { ok = Load(input, loaded) && ok; });
  if (!ok) return Fail(input, "the load did not give the file's table");
  Print(input, "load s", 3, load_s);
  Print(input, "load/scan", 2, load_s / scan_s);
  if (std::strcmp(input.name, "narrow") == 0) {
    // The same file with quoted fields on: it holds no quote, so only the
    // scan's extra special byte costs.
    const double quoted_s = Best([&] { ok = Load(input, loaded, true) && ok; });
    if (!ok) return Fail(input, "the quoted load did not give the file's table");
    Print(input, "quoted load s", 3, quoted_s);
    Print(input, "quoted load/plain load", 2, quoted_s / load_s);
  }

  {
    auto target = std::make_unique<core::Table>();
    bool transposed = true;
    const double transpose_s =
        Best([&] { transposed = core::TransposeGrid(loaded, *target, nullptr).ok() && transposed; },
             [&] { target = std::make_unique<core::Table>(); });
    if (!transposed) return Fail(input, "the transposition ran out of memory");
    if (target->ColCount() != loaded.RowCount() || target->RowCount() != loaded.ColCount()) {
      return Fail(input, "the transposed table's counts are not the source's swapped");
    }
    Print(input, "transpose s", 3, transpose_s);
    Print(input, "transpose/load", 2, transpose_s / load_s);
  }

  // Saving the loaded table against one plain write of the very same bytes.
  double save_plain_s = 0;  // WriteTable without fsync, for the clipboard text
  auto save = [&](const core::Table& table, const std::string& path, bool sync) {
    ok = core::WriteTable(table, path, kSep, nullptr, sync).status.ok() && ok;
  };
  {
    const std::string save_path = dir + "/" + input.name + ".save.txt";
    const std::string plain_path = dir + "/" + input.name + ".plain.txt";
    save(loaded, save_path, false);  // untimed: gives the bytes for the baseline
    std::string bytes;
    if (!ok || !core::ReadWholeFile(save_path, &bytes).ok()) return Fail(input, "the save failed");
    double save_s[2];  // [sync]
    double write_s[2];
    for (int sync = 0; sync < 2; ++sync) {
      save_s[sync] =
          Best([&] { save(loaded, save_path, sync); }, [&] { unlink(save_path.c_str()); });
      write_s[sync] = Best([&] { ok = PlainWrite(plain_path, bytes, sync) && ok; },
                           [&] { unlink(plain_path.c_str()); });
    }
    if (!ok || FileSize(save_path) != bytes.size() || FileSize(plain_path) != bytes.size()) {
      return Fail(input, "a save or plain write did not write the whole file");
    }
    unlink(save_path.c_str());
    unlink(plain_path.c_str());
    save_plain_s = save_s[0];
    Print(input, "save s", 3, save_s[0]);
    Print(input, "plainwrite s", 3, write_s[0]);
    Print(input, "save/write", 2, save_s[0] / write_s[0]);
    Print(input, "save+sync s", 3, save_s[1]);
    Print(input, "plainwrite+sync s", 3, write_s[1]);
    Print(input, "save+sync/write+sync", 2, save_s[1] / write_s[1]);
  }

  // The edits a user makes on a big file, on the narrow one only; each run
  // reloads `loaded`, so the road below starts from scratch anyway.
  if (std::strcmp(input.name, "narrow") == 0 &&
      !(RemoveColumnFigure(input, loaded, load_s) && UndoRemoveColumnFigure(input, loaded) &&
        RemoveRowsFigure(input, loaded, load_s) && ClearColumnFigure(input, loaded, load_s) &&
        BlockFigures(input, loaded, load_s, save_plain_s))) {
    return false;
  }

  {
    // The whole road as a user takes it: load, transpose, write back.
    loaded.Reset(2, 2);
    const std::string road_path = dir + "/" + input.name + ".road.txt";
    core::Table source;
    auto target = std::make_unique<core::Table>();
    const double road_s = Best(
        [&] {
          ok = Load(input, source) && ok;
          ok = core::TransposeGrid(source, *target, nullptr).ok() && ok;
          save(*target, road_path, false);
        },
        [&] {
          target = std::make_unique<core::Table>();
          unlink(road_path.c_str());
        });
    if (!ok || FileSize(road_path) == 0) return Fail(input, "the road did not write its file");
    unlink(road_path.c_str());
    Print(input, "road s", 3, road_s);
    Print(input, "road/scan", 2, road_s / scan_s);
  }
  return true;
}

// The narrow file's kind of data with every field in quotes: about every
// 16th field holds a separator, every 16th a quote (written doubled), every
// 64th a CR LF. The cells of some rows are kept to check the loads against.
struct QuotedAll {
  InputFile file;
  int64_t crlfs = 0;  // CR LFs inside fields: the plain reading sees more lines
  std::vector<int64_t> sample_rows;
  std::vector<std::vector<std::string>> sample_cells;
};

bool GenerateQuotedAll(QuotedAll& q) {
  static const char kAlnum[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  InputFile& input = q.file;
  const int64_t last = input.lines;
  q.sample_rows = {1, 2, last / 3, last / 2, last - 1, last};
  std::FILE* f = std::fopen(input.path.c_str(), "wb");
  if (!f) return false;
  uint64_t state = input.seed;
  std::string chunk;
  std::string cell;
  bool ok = true;
  const uint64_t span = static_cast<uint64_t>(input.max_len - input.min_len + 1);
  for (int64_t line = 1; line <= input.lines; ++line) {
    const bool sampled =
        std::find(q.sample_rows.begin(), q.sample_rows.end(), line) != q.sample_rows.end();
    if (sampled) q.sample_cells.emplace_back();
    for (int field = 0; field < input.fields; ++field) {
      if (field > 0) chunk.push_back(kSep);
      const int len = input.min_len + static_cast<int>(NextRandom(state) % span);
      cell.clear();
      for (int i = 0; i < len; ++i) cell.push_back(kAlnum[NextRandom(state) % 62]);
      const uint64_t kind = NextRandom(state) % 64;
      const size_t mid = static_cast<size_t>(len / 2);
      if (kind < 4) {
        cell.insert(mid, 1, kSep);
      } else if (kind < 8) {
        cell.insert(mid, 1, '"');
      } else if (kind == 8) {
        cell.insert(mid, "\r\n");
        ++q.crlfs;
      }
      chunk.push_back('"');
      for (const char c : cell) {
        if (c == '"') chunk.push_back('"');
        chunk.push_back(c);
      }
      chunk.push_back('"');
      if (sampled) q.sample_cells.back().push_back(cell);
    }
    chunk.push_back('\n');
    if (chunk.size() >= (1 << 20) || line == input.lines) {
      ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size() && ok;
      chunk.clear();
    }
  }
  ok = (std::fclose(f) == 0) && ok;
  input.size = FileSize(input.path);
  return ok && input.size > 0;
}

// Loads of the quoted-all file with quoted fields on and off, and its saves.
bool RunQuotedAll(QuotedAll& q, const std::string& dir) {
  const InputFile& input = q.file;
  if (!GenerateQuotedAll(q)) return Fail(input, "cannot write the file");
  std::vector<char> buf(input.size);
  ScanCounts counts;
  if (!Scan(input.path, buf, &counts)) return Fail(input, "warm-up read failed");
  buf = std::vector<char>();

  core::Table table;
  QuietObserver observer;
  core::LoadResult r;
  auto load = [&](bool quoted) {
    core::ClearGrid(table);
    r = core::LoadTable(input.path, /*auto_detect=*/true, table, observer, quoted);
  };
  bool ok = true;
  const double plain_s = Best([&] {
    load(false);
    ok = r.status.ok() && r.separator == kSep && r.stored_rows == input.lines + q.crlfs && ok;
  });
  if (!ok) return Fail(input, "the plain load did not give a row for each line");
  auto right = [&] {
    if (!r.status.ok() || r.unclosed_quote || r.separator != kSep || r.stored_rows != input.lines ||
        table.ColCount() != input.fields + 1) {
      return false;
    }
    for (size_t k = 0; k < q.sample_rows.size(); ++k) {
      if (RowTexts(table, static_cast<int>(q.sample_rows[k])) != q.sample_cells[k]) return false;
    }
    return true;
  };
  const double quoted_s = Best([&] { load(true); }, {}, [&] { ok = right() && ok; });
  if (!ok) return Fail(input, "the quoted load did not give the generated cells");
  Print(input, "quoted load s", 3, quoted_s);
  Print(input, "plain load s", 3, plain_s);
  Print(input, "quoted load/plain load", 2, quoted_s / plain_s);

  const std::string save_path = dir + "/quoted-all.save.txt";
  double save_s[2];  // [quoted]
  for (int quoted = 0; quoted < 2; ++quoted) {
    save_s[quoted] = Best(
        [&] {
          ok = core::WriteTable(table, save_path, kSep, nullptr, false, quoted).status.ok() && ok;
        },
        [&] { unlink(save_path.c_str()); });
  }
  if (!ok || FileSize(save_path) == 0) return Fail(input, "a save failed");
  unlink(save_path.c_str());
  Print(input, "quoted save/plain save", 2, save_s[1] / save_s[0]);
  return true;
}

// --- Gigabyte files ----------------------------------------------------------
//
// Each run is two fresh processes (this program again, with --huge-run), as
// a user loads a file once: one for the steps (load, the transposition as
// the view switch does it and back, the window's save of the table against
// a plain write of its bytes with the same guarantee, then the scan), one
// for the road (load, transpose, the window's save of the transposed table).

constexpr int kHugeRuns = 5;

struct HugeRun {
  double scan = 0, load = 0, transpose = 0, back = 0, save = 0, plainwrite = 0, road = 0;
  double bytes_per_cell = 0;  // peak with both views, above the file's size
};

// As the window saves: synced, so past the page cache on a local disk.
bool SaveAsWindow(const core::Table& table, const std::string& path) {
  return core::WriteTable(table, path, kSep, nullptr, /*sync=*/true).status.ok();
}

bool OneHugeRun(const InputFile& input, const std::string& dir, HugeRun* run) {
  const int64_t base = StatusBytes("VmRSS:");
  auto loaded = std::make_unique<core::Table>();
  double t0 = Now();
  if (!Load(input, *loaded)) return Fail(input, "the load did not give the file's table");
  run->load = Now() - t0;
  // As the window switches views: the table shown gives its memory back as
  // the copy passes it. Then back, for the save of the table as loaded.
  auto transposed = std::make_unique<core::Table>();
  t0 = Now();
  if (!core::TransposeGridFreeingSource(*loaded, *transposed, nullptr).ok()) {
    return Fail(input, "the transposition failed");
  }
  run->transpose = Now() - t0;
  run->bytes_per_cell = (static_cast<double>(StatusBytes("VmHWM:") - base) -
                         static_cast<double>(input.size)) /
                        static_cast<double>(input.cells());
  t0 = Now();
  if (!core::TransposeGridFreeingSource(*transposed, *loaded, nullptr).ok()) {
    return Fail(input, "the transposition back failed");
  }
  run->back = Now() - t0;
  transposed.reset();

  const std::string save_path = dir + "/huge.save.txt";
  const std::string plain_path = dir + "/huge.plain.txt";
  t0 = Now();
  if (!SaveAsWindow(*loaded, save_path)) return Fail(input, "the save failed");
  run->save = Now() - t0;
  loaded.reset();
  {
    // The baseline: the faster of the two plain ways to put the same bytes
    // on the disk, synced like the save.
    std::string bytes;
    if (!core::ReadWholeFile(save_path, &bytes).ok()) return Fail(input, "reading the save back");
    unlink(save_path.c_str());
    t0 = Now();
    if (!PlainWrite(plain_path, bytes, true)) return Fail(input, "the plain write failed");
    run->plainwrite = Now() - t0;
    unlink(plain_path.c_str());
    const size_t size = bytes.size();
    constexpr size_t kAlign = core::AtomicFileWriter::kDirectAlign;
    core::AlignedBytes aligned = core::NewAlignedBytes((size + kAlign) & ~(kAlign - 1));
    if (!aligned) return Fail(input, "no memory for the direct write");
    std::memcpy(aligned.get(), bytes.data(), size);
    bytes = std::string();
    t0 = Now();
    if (PlainDirectWrite(plain_path, aligned.get(), size)) {
      run->plainwrite = std::min(run->plainwrite, Now() - t0);
    }
    unlink(plain_path.c_str());
  }
  // Read into once before: no page faults in the timing, not even those a
  // virtual machine takes when the kernel first writes a page the program
  // has touched (1.2 s of a first 1 GB read here on some days).
  std::vector<char> buf(input.size);
  ScanCounts counts;
  if (!Scan(input.path, buf, &counts)) return Fail(input, "the scan failed");
  t0 = Now();
  if (!Scan(input.path, buf, &counts)) return Fail(input, "the scan failed");
  run->scan = Now() - t0;
  return true;
}

// The road as a user takes it, in a process of its own: load, transpose,
// save the transposed table as the window does.
bool HugeRoad(const InputFile& input, const std::string& dir, HugeRun* run) {
  const std::string road_path = dir + "/huge.road.txt";
  const double t0 = Now();
  core::Table source;
  core::Table target;
  if (!Load(input, source) || !core::TransposeGridFreeingSource(source, target, nullptr).ok() ||
      !SaveAsWindow(target, road_path)) {
    return Fail(input, "the road failed");
  }
  run->road = Now() - t0;
  unlink(road_path.c_str());
  return true;
}

// The child's side: the steps or the road, the figures as one line on stdout.
int HugeRunMain(const char* what, const char* path, const char* lines, const char* dir) {
  InputFile input{"huge", std::atoll(lines), 10, 3, 12, false, 0, path};
  input.size = FileSize(path);
  HugeRun r;
  const bool road = std::strcmp(what, "road") == 0;
  if (!(road ? HugeRoad(input, dir, &r) : OneHugeRun(input, dir, &r))) return 1;
  std::printf("%.4f %.4f %.4f %.4f %.4f %.4f %.4f %.2f\n", r.scan, r.load, r.transpose, r.back,
              r.save, r.plainwrite, r.road, r.bytes_per_cell);
  return 0;
}

bool SpawnHugeRun(const InputFile& input, const std::string& dir, const char* what,
                  HugeRun* run) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  const std::string lines = std::to_string(input.lines);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
    execl("/proc/self/exe", "marvesk_bench", "--huge-run", what, input.path.c_str(),
          lines.c_str(), dir.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  char out[512] = {};
  size_t got = 0;
  for (ssize_t n; got + 1 < sizeof out && (n = read(fds[0], out + got, sizeof out - 1 - got)) > 0;)
    got += static_cast<size_t>(n);
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         std::sscanf(out, "%lf %lf %lf %lf %lf %lf %lf %lf", &run->scan, &run->load,
                     &run->transpose, &run->back, &run->save, &run->plainwrite, &run->road,
                     &run->bytes_per_cell) == 8;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// (largest - smallest) / median, in per cent.
double Spread(const std::vector<double>& v) {
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  return (*hi - *lo) / Median(v) * 100;
}

// GNU datamash transposing the same file, once, when it is installed.
double DatamashSeconds(const InputFile& input, const std::string& dir) {
  if (std::system("command -v datamash > /dev/null 2>&1") != 0) return -1;
  const std::string out = dir + "/huge.datamash.txt";
  const std::string cmd =
      "datamash -t ';' transpose < '" + input.path + "' > '" + out + "' 2>/dev/null";
  const double t0 = Now();
  const int rc = std::system(cmd.c_str());
  const double s = Now() - t0;
  unlink(out.c_str());
  return rc == 0 ? s : -1;
}

bool RunHuge(InputFile& input, const std::string& dir) {
  if (!Generate(input)) return Fail(input, "cannot write the file");
  std::printf("%s file: %.2f GB, %lld x %d\n", input.name, static_cast<double>(input.size) / 1e9,
              static_cast<long long>(input.lines), input.fields);
  std::fflush(stdout);
  {
    // Into the page cache first, as for the other files.
    std::vector<char> buf(input.size);
    ScanCounts counts;
    if (!Scan(input.path, buf, &counts)) return Fail(input, "warm-up read failed");
  }
  std::vector<HugeRun> runs(kHugeRuns);
  for (HugeRun& r : runs) {
    HugeRun road;
    if (!SpawnHugeRun(input, dir, "steps", &r) || !SpawnHugeRun(input, dir, "road", &road)) {
      return Fail(input, "a run failed");
    }
    r.road = road.road;
  }
  auto figure = [&](double HugeRun::*field) {
    std::vector<double> v;
    for (const HugeRun& r : runs) v.push_back(r.*field);
    return v;
  };
  const struct {
    const char* name;
    double HugeRun::*field;
  } steps[] = {{"scan", &HugeRun::scan},
               {"load", &HugeRun::load},
               {"transpose", &HugeRun::transpose},
               {"transpose back", &HugeRun::back},
               {"save", &HugeRun::save},
               {"plainwrite", &HugeRun::plainwrite},
               {"road", &HugeRun::road}};
  for (const auto& step : steps) {
    const std::vector<double> v = figure(step.field);
    std::printf("%s %s s: %.3f (%.3f .. %.3f, spread %.0f %%)\n", input.name, step.name,
                Median(v), *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()), Spread(v));
  }
  auto median = [&](double HugeRun::*field) { return Median(figure(field)); };
  Print(input, "load/scan", 2, median(&HugeRun::load) / median(&HugeRun::scan));
  Print(input, "transpose/load", 2, median(&HugeRun::transpose) / median(&HugeRun::load));
  Print(input, "transpose back/load", 2, median(&HugeRun::back) / median(&HugeRun::load));
  Print(input, "save/plain write", 2, median(&HugeRun::save) / median(&HugeRun::plainwrite));
  Print(input, "road/scan", 2, median(&HugeRun::road) / median(&HugeRun::scan));
  Print(input, "bytes/cell both views", 1, median(&HugeRun::bytes_per_cell));
  if (std::strcmp(input.name, "huge1g") == 0) {
    const double datamash = DatamashSeconds(input, dir);
    if (datamash > 0) {
      Print(input, "datamash transpose s", 2, datamash);
      Print(input, "datamash/road", 2, datamash / median(&HugeRun::road));
    }
  }
  unlink(input.path.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--huge-run") == 0) {
    return HugeRunMain(argv[2], argv[3], argv[4], argv[5]);
  }
  if (argc == 5 && std::strcmp(argv[1], "--memory-run") == 0) {
    return MemoryRunMain(argv[2], argv[3], argv[4]);
  }
  bool quick = false;
  bool keep = false;
  bool huge = false;
  const char* tmp = std::getenv("TMPDIR");
  std::string parent = tmp && *tmp ? tmp : "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") {
      quick = true;
    } else if (arg == "--keep") {
      keep = true;
    } else if (arg == "--huge") {
      huge = true;
    } else if (arg == "--dir" && i + 1 < argc) {
      parent = argv[++i];
    } else {
      std::fprintf(stderr, "usage: marvesk_bench [--quick | --huge] [--dir DIR] [--keep]\n");
      return 2;
    }
  }
  std::error_code ec;
  std::filesystem::create_directories(parent, ec);
  std::string templ = parent + "/marvesk_bench.XXXXXX";
  if (!mkdtemp(templ.data())) {
    std::fprintf(stderr, "marvesk_bench: cannot create a directory in %s: %s\n", parent.c_str(),
                 std::strerror(errno));
    return 1;
  }
  const std::string dir = templ;

  if (huge) {
    // The narrow file's kind of lines, 12 and 24 million of them.
    std::vector<InputFile> files = {
        {"huge1g", 12000000, 10, 3, 12, false, 20261209, dir + "/huge1g.txt"},
        {"huge2g", 24000000, 10, 3, 12, false, 20261210, dir + "/huge2g.txt"},
    };
    std::printf("machine: nproc %ld, %d fresh-process runs per file, medians\n",
                sysconf(_SC_NPROCESSORS_ONLN), kHugeRuns);
    std::fflush(stdout);
    bool ok = true;
    for (InputFile& input : files) ok = ok && RunHuge(input, dir);
    if (!keep) std::filesystem::remove_all(dir, ec);
    return ok ? 0 : 1;
  }

  const int64_t narrow_lines = quick ? 100000 : 1000000;
  const int square_side = quick ? 500 : 2000;
  std::vector<InputFile> files = {
      {"narrow", narrow_lines, 10, 3, 12, false, 20261208, dir + "/narrow.txt"},
      {"square", square_side, square_side, 1, 6, true, 4242, dir + "/square.txt"},
  };

  bool ok = true;
  for (InputFile& input : files)
    ok = ok && (Generate(input) || Fail(input, "cannot write the file"));
  if (ok) {
    std::printf("machine: nproc %ld, narrow %.1f MB (%lld x %d), square %.1f MB (%lld x %d)%s\n",
                sysconf(_SC_NPROCESSORS_ONLN), static_cast<double>(files[0].size) / 1e6,
                static_cast<long long>(files[0].lines), files[0].fields,
                static_cast<double>(files[1].size) / 1e6, static_cast<long long>(files[1].lines),
                files[1].fields, quick ? ", quick run" : "");
    std::fflush(stdout);  // before any fork, so no child holds a copy
    for (const InputFile& input : files) ok = RunFile(input, dir) && ok;
    QuotedAll quoted_all;
    quoted_all.file = files[0];
    quoted_all.file.name = "quoted-all";
    quoted_all.file.path = dir + "/quoted-all.txt";
    ok = RunQuotedAll(quoted_all, dir) && ok;
  }

  if (keep) {
    std::printf("# files kept in %s\n", dir.c_str());
  } else {
    std::filesystem::remove_all(dir, ec);
  }
  return ok ? 0 : 1;
}
