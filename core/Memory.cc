#include "core/Memory.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <utility>

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

uint64_t CgroupHeadroom() {
  const uint64_t limit = ReadNumberFile("/sys/fs/cgroup/memory.max");
  if (limit == std::numeric_limits<uint64_t>::max()) return limit;
  const uint64_t used = ReadNumberFile("/sys/fs/cgroup/memory.current");
  if (used == std::numeric_limits<uint64_t>::max() || used >= limit) return 0;
  return limit - used;
}

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
  const uint64_t cg = CgroupHeadroom();
  if (cg < avail) avail = cg;
  const uint64_t as = AddressSpaceHeadroom();
  if (as < avail) avail = as;
  return avail;
}

void SetMemoryProbe(std::function<bool(uint64_t)> probe) { Probe() = std::move(probe); }

void ReserveMemory(uint64_t bytes) {
  const auto& probe = Probe();
  if (probe) {
    if (!probe(bytes)) throw std::bad_alloc();
    return;
  }
  const uint64_t avail = AvailableMemoryBytes();
  if (avail < kReserveBytes || avail - kReserveBytes < bytes) throw std::bad_alloc();
}

}  // namespace core
