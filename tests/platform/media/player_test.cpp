#include "velmoradine/platform/media/player.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/notification_center.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine {
namespace {

class PlayerTest : public ::testing::Test {
 protected:
  std::shared_ptr<URLAsset> clip(const std::string& name, testing::TestVideo video) {
    auto path = directory.path() / name;
    EXPECT_TRUE(testing::writeTestVideo(path, video));
    return URLAsset::make(path);
  }

  struct Presented {
    int index;
    MediaTime time;
    bool onMain;
  };

  testing::TemporaryDirectory directory;
};

TEST_F(PlayerTest, PresentsEveryFrameInOrderOnTheMainThreadAndThenEnds) {
  testing::ScopedManualClock clock;
  auto item = PlayerItem::make(clip("clip.mp4", {.frames = 12}));
  auto player = Player::make(item);
  auto layer = Layer::create();
  player->setOutputLayer(layer);
  std::vector<Presented> presented;
  player->setFrameHandler([&](const Image& picture, const MediaTime& time) {
    presented.push_back({testing::frameIndex(picture.bitmap()), time, RunLoop::isMainThread()});
  });
  int ended = 0;
  auto token = NotificationCenter::defaultCenter().addObserver(
      nullptr, PlayerItem::didPlayToEndTimeNotification, item.get(), nullptr,
      [&](const Notification&) { ++ended; });
  player->play();
  EXPECT_EQ(player->rate(), 1);
  // Time moves only when the test moves it: each step shows one more frame.
  for (int frame = 0; frame < 12; ++frame) {
    ASSERT_TRUE(testing::waitUntil([&] { return presented.size() == std::size_t(frame + 1); }))
        << frame;
    EXPECT_EQ(presented.back().index, frame);
    EXPECT_EQ(presented.back().time, MediaTime(frame, 30));
    EXPECT_TRUE(presented.back().onMain);
    EXPECT_EQ(ended, 0);
    clock.advance(std::chrono::microseconds(1000000 / 30 + 1));
  }
  ASSERT_TRUE(testing::waitUntil([&] { return ended == 1; }));
  EXPECT_EQ(presented.size(), 12u);
  EXPECT_EQ(player->rate(), 0);
  EXPECT_EQ(player->currentTime(), MediaTime(12, 30));
  ASSERT_TRUE(layer->contents().has_value());
  EXPECT_EQ(testing::frameIndex(layer->contents()->bitmap()), 11);
  NotificationCenter::defaultCenter().removeObserver(token);
}

TEST_F(PlayerTest, PauseHoldsThePictureUntilPlayResumes) {
  testing::ScopedManualClock clock;
  auto item = PlayerItem::make(clip("clip.mp4", {.frames = 30}));
  auto player = Player::make(item);
  std::vector<int> shown;
  player->setFrameHandler([&](const Image& picture, const MediaTime&) {
    shown.push_back(testing::frameIndex(picture.bitmap()));
  });
  player->play();
  ASSERT_TRUE(testing::waitUntil([&] { return shown.size() == 1; }));
  player->pause();
  EXPECT_EQ(player->rate(), 0);
  clock.advance(std::chrono::seconds(5));
  RunLoop::main().drain();
  EXPECT_EQ(shown.size(), 1u);
  EXPECT_EQ(player->currentTime(), MediaTime::zero());
  player->play();
  clock.advance(std::chrono::milliseconds(101));
  ASSERT_TRUE(testing::waitUntil([&] { return !shown.empty() && shown.back() == 3; }));
  EXPECT_EQ(shown.back(), 3);
}

TEST_F(PlayerTest, PortraitClipsArePresentedUpright) {
  testing::ScopedManualClock clock;
  auto item = PlayerItem::make(
      clip("portrait.mp4", {.width = 64, .height = 48, .frames = 3, .rotation = 90}));
  auto player = Player::make(item);
  std::optional<Image> first;
  player->setFrameHandler([&](const Image& picture, const MediaTime&) {
    if (!first) first = picture;
  });
  player->play();
  ASSERT_TRUE(testing::waitUntil([&] { return first.has_value(); }));
  EXPECT_EQ(first->pixelWidth(), 48);
  EXPECT_EQ(first->pixelHeight(), 64);
}

TEST_F(PlayerTest, CompositionsPlayTheirSegmentsInOrder) {
  testing::ScopedManualClock clock;
  auto a = clip("a.mp4", {.frames = 30}), b = clip("b.mp4", {.frames = 30, .color = 0xffc02020});
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  ASSERT_TRUE(track->insertTimeRange({MediaTime(10, 30), MediaTime(2, 30)}, b->tracks()[0],
                                     MediaTime::zero()));
  ASSERT_TRUE(track->insertTimeRange({MediaTime(20, 30), MediaTime(2, 30)}, a->tracks()[0],
                                     MediaTime::zero()));
  auto player = Player::make(PlayerItem::make(composition));
  std::vector<std::pair<int, MediaTime>> shown;
  player->setFrameHandler([&](const Image& picture, const MediaTime& time) {
    shown.emplace_back(testing::frameIndex(picture.bitmap()), time);
  });
  player->play();
  for (int step = 0; step < 4; ++step) {
    ASSERT_TRUE(testing::waitUntil([&] { return shown.size() == std::size_t(step + 1); })) << step;
    clock.advance(std::chrono::microseconds(1000000 / 30 + 1));
  }
  EXPECT_EQ(shown[0], std::make_pair(20, MediaTime(0, 30)));
  EXPECT_EQ(shown[1], std::make_pair(21, MediaTime(1, 30)));
  EXPECT_EQ(shown[2], std::make_pair(10, MediaTime(2, 30)));
  EXPECT_EQ(shown[3], std::make_pair(11, MediaTime(3, 30)));
}

TEST_F(PlayerTest, UnplayableItemFailsWithoutPlaying) {
  auto item = PlayerItem::make(URLAsset::make(directory.path() / "missing.mp4"));
  auto player = Player::make(item);
  player->play();
  EXPECT_EQ(player->rate(), 0);
  EXPECT_EQ(item->status(), PlayerItem::Status::failed);
  ASSERT_TRUE(item->error());
  EXPECT_EQ(*item->error(), MediaError::fileNotFound);
}

TEST_F(PlayerTest, DroppingThePlayerStopsDecoding) {
  auto item = PlayerItem::make(clip("long.mp4", {.frames = 90}));
  int presented = 0;
  {
    auto player = Player::make(item);
    player->setFrameHandler([&](const Image&, const MediaTime&) { ++presented; });
    player->play();
    ASSERT_TRUE(testing::waitUntil([&] { return presented > 0; }));
  }
  const int before = presented;
  RunLoop::main().runUntil([] { return false; }, std::chrono::milliseconds(50));
  EXPECT_EQ(presented, before);
}

}  // namespace
}  // namespace velmoradine
