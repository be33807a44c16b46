#include "velmoradine/platform/media/asset.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/media/image_generator.hpp"
#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine {
namespace {

class AssetTest : public ::testing::Test {
 protected:
  std::filesystem::path make(const std::string& name, const testing::TestVideo& video = {}) {
    auto path = directory.path() / name;
    auto written = testing::writeTestVideo(path, video);
    EXPECT_TRUE(written) << written.error().localizedDescription() << " "
                         << written.error().detail();
    return path;
  }
  testing::TemporaryDirectory directory;
};

TEST_F(AssetTest, ReadsDurationSizeRateAndFrameCount) {
  auto asset = URLAsset::make(make("clip.mp4", {.width = 64, .height = 48, .frames = 60}));
  EXPECT_FALSE(asset->loadError());
  EXPECT_EQ(asset->duration(), MediaTime(2, 1));
  auto tracks = asset->tracksWithMediaType(MediaType::video);
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].naturalSize, (Size{64, 48}));
  EXPECT_DOUBLE_EQ(tracks[0].nominalFrameRate, 30);
  EXPECT_EQ(tracks[0].frameCount, 60);
  EXPECT_EQ(tracks[0].codecName, "h264");
  EXPECT_TRUE(tracks[0].preferredTransform.isIdentity());
  EXPECT_EQ(tracks[0].timeRange, TimeRange(MediaTime::zero(), MediaTime(2, 1)));
}

TEST_F(AssetTest, RotationMetadataBecomesThePreferredTransform) {
  auto asset = URLAsset::make(make("portrait.mp4", {.width = 64, .height = 48, .rotation = 90}));
  auto track = asset->tracksWithMediaType(MediaType::video).at(0);
  EXPECT_EQ(track.preferredTransform, (AffineTransform{0, 1, -1, 0, 48, 0}));
  auto upsideDown =
      URLAsset::make(make("flipped.mp4", {.width = 64, .height = 48, .rotation = 180}));
  EXPECT_EQ(upsideDown->tracksWithMediaType(MediaType::video).at(0).preferredTransform,
            (AffineTransform{-1, 0, 0, -1, 64, 48}));
}

TEST_F(AssetTest, FormatDescriptionTellsPixelLayoutAndColourTags) {
  auto asset = URLAsset::make(make("clip.mp4"));
  const int trackID = asset->tracksWithMediaType(MediaType::video).at(0).trackID;
  auto description = asset->formatDescription(trackID);
  ASSERT_TRUE(description) << description.error().localizedDescription();
  EXPECT_EQ(description->pixelFormat, "yuv420p");
  EXPECT_EQ(description->pixelAspectRatio, (PixelAspectRatio{1, 1}));
  EXPECT_EQ(description->colorTags, (VideoColorTags{.matrix = "smpte170m",
                                                    .range = "limited",
                                                    .primaries = "smpte170m",
                                                    .transfer = "smpte170m"}));
  EXPECT_EQ(asset->formatDescription(trackID + 1).error(), MediaError::noVideoTrack);
}

TEST(AssetTrack, PresentationSizeSquaresThePixelsThenTurns) {
  const AffineTransform quarterTurn{0, 1, -1, 0, 576, 0};
  const AffineTransform halfTurn{-1, 0, 0, -1, 720, 576};
  const AffineTransform threeQuarterTurn{0, -1, 1, 0, 0, 720};
  const struct {
    PixelAspectRatio aspect;
    AffineTransform transform;
    Size shown;
  } cases[] = {
      {{1, 1}, {}, {720, 576}},
      {{16, 15}, {}, {768, 576}},
      {{16, 15}, quarterTurn, {576, 768}},
      {{8, 9}, threeQuarterTurn, {576, 640}},
      {{1, 1}, halfTurn, {720, 576}},
  };
  for (const auto& [aspect, transform, shown] : cases) {
    AssetTrack track;
    track.naturalSize = {720, 576};
    track.preferredTransform = transform;
    EXPECT_EQ(track.presentationSize(aspect), shown)
        << aspect.horizontalSpacing << ":" << aspect.verticalSpacing;
  }
}

TEST_F(AssetTest, GeneratorGrabsTheFrameShownAtATime) {
  auto asset = URLAsset::make(make("clip.mp4", {.frames = 60}));
  AssetImageGenerator generator(asset);
  MediaTime actual;
  auto first = generator.copyImage(MediaTime(0, 60), &actual);
  ASSERT_TRUE(first);
  EXPECT_EQ(testing::frameIndex(*first), 0);
  EXPECT_EQ(actual, MediaTime::zero());
  auto middle = generator.copyImage(MediaTime::withSeconds(1.0, 600));
  ASSERT_TRUE(middle);
  EXPECT_EQ(testing::frameIndex(*middle), 30);
  auto between = generator.copyImage(MediaTime(31, 60), &actual);
  ASSERT_TRUE(between);
  EXPECT_EQ(testing::frameIndex(*between), 15);
  EXPECT_EQ(actual, MediaTime(1, 2));
  auto past = generator.copyImage(MediaTime(10, 1));
  ASSERT_TRUE(past);
  EXPECT_EQ(testing::frameIndex(*past), 59);
}

TEST_F(AssetTest, GeneratorTurnsPortraitClipsUpright) {
  testing::TestVideo video{.width = 64, .height = 48, .rotation = 90};
  auto asset = URLAsset::make(make("portrait.mp4", video));
  AssetImageGenerator generator(asset);
  auto stored = generator.copyImage(MediaTime::zero());
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->width(), 64);
  generator.appliesPreferredTrackTransform = true;
  auto upright = generator.copyImage(MediaTime::zero());
  ASSERT_TRUE(upright);
  ASSERT_EQ(upright->width(), 48);
  ASSERT_EQ(upright->height(), 64);
  // The red marker drawn at the left edge, a quarter down, ends up along the
  // top edge, a quarter in from the right, after a clockwise quarter turn.
  EXPECT_TRUE(testing::near(upright->pixel(48 - 18, 4), 0xffff0000))
      << std::hex << upright->pixel(30, 4);
  EXPECT_FALSE(testing::near(upright->pixel(4, 4), 0xffff0000));
}

TEST_F(AssetTest, MissingFileIsReportedAsSuch) {
  auto asset = URLAsset::make(directory.path() / "nothing.mp4");
  ASSERT_TRUE(asset->loadError());
  EXPECT_EQ(*asset->loadError(), MediaError::fileNotFound);
  EXPECT_TRUE(asset->tracks().empty());
  EXPECT_EQ(asset->duration(), MediaTime::zero());
  EXPECT_EQ(AssetImageGenerator(asset).copyImage(MediaTime::zero()).error(),
            MediaError::fileNotFound);
}

TEST_F(AssetTest, TextZeroLengthAndDirectoryAreNotMedia) {
  auto text = directory.path() / "notes.mp4";
  std::ofstream(text) << "these are not the frames you are looking for\n";
  auto empty = directory.path() / "empty.mp4";
  std::ofstream(empty).flush();
  for (const auto& path : {text, empty, directory.path()}) {
    auto asset = URLAsset::make(path);
    ASSERT_TRUE(asset->loadError()) << path;
    EXPECT_EQ(*asset->loadError(), MediaError::notMedia) << path;
    EXPECT_FALSE(AssetImageGenerator(asset).copyImage(MediaTime::zero()));
  }
}

TEST_F(AssetTest, AudioOnlyFileHasNoVideoTrack) {
  auto wave = directory.path() / "tone.wav";
  testing::writeWave(wave);
  auto asset = URLAsset::make(wave);
  EXPECT_EQ(asset->tracksWithMediaType(MediaType::audio).size(), 1u);
  ASSERT_TRUE(asset->loadError());
  EXPECT_EQ(*asset->loadError(), MediaError::noVideoTrack);
  EXPECT_EQ(AssetImageGenerator(asset).copyImage(MediaTime::zero()).error(),
            MediaError::noVideoTrack);
}

TEST_F(AssetTest, TruncatedFileWithIndexAtTheEndIsNotMedia) {
  auto whole = make("whole.mp4", {.frames = 30, .faststart = false});
  auto cut = directory.path() / "cut.mp4";
  std::filesystem::copy_file(whole, cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(whole) / 2);
  auto asset = URLAsset::make(cut);
  ASSERT_TRUE(asset->loadError());
  EXPECT_EQ(*asset->loadError(), MediaError::notMedia);
}

}  // namespace
}  // namespace velmoradine
