#include "core/ClipText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Table.h"

namespace core {
namespace {

using Rows = std::vector<std::vector<std::string>>;

Rows Cells(const Table& t) {
  Rows rows(static_cast<size_t>(t.RowCount()));
  for (int r = 0; r < t.RowCount(); ++r) {
    for (int c = 0; c < t.ColCount(); ++c) rows[static_cast<size_t>(r)].emplace_back(t.Get(c, r));
  }
  return rows;
}

TEST(ClipText, BlocksGoOutAsTabLinesWithoutTrailingDividers) {
  Table t;
  t.Reset(4, 3);
  t.Set(1, 1, "a");
  t.Set(3, 1, "c");
  t.Set(2, 2, "mitte");
  EXPECT_EQ(BlockToText(t, Block{1, 1, 3, 2}), "a\t\tc\n\tmitte\t");
  EXPECT_EQ(BlockToText(t, Block{2, 2, 2, 2}), "mitte");
  EXPECT_EQ(BlockToText(t, Block{3, 1, 9, 1}), "c");  // cut to the table
}

TEST(ClipText, EveryCellComesBack) {
  const Rows cells = {
      {"plain", "", "tab\there", "line\nend", "\"quoted\" start"},
      {"", "cr\r\nlf", "a \"middle\" quote", "trailing tab\t", ""},
      {"M\xC3\xBCller", "\r", "\"", "x", "last"},
  };
  Table t;
  t.Reset(5, 3);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 5; ++c) t.Set(c, r, cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
  }
  Table back;
  TextToBlock(BlockToText(t, Block{0, 0, 4, 2}), back);
  EXPECT_EQ(Cells(back), cells);
}

// A block far bigger than the text is built in at a time, with short, long
// and quoted cells at every place of the pieces.
TEST(ClipText, LargeBlocksComeBackWhole) {
  const std::string specials[] = {"tab\there", "\"start", "cr\rx", "line\nend"};
  Table t;
  t.Reset(7, 4001);
  for (int r = 0; r < 4001; ++r) {
    for (int c = 0; c < 7; ++c) {
      const int len = (r * 7 + c * 13) % 41;
      t.Set(c, r, (r + c) % 97 == 0 ? specials[(r + c) % 4]
                                    : std::string(static_cast<size_t>(len), 'a' + (r + c) % 26));
    }
  }
  Table back;
  TextToBlock(BlockToText(t, Block{0, 0, 6, 4000}), back);
  EXPECT_TRUE(Cells(back) == Cells(t));
}

// A block one column wide whose last cells are empty has nothing on its last
// line; it must still come back with all its rows.
TEST(ClipText, EmptyLastCellsOfOneColumnComeBack) {
  const Rows cases[] = {{{""}}, {{"a"}, {""}}, {{"a"}, {""}, {""}}, {{""}, {""}}};
  for (const Rows& cells : cases) {
    Table t;
    t.Reset(1, static_cast<int>(cells.size()));
    for (size_t r = 0; r < cells.size(); ++r) t.Set(0, static_cast<int>(r), cells[r][0]);
    const std::string text = BlockToText(t, Block{0, 0, 0, t.RowCount() - 1});
    Table back;
    TextToBlock(text, back);
    EXPECT_EQ(Cells(back), cells) << text;
  }
}

TEST(ClipText, PastedTextFromOtherPrograms) {
  struct Case {
    const char* what;
    std::string text;
    Rows cells;
  };
  const Case cases[] = {
      {"line end after the last row", "a\tb\nc\td\n", {{"a", "b"}, {"c", "d"}}},
      {"CR LF", "a\tb\r\nc\td\r\n", {{"a", "b"}, {"c", "d"}}},
      {"ragged rows", "a\nb\tc\td\n\te", {{"a", "", ""}, {"b", "c", "d"}, {"", "e", ""}}},
      {"empty lines inside", "a\n\nb", {{"a"}, {""}, {"b"}}},
      {"a TAB at the end", "a\t", {{"a", ""}}},
      {"one cell", "wort", {{"wort"}}},
      {"quotes inside a cell stay", "say \"hi\"\tx", {{"say \"hi\"", "x"}}},
      {"nothing", "", {{}}},
  };
  for (const Case& c : cases) {
    Table t;
    t.set_utf8(false);
    TextToBlock(c.text, t);
    Rows got = Cells(t);
    if (c.cells == Rows{{}}) {
      EXPECT_EQ(t.ColCount(), 0) << c.what;
      continue;
    }
    EXPECT_EQ(got, c.cells) << c.what;
    EXPECT_FALSE(t.utf8()) << c.what;  // the caller's encoding stays
  }
}

}  // namespace
}  // namespace core
