#include "velmoradine/platform/media/composition.hpp"

#include <gtest/gtest.h>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine {
namespace {

class CompositionTest : public ::testing::Test {
 protected:
  AssetTrack clip(const std::string& name, int frames) {
    auto path = directory.path() / name;
    EXPECT_TRUE(testing::writeTestVideo(path, {.frames = frames}));
    return URLAsset::make(path)->tracksWithMediaType(MediaType::video).at(0);
  }
  testing::TemporaryDirectory directory;
};

TEST_F(CompositionTest, InsertingAtZeroPushesEarlierInsertionsLater) {
  auto a = clip("a.mp4", 60), b = clip("b.mp4", 90);
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  ASSERT_EQ(track->trackID(), 1);
  ASSERT_TRUE(track->insertTimeRange(b.timeRange, b, MediaTime::zero()));
  ASSERT_TRUE(track->insertTimeRange(a.timeRange, a, MediaTime::zero()));
  EXPECT_EQ(composition->duration(), MediaTime(5, 1));
  const auto& segments = track->segments();
  ASSERT_EQ(segments.size(), 2u);
  EXPECT_EQ(segments[0].sourcePath.filename(), "a.mp4");
  EXPECT_EQ(segments[0].target, TimeRange(MediaTime::zero(), MediaTime(2, 1)));
  EXPECT_EQ(segments[1].sourcePath.filename(), "b.mp4");
  EXPECT_EQ(segments[1].target, TimeRange(MediaTime(2, 1), MediaTime(3, 1)));
  EXPECT_EQ(track->naturalSize(), (Size{64, 48}));
}

TEST_F(CompositionTest, InsertingInsideASegmentSplitsIt) {
  auto a = clip("a.mp4", 60), b = clip("b.mp4", 30);
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  ASSERT_TRUE(track->insertTimeRange(a.timeRange, a, MediaTime::zero()));
  ASSERT_TRUE(track->insertTimeRange({MediaTime::zero(), MediaTime(1, 2)}, b, MediaTime(1, 1)));
  const auto& segments = track->segments();
  ASSERT_EQ(segments.size(), 3u);
  EXPECT_EQ(segments[0].source, TimeRange(MediaTime::zero(), MediaTime(1, 1)));
  EXPECT_EQ(segments[1].sourcePath.filename(), "b.mp4");
  EXPECT_EQ(segments[1].target, TimeRange(MediaTime(1, 1), MediaTime(1, 2)));
  EXPECT_EQ(segments[2].source, TimeRange(MediaTime(1, 1), MediaTime(1, 1)));
  EXPECT_EQ(segments[2].target, TimeRange(MediaTime(3, 2), MediaTime(1, 1)));
  EXPECT_EQ(composition->duration(), MediaTime(5, 2));
}

TEST_F(CompositionTest, InsertingPastTheEndLeavesAGap) {
  auto a = clip("a.mp4", 30);
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  ASSERT_TRUE(track->insertTimeRange(a.timeRange, a, MediaTime(2, 1)));
  ASSERT_EQ(track->segments().size(), 2u);
  EXPECT_TRUE(track->segments()[0].isEmpty());
  EXPECT_EQ(composition->duration(), MediaTime(3, 1));
}

TEST_F(CompositionTest, RangesOutsideTheSourceAreRefused) {
  auto a = clip("a.mp4", 30);
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  EXPECT_EQ(
      track->insertTimeRange({MediaTime::zero(), MediaTime(2, 1)}, a, MediaTime::zero()).error(),
      MediaError::invalidTimeRange);
  EXPECT_EQ(
      track->insertTimeRange({MediaTime::zero(), MediaTime::zero()}, a, MediaTime::zero()).error(),
      MediaError::invalidTimeRange);
  EXPECT_EQ(track->insertTimeRange(a.timeRange, a, MediaTime::invalid()).error(),
            MediaError::invalidTimeRange);
  EXPECT_EQ(track->insertTimeRange(a.timeRange, a, MediaTime(-1, 1)).error(),
            MediaError::invalidTimeRange);
  auto audio = composition->addMutableTrack(MediaType::audio);
  EXPECT_EQ(audio->insertTimeRange(a.timeRange, a, MediaTime::zero()).error(),
            MediaError::invalidComposition);
  EXPECT_TRUE(track->segments().empty());
}

TEST_F(CompositionTest, TrackIdentifiersAreUnique) {
  auto composition = MutableComposition::make();
  EXPECT_EQ(composition->addMutableTrack(MediaType::video)->trackID(), 1);
  EXPECT_EQ(composition->addMutableTrack(MediaType::video, 5)->trackID(), 5);
  EXPECT_EQ(composition->addMutableTrack(MediaType::video, 5), nullptr);
  EXPECT_EQ(composition->addMutableTrack(MediaType::video)->trackID(), 2);
}

}  // namespace
}  // namespace velmoradine
