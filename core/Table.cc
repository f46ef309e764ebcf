#include "core/Table.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "core/Memory.h"

namespace core {
namespace {

constexpr size_t kFirstPoolBlockCells = 4096;           // 64 KiB
constexpr size_t kMaxPoolBlockCells = size_t{4} << 20;  // 64 MiB
constexpr size_t kArenaBlockBytes = size_t{1} << 20;

}  // namespace

const char* ByteArena::Store(std::string_view text) {
  if (text.size() > left_) {
    const size_t size = std::max(kArenaBlockBytes, text.size());
    ReserveMemory(size);
    blocks_.push_back(std::unique_ptr<char[]>(new char[size]));
    next_ = blocks_.back().get();
    left_ = size;
    reserved_ += size;
  }
  char* p = next_;
  std::memcpy(p, text.data(), text.size());
  next_ += text.size();
  left_ -= text.size();
  return p;
}

namespace {

// Big columns are mappings of their own, as big pool blocks are (see
// NewCellBlock): their pages come fresh from the kernel as they are
// written, and the heap keeps its reused memory for the rest.
Cell* NewColumn(size_t n) {
  auto* cells = static_cast<Cell*>(NewCellBlock(n * sizeof(Cell)));
  if (!cells) throw std::bad_alloc();
  return cells;
}

void FreeColumn(Cell* cells, size_t n) { FreeCellBlock(cells, n * sizeof(Cell)); }

}  // namespace

CellColumn::~CellColumn() { FreeColumn(cells_, capacity_); }

void CellColumn::reserve(size_t n) {
  if (n <= capacity_) return;
  if (n > SIZE_MAX / sizeof(Cell)) throw std::bad_alloc();
  Cell* fresh = NewColumn(n);
  if (size_) std::memcpy(static_cast<void*>(fresh), cells_, size_ * sizeof(Cell));
  FreeColumn(cells_, capacity_);
  cells_ = fresh;
  capacity_ = n;
  used_ = size_;
}

void CellColumn::resize(size_t n) {
  if (n > capacity_) reserve(n);
  // Cells used before (and dropped since) are emptied; the rest are zero.
  if (n > size_ && used_ > size_) {
    std::memset(static_cast<void*>(cells_ + size_), 0, (std::min(n, used_) - size_) * sizeof(Cell));
  }
  size_ = n;
  if (size_ > used_) used_ = size_;
}

void CellColumn::EmptyAll() {
  if (size_) std::memset(static_cast<void*>(cells_), 0, size_ * sizeof(Cell));
}

void CellColumn::Release() {
  FreeColumn(cells_, capacity_);
  cells_ = nullptr;
  size_ = capacity_ = used_ = 0;
}

void CellColumn::swap(CellColumn& other) noexcept {
  std::swap(cells_, other.cells_);
  std::swap(size_, other.size_);
  std::swap(capacity_, other.capacity_);
  std::swap(used_, other.used_);
}

Table::Table() {
  rows_.resize(2, RowRef{nullptr, 0, 0});
  heads_.resize(2);
}

void Table::FreeBlock(const Block& b) {
  if (b.cells) FreeBlockLater(b.cells, b.count * sizeof(Cell), b.huge);
}

void Table::FreePoolBlock(size_t i) {
  // Straight back to the system, not kept (see FreedBlocks): the copy's
  // own storage takes its pages from there.
  FreeCellBlock(blocks_[i].cells, blocks_[i].count * sizeof(Cell));
  blocks_[i].cells = nullptr;
}

bool Table::PoolHasHugeBlocks() const {
  return std::any_of(blocks_.begin(), blocks_.end(),
                     [](const Block& b) { return b.cells && b.huge; });
}

Table::~Table() {
  for (const Block& b : blocks_) FreeBlock(b);
  FreeSpare();
}

void Table::FreeSpare() {
  FreeBlock(spare_);
  spare_ = Block{nullptr, 0};
  FreeKept();
}

void Table::FreeKept() {
  for (const Block& b : kept_) FreeBlock(b);
  kept_.clear();
  kept_.shrink_to_fit();
}

Table::Block Table::TakeKept(size_t n) {
  for (size_t i = 0; i < kept_.size(); ++i) {
    if (kept_[i].count < n) continue;
    const Block b = kept_[i];
    kept_.erase(kept_.begin() + static_cast<std::ptrdiff_t>(i));
    return b;
  }
  // Blocks of other sizes than the build asks for would only raise its peak.
  FreeKept();
  return Block{nullptr, 0};
}

void Table::ResetKeepingStorage(int col_count, int row_count) {
  std::vector<Block> keep;
  keep.swap(kept_);
  keep.insert(keep.end(), blocks_.begin(), blocks_.end());
  if (spare_.cells) keep.push_back(spare_);
  blocks_.clear();
  spare_ = Block{nullptr, 0};
  // Column 0 keeps its room too, emptied.
  CellColumn heads;
  heads.swap(heads_);
  Reset(col_count, 0);
  heads.resize(0);
  heads.resize(static_cast<size_t>(std::max(row_count, 0)));
  heads_.swap(heads);
  rows_.resize(heads_.size(), RowRef{nullptr, 0, 0});
  // In the order they were taken: a load asks for the same sizes again.
  kept_.swap(keep);
}

void Table::Reset(int col_count, int row_count) {
  for (const Block& b : blocks_) FreeBlock(b);
  blocks_.clear();
  FreeSpare();
  pool_dirty_ = false;
  pool_next_ = nullptr;
  pool_left_ = 0;
  last_block_cells_ = 0;
  pool_bytes_ = 0;
  own_arena_.reset();
  arenas_.clear();
  rows_.clear();
  rows_.shrink_to_fit();
  heads_.Release();
  col_count_ = std::max(col_count, 0);
  rows_.resize(static_cast<size_t>(std::max(row_count, 0)), RowRef{nullptr, 0, 0});
  heads_.resize(rows_.size());
}

void ClearGrid(Table& table, bool keep_storage) {
  if (keep_storage) {
    table.ResetKeepingStorage(table.ColCount(), 2);
  } else {
    table.Reset(table.ColCount(), 2);
  }
}

void Table::SetColCount(int n) {
  n = std::max(n, 0);
  if (n < col_count_) {
    for (RowRef& r : rows_) {
      if (r.size > static_cast<uint32_t>(n)) r.size = static_cast<uint32_t>(n);
    }
    if (n == 0) heads_.EmptyAll();
  }
  col_count_ = n;
}

void Table::SetRowCount(int n) {
  n = std::max(n, 0);
  rows_.resize(static_cast<size_t>(n), RowRef{nullptr, 0, 0});
  heads_.resize(rows_.size());
}

void Table::ReserveRows(size_t n) {
  if (n <= rows_.capacity() && n <= heads_.capacity()) return;
  ReserveMemory(n * (sizeof(RowRef) + sizeof(Cell)));
  rows_.reserve(n);
  heads_.reserve(n);
}

void Table::GrowRows() {
  const size_t cap = std::max<size_t>(rows_.capacity() * 2, 16);
  ReserveMemory((cap - rows_.size()) * (sizeof(RowRef) + sizeof(Cell)));
  rows_.reserve(cap);
  heads_.reserve(cap);
}

Cell* Table::GrowOpenRow(size_t used, size_t room, bool ahead) {
  // The row being built moves to a fresh block that has room for it.
  const Cell* old = pool_next_;
  NewPoolBlock(NextBlockCells(room * 2), ahead);
  if (used > 1) std::memcpy(static_cast<void*>(pool_next_), old, (used - 1) * sizeof(Cell));
  return pool_next_ - 1;
}

void Table::CommitOpenRow(int row, size_t n) {
  RowRef& r = rows_[static_cast<size_t>(row)];
  if (n <= 1) {
    r = RowRef{nullptr, 0, 0};
    return;
  }
  r = RowRef{pool_next_ - 1, static_cast<uint32_t>(n), static_cast<uint32_t>(n)};
  pool_next_ += n - 1;
  pool_left_ -= n - 1;
}

void Table::NewPoolBlock(size_t n, bool ahead) {
  if (n >= SIZE_MAX / sizeof(Cell)) throw std::bad_alloc();
  ++n;                                  // the unused first cell
  blocks_.reserve(blocks_.size() + 1);  // no throw between taking and push_back
  Cell* cells;
  const Block kept = kept_.empty() ? Block{nullptr, 0} : TakeKept(n);
  size_t freed_bytes = 0;
  void* freed = nullptr;  // a block another table gave back
  bool huge = false;
  if (kept.cells) {
    cells = kept.cells;
    n = kept.count;
    huge = kept.huge;
  } else if (spare_.cells && spare_.count >= n) {
    cells = spare_.cells;
    n = spare_.count;
    huge = spare_.huge;
    spare_ = Block{nullptr, 0};
  } else if ((freed = TakeFreedBlock(n * sizeof(Cell), &freed_bytes, &huge))) {
    cells = static_cast<Cell*>(freed);
    n = freed_bytes / sizeof(Cell);
  } else {
    ReserveMemory(n * sizeof(Cell));
    // Fresh zero pages for large blocks: no initialising pass.
    cells = static_cast<Cell*>(NewCellBlock(n * sizeof(Cell), &huge));
    if (!cells) throw std::bad_alloc();
  }
  // Cells of a block an earlier table had still hold its texts.
  pool_dirty_ = kept.cells != nullptr || freed != nullptr;
  blocks_.push_back(Block{cells, n, huge});
  last_block_cells_ = n;
  pool_bytes_ += n * sizeof(Cell);
  pool_next_ = cells + 1;
  pool_left_ = n - 1;
  // Fresh pages cost the kernel far more than filling them costs the load
  // (they must be found and cleared, on a virtual machine often provided by
  // the host on first touch); once the blocks are big, the other core does
  // that for the next block while this one is filled.
  if (!ahead || n < kMaxPoolBlockCells / 2 || spare_.cells || !kept_.empty() || freed) return;
  const size_t next = NextBlockCells(0) + 1;
  try {
    ReserveMemory(next * sizeof(Cell));
  } catch (const std::bad_alloc&) {
    return;  // no room to spare: the next block is taken when it is needed
  }
  spare_.cells = static_cast<Cell*>(NewCellBlock(next * sizeof(Cell), &spare_.huge));
  if (!spare_.cells) return;
  spare_.count = next;
  PopulateInBackground(spare_.cells, next * sizeof(Cell));
}

size_t Table::NextBlockCells(size_t at_least) const {
  size_t block = last_block_cells_ == 0 ? kFirstPoolBlockCells
                                        : std::min((last_block_cells_ - 1) * 2, kMaxPoolBlockCells);
  if (block_limit_) block = std::min(block, std::max(block_limit_, kFirstPoolBlockCells));
  return std::max(block, at_least);
}

void Table::ReserveCells(size_t n) {
  if (n > pool_left_) NewPoolBlock(n);
}

Cell* Table::AllocCells(size_t n, bool clear) {
  if (n == 0) return nullptr;
  if (n > pool_left_) NewPoolBlock(NextBlockCells(n));
  Cell* p = pool_next_;
  pool_next_ += n;
  pool_left_ -= n;
  // Cells from a kept block still hold the texts of the table before.
  if (clear && pool_dirty_) std::memset(static_cast<void*>(p), 0, n * sizeof(Cell));
  return p;
}

Cell* Table::SizeRowForWriting(int row, size_t n) {
  RowRef& r = rows_[static_cast<size_t>(row)];
  if (n <= 1) {
    r = RowRef{nullptr, 0, 0};
    return nullptr;
  }
  Cell* cells = AllocCells(n - 1, /*clear=*/false) - 1;
  r = RowRef{cells, static_cast<uint32_t>(n), static_cast<uint32_t>(n)};
  return cells;
}

ByteArena& Table::OwnArena() {
  if (!own_arena_) {
    auto arena = std::make_shared<ByteArena>();
    arenas_.push_back(arena);
    own_arena_ = std::move(arena);
  }
  return *own_arena_;
}

Cell Table::MakeLongCell(std::string_view text) {
  const char* p = OwnArena().Store(text);
  return Cell::External(p, text.size());
}

void Table::TakeStorageOf(Table& other) {
  blocks_.reserve(blocks_.size() + other.blocks_.size());
  for (const Block& b : other.blocks_) {
    blocks_.push_back(b);
    pool_bytes_ += b.count * sizeof(Cell);
  }
  other.blocks_.clear();
  other.pool_bytes_ = 0;
  if (other.own_arena_) ShareArenasOf(other);
}

void Table::ShareKeptWith(Table& other) {
  std::vector<Block> mine;
  for (size_t i = 0; i < kept_.size(); ++i) (i % 2 ? other.kept_ : mine).push_back(kept_[i]);
  kept_.swap(mine);
}

void Table::ShareArenasOf(const Table& other) {
  for (const auto& a : other.arenas_) {
    if (std::find(arenas_.begin(), arenas_.end(), a) == arenas_.end()) arenas_.push_back(a);
  }
}

Cell* Table::ResizeRow(int row, size_t n) {
  RowRef& r = rows_[static_cast<size_t>(row)];
  if (n <= 1) {  // column 0 is stored apart
    r.size = static_cast<uint32_t>(n);
    return r.cells;
  }
  if (n <= r.capacity) {
    const size_t from = std::max<size_t>(r.size, 1);
    if (n > from) std::memset(static_cast<void*>(r.cells + from), 0, (n - from) * sizeof(Cell));
    r.size = static_cast<uint32_t>(n);
    return r.cells;
  }
  // Grow with some slack so that filling a short row cell by cell stays linear.
  size_t cap = std::max(n, static_cast<size_t>(r.size) + r.size / 2);
  cap = std::min(cap, static_cast<size_t>(std::max(col_count_, 0)));
  cap = std::max(cap, n);
  Cell* fresh = AllocCells(cap - 1) - 1;  // zero-filled
  if (r.size > 1)
    std::memcpy(static_cast<void*>(fresh + 1), r.cells + 1, (r.size - 1) * sizeof(Cell));
  r.cells = fresh;
  r.size = static_cast<uint32_t>(n);
  r.capacity = static_cast<uint32_t>(cap);
  return fresh;
}

void Table::Set(int col, int row, std::string_view text) {
  if (row < 0 || row >= RowCount() || col < 0 || col >= col_count_) return;
  if (col == 0) {
    heads_[static_cast<size_t>(row)] = MakeCell(text);
    return;
  }
  RowRef& r = rows_[static_cast<size_t>(row)];
  if (static_cast<uint32_t>(col) >= r.size) {
    if (text.empty()) return;  // already reads empty
    ResizeRow(row, static_cast<size_t>(col) + 1);
  }
  const Cell cell = MakeCell(text);
  rows_[static_cast<size_t>(row)].cells[col] = cell;
}

void Table::MoveRow(int from, int to) {
  const int n = RowCount();
  if (from == to || from < 0 || to < 0 || from >= n || to >= n) return;
  // The numbers in column 0 are apart from the rows: they stay.
  auto first = rows_.begin() + std::min(from, to);
  auto last = rows_.begin() + std::max(from, to) + 1;
  if (from < to) {
    std::rotate(first, first + 1, last);
  } else {
    std::rotate(first, last - 1, last);
  }
}

void Table::MoveCol(int from, int to) {
  if (from == to || from < 0 || to < 0 || from >= col_count_ || to >= col_count_) return;
  const size_t lo = static_cast<size_t>(std::min(from, to));
  const size_t hi = static_cast<size_t>(std::max(from, to));
  if (lo == 0) {
    // Column 0 lives apart from the rest: such a move goes cell by cell.
    std::vector<Cell> line(hi + 1);
    for (int r = 1; r < RowCount(); ++r) {
      line[0] = heads_[static_cast<size_t>(r)];
      for (size_t c = 1; c <= hi; ++c) {
        line[c] = c < StoredLength(r) ? StoredCells(r)[c] : Cell();
      }
      if (from < to) {
        std::rotate(line.begin(), line.begin() + 1, line.end());
      } else {
        std::rotate(line.begin(), line.end() - 1, line.end());
      }
      heads_[static_cast<size_t>(r)] = line[0];
      Cell* cells =
          StoredLength(r) <= hi ? ResizeRow(r, hi + 1) : rows_[static_cast<size_t>(r)].cells;
      std::copy(line.begin() + 1, line.end(), cells + 1);
    }
    return;
  }
  for (int r = 1; r < RowCount(); ++r) {
    RowRef& row = rows_[static_cast<size_t>(r)];
    if (row.size <= lo) continue;  // every cell involved reads empty
    Cell* cells = row.size <= hi ? ResizeRow(r, hi + 1) : row.cells;
    if (from < to) {
      std::rotate(cells + lo, cells + lo + 1, cells + hi + 1);
    } else {
      std::rotate(cells + lo, cells + hi, cells + hi + 1);
    }
  }
}

void Table::swap(Table& other) noexcept {
  std::swap(col_count_, other.col_count_);
  rows_.swap(other.rows_);
  heads_.swap(other.heads_);
  std::swap(utf8_, other.utf8_);
  blocks_.swap(other.blocks_);
  std::swap(pool_next_, other.pool_next_);
  std::swap(pool_left_, other.pool_left_);
  std::swap(last_block_cells_, other.last_block_cells_);
  std::swap(block_limit_, other.block_limit_);
  std::swap(pool_bytes_, other.pool_bytes_);
  std::swap(spare_, other.spare_);
  kept_.swap(other.kept_);
  std::swap(pool_dirty_, other.pool_dirty_);
  own_arena_.swap(other.own_arena_);
  arenas_.swap(other.arenas_);
}

uint64_t Table::StorageBytes() const {
  uint64_t total =
      pool_bytes_ + rows_.capacity() * sizeof(RowRef) + heads_.capacity() * sizeof(Cell);
  for (const auto& a : arenas_) total += a->bytes_reserved();
  return total;
}

}  // namespace core
