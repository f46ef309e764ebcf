#include "core/ClipText.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/Memory.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace core {
namespace {

bool NeedsQuotes(std::string_view cell) {
  if (cell.empty()) return false;
  if (cell.front() == '"') return true;
  // Control characters are rare: one compare per byte finds that none of
  // them is here; only then the three are told apart.
  for (char ch : cell) {
    if (static_cast<unsigned char>(ch) <= '\r' && (ch == '\t' || ch == '\n' || ch == '\r')) {
      return true;
    }
  }
  return false;
}

void AppendCell(std::string& out, std::string_view cell) {
  if (!NeedsQuotes(cell)) {
    out.append(cell);
    return;
  }
  out.push_back('"');
  for (char c : cell) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
}

// Reads one cell at text[i]; i ends on the TAB, line end or end after it.
std::string ReadCell(std::string_view text, size_t& i) {
  std::string cell;
  if (i < text.size() && text[i] == '"') {
    ++i;
    while (i < text.size()) {
      if (text[i] == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell.push_back('"');
          i += 2;
          continue;
        }
        ++i;  // the closing quote; what follows up to the divider is kept
        break;
      }
      cell.push_back(text[i++]);
    }
  }
  while (i < text.size() && text[i] != '\t' && text[i] != '\n') {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') break;
    cell.push_back(text[i++]);
  }
  return cell;
}

// Builds the text in a small buffer that goes to the end of the result
// whenever it fills: a short cell then takes a few plain stores instead of
// the string's own calls, which cost four times as much.
class TextPieces {
 public:
  explicit TextPieces(std::string& out)
      : out_(out), buf_(new char[kPiece]), pos_(buf_.get()), end_(buf_.get() + kPiece) {}

  // Room for one short cell copied whole and the divider before it.
  void MakeRoom() {
    if (static_cast<size_t>(end_ - pos_) < kShortRoom) Flush();
  }
  void Put(char c) { *pos_++ = c; }
  // A short cell that needs no quotes: its 16 bytes copied at once, the ones
  // past the text overwritten by what follows.
  void PutShort(const unsigned char* raw, unsigned n) {
    std::memcpy(pos_, raw, sizeof(Cell));
    pos_ += n;
  }
  // Any other cell, straight into the result.
  void PutCell(std::string_view cell) {
    Flush();
    AppendCell(out_, cell);
  }
  void Flush() {
    out_.append(buf_.get(), static_cast<size_t>(pos_ - buf_.get()));
    pos_ = buf_.get();
  }

 private:
  static constexpr size_t kPiece = size_t{64} << 10;
  static constexpr size_t kShortRoom = sizeof(Cell) + 1;

  std::string& out_;
  std::unique_ptr<char[]> buf_;
  char* pos_;
  char* end_;
};

// Appends the text of one cell.
inline void PutCellOf(const Cell& cell, TextPieces& out) {
#if defined(__SSE2__)
  if (cell.IsInline()) {
    // Short cells: their bytes lie inside the cell, and one compare of all
    // 16 tells whether any needs the quotes.
    const auto* raw = reinterpret_cast<const unsigned char*>(&cell);
    const unsigned n = raw[15];
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(raw));
    const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('\t')),
                                                      _mm_cmpeq_epi8(x, _mm_set1_epi8('\n'))),
                                         _mm_cmpeq_epi8(x, _mm_set1_epi8('\r')));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special)) & ((1u << n) - 1);
    if (mask == 0 && (n == 0 || raw[0] != '"')) {
      out.PutShort(raw, n);
      return;
    }
  }
#endif
  out.PutCell(cell.view());
}

// Appends the text of one row's cells [left, right].
void AppendRow(const Table& table, int r, int left, int right, TextPieces& out) {
  const int stored = static_cast<int>(table.StoredLength(r));
  const Cell* cells = table.StoredCells(r);
  int c = left;
  if (c == 0) {  // column 0 is kept apart from the row
    out.MakeRoom();
    PutCellOf(table.Head(r), out);
    ++c;
  }
  for (; c <= right; ++c) {
    out.MakeRoom();
    if (c > left) out.Put('\t');
    if (c >= stored) continue;  // the rest of the row reads empty
    PutCellOf(cells[c], out);
  }
}

// The text of the cells [left, right] x [top, bottom], which lie inside the
// table. A function of its own, never inlined: with the empty-last-line rule
// of BlockToText inlined around it the loop ran 12 % slower on 85 MB.
[[gnu::noinline]] std::string RowsText(const Table& table, int left, int top, int right,
                                       int bottom) {
  std::string out;
  // Room for short cells and their dividers, not filled beforehand; long
  // texts grow it as needed.
  out.reserve(static_cast<size_t>(bottom - top + 1) * static_cast<size_t>(right - left + 1) * 9 +
              32);
  AdviseHugePages(out.data(), out.capacity());
  TextPieces pieces(out);
  for (int r = top; r <= bottom; ++r) {
    if (r > top) {
      pieces.MakeRoom();
      pieces.Put('\n');
    }
    AppendRow(table, r, left, right, pieces);
  }
  pieces.Flush();
  return out;
}

}  // namespace

std::string BlockToText(const Table& table, const Block& block) {
  const int left = std::max(block.left, 0);
  const int top = std::max(block.top, 0);
  const int right = std::min(block.right, table.ColCount() - 1);
  const int bottom = std::min(block.bottom, table.RowCount() - 1);
  if (right < left || bottom < top) return {};
  std::string out = RowsText(table, left, top, right, bottom);
  // An empty last line would read as the line end of the row before it: it
  // gets a line end of its own, as spreadsheets end every line.
  if (left == right && table.Get(left, bottom).empty()) out.push_back('\n');
  return out;
}

void TextToBlock(std::string_view text, Table& clip) {
  std::vector<std::vector<std::string>> rows(1);
  size_t i = 0;
  while (i < text.size()) {
    rows.back().push_back(ReadCell(text, i));
    if (i >= text.size()) break;
    if (text[i] == '\t') {
      ++i;
      if (i == text.size()) rows.back().emplace_back();  // a TAB at the very end
      continue;
    }
    i += text[i] == '\r' ? 2 : 1;  // the line end
    if (i < text.size()) rows.emplace_back();
  }
  size_t width = 0;
  for (const auto& row : rows) width = std::max(width, row.size());
  const bool utf8 = clip.utf8();
  clip.Reset(static_cast<int>(width), static_cast<int>(rows.size()));
  clip.set_utf8(utf8);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      clip.Set(static_cast<int>(c), static_cast<int>(r), rows[r][c]);
    }
  }
}

}  // namespace core
