// Loading raw bytes: the block path (core::LoadTable) and the line path
// (core::LoadTableSimple) must leave the same table and report the same, and
// both must give what the line rules and the splitter say, with detection and
// with a fixed separator. Under a memory budget both must still agree and
// keep exactly the rows before the one that did not fit. With quoted fields
// the two paths must agree as well, and on a file without quotes give what
// they give without quoted fields. Split between two threads, the block path
// must give what it gives alone.
//
// Input: separator byte (index into kSeparators), two budget bytes (0: no
// budgeted load, else that many 64-byte units), with MARVESK_FUZZ_SMALL_READS
// one more byte for the most bytes a read may return (1..16), then the file.
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "FuzzSupport.h"
#include "core/LineReader.h"
#include "core/Loader.h"
#include "core/Memory.h"
#include "core/Separator.h"
#include "core/Table.h"
#include "core/Text.h"
#if MARVESK_FUZZ_SMALL_READS
#include "core/FileIo.h"
#endif

namespace {

// 0 stands for detection; LF, CR and Ctrl-Z take the line path in both.
constexpr char kSeparators[] = {0, ';', ',', '\t', ' ', '|', '\n', '\r', core::kCtrlZ};

struct Loaded {
  core::LoadResult result;
  std::unique_ptr<core::Table> table;
  fuzz::Snapshot snapshot;
};

Loaded Load(fuzz::LoadFn fn, const std::string& path, char separator, uint64_t budget,
            bool quoted = false) {
  Loaded l;
  l.table = std::make_unique<core::Table>();
  core::ClearGrid(*l.table);
  fuzz::QuietObserver observer(separator);
  {
    // An unlimited budget keeps the machine's own state out of the result.
    const core::ScopedMemoryProbe probe(core::BudgetProbe(budget));
    l.result = fn(path, separator == 0, *l.table, observer, quoted);
  }
  l.snapshot = fuzz::TakeSnapshot(l.result, *l.table, observer);
  return l;
}

// What the file holds under the line rules: the detection's outcome and
// the fields of every non-empty line.
struct Model {
  std::vector<std::string> lines;
  char separator = '\t';
  size_t detected_fields = 0;  // 0: no candidate decided, or no detection
  std::vector<core::TArrayOfString> rows;
  bool utf8 = true;
};

Model MakeModel(std::string_view bytes, char configured) {
  Model m;
  m.lines = fuzz::ModelLines(bytes);
  if (configured == 0) {
    std::tie(m.separator, m.detected_fields) = fuzz::ModelDetect(m.lines);
  } else {
    m.separator = configured;
  }
  const std::string sep(1, m.separator);
  for (const std::string& line : m.lines) {
    if (line.empty()) continue;
    m.rows.push_back(core::SplitText(sep, line, 0));
    if (!core::IsValidUtf8(line)) m.utf8 = false;
  }
  return m;
}

// Rows 1..k of the table are the first k rows of the model, and nothing
// else is stored in them.
void CheckRows(const core::Table& t, const Model& m, size_t k, const std::string& where) {
  FUZZ_CHECK(t.RowCount() == static_cast<int>(std::max<size_t>(k, 1) + 1), where);
  size_t widest = 0;
  for (size_t r = 1; r <= k; ++r) {
    const core::TArrayOfString& fields = m.rows[r - 1];
    const int row = static_cast<int>(r);
    widest = std::max(widest, fields.size());
    FUZZ_CHECK(t.Get(0, row) == std::to_string(r), where + " row number " + std::to_string(r));
    for (size_t j = 1; j <= fields.size(); ++j) {
      FUZZ_CHECK(t.Get(static_cast<int>(j), row) == fields[j - 1],
                 where + " cell " + std::to_string(j) + "," + std::to_string(r));
    }
    const int stored = static_cast<int>(t.StoredLength(row));
    for (int j = static_cast<int>(fields.size()) + 1; j < stored; ++j) {
      FUZZ_CHECK(t.Get(j, row).empty(), where + " extra cell in row " + std::to_string(r));
    }
  }
  if (k > 0) FUZZ_CHECK(t.ColCount() == static_cast<int>(widest) + 1, where + " ColCount");
}

void CheckHeaderRow(const core::Table& t, const Model& m, const std::string& where) {
  FUZZ_CHECK(t.Get(0, 0).empty(), where);
  const int stored = static_cast<int>(t.StoredLength(0));
  for (int j = 1; j < std::max(stored, 1); ++j) {
    const bool numbered = static_cast<size_t>(j) <= m.detected_fields;
    FUZZ_CHECK(t.Get(j, 0) == (numbered ? std::to_string(j) : std::string()),
               where + " header cell " + std::to_string(j));
  }
  if (m.detected_fields > 0 && m.rows.empty()) {
    FUZZ_CHECK(t.ColCount() == static_cast<int>(m.detected_fields) + 1, where + " ColCount");
  }
  if (m.detected_fields == 0 && m.rows.empty()) FUZZ_CHECK(t.ColCount() == 2, where);
}

// The progress reports of a full reading: every 100th line of the wrapping
// counter, with the rows stored by then.
std::vector<std::pair<int, int64_t>> ModelProgress(const Model& m) {
  std::vector<std::pair<int, int64_t>> reports;
  const size_t lines = std::max<size_t>(m.lines.size(), 1);
  int counter = 0;
  int64_t stored = 0;
  for (size_t i = 0; i < lines; ++i) {
    if (++counter > 10000) counter = 0;
    if (i < m.lines.size() && !m.lines[i].empty()) ++stored;
    if (counter % 100 == 0) reports.emplace_back(counter, stored);
  }
  return reports;
}

void CheckFullLoad(const Loaded& l, const Model& m, const std::string& where) {
  const core::LoadResult& r = l.result;
  FUZZ_CHECK(fuzz::LoadedFully(r), where);
  FUZZ_CHECK(r.separator == m.separator, where);
  FUZZ_CHECK(r.detected == (m.detected_fields > 0), where);
  FUZZ_CHECK(r.stored_rows == static_cast<int64_t>(m.rows.size()), where);
  FUZZ_CHECK(r.lines_read == static_cast<int64_t>(std::max<size_t>(m.lines.size(), 1)), where);
  FUZZ_CHECK(l.table->utf8() == m.utf8, where);
  FUZZ_CHECK(l.snapshot.progress == ModelProgress(m), where + " progress");
  CheckRows(*l.table, m, m.rows.size(), where);
  CheckHeaderRow(*l.table, m, where);
}

std::string Where(const char* what, char separator, std::string_view bytes) {
  return std::string(what) +
         (separator == 0 ? " detected" : " separator " + fuzz::Escaped({&separator, 1})) +
         " file " + fuzz::Escaped(bytes);
}

void CheckUnlimited(const std::string& path, std::string_view bytes, char separator) {
  const std::string where = Where("load", separator, bytes);
  const Loaded block = Load(&core::LoadTable, path, separator, UINT64_MAX);
  const Loaded line = Load(&core::LoadTableSimple, path, separator, UINT64_MAX);
  FUZZ_CHECK(block.snapshot == line.snapshot,
             "block path vs line path: " + fuzz::Describe(block.snapshot, line.snapshot) + where);
  CheckFullLoad(block, MakeModel(bytes, separator), where);
  {
    // Every block of complete lines split between two threads.
    const core::ParallelLoad saved = core::GetParallelLoad();
    core::SetParallelLoad(core::ParallelLoad{0, 4096, 1, true});
    const Loaded split = Load(&core::LoadTable, path, separator, UINT64_MAX);
    core::SetParallelLoad(saved);
    FUZZ_CHECK(split.snapshot == block.snapshot,
               "two threads vs one: " + fuzz::Describe(split.snapshot, block.snapshot) + where);
  }

  const Loaded quoted = Load(&core::LoadTable, path, separator, UINT64_MAX, true);
  const Loaded quoted_line = Load(&core::LoadTableSimple, path, separator, UINT64_MAX, true);
  FUZZ_CHECK(quoted.snapshot == quoted_line.snapshot,
             "quoted, block path vs line path: " +
                 fuzz::Describe(quoted.snapshot, quoted_line.snapshot) + where);
  FUZZ_CHECK(fuzz::LoadedFully(quoted.result), "quoted " + where);
  if (bytes.find('"') == std::string_view::npos) {
    FUZZ_CHECK(quoted.snapshot == block.snapshot,
               "quoted vs plain without quotes: " +
                   fuzz::Describe(quoted.snapshot, block.snapshot) + where);
  }
}

void CheckBudget(const std::string& path, std::string_view bytes, char separator, uint64_t budget) {
  const std::string where =
      Where("budget", separator, bytes) + " budget " + std::to_string(budget) + " bytes";
  const Loaded block = Load(&core::LoadTable, path, separator, budget);
  const Loaded line = Load(&core::LoadTableSimple, path, separator, budget);
  FUZZ_CHECK(block.snapshot == line.snapshot,
             "block path vs line path: " + fuzz::Describe(block.snapshot, line.snapshot) + where);
  const Model m = MakeModel(bytes, separator);
  for (const Loaded* l : {&block, &line}) {
    if (fuzz::LoadedFully(l->result)) {
      CheckFullLoad(*l, m, where);
      continue;
    }
    FUZZ_CHECK(fuzz::OutOfMemory(l->result), where);
    const size_t k = static_cast<size_t>(l->result.stored_rows);
    FUZZ_CHECK(k <= m.rows.size(), where);
    CheckRows(*l->table, m, k, where + (l == &block ? " (block path)" : " (line path)"));
  }
  const Loaded quoted = Load(&core::LoadTable, path, separator, budget, true);
  const Loaded quoted_line = Load(&core::LoadTableSimple, path, separator, budget, true);
  FUZZ_CHECK(quoted.snapshot == quoted_line.snapshot,
             "quoted, block path vs line path: " +
                 fuzz::Describe(quoted.snapshot, quoted_line.snapshot) + where);
}

#if MARVESK_FUZZ_SMALL_READS
// Every read returns at most `cap` bytes, so the buffers are refilled at
// every position of a line.
class SmallReads {
 public:
  explicit SmallReads(size_t cap)
      : io_([this, cap](int fd, void* buf, size_t n) -> ssize_t {
          ++reads_;
          return ::read(fd, buf, std::min(n, cap));
        }) {}
  int64_t reads() const { return reads_; }

 private:
  int64_t reads_ = 0;
  core::ScopedFileIo io_;
};
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput in(data, size);
  const char separator = kSeparators[in.Byte() % sizeof kSeparators];
  const uint64_t budget = (uint64_t{in.Byte()} << 8 | in.Byte()) * 64;
#if MARVESK_FUZZ_SMALL_READS
  SmallReads reads(1 + in.Byte() % 16);
#endif
  const std::string_view bytes = in.Rest();
  const std::string path = fuzz::WriteScratch("load.txt", bytes);
  CheckUnlimited(path, bytes, 0);
  if (separator != 0) CheckUnlimited(path, bytes, separator);
  if (budget > 0) CheckBudget(path, bytes, separator, budget);
#if MARVESK_FUZZ_SMALL_READS
  FUZZ_CHECK(reads.reads() > 0, "the loader does not read through the file seam");
#endif
  return 0;
}
