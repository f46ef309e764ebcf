#include "core/Memory.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

namespace core {
namespace {

using testing_support::TempDirTest;

constexpr uint64_t kNone = std::numeric_limits<uint64_t>::max();

class CgroupTest : public TempDirTest {
 protected:
  // Writes `text` into `file` below the fake /sys/fs/cgroup.
  void Put(const std::string& file, const std::string& text) {
    const std::filesystem::path path = dir_ / "cgroup" / file;
    std::filesystem::create_directories(path.parent_path());
    WriteFile(std::filesystem::relative(path, dir_).string(), text);
  }
  uint64_t Headroom(const std::string& proc_self_cgroup) {
    return CgroupHeadroomAt(WriteFile("proc_cgroup", proc_self_cgroup), PathOf("cgroup"));
  }
};

TEST_F(CgroupTest, V2TakesTheSmallestLimitUpTheHierarchy) {
  const std::string self = "0::/user.slice/app.slice/marvesk.scope\n";
  // No limits anywhere.
  EXPECT_EQ(Headroom(self), kNone);
  // The root's limit alone (the only one read before).
  Put("memory.max", "max\n");
  Put("user.slice/memory.max", "8000000\n");
  Put("user.slice/memory.current", "1000000\n");
  EXPECT_EQ(Headroom(self), 7000000u);
  // The app's own slice is tighter, and its soft limit tighter still.
  Put("user.slice/app.slice/marvesk.scope/memory.max", "5000000\n");
  Put("user.slice/app.slice/marvesk.scope/memory.current", "2000000\n");
  EXPECT_EQ(Headroom(self), 3000000u);
  Put("user.slice/app.slice/marvesk.scope/memory.high", "2500000\n");
  EXPECT_EQ(Headroom(self), 500000u);
  // Used beyond the limit: nothing left.
  Put("user.slice/app.slice/marvesk.scope/memory.current", "9000000\n");
  EXPECT_EQ(Headroom(self), 0u);
}

TEST_F(CgroupTest, V1ReadsTheMemoryControllersGroup) {
  const std::string self = "9:name=systemd:/\n5:cpu,cpuacct:/x\n4:memory:/docker/abc\n0::/\n";
  Put("memory/memory.limit_in_bytes", "9223372036854771712\n");
  Put("memory/memory.usage_in_bytes", "100\n");
  Put("memory/docker/abc/memory.limit_in_bytes", "600000\n");
  Put("memory/docker/abc/memory.usage_in_bytes", "200000\n");
  EXPECT_EQ(Headroom(self), 400000u);
  Put("memory/docker/memory.limit_in_bytes", "300000\n");
  Put("memory/docker/memory.usage_in_bytes", "250000\n");
  EXPECT_EQ(Headroom(self), 50000u);
}

// Inside a cgroup namespace the listed path is not below the mount; the
// mount's root is the group itself.
TEST_F(CgroupTest, PathsThatAreNotThereFallBackToTheMountRoot) {
  Put("memory/memory.limit_in_bytes", "1000000\n");
  Put("memory/memory.usage_in_bytes", "250000\n");
  EXPECT_EQ(Headroom("4:memory:/process_api/e98c\n"), 750000u);
  EXPECT_EQ(CgroupHeadroomAt(PathOf("missing"), PathOf("cgroup")), kNone);
  EXPECT_EQ(Headroom("garbage without colons\n\n"), kNone);
}

// Probes nest, each scope giving back the one before and the last the
// system's own check; a budget counts only what it let through.
TEST(ScopedMemoryProbe, NestsAndABudgetCountsWhatItGave) {
  {
    const ScopedMemoryProbe budget(BudgetProbe(100));
    EXPECT_NO_THROW(ReserveMemory(60));
    EXPECT_THROW(ReserveMemory(50), std::bad_alloc);
    {
      const ScopedMemoryProbe plenty([](uint64_t) { return true; });
      EXPECT_NO_THROW(ReserveMemory(1000));
    }
    EXPECT_NO_THROW(ReserveMemory(40));
    EXPECT_THROW(ReserveMemory(1), std::bad_alloc);
  }
  EXPECT_NO_THROW(ReserveMemory(1));
}

// Huge pages are tried by writing into big blocks: what a block holds must
// stay, whether its pages were touched before or not, aligned or not.
TEST(AdviseHugePages, LeavesTheBlockAsItWas) {
  constexpr size_t kBytes = size_t{258} << 20;
  for (const size_t offset : {size_t{4095}}) {
    SCOPED_TRACE(offset);
    void* mapped =
        mmap(nullptr, kBytes + offset, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* bytes = static_cast<unsigned char*>(mapped);
    AdviseHugePages(bytes + offset, kBytes);  // untouched: zero
    EXPECT_EQ(std::count(bytes, bytes + kBytes + offset, 0),
              static_cast<std::ptrdiff_t>(kBytes + offset));
    for (size_t i = 0; i < kBytes + offset; i += 4093)
      bytes[i] = static_cast<unsigned char>(i % 251 + 1);
    AdviseHugePages(bytes + offset, kBytes);  // touched: as written
    for (size_t i = 0; i < kBytes + offset; ++i) {
      ASSERT_EQ(bytes[i], i % 4093 == 0 ? i % 251 + 1 : 0) << i;
    }
    munmap(mapped, kBytes + offset);
  }
}

// Slow touches stop huge pages for a while; fast ones change nothing.
TEST(HugePageWatch, ASlowTouchStopsThemForAWhile) {
  struct Touch {
    double took, at;
    bool asking_after;  // at the same moment
  };
  constexpr double kQuiet = HugePageWatch::kQuietSeconds;
  const std::vector<Touch> touches = {
      {0.0003, 10, true},
      {HugePageWatch::kSlowSeconds, 11, true},
      {0.030, 12, false},
      {0.0001, 12 + kQuiet / 2, false},  // a fast one meanwhile does not end the pause
      {0.0001, 12 + kQuiet, true},
      {0.025, 20, false},
      {0.025, 20 + kQuiet / 2, false},  // another slow one makes it longer
      {0.0001, 20 + kQuiet, false},
      {0.0001, 20 + kQuiet * 2, true},
  };
  HugePageWatch watch;
  for (const Touch& t : touches) {
    SCOPED_TRACE(testing::Message() << t.took << " s at " << t.at);
    watch.Touched(t.took, t.at);
    EXPECT_EQ(watch.WorthAsking(t.at), t.asking_after);
  }
}

// The page size is measured once, then taken from the measurement while
// it is valid; a failed measurement means small pages until the next.
TEST(PageSizeChoice, MeasuresWhenDueAndKeepsTheCheaper) {
  constexpr double kValid = PageSizeChoice::kValidSeconds;
  struct Step {
    double at;
    int outcome;  // what a measurement would give: 0 fails, 1 small cheaper, 2 huge cheaper
    bool measures;
    bool huge;
  };
  const Step steps[] = {
      {100, 2, true, true},
      {100 + kValid / 2, 1, false, true},
      {100 + kValid, 1, true, false},
      {100 + kValid * 2.5, 0, true, false},
      {100 + kValid * 3, 2, false, false},
      {100 + kValid * 4, 2, true, true},
      {50, 1, true, false},  // a clock that went back: measured anew
  };
  PageSizeChoice choice;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "at " << s.at);
    bool measured = false;
    const bool huge = choice.HugeCheaper(s.at, [&](FreshPageCosts* costs) {
      measured = true;
      *costs = s.outcome == 2 ? FreshPageCosts{0.004, 0.002} : FreshPageCosts{0.001, 0.025};
      return s.outcome != 0;
    });
    EXPECT_EQ(measured, s.measures);
    EXPECT_EQ(huge, s.huge);
  }
}

// The kernel's flags of the mapping that holds p ("hg": huge pages asked
// for, "nh": refused), from /proc/self/smaps.
std::string MappingFlags(const void* p) {
  std::ifstream smaps("/proc/self/smaps");
  const auto at = reinterpret_cast<uintptr_t>(p);
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    unsigned long begin = 0, end = 0;
    if (std::sscanf(line.c_str(), "%lx-%lx ", &begin, &end) == 2 && line.find(' ') > 8) {
      inside = at >= begin && at < end;
    } else if (inside && line.rfind("VmFlags:", 0) == 0) {
      return line;
    }
  }
  return "";
}

// Big blocks take huge pages or small ones as chosen, start on a huge page
// when they take huge ones, and come zero-filled either way.
TEST(NewCellBlock, TakesThePagesChosen) {
  constexpr size_t kMB = size_t{1} << 20;
  for (const bool chosen : {false, true}) {
    ScopedHugePages pages(chosen);
    for (const size_t bytes : {kHugeCellBytes - 16, kHugeCellBytes, 10 * kMB + 16}) {
      SCOPED_TRACE(testing::Message() << (chosen ? "huge" : "small") << ", " << bytes << " bytes");
      bool huge = !chosen;
      auto* p = static_cast<unsigned char*>(NewCellBlock(bytes, &huge));
      ASSERT_NE(p, nullptr);
      const bool big = bytes >= kHugeCellBytes && SystemHasHugePages();
      EXPECT_EQ(huge, chosen && big);
      const std::string flags = MappingFlags(p);
      EXPECT_EQ(flags.find(" hg") != std::string::npos, chosen && big) << flags;
      EXPECT_EQ(flags.find(" nh") != std::string::npos, !chosen && big) << flags;
      if (huge) {
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % (2 * kMB), 0u);
      }
      EXPECT_EQ(std::count(p, p + bytes, 0), static_cast<std::ptrdiff_t>(bytes));
      p[0] = p[bytes - 1] = 1;
      FreeCellBlock(p, bytes);
    }
  }
}

// Freed blocks go to the next one who asks for about as much, and back to
// the system once due.
TEST(FreedBlocks, KeepsBlocksForAMomentAndHandsOutFittingOnes) {
  constexpr size_t kMB = size_t{1} << 20;
  constexpr double kDue = FreedBlocks::kKeepSeconds;
  struct Step {
    char op;          // 'k' keep, 't' take, 'f' free the due ones
    size_t bytes;     // kept, or asked for
    double at;        // keep, free: when
    size_t expected;  // keep: 1 kept, 0 refused; take: size got; free: bytes kept after
  };
  const Step steps[] = {
      {'k', FreedBlocks::kMinBytes / 2, 0, 0},  // too small to keep
      {'k', 4 * kMB, 0, 1},
      {'k', 16 * kMB, kDue / 2, 1},
      {'k', 8 * kMB, kDue / 2, 1},
      {'t', 5 * kMB, 0, 8 * kMB},  // the smallest that fits
      {'t', 3 * kMB, 0, 4 * kMB},
      {'t', 4 * kMB, 0, 0},  // 16 MB would be kept for good
      {'f', 0, kDue * 1.2, 16 * kMB},
      {'k', 2 * kMB, kDue * 1.4, 1},
      {'f', 0, kDue * 1.5, 2 * kMB},  // the 16 MB were due
      {'t', 2 * kMB, 0, 2 * kMB},
  };
  FreedBlocks blocks;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << s.op << " " << s.bytes << " at " << s.at);
    if (s.op == 'k') {
      void* p = NewCellBlock(s.bytes);
      ASSERT_NE(p, nullptr);
      const bool kept = blocks.Keep(p, s.bytes, s.at);
      EXPECT_EQ(kept, s.expected == 1);
      if (!kept) FreeCellBlock(p, s.bytes);
    } else if (s.op == 't') {
      size_t got = 0;
      void* p = blocks.Take(s.bytes, &got);
      EXPECT_EQ(p != nullptr ? got : 0, s.expected);
      FreeCellBlock(p, got);
    } else {
      blocks.FreeDue(s.at);
      EXPECT_EQ(blocks.KeptBytes(), s.expected);
    }
  }
  EXPECT_FALSE(blocks.FreeAll());
}

// The process's kept blocks go back to the system on their own.
TEST(FreedBlocks, TheProcessFreesKeptBlocksWhenDue) {
  constexpr size_t kBytes = FreedBlocks::kMinBytes * 2;
  FreeKeptBlocks();
  const auto now = [] { return std::chrono::steady_clock::now(); };
  const auto t0 = now();
  FreeBlockLater(NewCellBlock(kBytes), kBytes);
  const size_t kept = KeptBlockBytes();
  if (now() - t0 < std::chrono::duration<double>(FreedBlocks::kKeepSeconds)) {
    EXPECT_EQ(kept, kBytes);
  }
  while (KeptBlockBytes() != 0 && now() - t0 < std::chrono::seconds(30)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(KeptBlockBytes(), 0u);
}

}  // namespace
// A buffer given back serves the next taker it fits, the smallest that
// fits first; a bigger wish gets a fresh one; all are aligned.
TEST(SpareBytes, TheNextTakerGetsOneThatWentBefore) {
  constexpr size_t kMb = size_t{1} << 20;
  // What earlier tests gave back is held here for the test's length.
  std::vector<SpareBytes> held;
  held.reserve(4);
  for (int i = 0; i < 4; ++i) held.emplace_back(1);
  const char* small_place;
  const char* big_place;
  {
    SpareBytes small(3 * kMb);
    SpareBytes big(5 * kMb);
    EXPECT_GE(small.size(), 3 * kMb);
    small_place = small.get();
    big_place = big.get();
  }
  struct Case {
    size_t wish;
    const char* place;  // null: a fresh one
  };
  const Case cases[] = {{2 * kMb, small_place}, {4 * kMb, big_place}, {6 * kMb, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.wish);
    SpareBytes b(c.wish);
    EXPECT_GE(b.size(), c.wish);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b.get()) % SpareBytes::kAlign, 0u);
    if (c.place) {
      EXPECT_EQ(b.get(), c.place);
    } else {
      EXPECT_NE(b.get(), small_place);
      EXPECT_NE(b.get(), big_place);
    }
  }
}

}  // namespace core
