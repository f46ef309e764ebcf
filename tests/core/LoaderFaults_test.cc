// Loading when reading goes wrong part way or memory runs out, with the
// failures injected through the core's file-reading seam.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <future>
#include <string>

#include "TestSupport.h"
#include "core/FileIo.h"
#include "core/Loader.h"
#include "core/Memory.h"
#include "core/Table.h"

namespace core {
namespace {

using testing_support::RecordingObserver;
using testing_support::TempDirTest;

using testing_support::kPaths;
using testing_support::LoadFn;

std::string Lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += "zeile " + std::to_string(i) + ";a;b\n";
  return s;
}

// Where line `line` (1-based) starts in Lines().
size_t StartOf(const std::string& text, int line) {
  size_t pos = 0;
  for (int i = 1; i < line; ++i) pos = text.find('\n', pos) + 1;
  return pos;
}

enum class Fault { kError, kEarlyEnd, kShrink };

// Reads as the system does up to `good` bytes of the file, then fails as
// `fault` says: a read error, an end of file before the size known at open,
// or the file at `path` really becoming that short.
ReadFn FaultyRead(Fault fault, size_t good, const std::string& path = {}) {
  return [fault, good, path](int fd, void* buf, size_t n) -> ssize_t {
    const off_t at = ::lseek(fd, 0, SEEK_CUR);
    if (fault == Fault::kShrink) {
      if (at >= 0 && static_cast<size_t>(at) < good)
        n = std::min(n, good - static_cast<size_t>(at));
      if (at >= 0 && static_cast<size_t>(at) + n >= good) {
        const ssize_t r = ::read(fd, buf, n);
        if (::truncate(path.c_str(), static_cast<off_t>(good)) != 0) return -1;
        return r;
      }
      return ::read(fd, buf, n);
    }
    if (at < 0 || static_cast<size_t>(at) >= good) {
      if (fault == Fault::kEarlyEnd) return 0;
      errno = EIO;
      return -1;
    }
    return ::read(fd, buf, std::min(n, good - static_cast<size_t>(at)));
  };
}

class LoaderFaultTest : public TempDirTest {
 protected:
  LoadResult Load(LoadFn fn, const std::string& path, bool detect, Table& t) {
    ClearGrid(t);
    RecordingObserver obs(';');
    return fn(path, detect, t, obs);
  }
};

// A failure in the reading pass keeps the complete rows before it, drops
// the line it cut, and says so; the same on both paths, detected or not,
// and with two threads, the failure in the region of either.
TEST_F(LoaderFaultTest, ReadFailurePartWayKeepsTheRowsBefore) {
  const std::string text = Lines(1000);
  const std::string path = WriteFile("f.txt", text);
  const size_t cut = StartOf(text, 500) + 4;  // inside line 500
  const std::string message = "Datei " + path +
                              " konnte nicht vollst\xC3\xA4ndig gelesen werden. Angezeigt werden "
                              "die Zeilen bis zur Fehlerstelle";
  const ParallelLoad one_thread = GetParallelLoad();
  // Blocks of 1000 bytes: the cut lies in the helper's region or in this
  // thread's, as the split moves, and in the last line of a region too.
  const size_t blocks[] = {0, 1000, 4000};
  for (const size_t block : blocks) {
    SetParallelLoad(block ? ParallelLoad{0, block, 1, true} : one_thread);
    for (const Fault fault : {Fault::kError, Fault::kEarlyEnd, Fault::kShrink}) {
      for (const bool detect : {false, true}) {
        for (const auto& p : kPaths) {
          SCOPED_TRACE(std::string(p.name) + " fault " + std::to_string(static_cast<int>(fault)) +
                       (detect ? " detected" : "") + " block " + std::to_string(block));
          WriteFile("f.txt", text);  // the shrinking case cuts the file itself
          Table t;
          LoadResult res;
          {
            ScopedFileIo io(FaultyRead(fault, cut, path));
            res = Load(p.load, path, detect, t);
          }
          EXPECT_EQ(res.status.code(), Code::kReadFailed);
          EXPECT_EQ(res.status.message(), message);
          EXPECT_EQ(res.stored_rows, 499);
          ASSERT_EQ(t.RowCount(), 500);
          EXPECT_EQ(t.Get(1, 499), "zeile 499");
          EXPECT_EQ(t.Get(3, 499), "b");
          EXPECT_EQ(t.ColCount(), 4);
        }
      }
    }
  }
  SetParallelLoad(one_thread);
}

// Before the separator is chosen a failure is one of opening the file.
TEST_F(LoaderFaultTest, ReadFailureWhileDetectingIsAnOpenFailure) {
  const std::string path = WriteFile("f.txt", Lines(50));
  for (const auto& p : kPaths) {
    SCOPED_TRACE(p.name);
    Table t;
    LoadResult res;
    {
      ScopedFileIo io(FaultyRead(Fault::kError, 3));
      res = Load(p.load, path, /*detect=*/true, t);
    }
    EXPECT_EQ(res.status.code(), Code::kOpenFailed);
    EXPECT_EQ(res.status.message(), "Datei " + path +
                                        " ist schon von anderem Programm ge\xC3\xB6"
                                        "ffnet");
    EXPECT_EQ(res.stored_rows, 0);
  }
}

// What is not a regular file is refused as a file that cannot be opened, at
// once: a FIFO without a writer would block the open for good, a device
// would never end.
TEST_F(LoaderFaultTest, WhatIsNotARegularFileIsRefusedAtOnce) {
  const std::string fifo = PathOf("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    for (const auto& p : kPaths) {
      for (const bool detect : {true, false}) {
        SCOPED_TRACE(path + " " + p.name + (detect ? " detect" : ""));
        auto loading = std::async(std::launch::async, [&] {
          Table t;
          return Load(p.load, path, detect, t).status.code();
        });
        if (loading.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
          // Lets the blocked open go on, so the test ends.
          const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
          if (fd >= 0) ::close(fd);
          ADD_FAILURE() << "the load blocked";
        }
        EXPECT_EQ(loading.get(), Code::kOpenFailed);
      }
    }
  }
}

// Reads that come back a few bytes at a time change nothing.
TEST_F(LoaderFaultTest, ShortReadsGiveTheSameTable) {
  std::string text = Lines(300) + "\r\nlang;" + std::string(70000, 'x') +
                     "\n\x1a"
                     "danach\n";
  const std::string path = WriteFile("f.txt", text);
  for (const auto& p : kPaths) {
    Table whole;
    ASSERT_TRUE(Load(p.load, path, true, whole).status.ok());
    for (const size_t chunk : {size_t{1}, size_t{3}, size_t{7}, size_t{4097}}) {
      SCOPED_TRACE(std::string(p.name) + " chunk " + std::to_string(chunk));
      Table t;
      LoadResult res;
      {
        ScopedFileIo io(
            [chunk](int fd, void* buf, size_t n) { return ::read(fd, buf, std::min(n, chunk)); });
        res = Load(p.load, path, true, t);
      }
      EXPECT_TRUE(res.status.ok()) << res.status.message();
      ASSERT_EQ(t.RowCount(), whole.RowCount());
      ASSERT_EQ(t.ColCount(), whole.ColCount());
      for (int r = 0; r < t.RowCount(); ++r) {
        for (int c = 0; c < t.ColCount(); ++c) ASSERT_EQ(t.Get(c, r), whole.Get(c, r));
      }
    }
  }
}

// A first line too long for the memory left: nothing of it is kept, on
// either path, and the line path does not end the program.
TEST_F(LoaderFaultTest, FirstLineBeyondTheMemoryLeftKeepsNothing) {
  const std::string path = WriteFile("f.txt", std::string(8u << 20, 'L') + ";x\nzwei;y\n");
  for (const bool detect : {false, true}) {
    for (const auto& p : kPaths) {
      SCOPED_TRACE(std::string(p.name) + (detect ? " detected" : ""));
      Table t;
      LoadResult res;
      {
        ScopedMemoryProbe budget(BudgetProbe(2u << 20));
        res = Load(p.load, path, detect, t);
      }
      EXPECT_EQ(res.status.code(), Code::kOutOfMemory);
      EXPECT_EQ(res.status.message(), "Speicherplatz zu klein");
      EXPECT_EQ(res.stored_rows, 0);
      EXPECT_LE(t.RowCount(), 2);
      EXPECT_EQ(t.Get(1, 1), "");
    }
  }
}

}  // namespace
}  // namespace core
