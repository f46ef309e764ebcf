// Memory headroom checks for the table's storage.
//
// Linux overcommits memory, so a table that outgrows the machine is usually
// killed by the system instead of seeing a failed allocation. The table's
// allocators therefore ask here before they take a new block, and throw
// std::bad_alloc themselves while there is still room to report it.
#ifndef MARVESK_CORE_MEMORY_H_
#define MARVESK_CORE_MEMORY_H_

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace core {

// Bytes the process may still take without pushing the system into swapping or
// the out-of-memory killer: the smaller of the kernel's MemAvailable, the
// cgroup's remaining limit and the address-space limit.
uint64_t AvailableMemoryBytes();

// The smallest memory headroom of the process's cgroups: `cgroup_list` is
// read like /proc/self/cgroup, and every memory limit from the process's own
// group up to the root counts (cgroup v2 memory.max and memory.high, v1
// memory.limit_in_bytes, each against the group's use), with the groups
// found below `cgroup_root` (/sys/fs/cgroup). The largest value when there
// is no limit.
uint64_t CgroupHeadroomAt(const std::string& cgroup_list, const std::string& cgroup_root);

// Replaces the check made by ReserveMemory: the function answers whether
// `bytes` more may be taken (tests inject small budgets with it). An empty
// function restores the system check. The kept blocks (see FreedBlocks) go
// back to the system first, here and in ScopedMemoryProbe.
void SetMemoryProbe(std::function<bool(uint64_t bytes)> probe);

// Installs a probe for the life of the object; the one before (or the
// system check) comes back afterwards, also when a test fails half way.
class ScopedMemoryProbe {
 public:
  explicit ScopedMemoryProbe(std::function<bool(uint64_t bytes)> probe);
  ~ScopedMemoryProbe();
  ScopedMemoryProbe(const ScopedMemoryProbe&) = delete;
  ScopedMemoryProbe& operator=(const ScopedMemoryProbe&) = delete;

 private:
  std::function<bool(uint64_t bytes)> saved_;
};

// A probe that lets `budget` bytes be taken in all, then refuses: a machine
// with that much memory left, the same on every run.
std::function<bool(uint64_t bytes)> BudgetProbe(uint64_t budget);

// Throws std::bad_alloc when `bytes` more would leave less than the safety
// reserve, after the kept blocks (see FreedBlocks) went back to the system.
// Cheap enough to call once per allocated block, not per cell.
void ReserveMemory(uint64_t bytes);

// Zeroed memory for the cells of a table. Blocks of kMappedCellBytes and
// more are mappings of their own, whole pages that MoveCellPages may hand on;
// smaller ones come from the heap. Blocks of kHugeCellBytes and more start
// on a huge page and take huge pages whenever those are cheaper now than
// small ones (see FreshHugePagesCheaper), else small pages only; *huge (when
// not null) tells which. Null when the system has none.
inline constexpr size_t kMappedCellBytes = size_t{1} << 20;
inline constexpr size_t kHugeCellBytes = size_t{4} << 20;
void* NewCellBlock(size_t bytes, bool* huge = nullptr);
void FreeCellBlock(void* p, size_t bytes);
// Moves the pages of [from, from + bytes) to `to`, both inside blocks of
// NewCellBlock of kMappedCellBytes or more, all three multiples of the
// system's page size (PageBytes): `to` then holds what `from` held, without
// a page fault or a copy, and `from` reads zero. What `to` held is dropped.
// False when the system cannot move pages so; nothing has changed then.
// Never for blocks in huge pages: the pieces of a huge page moved so can
// cost a virtual machine many times their reading from then on (a table
// read 10 to 20 times slower after a view switch moved them).
bool MoveCellPages(void* from, void* to, size_t bytes);
size_t PageBytes();
// The bytes MoveCellPages has moved in this process.
uint64_t MovedCellBytes();

// An allocator for the big arrays that go with a table (its row directory,
// the scratch of a view switch): from NewCellBlock, so that they take their
// pages as the cells do.
template <typename T>
struct CellBlockAllocator {
  using value_type = T;
  CellBlockAllocator() = default;
  template <typename U>
  CellBlockAllocator(const CellBlockAllocator<U>&) {}  // NOLINT: rebinding
  T* allocate(size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* p = NewCellBlock(n * sizeof(T));
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, size_t n) { FreeCellBlock(p, n * sizeof(T)); }
  friend bool operator==(const CellBlockAllocator&, const CellBlockAllocator&) { return true; }
};
template <typename T>
using CellBlockVector = std::vector<T, CellBlockAllocator<T>>;

// Fresh memory costs the kernel far more than filling it costs a load: each
// page must be found and cleared, and on a virtual machine often provided
// by the host on its first touch. Which page size is cheaper depends on the
// machine and changes with its state: on one virtual machine here small
// pages cost 0.4 s a gigabyte and huge ones 5-12 s (the host provided each
// anew), on another day small ones 2.4-3.2 s and huge ones
// 0.7-1.1 s. So the two are measured side by side on a few fresh megabytes
// (MeasureFreshPages), and again when the last measurement is older than
// PageSizeChoice::kValidSeconds.
struct FreshPageCosts {
  double small_seconds;  // one huge page's worth of memory in small pages
  double huge_seconds;   // the same in one huge page
};
// False when the system has no huge pages to give (none configured, or the
// memory could not be had); the costs are then not set.
bool MeasureFreshPages(FreshPageCosts* costs);

class PageSizeChoice {
 public:
  static constexpr double kValidSeconds = 2.0;

  // Whether fresh memory is cheaper in huge pages at `now` (seconds on a
  // steady clock), from the last measurement while it is valid, else from
  // a new one taken with `measure` (MeasureFreshPages); its false means
  // small pages until the next is due. Safe on several threads: one
  // measures, the others wait for it.
  bool HugeCheaper(double now, const std::function<bool(FreshPageCosts*)>& measure);

 private:
  std::mutex mutex_;
  double measured_at_ = -1e300;
  bool huge_cheaper_ = false;
};

// The process's choice for NewCellBlock: measured, unless a test or a
// benchmark fixed it with ScopedHugePages.
bool FreshHugePagesCheaper();
class ScopedHugePages {
 public:
  // true: huge pages for every block of kHugeCellBytes or more where the
  // system has them; false: small pages only.
  explicit ScopedHugePages(bool huge);
  ~ScopedHugePages();
  ScopedHugePages(const ScopedHugePages&) = delete;
  ScopedHugePages& operator=(const ScopedHugePages&) = delete;

 private:
  int saved_;
};
// Whether the system can give huge pages to a block that asks for them.
bool SystemHasHugePages();

// Big blocks a table gives back are kept for a moment before they go back
// to the system, for the next table that asks: a load after a load, the
// view a switch makes from the one it leaves, get memory whose pages are
// there already. Fresh pages are the dearest part of a load: the kernel
// must find and clear them, and a virtual machine may have its host provide
// them on their first touch (see FreshPageCosts).
class FreedBlocks {
 public:
  // Smaller blocks go back to the allocator at once.
  static constexpr size_t kMinBytes = size_t{1} << 20;
  // Kept blocks go back to the system this long after they were freed.
  static constexpr double kKeepSeconds = 1.0;

  FreedBlocks() = default;
  FreedBlocks(const FreedBlocks&) = delete;
  FreedBlocks& operator=(const FreedBlocks&) = delete;
  ~FreedBlocks() { FreeAll(); }

  // Keeps the block p (from NewCellBlock) of `bytes`, freed at
  // `now` (seconds on a steady clock), `huge` as NewCellBlock told; false
  // when it is too small to keep, and then the caller frees it.
  bool Keep(void* p, size_t bytes, double now, bool huge = false);
  // The smallest kept block of at least `bytes` and at most twice that (a
  // small table would keep a much bigger block for good), its size in
  // *got and (when not null) in *huge whether it is in huge pages; null
  // when there is none. It holds what its last owner left in it.
  void* Take(size_t bytes, size_t* got, bool* huge = nullptr);
  // Frees the blocks that are due at `now`; returns when the next one is
  // (infinity when none is kept).
  double FreeDue(double now);
  // Frees every kept block; true when there was any.
  bool FreeAll();
  size_t KeptBytes() const;

 private:
  struct Entry {
    void* p;
    size_t bytes;
    double freed_at;
    bool huge;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> kept_;  // in the order they were freed
};

// The process's kept blocks: FreedBlocks::Keep (freeing the block at once
// when it is too small), Take and FreeAll on one FreedBlocks whose due
// blocks a thread of its own frees.
void FreeBlockLater(void* p, size_t bytes, bool huge = false);
void* TakeFreedBlock(size_t bytes, size_t* got, bool* huge = nullptr);
bool FreeKeptBlocks();
size_t KeptBlockBytes();

// Advice for a big buffer that is filled right after it is taken, such as
// the clipboard text of a block (table storage takes its pages as
// NewCellBlock says): huge pages save most of its page faults, and a buffer taken
// again and again gets the huge pages its last one freed. Where the system
// has none, nothing changes; where its free memory lies in small pieces,
// the faults may wait for the kernel to compact it.
//
// Huge pages come from the system's largest free blocks. A virtual machine
// that hands its free memory back to the host has those blocks provided by
// the host again on their first touch, which can cost tens of milliseconds
// a huge page (2 GB took 20 s that way, against 0.7 s in small pages). So
// a few huge pages spread over each advised block of 256 MB or more are
// touched here, with what they hold, and timed (see HugePageWatch): once
// huge pages prove slow, the block goes on in small pages, and none are
// asked for for a moment.
void AdviseHugePages(void* p, size_t bytes);

// Whether huge pages pay off in this process now, from the times their
// first touches took. Safe on several threads; times are seconds on a
// steady clock.
class HugePageWatch {
 public:
  // A touch slower than this found the huge page not ready (a ready one
  // takes some 0.3 ms, one from the host 20-30 ms)...
  static constexpr double kSlowSeconds = 0.002;
  // ...and for this long afterwards no huge pages are asked for. Memory the
  // process frees and takes again is soon ready, so they are tried again.
  static constexpr double kQuietSeconds = 0.1;

  // A first touch of a huge page, made at `now`, took `seconds`.
  void Touched(double seconds, double now);
  bool WorthAsking(double now) const { return now >= quiet_until_.load(); }

 private:
  std::atomic<double> quiet_until_{0};
};

// Has the kernel provide the pages of [p, p + bytes) on another thread, so
// that whoever fills them later meets no page faults. The contents stay as
// they are; the range may be written or freed meanwhile.
void PopulateInBackground(void* p, size_t bytes);

// Gives the whole pages inside [p, p + bytes) back to the system; they then
// read as zeros (empty cells, rows without cells). For memory that is dead
// but not yet freed, such as a table being copied away.
void GiveBackPages(const void* p, size_t bytes);

// Line buffers up to this size are taken without asking the headroom: the
// check reads files of the system, and lines are rarely longer.
inline constexpr uint64_t kUncheckedLineBytes = uint64_t{1} << 20;

// A buffer of at least `bytes`, aligned to 4096 bytes, for work a load or
// a save does anew each time: one that went before is taken again when it
// fits, since fresh pages cost more here than the reading or formatting
// done in them. The process keeps a few such buffers of some MB.
class SpareBytes {
 public:
  static constexpr size_t kAlign = 4096;

  SpareBytes() = default;
  // Throws std::bad_alloc when there is no memory for it.
  explicit SpareBytes(size_t bytes);
  SpareBytes(SpareBytes&& other) noexcept { swap(other); }
  SpareBytes& operator=(SpareBytes&& other) noexcept {
    SpareBytes gone(std::move(other));
    swap(gone);
    return *this;
  }
  SpareBytes(const SpareBytes&) = delete;
  SpareBytes& operator=(const SpareBytes&) = delete;
  ~SpareBytes();

  char* get() const { return p_; }
  size_t size() const { return bytes_; }
  void swap(SpareBytes& other) noexcept {
    std::swap(p_, other.p_);
    std::swap(bytes_, other.bytes_);
  }

 private:
  char* p_ = nullptr;
  size_t bytes_ = 0;
};

}  // namespace core

#endif  // MARVESK_CORE_MEMORY_H_
