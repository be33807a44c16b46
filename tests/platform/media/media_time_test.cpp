#include "velmoradine/platform/media/media_time.hpp"

#include <gtest/gtest.h>

namespace velmoradine {
namespace {

TEST(MediaTime, ComparesExactlyAcrossTimescales) {
  EXPECT_EQ(MediaTime(1, 2), MediaTime(300, 600));
  EXPECT_LT(MediaTime(1, 3), MediaTime(333334, 1000000));
  EXPECT_GT(MediaTime(1, 3), MediaTime(333333, 1000000));
  EXPECT_LT(MediaTime(-1, 30), MediaTime::zero());
}

TEST(MediaTime, InvalidTimesEqualEachOtherAndSortAfterValidOnes) {
  EXPECT_FALSE(MediaTime().isValid());
  EXPECT_FALSE(MediaTime(5, 0).isValid());
  EXPECT_EQ(MediaTime::invalid(), MediaTime(3, -1));
  EXPECT_LT(MediaTime::positiveInfinity(), MediaTime::invalid());
  EXPECT_LT(MediaTime(1LL << 60, 1), MediaTime::positiveInfinity());
  EXPECT_LT(MediaTime::negativeInfinity(), MediaTime(-(1LL << 60), 1));
}

TEST(MediaTime, AddsWithTheLeastCommonTimescale) {
  const MediaTime sum = MediaTime(1, 30) + MediaTime(1, 20);
  EXPECT_EQ(sum.timescale(), 60);
  EXPECT_EQ(sum.value(), 5);
  EXPECT_EQ(MediaTime(2, 1) + MediaTime(3, 1), MediaTime(5, 1));
  EXPECT_EQ((MediaTime(9, 1) - MediaTime(4, 1)).value(), 5);
}

TEST(MediaTime, AdditionWithInvalidOrOpposedInfinitiesIsInvalid) {
  EXPECT_FALSE((MediaTime::invalid() + MediaTime(1, 1)).isValid());
  EXPECT_FALSE((MediaTime::positiveInfinity() + MediaTime::negativeInfinity()).isValid());
  EXPECT_TRUE((MediaTime::positiveInfinity() + MediaTime(1, 1)).isPositiveInfinity());
  EXPECT_TRUE((MediaTime(1, 1) - MediaTime::positiveInfinity()).isNegativeInfinity());
}

TEST(MediaTime, ConvertsScaleWithRounding) {
  EXPECT_EQ(MediaTime(1, 3).convertScale(600).value(), 200);
  EXPECT_EQ(MediaTime(1, 7).convertScale(10).value(), 1);
  EXPECT_EQ(MediaTime(5, 10).convertScale(1).value(), 1);
  EXPECT_EQ(MediaTime(-5, 10).convertScale(1).value(), -1);
  EXPECT_EQ(MediaTime(5, 10).convertScale(1, MediaTimeRoundingMethod::roundTowardZero).value(), 0);
  EXPECT_EQ(MediaTime(-1, 10)
                .convertScale(1, MediaTimeRoundingMethod::roundTowardNegativeInfinity)
                .value(),
            -1);
  EXPECT_FALSE(MediaTime(1, 3).convertScale(0).isValid());
}

TEST(MediaTime, SecondsAndWithSeconds) {
  EXPECT_DOUBLE_EQ(MediaTime(90, 60).seconds(), 1.5);
  EXPECT_EQ(MediaTime::withSeconds(3, 600), MediaTime(1800, 600));
  EXPECT_EQ(MediaTime::withSeconds(0, 60).timescale(), 60);
  EXPECT_FALSE(MediaTime::withSeconds(1, 0).isValid());
  EXPECT_EQ(MediaTime::zero().description(), "{0/1 = 0.000}");
  EXPECT_EQ(MediaTime::invalid().description(), "{INVALID}");
}

TEST(TimeRange, ContainsItsStartButNotItsEnd) {
  const TimeRange range(MediaTime(2, 1), MediaTime(3, 1));
  EXPECT_TRUE(range.containsTime(MediaTime(2, 1)));
  EXPECT_TRUE(range.containsTime(MediaTime(4999, 1000)));
  EXPECT_FALSE(range.containsTime(MediaTime(5, 1)));
  EXPECT_EQ(range.end(), MediaTime(5, 1));
  EXPECT_TRUE(range.containsTimeRange({MediaTime(3, 1), MediaTime(2, 1)}));
  EXPECT_FALSE(range.containsTimeRange({MediaTime(3, 1), MediaTime(3, 1)}));
}

TEST(TimeRange, IntersectionAndValidity) {
  const TimeRange a(MediaTime(0, 1), MediaTime(4, 1));
  const TimeRange b(MediaTime(3, 1), MediaTime(4, 1));
  EXPECT_EQ(a.intersection(b), TimeRange(MediaTime(3, 1), MediaTime(1, 1)));
  EXPECT_TRUE(a.intersection({MediaTime(9, 1), MediaTime(1, 1)}).isEmpty());
  EXPECT_FALSE(TimeRange(MediaTime(0, 1), MediaTime(-1, 1)).isValid());
  EXPECT_FALSE(TimeRange::invalid().isValid());
}

}  // namespace
}  // namespace velmoradine
