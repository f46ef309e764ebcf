#include "core/FileUtil.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "TestSupport.h"

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
  std::string error;
  ASSERT_TRUE(w.Open(path, &error)) << error;
  EXPECT_TRUE(w.Write("neu;"));
  const std::string big(3u << 20, 'b');  // larger than the write buffer
  EXPECT_TRUE(w.Write(big));
  EXPECT_TRUE(w.Write("\r\n"));
  EXPECT_EQ(ReadFile(path), std::string(3000, 'o')) << "nothing replaced before Commit";
  ASSERT_TRUE(w.Commit(/*sync=*/true, &error)) << error;
  EXPECT_EQ(ReadFile(path), "neu;" + big + "\r\n");
  EXPECT_EQ(StrayFiles("t.csv"), 0);
}

TEST_F(AtomicFileWriterTest, CommitCreatesANewFile) {
  const std::string path = PathOf("new.txt");
  AtomicFileWriter w;
  ASSERT_TRUE(w.Open(path, nullptr));
  EXPECT_TRUE(w.Write("x"));
  ASSERT_TRUE(w.Commit(false, nullptr));
  EXPECT_EQ(ReadFile(path), "x");
  EXPECT_EQ(StrayFiles("new.txt"), 0);
}

TEST_F(AtomicFileWriterTest, AbortLeavesTheOldFileIdentical) {
  std::string old;
  for (int i = 0; i < 256; ++i) old += static_cast<char>(i);
  const std::string path = WriteFile("t.csv", old);
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open(path, nullptr));
    w.Write(std::string(2u << 20, 'x'));
    w.Abort();
  }
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(StrayFiles("t.csv"), 0);
  {
    AtomicFileWriter w;  // dropped without Commit
    ASSERT_TRUE(w.Open(path, nullptr));
    w.Write("gone");
  }
  EXPECT_EQ(ReadFile(path), old);
  EXPECT_EQ(StrayFiles("t.csv"), 0);
}

TEST_F(AtomicFileWriterTest, OpenFailsInAMissingDirectory) {
  AtomicFileWriter w;
  std::string error;
  EXPECT_FALSE(w.Open(PathOf("no/such/dir/t.csv"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(w.Commit(false, &error));
}

bool IsCharDevice(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 && S_ISCHR(st.st_mode);
}

TEST(AtomicFileWriterDevice, DevFullFailsAndStaysADevice) {
  if (!IsCharDevice("/dev/full")) GTEST_SKIP() << "no /dev/full";
  {
    AtomicFileWriter w;
    std::string error;
    ASSERT_TRUE(w.Open("/dev/full", &error)) << error;
    EXPECT_TRUE(w.Write("small, still buffered"));
    EXPECT_FALSE(w.Commit(false, &error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(IsCharDevice("/dev/full"));
  {
    AtomicFileWriter w;
    ASSERT_TRUE(w.Open("/dev/full", nullptr));
    EXPECT_FALSE(w.Write(std::string(3u << 20, 'x')));
    EXPECT_FALSE(w.Write("more")) << "a failed writer stays failed";
    std::string error;
    EXPECT_FALSE(w.Commit(true, &error));
    EXPECT_FALSE(error.empty());
  }
  EXPECT_TRUE(IsCharDevice("/dev/full"));
}

TEST_F(AtomicFileWriterTest, ReadWholeFile) {
  std::string bytes(70000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 31);
  std::string out = "junk";
  ASSERT_TRUE(ReadWholeFile(WriteFile("r.bin", bytes), &out));
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(ReadWholeFile(PathOf("missing"), &out));
}

}  // namespace
}  // namespace core
