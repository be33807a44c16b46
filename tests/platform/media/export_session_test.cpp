#include "velmoradine/platform/media/export_session.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/media/asset_reader.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/image_generator.hpp"
#include "velmoradine/platform/media/media_error.hpp"

namespace velmoradine {
namespace {

struct Decoded {
  std::vector<int> indices;
  std::vector<std::uint32_t> colors;
  std::vector<Size> sizes;
};

Decoded decodeAll(const std::filesystem::path& path) {
  Decoded decoded;
  auto reader = AssetReader::open(path);
  EXPECT_TRUE(reader);
  if (!reader) return decoded;
  while (true) {
    auto sample = (*reader)->next();
    EXPECT_TRUE(sample);
    if (!sample || !*sample) break;
    decoded.indices.push_back(testing::frameIndex((*sample)->picture));
    decoded.sizes.push_back(
        {double((*sample)->picture.width()), double((*sample)->picture.height())});
    decoded.colors.push_back(
        (*sample)->picture.pixel((*sample)->picture.width() - 4, (*sample)->picture.height() - 4));
  }
  return decoded;
}

class ExportSessionTest : public ::testing::Test {
 protected:
  std::filesystem::path clip(const std::string& name, testing::TestVideo video) {
    auto path = directory.path() / name;
    auto written = testing::writeTestVideo(path, video);
    EXPECT_TRUE(written);
    return path;
  }

  // Three clips of 2, 3 and 4 seconds in three colours, joined in order by
  // inserting each at zero from the last to the first.
  std::shared_ptr<MutableComposition> join(
      std::shared_ptr<MutableVideoComposition>* videoComposition = nullptr) {
    const std::uint32_t colors[3] = {0xffc02020, 0xff20c020, 0xff2020c0};
    const int frames[3] = {60, 90, 120};
    std::vector<AssetTrack> tracks;
    for (int i = 0; i < 3; ++i) {
      auto path =
          clip("scene" + std::to_string(i) + ".mp4", {.frames = frames[i], .color = colors[i]});
      tracks.push_back(URLAsset::make(path)->tracksWithMediaType(MediaType::video).at(0));
    }
    auto composition = MutableComposition::make();
    auto track = composition->addMutableTrack(MediaType::video);
    auto instruction = MutableVideoCompositionInstruction::make();
    MediaTime total = MediaTime::zero();
    for (int i = 2; i >= 0; --i) {
      EXPECT_TRUE(track->insertTimeRange(tracks[i].timeRange, tracks[i], MediaTime::zero()));
      auto layer = MutableVideoCompositionLayerInstruction::make(tracks[i]);
      total += tracks[i].timeRange.duration;
      if (i != 2) layer->setOpacity(0, total);
      instruction->layerInstructions.push_back(layer);
    }
    if (videoComposition) {
      instruction->timeRange = {MediaTime::zero(), total};
      *videoComposition = MutableVideoComposition::make();
      (*videoComposition)->instructions = {instruction};
      (*videoComposition)->renderSize = {64, 48};
      (*videoComposition)->frameDuration = MediaTime(1, 30);
    }
    return composition;
  }

  std::shared_ptr<AssetExportSession> exportTo(
      std::shared_ptr<const Asset> asset, const std::filesystem::path& output,
      std::shared_ptr<const MutableVideoComposition> composition = nullptr,
      const char* preset = AssetExportPresetHighestQuality) {
    auto session = AssetExportSession::make(std::move(asset), preset);
    session->outputURL = output;
    session->outputFileType = FileTypeMPEG4;
    session->shouldOptimizeForNetworkUse = true;
    session->videoComposition = std::move(composition);
    completions = 0;
    session->exportAsynchronously([this] { ++completions; });
    EXPECT_TRUE(
        testing::waitUntil([&] { return completions.load() == 1; }, std::chrono::seconds(60)));
    return session;
  }

  testing::TemporaryDirectory directory;
  std::atomic<int> completions{0};
};

TEST_F(ExportSessionTest, JoinOfMatchingScenesIsCopiedInOrder) {
  std::shared_ptr<MutableVideoComposition> videoComposition;
  auto composition = join(&videoComposition);
  auto output = directory.path() / "joined.mp4";
  auto session = exportTo(composition, output, videoComposition);
  ASSERT_EQ(session->status(), AssetExportSessionStatus::completed) << session->error()->detail();
  EXPECT_TRUE(session->usedStreamCopy());
  EXPECT_EQ(session->progress(), 1.0f);
  auto joined = URLAsset::make(output);
  EXPECT_EQ(joined->duration(), MediaTime(9, 1));
  auto decoded = decodeAll(output);
  ASSERT_EQ(decoded.indices.size(), 270u);
  for (int i = 0; i < 270; ++i) {
    const int scene = i < 60 ? 0 : i < 150 ? 1 : 2;
    const int local = i - (scene == 0 ? 0 : scene == 1 ? 60 : 150);
    ASSERT_EQ(decoded.indices[i], local) << i;
    const std::uint32_t expected[3] = {0xffc02020, 0xff20c020, 0xff2020c0};
    ASSERT_TRUE(testing::near(decoded.colors[i], expected[scene]))
        << i << " " << std::hex << decoded.colors[i];
  }
}

TEST_F(ExportSessionTest, JoinOfScenesThatDifferIsReencodedAtOneSizeAndRate) {
  // Copying would splice streams that a player cannot show as one video:
  // each case differs from the 64 x 48, 30 fps first scene in one parameter.
  struct Case {
    const char* name;
    testing::TestVideo second;
    std::size_t frames;
  };
  const Case cases[] = {
      {"size", {.width = 80, .height = 48, .frames = 60}, 120},
      {"rate", {.frames = 50, .framesPerSecond = 25}, 120},
  };
  for (const Case& c : cases) {
    auto first = clip(std::string(c.name) + "-first.mp4", {.frames = 60});
    auto second = clip(std::string(c.name) + "-second.mp4", c.second);
    auto composition = MutableComposition::make();
    auto track = composition->addMutableTrack(MediaType::video);
    MediaTime end = MediaTime::zero();
    for (const auto& path : {first, second}) {
      auto source = URLAsset::make(path)->tracksWithMediaType(MediaType::video).at(0);
      ASSERT_TRUE(track->insertTimeRange(source.timeRange, source, end));
      end += source.timeRange.duration;
    }
    auto output = directory.path() / (std::string(c.name) + "-joined.mp4");
    auto session = exportTo(composition, output);
    ASSERT_EQ(session->status(), AssetExportSessionStatus::completed) << c.name;
    EXPECT_FALSE(session->usedStreamCopy()) << c.name;
    auto decoded = decodeAll(output);
    EXPECT_EQ(decoded.sizes.size(), c.frames) << c.name;
    for (const Size& size : decoded.sizes) ASSERT_EQ(size, (Size{64, 48})) << c.name;
  }
}

TEST_F(ExportSessionTest, TransformedJoinIsReencodedWithTheSameTiming) {
  std::shared_ptr<MutableVideoComposition> videoComposition;
  auto composition = join(&videoComposition);
  videoComposition->instructions[0]->layerInstructions[0]->setTransform(
      AffineTransform::makeScale(0.5, 0.5), MediaTime::zero());
  videoComposition->instructions[0]->layerInstructions[0]->setTransform(AffineTransform::identity(),
                                                                        MediaTime(1, 1));
  auto output = directory.path() / "joined.mp4";
  auto session = exportTo(composition, output, videoComposition);
  ASSERT_EQ(session->status(), AssetExportSessionStatus::completed);
  EXPECT_FALSE(session->usedStreamCopy());
  EXPECT_EQ(URLAsset::make(output)->duration(), MediaTime(9, 1));
  auto decoded = decodeAll(output);
  ASSERT_EQ(decoded.indices.size(), 270u);
  // Scaled to the top-left quarter during the first second: the bottom-right
  // corner shows the black background.
  EXPECT_TRUE(testing::near(decoded.colors[0], 0xff000000));
  EXPECT_TRUE(testing::near(decoded.colors[30], 0xffc02020));
  EXPECT_EQ(decoded.indices[30], 30);
  EXPECT_EQ(decoded.indices[60], 0);
  EXPECT_EQ(decoded.indices[269], 119);
}

TEST_F(ExportSessionTest, RangesOfAClipAreExportedFrameForFrame) {
  auto source = clip("source.mp4", {.frames = 90});
  auto track = URLAsset::make(source)->tracksWithMediaType(MediaType::video).at(0);
  auto composition = MutableComposition::make();
  auto compositionTrack = composition->addMutableTrack(MediaType::video);
  ASSERT_TRUE(compositionTrack->insertTimeRange({MediaTime(2, 1), MediaTime(1, 2)}, track,
                                                MediaTime::zero()));
  ASSERT_TRUE(compositionTrack->insertTimeRange({MediaTime::zero(), MediaTime(1, 2)}, track,
                                                MediaTime::zero()));
  auto output = directory.path() / "ranges.mp4";
  auto session = exportTo(composition, output);
  ASSERT_EQ(session->status(), AssetExportSessionStatus::completed);
  EXPECT_FALSE(session->usedStreamCopy());
  auto decoded = decodeAll(output);
  ASSERT_EQ(decoded.indices.size(), 30u);
  EXPECT_EQ(decoded.indices[0], 0);
  EXPECT_EQ(decoded.indices[14], 14);
  EXPECT_EQ(decoded.indices[15], 60);
  EXPECT_EQ(decoded.indices[29], 74);
}

TEST_F(ExportSessionTest, MediumQualityScalesDownAndKeepsRotation) {
  auto source = clip("big.mp4", {.width = 1280, .height = 720, .frames = 10, .rotation = 90});
  auto output = directory.path() / "medium.mp4";
  auto session = exportTo(URLAsset::make(source), output, nullptr, AssetExportPresetMediumQuality);
  ASSERT_EQ(session->status(), AssetExportSessionStatus::completed);
  auto track = URLAsset::make(output)->tracksWithMediaType(MediaType::video).at(0);
  EXPECT_EQ(track.naturalSize, (Size{640, 360}));
  EXPECT_EQ(track.frameCount, 10);
  EXPECT_EQ(track.preferredTransform, (AffineTransform{0, 1, -1, 0, 360, 0}));
}

TEST_F(ExportSessionTest, PassthroughCopiesAFile) {
  auto source = clip("source.mp4", {.frames = 30});
  auto output = directory.path() / "copy.mp4";
  auto session = exportTo(URLAsset::make(source), output, nullptr, AssetExportPresetPassthrough);
  ASSERT_EQ(session->status(), AssetExportSessionStatus::completed);
  EXPECT_TRUE(session->usedStreamCopy());
  EXPECT_EQ(decodeAll(output).indices.size(), 30u);
}

TEST_F(ExportSessionTest, PassthroughOfAPartialRangeFails) {
  auto source = clip("source.mp4", {.frames = 30});
  auto track = URLAsset::make(source)->tracksWithMediaType(MediaType::video).at(0);
  auto composition = MutableComposition::make();
  ASSERT_TRUE(composition->addMutableTrack(MediaType::video)
                  ->insertTimeRange({MediaTime(1, 2), MediaTime(1, 2)}, track, MediaTime::zero()));
  auto output = directory.path() / "copy.mp4";
  auto session = exportTo(composition, output, nullptr, AssetExportPresetPassthrough);
  EXPECT_EQ(session->status(), AssetExportSessionStatus::failed);
  EXPECT_EQ(*session->error(), MediaError::invalidComposition);
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ExportSessionTest, BadSettingsFailWithoutOutput) {
  auto source = URLAsset::make(clip("source.mp4", {.frames = 5}));
  EXPECT_EQ(AssetExportSession::make(source, "AVAssetExportPresetFancy"), nullptr);
  auto existing = directory.path() / "existing.mp4";
  std::ofstream(existing) << "keep me";
  auto session = exportTo(source, existing);
  EXPECT_EQ(session->status(), AssetExportSessionStatus::failed);
  EXPECT_EQ(*session->error(), MediaError::outputExists);
  std::ifstream kept(existing);
  std::string text;
  std::getline(kept, text);
  EXPECT_EQ(text, "keep me");

  auto noOutput = AssetExportSession::make(source, AssetExportPresetHighestQuality);
  noOutput->outputFileType = FileTypeMPEG4;
  std::atomic<bool> done{false};
  noOutput->exportAsynchronously([&] { done = true; });
  ASSERT_TRUE(testing::waitUntil([&] { return done.load(); }));
  EXPECT_EQ(*noOutput->error(), MediaError::noOutputURL);
}

TEST_F(ExportSessionTest, BrokenSourcesFailAndLeaveNothing) {
  auto text = directory.path() / "text.mp4";
  std::ofstream(text) << "plain text";
  auto wave = directory.path() / "tone.wav";
  testing::writeWave(wave);
  const std::pair<std::filesystem::path, MediaError> cases[] = {
      {directory.path() / "missing.mp4", MediaError::fileNotFound},
      {text, MediaError::notMedia},
      {wave, MediaError::noVideoTrack},
  };
  int index = 0;
  for (const auto& [path, expected] : cases) {
    auto output = directory.path() / ("out" + std::to_string(index++) + ".mp4");
    auto session = exportTo(URLAsset::make(path), output);
    EXPECT_EQ(session->status(), AssetExportSessionStatus::failed) << path;
    ASSERT_TRUE(session->error());
    EXPECT_EQ(*session->error(), expected) << path;
    EXPECT_FALSE(std::filesystem::exists(output));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 2);
}

TEST_F(ExportSessionTest, TruncatedMediaDataFailsTheExport) {
  auto whole = clip("whole.mp4", {.width = 128, .height = 96, .frames = 60});
  auto cut = directory.path() / "cut.mp4";
  std::filesystem::copy_file(whole, cut);
  std::filesystem::resize_file(cut, std::filesystem::file_size(whole) * 2 / 3);
  auto output = directory.path() / "out.mp4";
  auto session = exportTo(URLAsset::make(cut), output);
  EXPECT_EQ(session->status(), AssetExportSessionStatus::failed);
  ASSERT_TRUE(session->error());
  EXPECT_EQ(*session->error(), MediaError::incompleteFile);
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ExportSessionTest, CorruptStreamFailsTheExport) {
  auto whole = clip("whole.mp4", {.width = 128, .height = 96, .frames = 60});
  auto size = std::filesystem::file_size(whole);
  std::fstream file(whole, std::ios::in | std::ios::out | std::ios::binary);
  std::mt19937 random(7);
  file.seekp(static_cast<std::streamoff>(size / 2));
  for (int i = 0; i < 4096 && file.tellp() < std::streamoff(size - 16); ++i)
    file.put(static_cast<char>(random()));
  file.close();
  auto output = directory.path() / "out.mp4";
  auto session = exportTo(URLAsset::make(whole), output);
  EXPECT_EQ(session->status(), AssetExportSessionStatus::failed);
  ASSERT_TRUE(session->error());
  EXPECT_EQ(*session->error(), MediaError::decodeFailed);
  EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(ExportSessionTest, CancelledExportEndsCancelledWithoutFile) {
  auto source = URLAsset::make(clip("long.mp4", {.width = 320, .height = 240, .frames = 300}));
  auto output = directory.path() / "cancelled.mp4";
  auto session = AssetExportSession::make(source, AssetExportPresetHighestQuality);
  session->outputURL = output;
  session->outputFileType = FileTypeMPEG4;
  std::atomic<int> calls{0};
  session->cancelExport();
  session->exportAsynchronously([&] { ++calls; });
  ASSERT_TRUE(testing::waitUntil([&] { return calls.load() == 1; }));
  EXPECT_EQ(session->status(), AssetExportSessionStatus::cancelled);
  EXPECT_EQ(*session->error(), MediaError::cancelled);

  // Medium quality re-encodes, so there is time to cancel mid-way.
  auto running = AssetExportSession::make(source, AssetExportPresetMediumQuality);
  running->outputURL = output;
  running->outputFileType = FileTypeMPEG4;
  std::atomic<int> runningCalls{0};
  running->exportAsynchronously([&] { ++runningCalls; });
  ASSERT_TRUE(
      testing::waitUntil([&] { return running->progress() > 0 || runningCalls.load() > 0; }));
  running->cancelExport();
  ASSERT_TRUE(testing::waitUntil([&] { return runningCalls.load() == 1; }));
  EXPECT_EQ(running->status(), AssetExportSessionStatus::cancelled);
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 1);
}

// Damaged copies of a valid file go through every entry point without a
// crash or a hang; whatever they report, no half-written output remains.
TEST_F(ExportSessionTest, DamagedCopiesNeverCrash) {
  auto original = clip("tiny.mp4", {.width = 32, .height = 32, .frames = 8});
  std::ifstream in(original, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), {});
  std::mt19937 random(1234);
  auto damaged = directory.path() / "damaged.mp4";
  auto output = directory.path() / "out.mp4";
  for (int round = 0; round < 300; ++round) {
    std::string copy = bytes;
    if (round % 2 == 0) {
      copy.resize(random() % copy.size());
    } else {
      for (int flips = 1 + round % 5; flips > 0; --flips)
        copy[random() % copy.size()] ^= static_cast<char>(1 << (random() % 8));
    }
    std::ofstream(damaged, std::ios::binary | std::ios::trunc)
        .write(copy.data(), std::streamsize(copy.size()));
    auto asset = URLAsset::make(damaged);
    (void)asset->loadError();
    AssetImageGenerator generator(asset);
    generator.appliesPreferredTrackTransform = true;
    (void)generator.copyImage(MediaTime::zero());
    auto session = exportTo(asset, output);
    ASSERT_TRUE(session->status() == AssetExportSessionStatus::completed ||
                session->status() == AssetExportSessionStatus::failed)
        << round;
    if (session->status() == AssetExportSessionStatus::failed) {
      ASSERT_FALSE(std::filesystem::exists(output)) << round;
    }
    std::filesystem::remove(output);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory.path()), {}), 2);
}

}  // namespace
}  // namespace velmoradine
