#include "model/nullable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ravelo {
namespace {

TEST(NullableTimeTest, UndefinedUntilSetAndAgainAfterClear) {
  TNullableTime time;
  EXPECT_FALSE(time.Defined());
  try {
    time.GetValue();
    FAIL() << "an undefined time was read";
  } catch (const ETimeUndefined& error) {
    EXPECT_STREQ(error.what(), "Time Is Undefined");
  }
  time.SetValue(45000.5);
  EXPECT_TRUE(time.Defined());
  EXPECT_EQ(time.GetValue(), 45000.5);
  time.Clear();
  EXPECT_THROW(time.GetValue(), ETimeUndefined);
}

TEST(NullableTimeTest, ComparisonsAreExact) {
  TNullableTime earlier;
  TNullableTime later;
  earlier.SetValue(45000.25);
  later.SetValue(std::nextafter(45000.25, std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(earlier.EqualTo(later));
  EXPECT_TRUE(later.LaterThan(earlier));
  EXPECT_FALSE(earlier.LaterThan(later));
  TNullableTime same;
  same.SetValue(45000.25);
  EXPECT_TRUE(earlier.EqualTo(same));
  EXPECT_FALSE(earlier.LaterThan(same));
}

TEST(NullableTimeTest, AnUndefinedSideIsNeverEqualNorLater) {
  TNullableTime defined;
  defined.SetValue(1.0);
  TNullableTime undefined;
  TNullableTime cleared;
  cleared.SetValue(1.0);
  cleared.Clear();
  for (const TNullableTime* other : {&undefined, &cleared}) {
    EXPECT_FALSE(defined.EqualTo(*other));
    EXPECT_FALSE(other->EqualTo(defined));
    EXPECT_FALSE(defined.LaterThan(*other));
    EXPECT_FALSE(other->LaterThan(defined));
  }
  EXPECT_FALSE(undefined.EqualTo(undefined));
}

TEST(NullableSizeTest, UndefinedUntilSetAndAgainAfterClear) {
  TNullableSize size;
  EXPECT_FALSE(size.Defined());
  try {
    size.GetValue();
    FAIL() << "an undefined size was read";
  } catch (const ESizeUndefined& error) {
    EXPECT_STREQ(error.what(), "Size Is Undefined");
  }
  size.SetValue(std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(size.GetValue(), std::numeric_limits<std::int64_t>::max());
  size.SetValue(0);
  EXPECT_EQ(size.GetValue(), 0);
  size.Clear();
  EXPECT_THROW(size.GetValue(), ESizeUndefined);
}

}  // namespace
}  // namespace ravelo
