#include "core/Memory.h"

#include <sys/resource.h>

#include <algorithm>
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

constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

// What is left below the limit in `limit_file` of `dir`, with the use in
// `usage_file`; unlimited when the folder has no such limit.
uint64_t LevelHeadroom(const std::string& dir, const char* limit_file, const char* usage_file) {
  const uint64_t limit = ReadNumberFile((dir + "/" + limit_file).c_str());
  if (limit == kUnlimited) return kUnlimited;
  const uint64_t used = ReadNumberFile((dir + "/" + usage_file).c_str());
  if (used == kUnlimited) return limit;
  return used >= limit ? 0 : limit - used;
}

// The smallest headroom from the cgroup `path` (below `mount`) up to the
// mount's root. Folders that are not there are skipped: inside a cgroup
// namespace the listed path is not visible, and the mount root is the
// group itself.
uint64_t HierarchyHeadroom(const std::string& mount, std::string path, bool v2) {
  uint64_t smallest = kUnlimited;
  for (;;) {
    while (!path.empty() && path.back() == '/') path.pop_back();
    const std::string dir = mount + path;
    if (v2) {
      smallest = std::min(smallest, LevelHeadroom(dir, "memory.max", "memory.current"));
      smallest = std::min(smallest, LevelHeadroom(dir, "memory.high", "memory.current"));
    } else {
      smallest =
          std::min(smallest, LevelHeadroom(dir, "memory.limit_in_bytes", "memory.usage_in_bytes"));
    }
    if (path.empty()) return smallest;
    path.erase(path.rfind('/'));
  }
}

}  // namespace

uint64_t CgroupHeadroomAt(const std::string& cgroup_list, const std::string& cgroup_root) {
  std::FILE* f = std::fopen(cgroup_list.c_str(), "r");
  if (!f) return kUnlimited;
  uint64_t smallest = kUnlimited;
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
      smallest = std::min(smallest, HierarchyHeadroom(cgroup_root, path, true));
      smallest = std::min(smallest, HierarchyHeadroom(cgroup_root + "/unified", path, true));
    } else if (controllers.find(",memory,") != std::string::npos) {
      smallest = std::min(smallest, HierarchyHeadroom(cgroup_root + "/memory", path, false));
    }
  }
  std::fclose(f);
  return smallest;
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
  const uint64_t cg = CgroupHeadroomAt("/proc/self/cgroup", "/sys/fs/cgroup");
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
