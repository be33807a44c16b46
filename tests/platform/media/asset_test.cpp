#include "velmoradine/platform/media/asset.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/encoder.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"
#include "velmoradine/platform/media/image_generator.hpp"
#include "velmoradine/platform/media/media_error.hpp"

extern "C" {
#include <libavutil/opt.h>
}

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

TEST_F(AssetTest, StillImagesNamedAsVideosAreNotMedia) {
  Image picture(testing::testFrame({}, 5));
  for (const auto& [name, bytes] : {std::pair{"photo.mp4", picture.jpegData(0.9)},
                                    std::pair{"drawing.mov", picture.pngData()}}) {
    ASSERT_TRUE(bytes);
    const auto path = directory.path() / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
    auto asset = URLAsset::make(path);
    ASSERT_TRUE(asset->loadError()) << name;
    EXPECT_EQ(*asset->loadError(), MediaError::notMedia) << name;
    EXPECT_EQ(AssetImageGenerator(asset).copyImage(MediaTime::zero()).error(), MediaError::notMedia)
        << name;
  }
}

// Cut one byte short, the last frame is missing; cut in half, most are.
TEST_F(AssetTest, FileCutShortDescribesWhatIsThereAndIsRefused) {
  auto whole = make("whole.mp4", {.frames = 60, .faststart = true});
  const auto size = std::filesystem::file_size(whole);
  for (const auto kept : {size - 1, size / 2}) {
    auto cut = directory.path() / "cut.mp4";
    std::filesystem::remove(cut);
    std::filesystem::copy_file(whole, cut);
    std::filesystem::resize_file(cut, kept);
    auto asset = URLAsset::make(cut);
    ASSERT_TRUE(asset->loadError()) << kept;
    EXPECT_EQ(*asset->loadError(), MediaError::incompleteFile) << kept;
    EXPECT_NE(asset->loadError()->detail().find("the video file is incomplete"), std::string::npos);
    const auto track = asset->tracksWithMediaType(MediaType::video).at(0);
    if (kept == size - 1) {
      EXPECT_EQ(track.frameCount, 59);
    }
    EXPECT_LT(track.frameCount, 60) << kept;
    EXPECT_EQ(asset->duration(), MediaTime(track.frameCount, 30)) << kept;
    EXPECT_EQ(AssetImageGenerator(asset).copyImage(MediaTime::zero()).error(),
              MediaError::incompleteFile)
        << kept;
  }
}

// A clip whose I pictures after the first are not IDR, with B pictures
// before each in display order that refer across it (an open GOP).
void writeOpenGopClip(const std::filesystem::path& path, int frames) {
  const testing::TestVideo video{.width = 128, .height = 96};
  const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
  ASSERT_TRUE(codec);
  media::CodecContext context(avcodec_alloc_context3(codec));
  context->width = video.width;
  context->height = video.height;
  context->pix_fmt = AV_PIX_FMT_YUV420P;
  context->time_base = {1, 30};
  context->framerate = {30, 1};
  context->gop_size = 30;
  context->max_b_frames = 3;
  context->thread_count = 1;
  context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "preset", "veryfast", 0);
  av_dict_set(&options, "x264-params", "open-gop=1:scenecut=0:b-adapt=0", 0);
  ASSERT_GE(avcodec_open2(context.get(), codec, &options), 0);
  av_dict_free(&options);
  AVCodecParameters* parameters = avcodec_parameters_alloc();
  avcodec_parameters_from_context(parameters, context.get());
  media::OutputFile output;
  ASSERT_TRUE(output.open(path, parameters, context->time_base, context->framerate, true, 0));
  avcodec_parameters_free(&parameters);
  media::PacketPtr packet = media::makePacket();
  for (int index = 0; index <= frames; ++index) {
    media::FramePtr frame;
    if (index < frames) {
      const Bitmap picture = testing::testFrame(video, index);
      frame = media::allocateI420(video.width, video.height);
      media::convertBGRAToI420(picture.data(), picture.stride(), frame.get());
      frame->pts = index;
    }
    ASSERT_GE(avcodec_send_frame(context.get(), frame.get()), 0);
    while (avcodec_receive_packet(context.get(), packet.get()) == 0) {
      packet->duration = 1;
      ASSERT_TRUE(output.write(packet.get(), context->time_base));
      av_packet_unref(packet.get());
    }
  }
  ASSERT_TRUE(output.finish());
}

// Copies the packets from the last key picture before `firstShown` on, with
// times moved so that `firstShown` comes at zero, as a stream-copy trim does:
// the pictures before it stay in the file for the decoder, and the edit list
// hides them.
void copyFrom(const std::filesystem::path& source, const std::filesystem::path& target,
              int firstShown) {
  auto input = media::openInput(source);
  ASSERT_TRUE(input);
  AVStream* stream = (*input)->streams[0];
  const std::int64_t shift = firstShown * stream->time_base.den / (30 * stream->time_base.num);
  std::vector<media::PacketPtr> packets;
  std::size_t start = 0;
  for (auto packet = media::makePacket(); av_read_frame(input->get(), packet.get()) >= 0;
       packet = media::makePacket()) {
    if ((packet->flags & AV_PKT_FLAG_KEY) && packet->pts <= shift) start = packets.size();
    packets.push_back(std::move(packet));
  }
  media::OutputFile output;
  ASSERT_TRUE(output.open(target, stream->codecpar, stream->time_base, {30, 1}, true, 0));
  for (std::size_t index = start; index < packets.size(); ++index) {
    AVPacket* packet = packets[index].get();
    packet->pts -= shift;
    packet->dts -= shift;
    ASSERT_TRUE(output.write(packet, stream->time_base));
  }
  ASSERT_TRUE(output.finish());
}

TEST_F(AssetTest, OpenGopCutShowsItsFirstPicture) {
  const auto source = directory.path() / "open-gop.mp4";
  const auto cut = directory.path() / "cut.mp4";
  writeOpenGopClip(source, 60);
  copyFrom(source, cut, 32);
  auto asset = URLAsset::make(cut);
  ASSERT_FALSE(asset->loadError());
  MediaTime actual;
  auto first = AssetImageGenerator(asset).copyImage(MediaTime::zero(), &actual);
  ASSERT_TRUE(first) << first.error().detail();
  EXPECT_EQ(testing::frameIndex(*first), 32);
  EXPECT_TRUE(testing::near(first->pixel(100, 80), testing::TestVideo{}.color, 8));
  auto later = AssetImageGenerator(asset).copyImage(MediaTime(10, 30));
  ASSERT_TRUE(later) << later.error().detail();
  EXPECT_EQ(testing::frameIndex(*later), 42);
}

}  // namespace
}  // namespace velmoradine
