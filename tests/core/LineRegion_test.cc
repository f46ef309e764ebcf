// The lines of byte ranges read with pread: ranges side by side must give
// every line of the file exactly once, however the file is cut.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"
#include "core/LineReader.h"

namespace core {
namespace {

using testing_support::TempDirTest;

class LineRegionTest : public TempDirTest {};

// Cut into two or three ranges at every pair of places, the ranges' lines
// put together are the file.
TEST_F(LineRegionTest, RangesSideBySideGiveEveryLineOnce) {
  const std::string texts[] = {
      "a;b\n\n" + std::string(100, 'x') + "\nc\r\nd",  // a long line, an empty one, no last LF
      "\n\n\nz\n",                                     // line feeds only, then a last LF
      "eine Zeile ohne Ende",
  };
  for (const std::string& text : texts) {
    const std::string path = WriteFile("r.txt", text);
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const uint64_t size = text.size();
    for (uint64_t cut1 = 1; cut1 < size; ++cut1) {
      for (uint64_t cut2 = cut1; cut2 <= size; cut2 += 13) {
        SCOPED_TRACE(std::to_string(size) + " bytes cut at " + std::to_string(cut1) + ", " +
                     std::to_string(cut2));
        const uint64_t cuts[] = {0, cut1, cut2, size};
        std::string joined;
        for (int r = 0; r < 3; ++r) {
          if (cuts[r] == cuts[r + 1] && r > 0) continue;
          LineRegion region;
          ASSERT_TRUE(region.Read(fd, cuts[r], cuts[r + 1], size));
          joined.append(region.data() + region.begin(), region.end() - region.begin());
          // The last range ends with the file; an earlier one may, when its
          // last line runs to the end.
          EXPECT_TRUE(region.final() || cuts[r + 1] < size);
          EXPECT_TRUE(!region.final() || joined.size() == size);
        }
        ASSERT_EQ(joined, text);
      }
    }
    ::close(fd);
  }
}

// A file cut shorter after its size was taken: a range that reaches the
// cut fails, keeping only its lines complete before it; one whose lines
// all lie before the cut is read as it is.
TEST_F(LineRegionTest, AFileThatBecameShorterKeepsTheCompleteLines) {
  const std::string text = "eins\nzwei\ndrei\nvier\n";
  const std::string path = WriteFile("r.txt", text);
  ASSERT_EQ(::truncate(path.c_str(), 12), 0);  // inside "drei"
  const int rfd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(rfd, 0);
  struct Case {
    uint64_t from, to;
    bool read_all;
    std::string lines;
  };
  const Case cases[] = {
      {0, 20, false, "eins\nzwei\n"}, {0, 7, true, "eins\nzwei\n"}, {7, 20, false, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
    LineRegion region;
    EXPECT_EQ(region.Read(rfd, c.from, c.to, text.size()), c.read_all);
    EXPECT_EQ(std::string(region.data() + region.begin(), region.end() - region.begin()), c.lines);
    EXPECT_FALSE(region.final());
    EXPECT_EQ(region.error().empty(), c.read_all);
  }
  ::close(rfd);
}

}  // namespace
}  // namespace core
