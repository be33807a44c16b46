#include "velmoradine/ugc/ugc_presentation.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/temporary_directory.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"

namespace velmoradine {
namespace {

constexpr std::uint32_t kVideoColor = 0xff2060c0;
constexpr std::uint32_t kImageColor = 0xffff00ff;

// A 64 × 48 UGC whose scenes play a clip of the kit's test frames, live in
// a headless window whose time moves only when the test moves it.
class UGCPresentationTest : public ::testing::Test {
 public:
  UGCPresentationTest() {
    root->view()->addSubview(host);
    window->setRootViewController(root);
  }
  ~UGCPresentationTest() override { RunLoop::main().drain(); }

  std::shared_ptr<UGCScene> addScene(int frames, std::vector<UGCSceneOption> options = {}) {
    const auto path = directory.path() / ("clip" + std::to_string(clips++) + ".mp4");
    EXPECT_TRUE(testing::writeTestVideo(path, {.frames = frames, .color = kVideoColor}));
    auto scene = ugc->addScene("scene", options);
    scene->videoLayer(UGCVideoFormat::create({MutableLayerAttribute::frame({0, 0, 64, 48})}),
                      URL::fileURL(path));
    return scene;
  }

  void advance(double seconds) {
    clock.advance(
        std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds)));
    RunLoop::main().drain();
  }

  // The preview view the host shows, if any.
  std::shared_ptr<UIView> preview() const {
    return host->subviews().empty() ? nullptr : host->subviews().back();
  }

  testing::ScopedManualClock clock;
  testing::TemporaryDirectory directory;
  testing::ScopedEnvironmentVariable cache{"XDG_CACHE_HOME", (directory.path() / "c").string()};
  std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen({375, 812}, 3));
  std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
  std::shared_ptr<UIView> host = std::make_shared<UIView>(Rect(0, 0, 64, 48));
  std::shared_ptr<UGC> ugc = UGC::make("tag", {UGCRenderOptions::size({64, 48})});
  int clips = 0;
};

TEST_F(UGCPresentationTest, AOneSceneUGCShowsItsSceneAgainAndAgain) {
  addScene(3);
  ASSERT_TRUE(UGCPresentation::make(ugc)->present(0, root, host));
  std::shared_ptr<UIView> shown;
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(testing::waitUntil([&] { return preview() && preview() != shown; })) << round;
    shown = preview();
    advance(0.2);
  }
}

TEST_F(UGCPresentationTest, AUGCWithoutScenesLogsAndShowsNothing) {
  console::Capture console;
  ASSERT_TRUE(UGCPresentation::make(ugc)->present(0, root, host));
  RunLoop::main().drain();
  EXPECT_EQ(console.lines(),
            std::vector<std::string>{"[Velmoradine] [UGCGenerator] Unable to present ugc, no scene "
                                     "for index 0"});
  EXPECT_TRUE(host->subviews().empty());
}

// Scaled to the host's height about its centre; the image is drawn over the
// playing video.
TEST_F(UGCPresentationTest, ThePreviewFillsTheHostsHeightCentredWithItsLayersOverTheVideo) {
  struct Case {
    Size host;
    Rect expected;
  } cases[] = {
      {{64, 96}, {-32, 0, 128, 96}}, {{200, 96}, {36, 0, 128, 96}}, {{64, 24}, {16, 0, 32, 24}}};
  Bitmap magenta(16, 12);
  magenta.fill(Color::rgba(1, 0, 1));
  addScene(30)->imageLayer(UGCImageFormat::create({MutableLayerAttribute::frame({40, 30, 16, 12})}),
                           Image(std::move(magenta)));
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.host.width << " x " << c.host.height);
    host->setFrame({{0, 0}, c.host});
    auto presentation = UGCScenePresentation::make(ugc->sceneConfigurations().front());
    ASSERT_TRUE(presentation->present(root, host, nullptr));
    ASSERT_TRUE(testing::waitUntil([&] { return preview() != nullptr; }));
    EXPECT_EQ(preview()->frame(), c.expected);
    EXPECT_EQ(preview()->layer()->borderWidth(), 2);
    EXPECT_EQ(preview()->layer()->cornerRadius(), 32);
    const Point image = preview()->convertToWindow({48, 36});
    const Point video = preview()->convertToWindow({32, 40});
    ASSERT_TRUE(testing::waitUntil([&] {
      window->displayIfNeeded();
      return testing::near(window->bitmap().pixel(int(video.x * 3), int(video.y * 3)), kVideoColor);
    }));
    EXPECT_TRUE(
        testing::near(window->bitmap().pixel(int(image.x * 3), int(image.y * 3)), kImageColor));
    presentation->presentationViewController.lock()->removeSelfAndOtherViews();
  }
}

TEST_F(UGCPresentationTest, WhenASceneEndsEveryChildControllerOfTheHostIsRemoved) {
  auto own = std::make_shared<UIViewController>();
  root->addChild(own);
  root->view()->addSubview(own->view());
  own->didMove(root);
  auto scene = addScene(3);
  std::optional<std::size_t> childrenAtEnd;
  ASSERT_TRUE(scene->presentScene(root, host, [&] { childrenAtEnd = root->children().size(); }));
  ASSERT_TRUE(testing::waitUntil([&] { return preview() != nullptr; }));
  EXPECT_EQ(root->children().size(), 3u) << "the host's own, the preview's and the player's";
  advance(0.2);
  ASSERT_TRUE(testing::waitUntil([&] { return childrenAtEnd.has_value(); }));
  EXPECT_EQ(*childrenAtEnd, 0u);
  EXPECT_EQ(own->view()->superview(), nullptr);
  EXPECT_EQ(preview(), nullptr);
}

TEST_F(UGCPresentationTest, AClippedSceneEndsOnItsTimerAndAFullOneWithItsVideo) {
  struct Case {
    const char* name;
    std::optional<double> maxDuration;
    bool endsAtATenth;
  } cases[] = {{"clipped to a tenth", 0.1, true},
               {"no maximum", std::nullopt, false},
               {"a maximum past the video's end", 30, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<UGCSceneOption> options;
    if (c.maxDuration) options.push_back(UGCSceneOption::maxDuration(*c.maxDuration));
    auto scene = addScene(30, options);
    bool ended = false;
    ASSERT_TRUE(scene->presentScene(root, host, [&] { ended = true; }));
    ASSERT_TRUE(testing::waitUntil([&] { return preview() != nullptr; }));
    advance(0.11);
    if (c.endsAtATenth) {
      EXPECT_TRUE(testing::waitUntil([&] { return ended; }));
      continue;
    }
    EXPECT_FALSE(ended);
    advance(1);
    EXPECT_TRUE(testing::waitUntil([&] { return ended; }));
  }
}

// Scenes that cannot be shown are named in the log once each; the loop then
// stops instead of starting them again and again.
TEST_F(UGCPresentationTest, ALoopOfScenesThatCannotBeShownLogsEachOnceAndStops) {
  struct Case {
    const char* name;
    std::function<void(UGCPresentationTest&)> addScene;
    std::string failure;
  } cases[] = {
      {"not a video",
       [](UGCPresentationTest& t) {
         const auto path = t.directory.path() / "notes.mp4";
         std::ofstream(path) << "not a video";
         t.ugc->addScene("scene")->videoLayer(
             UGCVideoFormat::create({MutableLayerAttribute::frame({0, 0, 64, 48})}),
             URL::fileURL(path));
       },
       "Video error: Unable to load video asset"},
      {"no video layer",
       [](UGCPresentationTest& t) {
         t.ugc->addScene("scene")->textLayer(UGCTextFormat::create(), "Title");
       },
       "No duration set"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ugc = UGC::make("tag", {UGCRenderOptions::size({64, 48})});
    c.addScene(*this);
    c.addScene(*this);
    console::Capture console;
    ASSERT_TRUE(UGCPresentation::make(ugc)->present(0, root, host));
    const std::string stopped =
        "[Velmoradine] [UGCGenerator] Unable to present ugc, no scene could be shown";
    ASSERT_TRUE(testing::waitUntil([&] { return console.contains(stopped); }));
    RunLoop::main().drain();
    const std::string failed =
        "[Velmoradine] [UGCScenePresentation] unable present scene - " + c.failure;
    EXPECT_EQ(console.lines(), (std::vector<std::string>{failed, failed, stopped}));
    EXPECT_TRUE(host->subviews().empty());
    EXPECT_TRUE(root->children().empty());
  }
}

}  // namespace
}  // namespace velmoradine

namespace velmoradine {
namespace {

// A round badge of `diameter` pixels: opaque magenta inside its circle,
// transparent outside.
Bitmap roundBadge(int diameter) {
  Bitmap badge(diameter, diameter);
  const double radius = diameter / 2.0;
  for (int y = 0; y < diameter; ++y) {
    for (int x = 0; x < diameter; ++x) {
      if (std::hypot(x + 0.5 - radius, y + 0.5 - radius) <= radius) badge.row(y)[x] = kImageColor;
    }
  }
  return badge;
}

// As the sample UGC places its badge: a 256-pixel PNG in a 128-point square
// of a 540 × 960 scene, shown in a phone-sized host.
TEST_F(UGCPresentationTest, AnImageFileKeepsItsFrameAndShapeInThePreview) {
  const auto clip = directory.path() / "clip.mp4";
  ASSERT_TRUE(testing::writeTestVideo(clip, {.width = 540, .height = 960, .color = kVideoColor}));
  const auto file = directory.path() / "badge.png";
  auto png = Image(roundBadge(256)).pngData();
  ASSERT_TRUE(png);
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
  ugc = UGC::make("tag", {UGCRenderOptions::size({540, 960})});
  ugc->addScene("scene")
      ->videoLayer(UGCVideoFormat::create({MutableLayerAttribute::frame({0, 0, 540, 960})}),
                   URL::fileURL(clip))
      .imageLayer(UGCImageFormat::create({MutableLayerAttribute::frame({370, 790, 128, 128})}),
                  URL::fileURL(file));
  host->setFrame({0, 0, 375, 600});
  ASSERT_TRUE(UGCPresentation::make(ugc)->present(0, root, host));
  ASSERT_TRUE(testing::waitUntil([&] { return preview() != nullptr; }));
  auto pixel = [&](Point scenePoint) {
    const Point point = preview()->convertToWindow(scenePoint);
    return window->bitmap().pixel(int(point.x * 3), int(point.y * 3));
  };
  ASSERT_TRUE(testing::waitUntil([&] {
    window->displayIfNeeded();
    return testing::near(pixel({300, 600}), kVideoColor);
  }));
  // The badge's centre is (434, 854) and its radius 64 points.
  const struct {
    Point point;
    bool badge;
  } samples[] = {
      {{434, 854}, true},  {{434, 796}, true},  {{434, 912}, true},  {{376, 854}, true},
      {{492, 854}, true},  {{378, 798}, false}, {{490, 910}, false}, {{360, 854}, false},
      {{508, 854}, false}, {{434, 780}, false}, {{434, 928}, false},
  };
  for (const auto& sample : samples) {
    SCOPED_TRACE(::testing::Message() << sample.point.x << "," << sample.point.y);
    EXPECT_EQ(testing::near(pixel(sample.point), kImageColor), sample.badge)
        << std::hex << pixel(sample.point);
  }
}

}  // namespace
}  // namespace velmoradine
