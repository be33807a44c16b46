#include <gtest/gtest.h>

#include <vector>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/temporary_directory.hpp"
#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/player_view_controller.hpp"

namespace velmoradine::testing {
namespace {

const std::vector<std::uint32_t> kFrameColors = {0xff2060c0, 0xff20c060, 0xffc0c020, 0xffc020c0};

class PlayerViewTest : public UIKitTest {
 protected:
  // A controller playing a clip whose frames differ in colour, shown in a
  // 320 × 240 view (the clip's own shape) at the top left of the screen.
  std::shared_ptr<PlayerViewController> showClip() {
    const auto path = directory.path() / "colors.mp4";
    EXPECT_TRUE(writeTestVideo(path, {.frames = 4, .colors = kFrameColors}));
    auto controller = std::make_shared<PlayerViewController>();
    controller->setShowsPlaybackControls(false);
    controller->setPlayer(Player::make(PlayerItem::make(URLAsset::make(path))));
    controller->view()->setFrame({0, 0, 320, 240});
    root->view()->addSubview(controller->view());
    root->addChild(controller);
    return controller;
  }

  // Below the frame-number blocks and right of the marker.
  std::uint32_t shownColor() {
    window->displayIfNeeded();
    return window->bitmap().pixel(720, 540);
  }

  TemporaryDirectory directory;
};

TEST_F(PlayerViewTest, ShowsFrameNAtTimeNOverTheFrameRate) {
  auto controller = showClip();
  controller->player()->play();
  for (std::size_t frame = 0; frame < kFrameColors.size(); ++frame) {
    ASSERT_TRUE(waitUntil([&] { return near(shownColor(), kFrameColors[frame]); })) << frame;
    RunLoop::main().drain();
    EXPECT_TRUE(near(shownColor(), kFrameColors[frame])) << "frame " << frame << " held its time";
    advance(1.0 / 30 + 1e-6);
  }
}

TEST_F(PlayerViewTest, LeavingTheWindowPausesAndComingBackResumes) {
  auto controller = showClip();
  const auto& player = controller->player();
  player->play();
  controller->view()->removeFromSuperview();
  EXPECT_EQ(player->rate(), 0);
  advance(1);
  EXPECT_EQ(player->currentTime(), MediaTime::zero());
  root->view()->addSubview(controller->view());
  EXPECT_EQ(player->rate(), 1);
}

TEST_F(PlayerViewTest, SublayersAddedAfterASubviewAreDrawnOverIt) {
  const std::uint32_t green = 0xff00ff00, blue = 0xff0000ff;
  auto container = addView({0, 0, 100, 100});
  auto subview = addView({0, 0, 100, 100}, container);
  subview->setBackgroundColor(Color::rgba(0, 1, 0));
  auto overlay = Layer::create();
  overlay->setFrame({50, 0, 50, 100});
  overlay->setBackgroundColor(Color::rgba(0, 0, 1));
  container->layer()->addSublayer(overlay);
  window->displayIfNeeded();
  EXPECT_TRUE(near(window->bitmap().pixel(75, 150), green));
  EXPECT_TRUE(near(window->bitmap().pixel(225, 150), blue));
}

}  // namespace
}  // namespace velmoradine::testing
