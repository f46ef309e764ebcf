#include "core/FileUtil.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/FileIo.h"

namespace core {
namespace {

using testing_support::TempDirTest;

struct PathCase {
  const char* path;
  const char* directory;
  const char* name;
  const char* ext;
};

TEST(FileNames, DirectoryNameAndExtension) {
  const PathCase cases[] = {
      {"/home/u/data.csv", "/home/u", "data.csv", ".CSV"},
      {"/data.Csv", "/", "data.Csv", ".CSV"},
      {"data.txt", "", "data.txt", ".TXT"},
      {"x.csv.txt", "", "x.csv.txt", ".TXT"},
      {"/a/dir.d/file", "/a/dir.d", "file", ""},
      {"D:\\Daten\\liste.csv", "D:\\Daten", "liste.csv", ".CSV"},
      {"D:\\dir.x\\liste", "D:\\dir.x", "liste", ""},
      {"/a/b/", "/a/b", "", ""},
      {"/a/.hidden", "/a", ".hidden", ".HIDDEN"},
      {"name.", "", "name.", "."},
      {"noext", "", "noext", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(NamePart(c.path), c.name) << c.path;
    EXPECT_EQ(UpperExt(c.path), c.ext) << c.path;
  }
}

class AtomicFileWriterTest : public TempDirTest {
 protected:
  // Entries of the test directory other than `keep`: left-over temporary files.
  int StrayFiles(const std::string& keep) const {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir_)) {
      if (e.path().filename() != keep) ++n;
    }
    return n;
  }
};

TEST_F(AtomicFileWriterTest, CommitReplacesTheFile) {
  const std::string path = WriteFile("t.csv", std::string(3000, 'o'));
  AtomicFileWriter w;
  const Result opened = w.Open(path);
  ASSERT_TRUE(opened.ok()) << opened.reason();
  EXPECT_TRUE(w.Write("neu;"));
  const std::string big(3u << 20, 'b');  // larger than the write buffer
  EXPECT_TRUE(w.Write(big));
  EXPECT_TRUE(w.Write("\r\n"));
  EXPECT_EQ(ReadFile(path), std::string(3000, 'o')) << "nothing replaced before Commit";
  const Result committed = w.Commit(/*sync=*/true);
  ASSERT_TRUE(committed.ok()) << committed.reason();
  EXPECT_EQ(ReadFile(path), "neu;" + big + "\r\n");
  EXPECT_EQ(StrayFiles("t.csv"), 0);
}

TEST_F(AtomicFileWriterTest, CommitCreatesANewFile) {
  const std::string path = PathOf("new.txt");
  AtomicFileWriter w;
  ASSERT_TRUE(w.Open(path).ok());
  EXPECT_TRUE(w.Write("x"));
  ASSERT_TRUE(w.Commit(false).ok());
  EXPECT_EQ(ReadFile(path), "x");
  EXPECT_EQ(StrayFiles("new.txt"), 0);
}

TEST_F(AtomicFileWriterTest, AbortLeavesTheOldFileIdentical) {
  std::string old;
  for (int i = 0; i < 256; ++i) old += static_cast<char>(i);
  const std::string path = WriteFile("t.csv", old);
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(path).ok());
    w.Write(std::string(2u << 20, 'x'));
    w.Abort();
  }
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(StrayFiles("t.csv"), 0);
  {
    AtomicFileWriter w;  // dropped without Commit
    ASSERT_TRUE(w.Open(path).ok());
    w.Write("gone");
  }
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(StrayFiles("t.csv"), 0);
}

TEST_F(AtomicFileWriterTest, OpenFailsInAMissingDirectory) {
  AtomicFileWriter w;
  const Result opened = w.Open(PathOf("no/such/dir/t.csv"));
  EXPECT_EQ(opened.code(), Code::kCreateFailed);
  EXPECT_FALSE(opened.reason().empty());
  EXPECT_EQ(w.Commit(false).code(), Code::kWriteFailed);
}

bool IsCharDevice(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(AtomicFileWriterDevice, DevFullFailsAndStaysADevice) {
  if (!IsCharDevice("/dev/full")) GTEST_SKIP() << "no /dev/full";
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open("/dev/full").ok());
    EXPECT_TRUE(w.Write("small, still buffered"));
    const Result committed = w.Commit(false);
    EXPECT_EQ(committed.code(), Code::kWriteFailed);
    EXPECT_FALSE(committed.reason().empty());
  }
  EXPECT_TRUE(IsCharDevice("/dev/full"));
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open("/dev/full").ok());
    EXPECT_FALSE(w.Write(std::string(3u << 20, 'x')));
    EXPECT_FALSE(w.Write("more")) << "a failed writer stays failed";
    EXPECT_EQ(w.Commit(true).code(), Code::kWriteFailed);
  }
  EXPECT_TRUE(IsCharDevice("/dev/full"));
}

TEST_F(AtomicFileWriterTest, ReadWholeFile) {
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
  std::string out = "junk";
  ASSERT_TRUE(ReadWholeFile(WriteFile("r.bin", bytes), &out).ok());
  EXPECT_EQ(out, bytes);
  EXPECT_EQ(ReadWholeFile(PathOf("missing"), &out).code(), Code::kOpenFailed);
}

// Names up to the file system's limit save; the temporary name beside them
// borrows only as much of the name as fits.
TEST_F(AtomicFileWriterTest, SavesNamesUpToTheLimit) {
  for (const size_t length : {size_t{1}, size_t{200}, size_t{248}, size_t{255}}) {
    const std::string name(length, 'n');
    const std::string path = PathOf(name);
    AtomicFileWriter w;
    const Result opened = w.Open(path);
    ASSERT_TRUE(opened.ok()) << length << ": " << opened.reason();
    EXPECT_TRUE(w.Write("a;b;\r\n"));
    const Result committed = w.Commit(true);
    ASSERT_TRUE(committed.ok()) << length << ": " << committed.reason();
    EXPECT_EQ(ReadFile(path), "a;b;\r\n") << length;
    EXPECT_EQ(StrayFiles(name), 0) << length;
    std::filesystem::remove(path);
  }
}

TEST(TempPattern, StaysWithinTheNameLimitAndKeepsLettersWhole) {
  struct Case {
    std::string target;
    size_t name_max;
    std::string expected;
  };
  const std::string umlauts = "\xC3\xBC\xC3\xBC\xC3\xBC";  // three two-byte letters
  const Case cases[] = {
      {"/d/a.csv", 255, "/d/.a.csv.XXXXXX"},
      {"a.csv", 255, "./.a.csv.XXXXXX"},
      {"/a.csv", 255, "/.a.csv.XXXXXX"},
      {"/d/" + std::string(255, 'x'), 255, "/d/." + std::string(247, 'x') + ".XXXXXX"},
      {"/d/" + std::string(247, 'x'), 255, "/d/." + std::string(247, 'x') + ".XXXXXX"},
      // 12 bytes allow 4 of the name: two whole letters, not two and a half.
      {"/d/" + umlauts, 12, "/d/.\xC3\xBC\xC3\xBC.XXXXXX"},
      {"/d/" + umlauts, 11, "/d/.\xC3\xBC.XXXXXX"},
      {"/d/abc", 5, "/d/..XXXXXX"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TempPattern(c.target, c.name_max), c.expected) << c.target << " " << c.name_max;
    EXPECT_LE(NamePart(TempPattern(c.target, c.name_max)).size(), std::max(c.name_max, size_t{8}));
  }
}

// A disk that fills during the save, or a flush that fails: the old file
// stays byte for byte, no temporary file is left, the failure is reported.
TEST_F(AtomicFileWriterTest, FullDiskLeavesTheOldFileIdentical) {
  std::string old;
  for (int i = 0; i < 4096; ++i) old += static_cast<char>(i * 7);
  const std::string path = WriteFile("t.csv", old);
  struct Case {
    const char* what;
    WriteFn write;
    SyncFn sync;
  };
  size_t budget = 0;
  const WriteFn full_after_budget = [&budget](int fd, const void* buf, size_t n) -> ssize_t {
    if (budget == 0) {
      errno = ENOSPC;
      return -1;
    }
    const size_t k = std::min(n, budget);
    budget -= k;
    return ::write(fd, buf, k);
  };
  const Case cases[] = {
      {"full at once", full_after_budget, {}},
      {"full part way", full_after_budget, {}},
      {"flush fails",
       {},
       [](int) {
         errno = EIO;
         return -1;
       }},
  };
  int index = 0;
  for (const auto& c : cases) {
    budget = index == 1 ? 1500000 : 0;
    ++index;
    ScopedFileIo io({}, c.write, c.sync);
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(path).ok()) << c.what;
    for (int i = 0; i < 3; ++i) w.Write(std::string(1u << 20, 'z'));
    const Result committed = w.Commit(true);
    EXPECT_EQ(committed.code(), Code::kWriteFailed) << c.what;
    EXPECT_FALSE(committed.reason().empty()) << c.what;
    EXPECT_EQ(ReadFile(path), old) << c.what;
    EXPECT_EQ(StrayFiles("t.csv"), 0) << c.what;
  }
}

TEST_F(AtomicFileWriterTest, FolderThatVanishesBeforeCommitFailsCleanly) {
  std::filesystem::create_directory(PathOf("sub"));
  const std::string path = PathOf("sub/t.csv");
  AtomicFileWriter w;
  ASSERT_TRUE(w.Open(path).ok());
  w.Write("data");
  std::filesystem::remove_all(PathOf("sub"));
  EXPECT_EQ(w.Commit(true).code(), Code::kWriteFailed);
  EXPECT_FALSE(std::filesystem::exists(PathOf("sub")));
}

// A save straight to the disk gives the file a save through the cache
// gives, whatever the pieces handed over, also where the file system
// refuses writes past the cache.
TEST_F(AtomicFileWriterTest, StraightToTheDiskWritesWhatTheCacheWrites) {
  constexpr size_t kAlign = AtomicFileWriter::kDirectAlign;
  constexpr size_t kBig = (size_t{2} << 20) + 1000;
  const AlignedBytes source = NewAlignedBytes((4 * kBig + kAlign - 1) / kAlign * kAlign);
  for (size_t i = 0; i < 4 * kBig; ++i) source.get()[i] = static_cast<char>('a' + i % 23);
  struct Piece {
    size_t at, n;  // from source.get() + at
  };
  struct Case {
    const char* what;
    std::vector<Piece> pieces;
  };
  std::vector<Piece> small;
  for (size_t at = 0; at < (size_t{3} << 20); at += 3) small.push_back({at, 3});
  const std::vector<Case> cases = {
      {"nothing", {}},
      {"a few bytes", {{0, 10}}},
      {"one aligned piece and a tail", {{0, kBig}}},
      {"exactly whole pieces", {{0, 4 * kAlign}, {4 * kAlign, kAlign}}},
      {"from unaligned memory", {{1, kBig}}},
      {"aligned pieces behind a buffered start", {{0, 1000}, {kAlign, kBig}, {2 * kBig, kBig}}},
      {"many small pieces", small},
  };
  const WriteFn refuse_direct = [](int fd, const void* buf, size_t n) -> ssize_t {
    if (::fcntl(fd, F_GETFL) & O_DIRECT) {
      errno = EINVAL;
      return -1;
    }
    return ::write(fd, buf, n);
  };
  for (const bool refused : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.what << (refused ? ", refused" : ""));
      ScopedFileIo io({}, refused ? refuse_direct : WriteFn{});
      std::string expected;
      AtomicFileWriter w;
      const std::string path = PathOf("t.csv");
      ASSERT_TRUE(w.Open(path, /*direct=*/true).ok());
      const bool direct_at_open = w.direct();
      for (const Piece& p : c.pieces) {
        ASSERT_TRUE(w.Write(source.get() + p.at, p.n));
        expected.append(source.get() + p.at, p.n);
      }
      // A file system that takes writes past the cache keeps taking them;
      // one that refuses them gets everything through the cache.
      if (refused && expected.size() >= (size_t{1} << 20)) {
        EXPECT_FALSE(w.direct());
      }
      if (!refused) {
        EXPECT_EQ(w.direct(), direct_at_open);
      }
      ASSERT_TRUE(w.Commit(true).ok());
      EXPECT_EQ(ReadFile(path), expected);
      EXPECT_EQ(StrayFiles("t.csv"), 0);
    }
  }
}

}  // namespace
}  // namespace core
