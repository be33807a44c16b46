// Renders with real media: small solid-colour videos made here, rendered
// into scenes and joined, then read back frame by frame.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/temporary_directory.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/media/image_generator.hpp"
#include "velmoradine/platform/media/video_writer.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_renderer.hpp"

namespace velmoradine {
namespace {

using RenderResult = Result<SuccessfulRenderingResult>;

constexpr int kWidth = 64;
constexpr int kHeight = 112;
constexpr std::uint32_t kRed = 0xffc02020;
constexpr std::uint32_t kGreen = 0xff20c020;
constexpr std::uint32_t kBlue = 0xff2020c0;
constexpr std::uint32_t kYellow = 0xffe0e020;
constexpr std::uint32_t kWhite = 0xffffffff;

Bitmap solid(int width, int height, std::uint32_t argb) {
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap.row(y)[x] = argb;
  }
  return bitmap;
}

void writeSolidVideo(const std::filesystem::path& path, double seconds, std::uint32_t argb) {
  VideoEncoderSettings settings;
  settings.width = kWidth;
  settings.height = kHeight;
  auto writer = VideoWriter::create(path, settings);
  ASSERT_TRUE(writer);
  const Bitmap frame = solid(kWidth, kHeight, argb);
  for (int index = 0; index < std::lround(seconds * 30); ++index) {
    ASSERT_TRUE((*writer)->append(frame));
  }
  ASSERT_TRUE((*writer)->finish());
}

Color color(std::uint32_t argb) {
  return Color::rgba(((argb >> 16) & 0xff) / 255.0, ((argb >> 8) & 0xff) / 255.0,
                     (argb & 0xff) / 255.0);
}

std::shared_ptr<UGCVideoFormat> fullFrame() {
  return UGCVideoFormat::create({MutableLayerAttribute::frame({0, 0, kWidth, kHeight})});
}

Bitmap frameAt(const std::filesystem::path& video, double seconds) {
  auto picture =
      AssetImageGenerator(URLAsset::make(video)).copyImage(MediaTime::withSeconds(seconds, 600));
  EXPECT_TRUE(picture);
  return picture ? std::move(*picture) : solid(kWidth, kHeight, 0);
}

// The centre and the four corners (two pixels in) all show `argb`.
void expectFilledWith(const Bitmap& picture, std::uint32_t argb, const std::string& where) {
  const int right = picture.width() - 3;
  const int bottom = picture.height() - 3;
  for (auto [x, y] : {std::pair{picture.width() / 2, picture.height() / 2}, std::pair{2, 2},
                      std::pair{right, 2}, std::pair{2, bottom}, std::pair{right, bottom}}) {
    EXPECT_TRUE(testing::near(picture.row(y)[x], argb))
        << where << " at " << x << "," << y << ": " << std::hex << picture.row(y)[x];
  }
}

double seconds(const std::filesystem::path& video) {
  return URLAsset::make(video)->duration().seconds();
}

class UGCRenderTest : public ::testing::Test {
 protected:
  std::filesystem::path clip(const std::string& name, double length, std::uint32_t argb) {
    auto path = directory_.path() / name;
    writeSolidVideo(path, length, argb);
    return path;
  }

  static RenderResult await(const std::function<void(UGCScene::Completion)>& start) {
    std::optional<RenderResult> result;
    // Answers may come on any thread; the result is handed to this one.
    start([&](RenderResult outcome) {
      DispatchQueue::main()->async(
          [&result, outcome = std::move(outcome)] { result = std::move(outcome); });
    });
    EXPECT_TRUE(testing::waitUntil([&] { return result.has_value(); }, std::chrono::seconds(60)));
    return result.value_or(std::unexpected(Error(UGCError::unknown, "no answer")));
  }

  static RenderResult renderScene(const std::shared_ptr<UGCScene>& scene) {
    return await([&](UGCScene::Completion completion) { scene->ready(std::move(completion)); });
  }

  UGCRenderSettings settings_{{UGCRenderOptions::size({kWidth, kHeight})}};
  testing::TemporaryDirectory directory_;
  testing::ScopedEnvironmentVariable cache_{"XDG_CACHE_HOME",
                                            (directory_.path() / "cache").string()};
  testing::ScopedEnvironmentVariable data_{"XDG_DATA_HOME", (directory_.path() / "data").string()};
};

TEST_F(UGCRenderTest, ThreeScenesJoinInOrderIntoOneVideoByStreamCopy) {
  auto ugc = UGC::make("tag", {UGCRenderOptions::size({kWidth, kHeight})});
  const std::vector<std::pair<double, std::uint32_t>> parts{{2, kRed}, {3, kGreen}, {4, kBlue}};
  for (const auto& [length, argb] : parts) {
    auto scene = ugc->addScene("scene");
    scene->videoLayer(fullFrame(), URL::fileURL(clip(std::to_string(argb) + ".mp4", length, argb)));
    scene->ready();
  }
  auto joined = await([&](UGC::Completion completion) { ugc->ready(std::move(completion)); });
  ASSERT_TRUE(joined) << joined.error().localizedDescription();

  EXPECT_NEAR(seconds(joined->displayURL), 9, 0.05);
  expectFilledWith(frameAt(joined->displayURL, 1.0), kRed, "first scene");
  expectFilledWith(frameAt(joined->displayURL, 1.9), kRed, "end of the first scene");
  expectFilledWith(frameAt(joined->displayURL, 3.5), kGreen, "second scene");
  expectFilledWith(frameAt(joined->displayURL, 8.5), kBlue, "third scene");

  // The first and last scene once more, around a file that is no video:
  // that one is left out with a log line naming it, and the two others,
  // sharing their encoding, are copied rather than encoded again.
  const auto results = ugc->sceneRenderingResults();
  const SuccessfulRenderingResult notVideo{directory_.path() / "notes.mp4"};
  std::ofstream(notVideo.displayURL) << "not a video";
  auto renderer =
      UGCRenderer::create({results[0]->value(), notVideo, results[2]->value()}, settings_);
  ASSERT_TRUE(renderer);
  console::Capture log;
  auto again = await([&](UGC::Completion completion) {
    DispatchQueue::main()->async(
        [renderer = *renderer, completion] { renderer->startExport(completion); });
  });
  ASSERT_TRUE(again);
  EXPECT_TRUE(log.contains("[Velmoradine] [UGCGenerator] Unable to add scene " +
                           notVideo.description() + " to the UGC. Scene has no video Track."));
  EXPECT_TRUE((*renderer)->ugcExporter->usedStreamCopy());
  EXPECT_NEAR(seconds(again->displayURL), 6, 0.05);
  expectFilledWith(frameAt(again->displayURL, 1.0), kRed, "first scene");
  expectFilledWith(frameAt(again->displayURL, 3.0), kBlue, "last scene");
}

struct MaxDurationCase {
  double maxDuration;
  double expectedSeconds;
};

class UGCMaxDurationTest : public UGCRenderTest,
                           public ::testing::WithParamInterface<MaxDurationCase> {};

TEST_P(UGCMaxDurationTest, ClipsTheSceneToItsMaximum) {
  auto scene = UGCScene::make(settings_, {UGCSceneOption::maxDuration(GetParam().maxDuration)});
  scene->videoLayer(fullFrame(), URL::fileURL(clip("ten.mp4", 10, kBlue)));
  auto rendered = renderScene(scene);
  ASSERT_TRUE(rendered) << rendered.error().localizedDescription();
  EXPECT_NEAR(seconds(rendered->displayURL), GetParam().expectedSeconds, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Lengths, UGCMaxDurationTest,
                         ::testing::Values(MaxDurationCase{3, 3}, MaxDurationCase{30, 10}));

TEST_F(UGCRenderTest, TextAndImageLayersAreDrawnWhereTheirFramesSay) {
  auto scene = UGCScene::make(settings_);
  scene->videoLayer(fullFrame(), URL::fileURL(clip("blue.mp4", 1, kBlue)))
      .imageLayer(UGCImageFormat::create({MutableLayerAttribute::frame({8, 8, 16, 16})}),
                  Image(solid(4, 4, kYellow)))
      .textLayer(UGCTextFormat::create({MutableLayerAttribute::frame({4, 64, 56, 40}),
                                        MutableLayerAttribute::backgroundColor(color(kGreen)),
                                        MutableLayerAttribute::foregroundColor(color(kWhite)),
                                        MutableLayerAttribute::fontSize(32)}),
                 "IIII");
  auto rendered = renderScene(scene);
  ASSERT_TRUE(rendered) << rendered.error().localizedDescription();

  const Bitmap picture = frameAt(rendered->displayURL, 0.5);
  EXPECT_TRUE(testing::near(picture.row(16)[16], kYellow)) << std::hex << picture.row(16)[16];
  EXPECT_TRUE(testing::near(picture.row(40)[48], kBlue)) << std::hex << picture.row(40)[48];
  EXPECT_TRUE(testing::near(picture.row(101)[6], kGreen)) << std::hex << picture.row(101)[6];
  int whitePixels = 0;
  for (int y = 64; y < 104; ++y) {
    for (int x = 4; x < 60; ++x) whitePixels += testing::near(picture.row(y)[x], kWhite, 40);
  }
  EXPECT_GT(whitePixels, 20) << "the text is drawn inside its frame";
}

struct BadSceneCase {
  const char* name;
  std::vector<UGCRenderOptions> options;
  std::vector<UGCSceneOption> sceneOptions;
  // Adds the scene's layers; `directory` holds scratch files.
  std::function<void(UGCScene&, const std::filesystem::path& directory)> layers;
  UGCError expected;
  std::string messageStart;
  friend void PrintTo(const BadSceneCase& scenario, std::ostream* out) { *out << scenario.name; }
};

class UGCBadSceneTest : public UGCRenderTest, public ::testing::WithParamInterface<BadSceneCase> {};

TEST_P(UGCBadSceneTest, FailsWithAClearErrorAndLeavesNoFile) {
  const BadSceneCase& scenario = GetParam();
  auto scene = UGCScene::make(UGCRenderSettings(scenario.options), scenario.sceneOptions);
  scenario.layers(*scene, directory_.path());
  auto rendered = renderScene(scene);
  ASSERT_FALSE(rendered);
  EXPECT_EQ(rendered.error(), scenario.expected);
  EXPECT_EQ(rendered.error().detail().substr(0, scenario.messageStart.size()),
            scenario.messageStart);
  const auto output = directory_.path() / "cache";
  std::size_t videos = 0;
  if (std::filesystem::exists(output)) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(output)) {
      videos += entry.path().extension() == ".mp4";
    }
  }
  EXPECT_EQ(videos, 0u);
}

void blueVideo(UGCScene& scene, const std::filesystem::path& directory) {
  writeSolidVideo(directory / "blue.mp4", 1, kBlue);
  scene.videoLayer(fullFrame(), URL::fileURL(directory / "blue.mp4"));
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, UGCBadSceneTest,
    ::testing::Values(BadSceneCase{"OddSize",
                                   {UGCRenderOptions::size({63, 112})},
                                   {},
                                   blueVideo,
                                   UGCError::videoError,
                                   "Render size 63 × 112 cannot be encoded"},
                      BadSceneCase{"TooLarge",
                                   {UGCRenderOptions::size({5000, 960})},
                                   {},
                                   blueVideo,
                                   UGCError::videoError,
                                   "Render size 5000 × 960 cannot be encoded"},
                      BadSceneCase{"ZeroMaxDuration",
                                   {},
                                   {UGCSceneOption::maxDuration(0)},
                                   blueVideo,
                                   UGCError::videoError,
                                   "maxDuration 0 is not a finite number"},
                      BadSceneCase{"NaNMaxDuration",
                                   {},
                                   {UGCSceneOption::maxDuration(std::nan(""))},
                                   blueVideo,
                                   UGCError::videoError,
                                   "maxDuration nan is not a finite number"},
                      BadSceneCase{"VideoLayerWithoutFrame",
                                   {},
                                   {},
                                   [](UGCScene& scene, const std::filesystem::path& directory) {
                                     blueVideo(scene, directory);
                                     scene.videoLayer(UGCVideoFormat::create(),
                                                      URL::fileURL(directory / "blue.mp4"));
                                   },
                                   UGCError::videoError,
                                   "The video layer has no frame"},
                      BadSceneCase{"NoVideoLayer",
                                   {},
                                   {},
                                   [](UGCScene& scene, const std::filesystem::path&) {
                                     scene.textLayer(UGCTextFormat::create(), "Only words");
                                   },
                                   UGCError::noDuration,
                                   ""},
                      BadSceneCase{"NotAVideo",
                                   {},
                                   {},
                                   [](UGCScene& scene, const std::filesystem::path& directory) {
                                     std::ofstream(directory / "notes.mp4") << "not a video";
                                     scene.videoLayer(fullFrame(),
                                                      URL::fileURL(directory / "notes.mp4"));
                                   },
                                   UGCError::videoError,
                                   "Unable to load video asset"},
                      BadSceneCase{"MissingImage",
                                   {},
                                   {},
                                   [](UGCScene& scene, const std::filesystem::path& directory) {
                                     blueVideo(scene, directory);
                                     scene.imageLayer(UGCImageFormat::create(),
                                                      URL::fileURL(directory / "missing.png"));
                                   },
                                   UGCError::imageError,
                                   "Unable to load image from: Optional(file://"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UGCRenderTest, AJoinOfNoScenesFailsWithoutAFile) {
  auto renderer = UGCRenderer::create({}, settings_);
  ASSERT_TRUE(renderer);
  auto joined = await([&](UGC::Completion completion) { (*renderer)->startExport(completion); });
  ASSERT_FALSE(joined);
  EXPECT_EQ(joined.error(), UGCError::exportFailedOrCancelled);
  EXPECT_FALSE(std::filesystem::exists((*renderer)->displayURL.filePath()));
}

}  // namespace
}  // namespace velmoradine
