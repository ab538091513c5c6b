#include "model/nullable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ravelo {
namespace {

TEST(NullableTest, ReadingAnUndefinedValueThrowsUntilSetAndAgainAfterClear) {
  EXPECT_STREQ(ETimeUndefined().what(), "Time Is Undefined");
  EXPECT_STREQ(ESizeUndefined().what(), "Size Is Undefined");
  TNullableTime time;
  TNullableSize size;
  EXPECT_THROW(time.GetValue(), ETimeUndefined);
  EXPECT_THROW(size.GetValue(), ESizeUndefined);
  time.SetValue(45000.5);
  size.SetValue(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(time.GetValue(), 45000.5);
  EXPECT_EQ(size.GetValue(), std::numeric_limits<std::int64_t>::max());
  time.Clear();
  size.Clear();
  EXPECT_THROW(time.GetValue(), ETimeUndefined);
  EXPECT_THROW(size.GetValue(), ESizeUndefined);
}

TEST(NullableTest, TimesCompareExactlyAndOnlyWhenBothAreDefined) {
  TNullableTime earlier, same, later;
  earlier.SetValue(45000.25);
  same.SetValue(45000.25);
  later.SetValue(std::nextafter(45000.25, 1e9));
  EXPECT_TRUE(earlier.EqualTo(same));
  EXPECT_FALSE(earlier.LaterThan(same));
  EXPECT_FALSE(earlier.EqualTo(later));
  EXPECT_TRUE(later.LaterThan(earlier));
  EXPECT_FALSE(earlier.LaterThan(later));
  // A cleared time keeps its old value, which must not count.
  TNullableTime undefined, cleared_same = same, cleared_later = later;
  cleared_same.Clear();
  cleared_later.Clear();
  for (const TNullableTime* other : {&undefined, &cleared_same, &cleared_later}) {
    EXPECT_FALSE(earlier.EqualTo(*other));
    EXPECT_FALSE(other->EqualTo(earlier));
    EXPECT_FALSE(earlier.LaterThan(*other));
    EXPECT_FALSE(other->LaterThan(earlier));
  }
}

}  // namespace
}  // namespace ravelo
