#include <gtest/gtest.h>

#include "core/Table.h"

TEST(TableSmoke, EmptyTableIsTwoByTwo) {
  core::Table t;
  EXPECT_EQ(t.ColCount(), 2);
  EXPECT_EQ(t.RowCount(), 2);
}
