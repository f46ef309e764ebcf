// Blocks of cells as the text spreadsheets exchange through the system
// clipboard: one line per row, divided by LF with none after the last unless
// the last line is empty (a block one column wide ending in an empty cell),
// the cells of a row divided by TAB, no TAB after the last. A cell holding a TAB,
// a line end or a leading '"' is written in double quotes, with its own
// quotes doubled, so every cell comes back as it went.
#ifndef MARVESK_CORE_CLIPTEXT_H_
#define MARVESK_CORE_CLIPTEXT_H_

#include <string>
#include <string_view>

#include "core/Edit.h"
#include "core/Table.h"

namespace core {

// The cells of `block` (cut to the table) as such text, in the table's bytes.
std::string BlockToText(const Table& table, const Block& block);

// Such text as a table of its rows and the widest row's cells, cell (0, 0)
// first; short rows read empty at their end. CR LF counts as LF, and a line
// end after the last row ends it. The table's encoding is left as it was.
void TextToBlock(std::string_view text, Table& clip);

}  // namespace core

#endif  // MARVESK_CORE_CLIPTEXT_H_
