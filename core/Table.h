// The table held in a grid: ColCount x RowCount cells of bytes, addressed as
// (column, row) from 0. Row 0 and column 0 are the header cells.
//
// Storage is built for files of many millions of cells:
//  - a Cell is 16 bytes; texts of up to 15 bytes live inside it, longer texts
//    in a byte arena, so short cells never touch the heap;
//  - each row is one array of cells taken from a block pool, and a row stores
//    only as many cells as it has been given (a short row reads as empty
//    cells up to ColCount), so ragged files cost nothing extra;
//  - column 0 (the row numbers) lives apart from the rows, one cell per row
//    in a column of its own: removing rows moves the rows' references and
//    leaves the numbers where they are, without a trip to every row behind;
//  - the arenas are shared between tables, so copying cells from one table
//    into another (transposition) copies 16 bytes per cell and no text.
// Reading outside the counts gives the empty text; writing there changes
// nothing. Rows are built in place through a TableBuilder (TableBuilder.h). Allocation failures
// (including the headroom check of Memory.h) surface as std::bad_alloc and leave the table
// consistent.
#ifndef MARVESK_CORE_TABLE_H_
#define MARVESK_CORE_TABLE_H_

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Memory.h"

namespace core {

static_assert(std::endian::native == std::endian::little, "Cell layout assumes little endian");

class Cell {
 public:
  static constexpr size_t kInlineMax = 15;

  Cell() { std::memset(bytes_, 0, sizeof bytes_); }

  // A short text; n <= kInlineMax.
  static Cell Inline(const char* p, size_t n) {
    Cell c;
    std::memcpy(c.bytes_, p, n);
    c.bytes_[15] = static_cast<unsigned char>(n);
    return c;
  }
  // As Inline, but reads 16 bytes from p whatever n is: the caller's buffer
  // must be readable 16 bytes past p. Bytes past n are never looked at.
  static Cell InlineFromPadded(const char* p, size_t n) {
    Cell c(NoInit{});
    std::memcpy(c.bytes_, p, 16);
    c.bytes_[15] = static_cast<unsigned char>(n);
    return c;
  }
  // A text stored elsewhere; the caller keeps it alive.
  static Cell External(const char* p, uint64_t n) {
    Cell c(NoInit{});
    const uint64_t meta = n | (uint64_t{kExternalTag} << 56);
    std::memcpy(c.bytes_, &p, 8);
    std::memcpy(c.bytes_ + 8, &meta, 8);
    return c;
  }

  bool IsInline() const { return bytes_[15] != kExternalTag; }
  size_t size() const {
    if (IsInline()) return bytes_[15];
    uint64_t meta;
    std::memcpy(&meta, bytes_ + 8, 8);
    return meta & ((uint64_t{1} << 56) - 1);
  }
  bool empty() const { return size() == 0; }
  std::string_view view() const {
    if (IsInline()) return {reinterpret_cast<const char*>(bytes_), bytes_[15]};
    const char* p;
    std::memcpy(&p, bytes_, 8);
    return {p, size()};
  }

 private:
  struct NoInit {};
  explicit Cell(NoInit) {}
  static constexpr unsigned char kExternalTag = 0x80;
  alignas(8) unsigned char bytes_[16];
};
static_assert(sizeof(Cell) == 16);

// A column of cells in one array. Its room comes zero-filled from the system
// and the column knows how far it has been used, so room never used reads
// as empty cells without a pass over it (a big table's column asks the
// kernel for its pages only as they are written, huge ones where it can),
// and room used before is emptied only when it is taken again. Allocation
// failures throw std::bad_alloc.
class CellColumn {
 public:
  CellColumn() = default;
  CellColumn(const CellColumn&) = delete;
  CellColumn& operator=(const CellColumn&) = delete;
  ~CellColumn();

  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  Cell& operator[](size_t i) { return cells_[i]; }
  const Cell& operator[](size_t i) const { return cells_[i]; }
  const Cell* data() const { return cells_; }
  // The cells past the old size read empty.
  void resize(size_t n);
  void reserve(size_t n);
  void push_back(const Cell& cell) {
    if (size_ == capacity_) reserve(capacity_ < 8 ? 16 : capacity_ * 2);
    cells_[size_++] = cell;
    if (size_ > used_) used_ = size_;
  }
  // Every cell reads empty; the size stays.
  void EmptyAll();
  // No cells and no room.
  void Release();
  void swap(CellColumn& other) noexcept;

 private:
  Cell* cells_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t used_ = 0;  // the cells from here on were never used: they are zero
};

// Append-only store of cell texts longer than Cell::kInlineMax.
class ByteArena {
 public:
  ByteArena() = default;
  ByteArena(const ByteArena&) = delete;
  ByteArena& operator=(const ByteArena&) = delete;

  // Copies the text and returns a pointer that stays valid for the arena's life.
  const char* Store(std::string_view text);
  uint64_t bytes_reserved() const { return reserved_; }

 private:
  std::vector<std::unique_ptr<char[]>> blocks_;
  char* next_ = nullptr;
  size_t left_ = 0;
  uint64_t reserved_ = 0;
};

class Table {
 public:
  Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;
  ~Table();

  int ColCount() const { return col_count_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }

  // Raising a count adds empty cells at the end; lowering it discards the
  // cells beyond. Counts below 0 are taken as 0.
  void SetColCount(int n);
  void SetRowCount(int n);

  std::string_view Get(int col, int row) const {
    if (row < 0 || row >= RowCount() || col < 0) return {};
    if (col == 0) return heads_[static_cast<size_t>(row)].view();
    const RowRef& r = rows_[static_cast<size_t>(row)];
    if (static_cast<uint32_t>(col) >= r.size) return {};
    return r.cells[col].view();
  }
  void Set(int col, int row, std::string_view text);

  // Empties every cell and sets the counts, freeing all storage at once.
  void Reset(int col_count, int row_count);
  // As Reset, but the row blocks stay with the table for the next rows
  // built in it (a load, a transposition), which take them instead of fresh
  // memory from the system; what the build leaves goes back when it is done
  // (TableBuilder::Finish), and all of them when a block of another size is
  // needed.
  void ResetKeepingStorage(int col_count, int row_count);

  // Text encoding of the cells, decided by the loader: true when every
  // loaded byte sequence was valid UTF-8 (plain ASCII included).
  bool utf8() const { return utf8_; }
  void set_utf8(bool v) { utf8_ = v; }

  // Read access for the table algorithms (writer, transposition, ...):
  // columns 1 .. StoredLength(row) - 1 of `row` are stored, at
  // StoredCells(row)[column] (StoredLength <= ColCount; the rest read
  // empty). Column 0 is never there, whatever StoredLength says: it is
  // Head(row), which every row has. StoredCells may be null when no column
  // past 0 is stored.
  size_t StoredLength(int row) const { return rows_[static_cast<size_t>(row)].size; }
  const Cell* StoredCells(int row) const { return rows_[static_cast<size_t>(row)].cells; }
  const Cell& Head(int row) const { return heads_[static_cast<size_t>(row)]; }

  // Moves the data cells of row `from` to row `to`, shifting the rows
  // between; column 0 (the row numbers) stays as it is.
  void MoveRow(int from, int to);
  // Moves the data cells of column `from` to column `to` in every row but row
  // 0 (the column numbers stay).
  void MoveCol(int from, int to);

  // Storage in bytes taken by cells, rows and arenas (for benchmarks).
  uint64_t StorageBytes() const;

  // Exchanges everything, cells, counts and encoding, with `other`.
  void swap(Table& other) noexcept;

 private:
  // Builds and edits rows in place for the loader, the transposition and
  // the edit operations.
  friend class TableBuilder;

  // Makes a cell for `text`; long texts are copied into this table's arena.
  Cell MakeCell(std::string_view text) {
    if (text.size() <= Cell::kInlineMax) return Cell::Inline(text.data(), text.size());
    return MakeLongCell(text);
  }
  // As MakeCell, for a text inside a buffer readable 16 bytes past its start.
  Cell MakeCellPadded(const char* p, size_t n) {
    if (n <= Cell::kInlineMax) return Cell::InlineFromPadded(p, n);
    return MakeLongCell({p, n});
  }
  // Row storage is counted in columns, column 0 included, and the pointers
  // handed out are those of StoredCells: column c at [c], for c >= 1 only.
  // Gives `row` room for exactly n stored columns (n <= ColCount), the new
  // ones empty, and returns them for writing. Existing cells are kept.
  Cell* ResizeRow(int row, size_t n);
  bool RowHasRoom(int row, size_t n) const {
    return n <= 1 || n <= rows_[static_cast<size_t>(row)].capacity;
  }
  // As ResizeRow for an empty row, but the n cells are left as they are:
  // the caller writes every one of them.
  Cell* SizeRowForWriting(int row, size_t n);
  // Lets this table hold cells whose texts live in `other`'s arenas.
  void ShareArenasOf(const Table& other);
  // Building a row in place, for the loader: columns 1, 2, ... are written
  // straight into the pool at OpenRow()[1], OpenRow()[2], ..., with room up
  // to column OpenRowRoom() - 1; GrowOpenRow moves the columns below `used`
  // written so far to a block with room for at least `room` columns and
  // returns the new place. CommitOpenRow makes the columns below n the stored
  // cells of `row` (n <= ColCount); column 0 is the row's Head, set apart.
  Cell* OpenRow() { return pool_next_ ? pool_next_ - 1 : nullptr; }
  size_t OpenRowRoom() const { return pool_next_ ? pool_left_ + 1 : 0; }
  // `ahead`: much is still to come, so the block after the new one is taken
  // now too (see NewPoolBlock).
  Cell* GrowOpenRow(size_t used, size_t room, bool ahead = false);
  void CommitOpenRow(int row, size_t n);
  // Takes the first n cells at OpenRow() out of the pool without making
  // them a row yet (a row read on another thread); PlaceRow makes cells
  // taken so, here or in a table whose storage this one took over, the
  // stored cells of `row`.
  Cell* TakeOpenRow(size_t n) {
    if (n <= 1) return nullptr;
    Cell* cells = pool_next_ - 1;
    pool_next_ += n - 1;
    pool_left_ -= n - 1;
    return cells;
  }
  void PlaceRow(int row, Cell* cells, size_t n) {
    rows_[static_cast<size_t>(row)] =
        n > 1 ? RowRef{cells, static_cast<uint32_t>(n), static_cast<uint32_t>(n)}
              : RowRef{nullptr, 0, 0};
  }
  // Takes over the pool blocks `other` has filled so far and shares its
  // arenas, so that cells it built may be placed here. `other` goes on
  // filling its current block (now owned here) and frees none of them.
  void TakeStorageOf(Table& other);
  // Hands every second kept block to `other` (a table built beside this
  // one, whose storage this one takes over).
  void ShareKeptWith(Table& other);
  // The stored cells of `row`, for writing in place (columns >= 1), and its
  // cell of column 0.
  Cell* MutableCells(int row) { return rows_[static_cast<size_t>(row)].cells; }
  Cell& MutableHead(int row) { return heads_[static_cast<size_t>(row)]; }
  // Lowers the stored length of `row` to n (n <= StoredLength(row)); the
  // cells beyond then read empty.
  void TruncateRow(int row, size_t n) {
    rows_[static_cast<size_t>(row)].size = static_cast<uint32_t>(n);
  }
  // Exchanges the stored cells of two rows; column 0 stays.
  void SwapRowStorage(int a, int b) {
    std::swap(rows_[static_cast<size_t>(a)], rows_[static_cast<size_t>(b)]);
  }
  // Drops the stored cells of rows [from, from + n); the rows after them
  // move up, and column 0 stays with the places: its last n cells go.
  void EraseRows(int from, int n) {
    const auto first = rows_.begin() + from;
    rows_.erase(first, first + n);
    heads_.resize(rows_.size());
  }
  // Whether AppendRow takes no memory.
  bool AppendRowFits() const {
    return rows_.size() < rows_.capacity() && heads_.size() < heads_.capacity();
  }
  // Appends one empty row (RowCount + 1).
  void AppendRow() {
    if (rows_.size() == rows_.capacity() || heads_.size() == heads_.capacity()) GrowRows();
    rows_.push_back(RowRef{nullptr, 0, 0});
    heads_.push_back(Cell());
  }
  // Room for n rows without moving the row directory.
  void ReserveRows(size_t n);
  // Takes one pool block for n more cells, so that the rows sized next (by
  // ResizeRow of empty rows) share a single allocation without slack.
  void ReserveCells(size_t n);
  bool PoolBlockFresh() const { return !pool_dirty_; }
  // Pool blocks grow no bigger than `cells` (0: as big as they grow), so
  // that a build which knows roughly how much is to come does not leave
  // most of a big last block unused.
  void LimitBlocks(size_t cells) { block_limit_ = cells; }
  // The pool blocks, for a copy that frees them as it passes their rows:
  // block i holds the cells [PoolBlock(i).first, + .second). FreePoolBlock
  // gives one back to the system; no row may read it afterwards. Two
  // threads may free different blocks at once.
  size_t PoolBlockCount() const { return blocks_.size(); }
  std::pair<const Cell*, size_t> PoolBlock(size_t i) const {
    return {blocks_[i].cells, blocks_[i].count};
  }
  void FreePoolBlock(size_t i);
  // Whether a pool block in use lies in huge pages, whose pieces are never
  // moved (see MoveCellPages).
  bool PoolHasHugeBlocks() const;
  // Where the directory entry and the column-0 cell of `row` lie
  // (row <= RowCount), for giving their pages back (see GiveBackPages).
  const void* RowEntry(int row) const { return rows_.data() + row; }
  const void* HeadEntry(int row) const { return heads_.data() + row; }

  // `cells` points one cell before the row's array, at the place column 0
  // would have (every pool block keeps its first cell unused, so that place
  // lies inside the block); null when no column past 0 is stored. `size`
  // and `capacity` count columns, column 0 included.
  struct RowRef {
    Cell* cells;
    uint32_t size;
    uint32_t capacity;
  };
  Cell MakeLongCell(std::string_view text);
  void GrowRows();
  // n cells from the pool, empty unless `clear` is false (the caller then
  // writes them all).
  Cell* AllocCells(size_t n, bool clear = true);
  // Takes a fresh zero-filled block for n cells as the pool's current block.
  // `ahead`: blocks are taken one after the other (a load), so the next one
  // is taken now too and its pages provided on another thread meanwhile.
  void NewPoolBlock(size_t n, bool ahead = false);
  void FreeSpare();  // the block taken ahead and the kept ones
  void FreeKept();
  size_t NextBlockCells(size_t at_least) const;
  ByteArena& OwnArena();

  int col_count_ = 2;
  // Big for a big table: its pages are taken as the cells' are.
  CellBlockVector<RowRef> rows_;
  CellColumn heads_;  // column 0, one cell for each row
  bool utf8_ = true;

  // Block pool for row arrays. Blocks are zero-filled, and a zero Cell is the
  // empty text, so fresh rows need no initialisation.
  struct Block {
    Cell* cells;
    size_t count;
    bool huge = false;  // in huge pages (see NewCellBlock)
  };
  // Big blocks are kept a moment for the next table (see FreedBlocks).
  static void FreeBlock(const Block& b);
  std::vector<Block> blocks_;
  // The block a load will take next, taken ahead (see NewPoolBlock).
  Block spare_{nullptr, 0};
  // A block of at least n cells from the kept ones; none (and the kept ones
  // freed) when none is big enough.
  Block TakeKept(size_t n);
  // Blocks of the table before ResetKeepingStorage, not yet taken again.
  std::vector<Block> kept_;
  // The current block came from kept_: its cells hold old texts.
  bool pool_dirty_ = false;
  Cell* pool_next_ = nullptr;
  size_t pool_left_ = 0;
  // Cells of the last block this table took itself. The next one doubles
  // it even after TakeStorageOf moved the blocks on: a load's helper then
  // goes on with big blocks instead of starting small in every region.
  size_t last_block_cells_ = 0;
  size_t block_limit_ = 0;
  uint64_t pool_bytes_ = 0;

  std::shared_ptr<ByteArena> own_arena_;
  std::vector<std::shared_ptr<ByteArena>> arenas_;  // own_arena_ included
};

// Empties every cell, header cells included, and sets RowCount to 2;
// ColCount stays. `keep_storage`: the table keeps its blocks for the load
// that follows (see Table::ResetKeepingStorage).
void ClearGrid(Table& table, bool keep_storage = false);

}  // namespace core

#endif  // MARVESK_CORE_TABLE_H_
