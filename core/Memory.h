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
#include <string>

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
// function restores the system check.
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
// reserve. Cheap enough to call once per allocated block, not per cell.
void ReserveMemory(uint64_t bytes);

// Advice for a big block that is filled right after it is taken: huge pages
// save most of its page faults. Where the system has none, nothing changes;
// where its free memory lies in small pieces, the faults may wait for the
// kernel to compact it.
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

}  // namespace core

#endif  // MARVESK_CORE_MEMORY_H_
