#include <gtest/gtest.h>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/media/asset_reader.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/export_session.hpp"

namespace velmoradine {
namespace {

// A 128×96 scene: a blue ground, the clip in a 64×48 window at (16, 8), a
// yellow square above it overlapping the window's corner, and a red square
// below the window that it hides.
class LayerToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto path = directory.path() / "clip.mp4";
    ASSERT_TRUE(testing::writeTestVideo(path, {.frames = 15, .color = 0xff20c020}));
    track = URLAsset::make(path)->tracksWithMediaType(MediaType::video).at(0);
    composition = MutableComposition::make();
    auto compositionTrack = composition->addMutableTrack(MediaType::video);
    ASSERT_TRUE(compositionTrack->insertTimeRange(track.timeRange, track, MediaTime::zero()));
    root = Layer::create();
    root->setFrame(Rect(0, 0, 128, 96));
    root->setBackgroundColor(Color::rgba(0, 0, 1));
    root->setGeometryFlipped(true);
    hidden = Layer::create();
    hidden->setFrame(Rect(20, 10, 10, 10));
    hidden->setBackgroundColor(Color::rgba(1, 0, 0));
    video = Layer::create();
    video->setFrame(Rect(16, 8, 64, 48));
    above = Layer::create();
    above->setFrame(Rect(72, 48, 24, 24));
    above->setBackgroundColor(Color::rgba(1, 1, 0));
    root->addSublayer(hidden);
    root->addSublayer(video);
    root->addSublayer(above);
  }

  Bitmap exportFirstFrame() {
    auto instruction = MutableVideoCompositionInstruction::make();
    instruction->timeRange = track.timeRange;
    auto layer = MutableVideoCompositionLayerInstruction::make(*composition->mutableTracks()[0]);
    layer->setTransform(AffineTransform::makeScale(2, 2), MediaTime::zero());
    instruction->layerInstructions = {layer};
    auto videoComposition = MutableVideoComposition::make();
    videoComposition->renderSize = {128, 96};
    videoComposition->instructions = {instruction};
    videoComposition->animationTool =
        VideoCompositionCoreAnimationTool::postProcessingAsVideoLayer(video, root);
    auto session = AssetExportSession::make(composition, AssetExportPresetHighestQuality);
    session->outputURL = directory.path() / "scene.mp4";
    session->outputFileType = FileTypeMPEG4;
    session->videoComposition = videoComposition;
    std::atomic<bool> done{false};
    session->exportAsynchronously([&] { done = true; });
    EXPECT_TRUE(testing::waitUntil([&] { return done.load(); }, std::chrono::seconds(30)));
    EXPECT_EQ(session->status(), AssetExportSessionStatus::completed);
    EXPECT_FALSE(session->usedStreamCopy());
    auto reader = AssetReader::open(session->outputURL);
    EXPECT_TRUE(reader);
    int frames = 0;
    Bitmap first;
    while (true) {
      auto sample = (*reader)->next();
      if (!sample || !*sample) break;
      if (frames++ == 0) first = std::move((*sample)->picture);
    }
    EXPECT_EQ(frames, 15);
    return first;
  }

  testing::TemporaryDirectory directory;
  AssetTrack track;
  std::shared_ptr<MutableComposition> composition;
  std::shared_ptr<Layer> root, hidden, video, above;
};

TEST_F(LayerToolTest, VideoIsDrawnIntoItsLayerBetweenTheOthers) {
  Bitmap frame = exportFirstFrame();
  ASSERT_EQ(frame.width(), 128);
  EXPECT_TRUE(testing::near(frame.pixel(4, 4), 0xff0000ff));  // the ground
  EXPECT_TRUE(testing::near(frame.pixel(4, 90), 0xff0000ff));
  EXPECT_TRUE(testing::near(frame.pixel(70, 40), 0xff20c020));  // the clip's colour
  EXPECT_TRUE(
      testing::near(frame.pixel(25, 15), 0xff000000));  // frame 0's bits, not the red square
  EXPECT_TRUE(testing::near(frame.pixel(90, 66), 0xffffff00));  // the square above
  EXPECT_TRUE(testing::near(frame.pixel(76, 52), 0xffffff00));  // above the clip too
  // The layers are as they were.
  EXPECT_FALSE(hidden->isHidden());
  EXPECT_FALSE(above->isHidden());
  EXPECT_TRUE(root->backgroundColor().has_value());
  EXPECT_FALSE(video->contents().has_value());
}

TEST_F(LayerToolTest, TranslucentRoundedVideoBlendsWithTheGround) {
  video->setOpacity(0.5);
  video->setCornerRadius(12);
  video->setMasksToBounds(true);
  Bitmap frame = exportFirstFrame();
  EXPECT_TRUE(testing::near(frame.pixel(17, 54), 0xff0000ff));  // a cut corner shows the ground
  EXPECT_TRUE(testing::near(frame.pixel(70, 40), 0xff10607f, 30))
      << std::hex << frame.pixel(70, 40);
  EXPECT_TRUE(testing::near(frame.pixel(90, 66), 0xffffff00));
}

TEST_F(LayerToolTest, VideoInsideAGroupIsRedrawnWithTheTree) {
  auto group = Layer::create();
  group->setFrame(Rect(0, 0, 128, 96));
  video->removeFromSuperlayer();
  video->setBorderWidth(2);
  video->setBorderColor(Color::white());
  group->addSublayer(video);
  root->insertSublayer(group, 1);
  Bitmap frame = exportFirstFrame();
  EXPECT_TRUE(testing::near(frame.pixel(4, 4), 0xff0000ff));
  EXPECT_TRUE(testing::near(frame.pixel(70, 40), 0xff20c020));
  EXPECT_TRUE(testing::near(frame.pixel(16, 30), 0xffffffff));  // the border
  EXPECT_TRUE(testing::near(frame.pixel(90, 66), 0xffffff00));
}

TEST_F(LayerToolTest, VideoLayerOutsideTheTreeFails) {
  auto stray = Layer::create();
  auto instruction = MutableVideoCompositionInstruction::make();
  instruction->timeRange = track.timeRange;
  auto videoComposition = MutableVideoComposition::make();
  videoComposition->renderSize = {128, 96};
  videoComposition->instructions = {instruction};
  videoComposition->animationTool =
      VideoCompositionCoreAnimationTool::postProcessingAsVideoLayer(stray, root);
  auto session = AssetExportSession::make(composition, AssetExportPresetHighestQuality);
  session->outputURL = directory.path() / "scene.mp4";
  session->outputFileType = FileTypeMPEG4;
  session->videoComposition = videoComposition;
  std::atomic<bool> done{false};
  session->exportAsynchronously([&] { done = true; });
  ASSERT_TRUE(testing::waitUntil([&] { return done.load(); }));
  EXPECT_EQ(session->status(), AssetExportSessionStatus::failed);
  EXPECT_FALSE(std::filesystem::exists(session->outputURL));
}

}  // namespace
}  // namespace velmoradine
