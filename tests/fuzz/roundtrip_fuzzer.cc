// Load, write, load again: a table loaded from raw bytes (detected or with a
// fixed separator, then perhaps edited) is written with a separator no cell
// holds; the file must be exactly the writer's format (every field followed
// by the separator, CR LF after each row), and loading it with that separator
// must give the same cells, plus the empty column the trailing separators
// make. Then the same with quoted fields: the file loaded with them, written
// with them (a separator cells may hold), must be exactly the quoted format
// and load back with them into the same cells.
//
// Input: separator byte (index into kSeparators), a byte choosing where the
// search for an unused writing separator starts, an edit byte, then the file.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "core/LineReader.h"
#include "core/Loader.h"
#include "core/Result.h"
#include "core/Table.h"
#include "core/Text.h"
#include "core/Writer.h"

namespace {

constexpr char kSeparators[] = {0, ';', ',', '\t', ' ', '|', '\n', '\r', core::kCtrlZ};

void LoadInto(const std::string& path, char separator, core::Table& t, bool quoted = false) {
  core::ClearGrid(t);
  fuzz::QuietObserver observer(separator);
  const core::LoadResult r = core::LoadTable(path, separator == 0, t, observer, quoted);
  FUZZ_CHECK(r.status.ok(), "load: " + r.status.message());
}

// Edits that leave rows out of their pool order and long texts in new places.
void Edit(core::Table& t, uint8_t edits) {
  if (edits & 1) t.MoveRow(1, t.RowCount() - 1);
  if (edits & 2) t.MoveCol(1, t.ColCount() - 1);
  if (edits & 4) t.SetColCount(t.ColCount() + 1);
  if (edits & 8) t.Set(1, 1, "Größere Änderung im Feld");
  if (edits & 16) t.Set(t.ColCount() - 1, t.RowCount() - 1, "x");
}

// A byte that no cell holds and that is no line character, searched from
// `start` on; 0 when every byte is taken.
char UnusedSeparator(const core::Table& t, uint8_t start) {
  std::array<bool, 256> used{};
  used[0] = used['\n'] = used['\r'] = used[static_cast<uint8_t>(core::kCtrlZ)] = true;
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 1; c < t.ColCount(); ++c) {
      for (char ch : t.Get(c, r)) used[static_cast<uint8_t>(ch)] = true;
    }
  }
  for (int i = 0; i < 256; ++i) {
    const uint8_t b = static_cast<uint8_t>(start + i);
    if (!used[b]) return static_cast<char>(b);
  }
  return 0;
}

bool AllUtf8(const core::Table& t) {
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 1; c < t.ColCount(); ++c) {
      if (!core::IsValidUtf8(t.Get(c, r))) return false;
    }
  }
  return true;
}

std::string Expected(const core::Table& t, char separator) {
  std::string s;
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 1; c < t.ColCount(); ++c) {
      s += t.Get(c, r);
      s += separator;
    }
    s += "\r\n";
  }
  return s;
}

// The quoted format written out plainly.
std::string ExpectedQuoted(const core::Table& t, char separator) {
  const std::string special = std::string(1, separator) + "\"\r\n\x1a";
  std::string s;
  for (int r = 1; r < t.RowCount(); ++r) {
    for (int c = 1; c < t.ColCount(); ++c) {
      const std::string_view cell = t.Get(c, r);
      if (c > 1) s += separator;
      if (cell.find_first_of(special) == std::string_view::npos &&
          !(cell.empty() && t.ColCount() == 2)) {
        s += cell;
        continue;
      }
      s += '"';
      for (char ch : cell) s += ch == '"' ? std::string("\"\"") : std::string(1, ch);
      s += '"';
    }
    s += "\r\n";
  }
  return s;
}

void CheckQuoted(const std::string& path, char separator, uint8_t edits, uint8_t pick,
                 std::string_view bytes) {
  static constexpr char kQuotedSeparators[] = {';', ',', '\t', ' ', '|'};
  const char out_sep = kQuotedSeparators[pick % sizeof kQuotedSeparators];
  core::Table table;
  LoadInto(path, separator, table, true);
  Edit(table, edits);
  const std::string out_path = fuzz::ScratchPath("quoted.txt");
  const core::WriteResult w = core::WriteTable(table, out_path, out_sep, nullptr, false, true);
  const std::string where =
      "quoted, written with " + fuzz::Escaped({&out_sep, 1}) + " from file " + fuzz::Escaped(bytes);
  FUZZ_CHECK(w.status.ok(), "WriteTable: " + w.status.message() + "; " + where);
  const std::string file = fuzz::ReadScratch(out_path);
  FUZZ_CHECK(file == ExpectedQuoted(table, out_sep), "file " + fuzz::Escaped(file) + "; " + where);
  core::Table back;
  LoadInto(out_path, out_sep, back, true);
  if (table.ColCount() < 2) {
    FUZZ_CHECK(back.RowCount() == 2 && back.Get(1, 1).empty(), where + ": lines of CR LF only");
    return;
  }
  FUZZ_CHECK(back.RowCount() == table.RowCount(), where + ": RowCount");
  FUZZ_CHECK(back.ColCount() == table.ColCount(), where + ": ColCount");
  for (int r = 1; r < table.RowCount(); ++r) {
    for (int c = 1; c < table.ColCount(); ++c) {
      FUZZ_CHECK(back.Get(c, r) == table.Get(c, r),
                 where + ": cell " + std::to_string(c) + "," + std::to_string(r) + " " +
                     fuzz::Escaped(back.Get(c, r)) + " vs " + fuzz::Escaped(table.Get(c, r)));
    }
  }
  FUZZ_CHECK(back.utf8() == AllUtf8(table), where + ": encoding");
}

void CheckReloaded(const core::Table& written, const core::Table& back, char separator,
                   const std::string& where) {
  if (written.ColCount() < 2) {
    FUZZ_CHECK(back.RowCount() == 2 && back.Get(1, 1).empty(), where + ": lines of CR LF only");
    return;
  }
  FUZZ_CHECK(back.RowCount() == written.RowCount(), where + ": RowCount");
  FUZZ_CHECK(back.ColCount() == written.ColCount() + 1, where + ": ColCount");
  for (int r = 1; r < written.RowCount(); ++r) {
    FUZZ_CHECK(back.Get(0, r) == std::to_string(r), where + ": row number");
    for (int c = 1; c < written.ColCount(); ++c) {
      FUZZ_CHECK(back.Get(c, r) == written.Get(c, r),
                 where + ": cell " + std::to_string(c) + "," + std::to_string(r) + " " +
                     fuzz::Escaped(back.Get(c, r)) + " vs " + fuzz::Escaped(written.Get(c, r)));
    }
    FUZZ_CHECK(back.Get(written.ColCount(), r).empty(), where + ": the trailing column");
  }
  // The encoding is decided by what the file holds; edits may have replaced
  // the cells that made the first file Windows-1252.
  if (static_cast<uint8_t>(separator) < 0x80) {
    FUZZ_CHECK(back.utf8() == AllUtf8(written), where + ": encoding");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput in(data, size);
  const char separator = kSeparators[in.Byte() % sizeof kSeparators];
  const uint8_t search_start = in.Byte();
  const uint8_t edits = in.Byte();
  const std::string_view bytes = in.Rest();
  const std::string path = fuzz::WriteScratch("roundtrip.txt", bytes);
  CheckQuoted(path, separator, edits, search_start, bytes);

  core::Table table;
  LoadInto(path, separator, table);
  Edit(table, edits);
  const char out_sep = UnusedSeparator(table, search_start);
  if (out_sep == 0) return 0;  // every byte in use: no separator would do

  const std::string out_path = fuzz::ScratchPath("written.txt");
  const core::WriteResult w = core::WriteTable(table, out_path, out_sep, nullptr, false);
  const std::string where =
      "written with " + fuzz::Escaped({&out_sep, 1}) + " from file " + fuzz::Escaped(bytes);
  FUZZ_CHECK(w.status.ok(), "WriteTable: " + w.status.message() + "; " + where);
  FUZZ_CHECK(w.rows_written == table.RowCount() - 1, where + ": rows_written");
  const std::string file = fuzz::ReadScratch(out_path);
  FUZZ_CHECK(file == Expected(table, out_sep), "file " + fuzz::Escaped(file) + "; " + where);

  core::Table back;
  LoadInto(out_path, out_sep, back);
  CheckReloaded(table, back, out_sep, where);
  return 0;
}
