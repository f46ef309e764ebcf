#include "core/Banner.h"

#include <gtest/gtest.h>

namespace {

TEST(BannerSpacers, WidthsForOuterWindowWidths) {
  struct Case {
    int outer;
    int left;
    int right;
  };
  const Case cases[] = {
      {923, 85, 86}, {1000, 124, 124}, {1001, 124, 125},   {760, 4, 4}, {754, 1, 1},
      {753, 1, 0},   {752, 1, 0},      {751, 1, 0},        {100, 1, 0}, {0, 1, 0},
      {-5, 1, 0},    {1920, 584, 584}, {3841, 1544, 1545},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(core::BannerSpacers(c.outer), (core::SpacerWidths{c.left, c.right}))
        << "outer width " << c.outer;
  }
}

TEST(BannerIndex, CyclesThroughTheFourPages) {
  int32_t index = 0;
  const int32_t expected[] = {1, 2, 3, 4, 1, 2, 3, 4, 1};
  for (int32_t e : expected) {
    index = core::NextBannerIndex(index);
    EXPECT_EQ(index, e);
  }
  // Whatever a caller holds, the next page is a valid one.
  EXPECT_EQ(core::NextBannerIndex(-7), 1);
  EXPECT_EQ(core::NextBannerIndex(99), 1);
}

TEST(BannerAddress, PlainHttpOnTheHostWithThePageNumber) {
  EXPECT_EQ(core::BannerAddress("marvesk.example", 1),
            "http://marvesk.example/Banner/BanLang/BanLang_1.html");
  EXPECT_EQ(core::BannerAddress("127.0.0.1:4711", 4),
            "http://127.0.0.1:4711/Banner/BanLang/BanLang_4.html");
}

}  // namespace
