#include "model/nullable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ravelo {
namespace {

// A value reads, and a time compares, only while it is defined: a cleared
// one keeps its old value, which must not count.
TEST(NullableTest, OnlyDefinedValuesReadAndCompare) {
  TNullableSize size;
  EXPECT_THROW(size.GetValue(), ESizeUndefined);
  size.SetValue(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(size.GetValue(), std::numeric_limits<std::int64_t>::max());
  size.Clear();
  EXPECT_THROW(size.GetValue(), ESizeUndefined);

  TNullableTime earlier, same, later, undefined;
  earlier.SetValue(45000.25);
  same.SetValue(45000.25);
  later.SetValue(std::nextafter(45000.25, 1e9));
  EXPECT_TRUE(earlier.EqualTo(same));
  EXPECT_FALSE(earlier.LaterThan(same));
  EXPECT_FALSE(earlier.EqualTo(later));
  EXPECT_TRUE(later.LaterThan(earlier));
  EXPECT_FALSE(earlier.LaterThan(later));
  TNullableTime cleared_same = same, cleared_later = later;
  cleared_same.Clear();
  cleared_later.Clear();
  EXPECT_THROW(cleared_same.GetValue(), ETimeUndefined);
  for (const TNullableTime* other : {&undefined, &cleared_same, &cleared_later}) {
    EXPECT_FALSE(earlier.EqualTo(*other));
    EXPECT_FALSE(other->EqualTo(earlier));
    EXPECT_FALSE(earlier.LaterThan(*other));
    EXPECT_FALSE(other->LaterThan(earlier));
  }
}

}  // namespace
}  // namespace ravelo
