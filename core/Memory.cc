#include "core/Memory.h"

#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace core {
namespace {

constexpr uint64_t kReserveBytes = 192ull << 20;  // kept free for the GUI and the message box

std::function<bool(uint64_t)>& Probe() {
  static std::function<bool(uint64_t)> probe;
  return probe;
}

uint64_t ReadMemAvailable() {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) return std::numeric_limits<uint64_t>::max();
  char line[256];
  uint64_t result = std::numeric_limits<uint64_t>::max();
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) {
      result = static_cast<uint64_t>(kb) * 1024;
      break;
    }
  }
  std::fclose(f);
  return result;
}

uint64_t ReadNumberFile(const char* path) {
  std::FILE* f = std::fopen(path, "r");
  if (!f) return std::numeric_limits<uint64_t>::max();
  char text[64] = {};
  uint64_t value = std::numeric_limits<uint64_t>::max();
  if (std::fgets(text, sizeof text, f) && std::strncmp(text, "max", 3) != 0) {
    unsigned long long v = 0;
    if (std::sscanf(text, "%llu", &v) == 1) value = v;
  }
  std::fclose(f);
  return value;
}

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

// A limit file of one cgroup and the file with that group's use.
struct LimitFiles {
  std::string limit;
  std::string usage;
};

uint64_t Headroom(const LimitFiles& f) {
  const uint64_t limit = ReadNumberFile(f.limit.c_str());
  if (limit == kUnlimited) return kUnlimited;
  const uint64_t used = ReadNumberFile(f.usage.c_str());
  if (used == kUnlimited) return limit;
  return used >= limit ? 0 : limit - used;
}

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// The limit files from the cgroup `path` (below `mount`) up to the mount's
// root. Folders that are not there are skipped: inside a cgroup namespace
// the listed path is not visible, and the mount root is the group itself.
void AddHierarchy(const std::string& mount, std::string path, bool v2,
                  std::vector<LimitFiles>* out) {
  for (;;) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    const std::string dir = mount + path + "/";
    const char* limits[] = {"memory.max", "memory.high"};
    if (v2) {
      for (const char* limit : limits) {
        if (Exists(dir + limit)) out->push_back({dir + limit, dir + "memory.current"});
      }
    } else if (Exists(dir + "memory.limit_in_bytes")) {
      out->push_back({dir + "memory.limit_in_bytes", dir + "memory.usage_in_bytes"});
    }
    if (path.empty()) return;
    path.erase(path.rfind('/'));
  }
}

// Every memory limit that applies to the process as `cgroup_list` (read like
// /proc/self/cgroup) places it below `cgroup_root`.
std::vector<LimitFiles> FindLimitFiles(const std::string& cgroup_list,
                                       const std::string& cgroup_root) {
  std::vector<LimitFiles> files;
  std::FILE* f = std::fopen(cgroup_list.c_str(), "r");
  if (!f) return files;
  char line[4096];
  while (std::fgets(line, sizeof line, f)) {
    // "hierarchy:controllers:path"; v2 is hierarchy 0 with no controllers.
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos) continue;
    const std::string controllers = "," + text.substr(first + 1, second - first - 1) + ",";
    const std::string path = text.substr(second + 1);
    if (text.compare(0, first, "0") == 0 && controllers == ",,") {
      AddHierarchy(cgroup_root, path, true, &files);
      AddHierarchy(cgroup_root + "/unified", path, true, &files);
    } else if (controllers.find(",memory,") != std::string::npos) {
      AddHierarchy(cgroup_root + "/memory", path, false, &files);
    }
  }
  std::fclose(f);
  return files;
}

uint64_t SmallestHeadroom(const std::vector<LimitFiles>& files) {
  uint64_t smallest = kUnlimited;
  for (const LimitFiles& f : files) smallest = std::min(smallest, Headroom(f));
  return smallest;
}

}  // namespace

uint64_t CgroupHeadroomAt(const std::string& cgroup_list, const std::string& cgroup_root) {
  return SmallestHeadroom(FindLimitFiles(cgroup_list, cgroup_root));
}

namespace {

uint64_t AddressSpaceHeadroom() {
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) {
    return std::numeric_limits<uint64_t>::max();
  }
  std::ifstream statm("/proc/self/statm");
  uint64_t pages = 0;
  statm >> pages;
  const uint64_t used = pages * 4096;
  return used >= rl.rlim_cur ? 0 : rl.rlim_cur - used;
}

}  // namespace

uint64_t AvailableMemoryBytes() {
  uint64_t avail = ReadMemAvailable();
  // Where the limits are is looked up once: the checks run per allocated
  // block, and a process does not change its cgroup while loading.
  static const std::vector<LimitFiles> limit_files =
      FindLimitFiles("/proc/self/cgroup", "/sys/fs/cgroup");
  const uint64_t cg = SmallestHeadroom(limit_files);
  if (cg < avail) avail = cg;
  const uint64_t as = AddressSpaceHeadroom();
  if (as < avail) avail = as;
  return avail;
}

// A probe stands for a machine with that much left: blocks kept from before
// go back to the system first, so that they do not serve beyond it.
void SetMemoryProbe(std::function<bool(uint64_t)> probe) {
  FreeKeptBlocks();
  Probe() = std::move(probe);
}

ScopedMemoryProbe::ScopedMemoryProbe(std::function<bool(uint64_t)> probe)
    : saved_(std::exchange(Probe(), std::move(probe))) {
  FreeKeptBlocks();
}

ScopedMemoryProbe::~ScopedMemoryProbe() { Probe() = std::move(saved_); }

std::function<bool(uint64_t)> BudgetProbe(uint64_t budget) {
  return [used = uint64_t{0}, budget](uint64_t bytes) mutable {
    if (used + bytes > budget) return false;
    used += bytes;
    return true;
  };
}

void ReserveMemory(uint64_t bytes) {
  {
    // Two threads of one load may ask at once.
    static std::mutex probe_mutex;
    std::lock_guard<std::mutex> lock(probe_mutex);
    const auto& probe = Probe();
    if (probe) {
      if (!probe(bytes)) throw std::bad_alloc();
      return;
    }
  }
  auto fits = [bytes] {
    const uint64_t avail = AvailableMemoryBytes();
    return avail >= kReserveBytes && avail - kReserveBytes >= bytes;
  };
  if (!fits() && !(FreeKeptBlocks() && fits())) throw std::bad_alloc();
}

namespace {

// One worker for the whole process. It only asks the kernel for pages, so a
// range freed (or even taken again by someone else) meanwhile costs a call
// and changes nothing. Never destroyed: the thread may still wait on it
// while the program ends.
struct Populator {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::pair<char*, size_t>> ranges;
};

Populator& StartedPopulator() {
  static Populator* const populator = [] {
    auto* p = new Populator;
    std::thread([p] {
      for (;;) {
        std::pair<char*, size_t> range;
        {
          std::unique_lock<std::mutex> lock(p->mutex);
          p->wake.wait(lock, [p] { return !p->ranges.empty(); });
          range = p->ranges.front();
          p->ranges.pop_front();
        }
#if defined(MADV_POPULATE_WRITE)
        ::madvise(range.first, range.second, MADV_POPULATE_WRITE);
#endif
      }
    }).detach();
    return p;
  }();
  return *populator;
}

}  // namespace

void PopulateInBackground(void* p, size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
  if (std::thread::hardware_concurrency() < 2) return;
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const uintptr_t mask = static_cast<uintptr_t>(page) - 1;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + mask) & ~mask;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~mask;
  if (end <= begin) return;
  Populator& populator = StartedPopulator();
  {
    std::lock_guard<std::mutex> lock(populator.mutex);
    populator.ranges.emplace_back(reinterpret_cast<char*>(begin), end - begin);
  }
  populator.wake.notify_one();
#else
  (void)p;
  (void)bytes;
#endif
}

size_t PageBytes() {
  static const size_t page = [] {
    const long n = ::sysconf(_SC_PAGESIZE);
    return n > 0 ? static_cast<size_t>(n) : size_t{4096};
  }();
  return page;
}

void GiveBackPages(const void* p, size_t bytes) {
  const uintptr_t mask = PageBytes() - 1;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + mask) & ~mask;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~mask;
  if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

namespace {

double SteadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The size of a huge page, 0 when the system gives none to memory that
// asks for them (transparent huge pages off, or not this system's).
size_t HugePageBytes() {
  static const size_t bytes = [] {
#if defined(MADV_HUGEPAGE)
    std::ifstream enabled("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(enabled, modes);
    if (modes.find("[always]") == std::string::npos &&
        modes.find("[madvise]") == std::string::npos) {
      return size_t{0};
    }
    std::ifstream pmd("/sys/kernel/mm/transparent_hugepage/hpage_pmd_size");
    size_t n = 0;
    if (!(pmd >> n)) n = size_t{2} << 20;
    // Pages much bigger than this (64 KB base pages) would make the
    // probe, and every block's slack, too dear.
    return n >= PageBytes() && n <= (size_t{32} << 20) && (n & (n - 1)) == 0 ? n : size_t{0};
#else
    return size_t{0};
#endif
  }();
  return bytes;
}

// A mapping of `bytes` that starts on a multiple of `align` (a power of
// two); null when there is none.
void* MapAligned(size_t bytes, size_t align) {
  if (bytes > SIZE_MAX - align) return nullptr;
  void* p =
      ::mmap(nullptr, bytes + align, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
  const uintptr_t begin = reinterpret_cast<uintptr_t>(p);
  const uintptr_t start = (begin + align - 1) & ~(align - 1);
  if (start > begin) ::munmap(p, start - begin);
  const uintptr_t tail = begin + bytes + align - (start + bytes);
  if (tail > 0) ::munmap(reinterpret_cast<void*>(start + bytes), tail);
  return reinterpret_cast<void*>(start);
}

// -1: measured; 0 or 1: fixed by ScopedHugePages.
std::atomic<int> fixed_huge_pages{-1};

PageSizeChoice& ProcessPageSizes() {
  static PageSizeChoice* const choice = new PageSizeChoice;  // never destroyed: see Populator
  return *choice;
}

}  // namespace

bool SystemHasHugePages() { return HugePageBytes() != 0; }

bool MeasureFreshPages(FreshPageCosts* costs) {
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  const size_t huge = HugePageBytes();
  if (huge == 0) return false;
  // One huge page of each kind, side by side in fresh memory.
  auto* p = static_cast<char*>(MapAligned(2 * huge, huge));
  if (!p) return false;
  const size_t page = PageBytes();
  auto touch = [page, huge](char* q) {
    const double t0 = SteadySeconds();
    for (size_t i = 0; i < huge; i += page) reinterpret_cast<volatile char*>(q)[i] = 1;
    return SteadySeconds() - t0;
  };
  const bool advised =
      ::madvise(p, huge, MADV_NOHUGEPAGE) == 0 && ::madvise(p + huge, huge, MADV_HUGEPAGE) == 0;
  if (advised) {
    costs->small_seconds = touch(p);
    costs->huge_seconds = touch(p + huge);
  }
  ::munmap(p, 2 * huge);
  return advised;
#else
  (void)costs;
  return false;
#endif
}

bool PageSizeChoice::HugeCheaper(double now, const std::function<bool(FreshPageCosts*)>& measure) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (now >= measured_at_ && now - measured_at_ < kValidSeconds) return huge_cheaper_;
  FreshPageCosts costs{};
  huge_cheaper_ = measure(&costs) && costs.huge_seconds < costs.small_seconds;
  measured_at_ = now;
  return huge_cheaper_;
}

bool FreshHugePagesCheaper() {
  const int fixed = fixed_huge_pages.load();
  if (fixed >= 0) return fixed == 1 && SystemHasHugePages();
  if (!SystemHasHugePages()) return false;
  return ProcessPageSizes().HugeCheaper(SteadySeconds(), MeasureFreshPages);
}

ScopedHugePages::ScopedHugePages(bool huge) : saved_(fixed_huge_pages.exchange(huge ? 1 : 0)) {}

ScopedHugePages::~ScopedHugePages() { fixed_huge_pages.store(saved_); }

void* NewCellBlock(size_t bytes, bool* huge) {
  if (huge) *huge = false;
  if (bytes < kMappedCellBytes) return std::calloc(bytes, 1);
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  const bool choosing = bytes >= kHugeCellBytes && SystemHasHugePages();
  if (choosing && FreshHugePagesCheaper()) {
    void* p = MapAligned(bytes, HugePageBytes());
    const bool advised = p && ::madvise(p, bytes, MADV_HUGEPAGE) == 0;
    if (huge) *huge = advised;
    return p;
  }
#endif
  void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (p == MAP_FAILED) return nullptr;
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
  // Small pages even where the system would give huge ones unasked.
  if (choosing) ::madvise(p, bytes, MADV_NOHUGEPAGE);
#endif
  return p;
}

void FreeCellBlock(void* p, size_t bytes) {
  if (!p) return;
  if (bytes < kMappedCellBytes) {
    std::free(p);
  } else {
    ::munmap(p, bytes);
  }
}

namespace {
std::atomic<uint64_t> moved_cell_bytes{0};
}  // namespace

uint64_t MovedCellBytes() { return moved_cell_bytes.load(std::memory_order_relaxed); }

bool MoveCellPages(void* from, void* to, size_t bytes) {
#ifdef MREMAP_DONTUNMAP
  // The mapping at `from` stays, empty: a hole there could be given to
  // another mapping before the block is freed.
  if (::mremap(from, bytes, bytes, MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP, to) ==
      MAP_FAILED) {
    return false;
  }
  moved_cell_bytes.fetch_add(bytes, std::memory_order_relaxed);
  return true;
#else
  (void)from;
  (void)to;
  (void)bytes;
  return false;
#endif
}

bool FreedBlocks::Keep(void* p, size_t bytes, double now, bool huge) {
  if (bytes < kMinBytes) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  kept_.push_back(Entry{p, bytes, now, huge});
  return true;
}

void* FreedBlocks::Take(size_t bytes, size_t* got, bool* huge) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto best = kept_.end();
  for (auto it = kept_.begin(); it != kept_.end(); ++it) {
    if (it->bytes < bytes || it->bytes / 2 > bytes) continue;
    if (best == kept_.end() || it->bytes < best->bytes) best = it;
  }
  if (best == kept_.end()) return nullptr;
  void* p = best->p;
  *got = best->bytes;
  if (huge) *huge = best->huge;
  kept_.erase(best);
  return p;
}

double FreedBlocks::FreeDue(double now) {
  std::vector<Entry> due;
  double next = std::numeric_limits<double>::infinity();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto keep = kept_.begin();
    for (const Entry& e : kept_) {
      if (e.freed_at + kKeepSeconds <= now) {
        due.push_back(e);
      } else {
        next = std::min(next, e.freed_at + kKeepSeconds);
        *keep++ = e;
      }
    }
    kept_.erase(keep, kept_.end());
  }
  for (const Entry& e : due) FreeCellBlock(e.p, e.bytes);
  return next;
}

bool FreedBlocks::FreeAll() {
  std::vector<Entry> all;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    all.swap(kept_);
  }
  for (const Entry& e : all) FreeCellBlock(e.p, e.bytes);
  return !all.empty();
}

size_t FreedBlocks::KeptBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  size_t bytes = 0;
  for (const Entry& e : kept_) bytes += e.bytes;
  return bytes;
}

namespace {

// The process's kept blocks and the thread that frees them when due. Never
// destroyed: the thread may still wait on them while the program ends.
struct ProcessBlocks {
  FreedBlocks blocks;
  std::mutex mutex;  // guards the two flags below
  std::condition_variable kept;
  bool started = false;
  bool pending = false;  // a block was kept since the thread last looked
};

ProcessBlocks& Blocks() {
  static ProcessBlocks* const blocks = new ProcessBlocks;
  return *blocks;
}

// Frees the kept blocks as they come due. It holds no lock while it frees,
// so that nobody waits on a free of a big block.
void FreeDueBlocks(ProcessBlocks& b) {
  std::unique_lock<std::mutex> lock(b.mutex);
  double next = std::numeric_limits<double>::infinity();
  for (;;) {
    const auto pending = [&b] { return b.pending; };
    if (next == std::numeric_limits<double>::infinity()) {
      b.kept.wait(lock, pending);
    } else {
      b.kept.wait_for(lock, std::chrono::duration<double>(next - SteadySeconds()), pending);
    }
    b.pending = false;
    lock.unlock();
    next = b.blocks.FreeDue(SteadySeconds());
    lock.lock();
  }
}

// False when no thread could be had: blocks are then freed at once.
bool StartFreeing(ProcessBlocks& b) {
  std::lock_guard<std::mutex> lock(b.mutex);
  if (!b.started) {
    try {
      std::thread([&b] { FreeDueBlocks(b); }).detach();
      b.started = true;
    } catch (const std::system_error&) {
      return false;
    }
  }
  return true;
}

}  // namespace

void FreeBlockLater(void* p, size_t bytes, bool huge) {
  ProcessBlocks& b = Blocks();
  if (bytes < FreedBlocks::kMinBytes || !StartFreeing(b) ||
      !b.blocks.Keep(p, bytes, SteadySeconds(), huge)) {
    FreeCellBlock(p, bytes);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(b.mutex);
    b.pending = true;
  }
  b.kept.notify_one();
}

void* TakeFreedBlock(size_t bytes, size_t* got, bool* huge) {
  return Blocks().blocks.Take(bytes, got, huge);
}

bool FreeKeptBlocks() { return Blocks().blocks.FreeAll(); }

size_t KeptBlockBytes() { return Blocks().blocks.KeptBytes(); }

void HugePageWatch::Touched(double seconds, double now) {
  if (seconds > kSlowSeconds) quiet_until_.store(now + kQuietSeconds);
}

namespace {

// Huge pages tried in each advised block of this size or more: the memory
// the system hands out may change from ready to slow within one. Smaller
// blocks are not tried: a slow first touch of one costs less than the small
// pages would cost the table if a touch were slow for another reason.
constexpr uintptr_t kHugeProbes = 4;
constexpr size_t kHugeProbedBytes = size_t{256} << 20;

HugePageWatch& ProcessHugePages() {
  static HugePageWatch watch;
  return watch;
}

}  // namespace

void AdviseHugePages(void* p, size_t bytes) {
#if defined(MADV_HUGEPAGE)
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (bytes < 2 * kHuge || !ProcessHugePages().WorthAsking(SteadySeconds())) return;
  const long page = ::sysconf(_SC_PAGESIZE);
  if (page <= 0) return;
  const uintptr_t mask = static_cast<uintptr_t>(page) - 1;
  const uintptr_t begin = (reinterpret_cast<uintptr_t>(p) + mask) & ~mask;
  const uintptr_t end = (reinterpret_cast<uintptr_t>(p) + bytes) & ~mask;
  if (end <= begin) return;
  void* range = reinterpret_cast<void*>(begin);
  if (::madvise(range, end - begin, MADV_HUGEPAGE) != 0 || bytes < kHugeProbedBytes) return;
  // A few whole huge pages spread over the block, each written with what it
  // holds (untouched, it is zero; touched before, it faults no more).
  const uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
  const uintptr_t span = end - first;
  for (uintptr_t k = 0; k < kHugeProbes; ++k) {
    const uintptr_t at = (first + span / kHugeProbes * k) & ~(kHuge - 1);
    if (at < first || at + kHuge > end) continue;
    auto* byte = reinterpret_cast<volatile char*>(at);
    const double t0 = SteadySeconds();
    *byte = *byte;
    const double t1 = SteadySeconds();
    ProcessHugePages().Touched(t1 - t0, t1);
    if (t1 - t0 <= HugePageWatch::kSlowSeconds) continue;
    // What the block has not touched yet goes on in small pages.
    ::madvise(range, end - begin, MADV_NOHUGEPAGE);
    return;
  }
#else
  (void)p;
  (void)bytes;
#endif
}

namespace {

// The buffers given back, the smallest first to go when a bigger one comes.
struct SpareBuffer {
  char* p;
  size_t bytes;
};
constexpr size_t kSpareBuffers = 4;  // a load's two and a save's two
constexpr size_t kSpareBytesMost = size_t{32} << 20;
std::mutex spare_mutex;
SpareBuffer spare_buffers[kSpareBuffers];

}  // namespace

SpareBytes::SpareBytes(size_t bytes) {
  {
    // The smallest that fits.
    std::lock_guard<std::mutex> lock(spare_mutex);
    SpareBuffer* best = nullptr;
    for (SpareBuffer& b : spare_buffers) {
      if (b.p && b.bytes >= bytes && (!best || b.bytes < best->bytes)) best = &b;
    }
    if (best) {
      p_ = std::exchange(best->p, nullptr);
      bytes_ = best->bytes;
      return;
    }
  }
  bytes_ = (bytes + kAlign - 1) / kAlign * kAlign;
  p_ = static_cast<char*>(std::aligned_alloc(kAlign, bytes_));
  if (!p_) throw std::bad_alloc();
}

SpareBytes::~SpareBytes() {
  if (!p_) return;
  if (bytes_ <= kSpareBytesMost) {
    std::lock_guard<std::mutex> lock(spare_mutex);
    SpareBuffer* slot = nullptr;
    for (SpareBuffer& b : spare_buffers) {
      if (!slot || !b.p || (slot->p && b.bytes < slot->bytes)) slot = &b;
    }
    if (!slot->p || slot->bytes < bytes_) {
      std::swap(slot->p, p_);  // the smaller one goes instead
      std::swap(slot->bytes, bytes_);
    }
  }
  std::free(p_);
}

}  // namespace core
