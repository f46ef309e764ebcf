#include "core/ClipText.h"

#include <algorithm>
#include <vector>

namespace core {
namespace {

bool NeedsQuotes(std::string_view cell) {
  return !cell.empty() &&
         (cell.front() == '"' || cell.find_first_of("\t\n\r") != std::string_view::npos);
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

}  // namespace

std::string BlockToText(const Table& table, const Block& block) {
  const int left = std::max(block.left, 0);
  const int top = std::max(block.top, 0);
  const int right = std::min(block.right, table.ColCount() - 1);
  const int bottom = std::min(block.bottom, table.RowCount() - 1);
  std::string out;
  for (int r = top; r <= bottom; ++r) {
    if (r > top) out.push_back('\n');
    for (int c = left; c <= right; ++c) {
      if (c > left) out.push_back('\t');
      AppendCell(out, table.Get(c, r));
    }
  }
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
