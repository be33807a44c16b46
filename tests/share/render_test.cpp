#include "velmoradine/share/render.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "tests/platform/media/test_videos.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/core/documentation_identifier.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/share/temporary_directory_helper.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"
#include "velmoradine/share/video_exporter.hpp"

namespace velmoradine {
namespace {

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Transcodes `path` and waits, with a bound, for the result; the completion
// arrives on the export's own thread, so it is handed over through a promise.
std::optional<Result<VideoBytes>> transcoded(const std::filesystem::path& path) {
  auto result = std::make_shared<std::promise<Result<VideoBytes>>>();
  std::future<Result<VideoBytes>> future = result->get_future();
  AVExport::exportVideo(
      path, [result](Result<VideoBytes> bytes) { result->set_value(std::move(bytes)); });
  if (future.wait_for(std::chrono::seconds(30)) != std::future_status::ready) return std::nullopt;
  return future.get();
}

Image solid(int width, int height, std::uint32_t argb) {
  Bitmap bitmap(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bitmap.row(y)[x] = argb;
  }
  return Image(std::move(bitmap));
}

class RenderTest : public ::testing::Test {
 protected:
  std::filesystem::path clip(const std::string& name, testing::TestVideo video = {}) {
    auto path = directory.path() / name;
    EXPECT_TRUE(testing::writeTestVideo(path, video));
    return path;
  }

  Result<ThumbnailAndVideo> render(const std::filesystem::path& path) {
    std::optional<Result<ThumbnailAndVideo>> outcome;
    int calls = 0;
    bool onMain = false;
    Render::make()->renderThumbnailAndVideo(path, [&](Result<ThumbnailAndVideo> result) {
      ++calls;
      onMain = RunLoop::isMainThread();
      outcome = std::move(result);
    });
    EXPECT_TRUE(testing::waitUntil([&] { return outcome.has_value(); }));
    RunLoop::main().drain();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(onMain);
    return *outcome;
  }

  testing::TemporaryDirectory directory;
};

TEST_F(RenderTest, DeliversThePreviewAndTheFileUnchanged) {
  auto path = clip("clip.mp4", {.width = 160, .height = 120});
  auto result = render(path);
  ASSERT_TRUE(result);
  EXPECT_EQ(result->video, fileBytes(path));
  EXPECT_EQ(result->videoMD5, md5Base64(result->video).value());
  auto preview = Image::decodeJPEG(result->thumbnail);
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->pixelWidth(), 160);
  EXPECT_EQ(preview->pixelHeight(), 120);
  // The first frame's colour at the edge, the badge's white triangle at the centre.
  EXPECT_TRUE(testing::near(preview->bitmap().pixel(150, 110), 0xff2060c0, 30));
  EXPECT_TRUE(testing::near(preview->bitmap().pixel(84, 60), 0xffffffff, 40))
      << std::hex << preview->bitmap().pixel(84, 60);
}

TEST_F(RenderTest, MissingVideoFailsWithTheVideoError) {
  console::Capture capture;
  const auto missing = directory.path() / "missing.mp4";
  auto result = render(missing);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), Render::Error::video);
  EXPECT_EQ(result.error().localizedDescription(), "Unable to export video file.");
  EXPECT_TRUE(capture.contains("[Velmoradine] [VideoExporter] failed to create video export - " +
                               Error::posix(ENOENT, missing.string()).localizedDescription()))
      << ::testing::PrintToString(capture.lines());
  EXPECT_TRUE(
      capture.contains("[Velmoradine] [ThumbnailCreator] failed to create thumbnail - The "
                       "operation couldn\u2019t be "
                       "completed. (Velmoradine.VideoContent error 2.)"));
}

TEST_F(RenderTest, ReadableFileThatIsNotAVideoFailsWithTheThumbnailError) {
  console::Capture capture;
  auto path = directory.path() / "notes.mp4";
  std::ofstream(path) << "not a video";
  auto result = render(path);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), Render::Error::thumbnail);
  EXPECT_EQ(result.error().localizedDescription(), "Unable to export thumbnail file.");
  bool logged = false;
  for (const auto& line : capture.lines()) {
    logged |=
        line.starts_with("[Velmoradine] [AVURLAsset+Thumbnail] Unable to create thumbnail - ") &&
        line.ends_with(" - " + documentationLink(DocumentationIdentifier::unexpecteError));
  }
  EXPECT_TRUE(logged) << ::testing::PrintToString(capture.lines());
}

TEST_F(RenderTest, AudioOnlyAndEmptyFilesFailWithTheThumbnailError) {
  auto wave = directory.path() / "tone.wav";
  testing::writeWave(wave);
  auto empty = directory.path() / "empty.mp4";
  std::ofstream(empty).flush();
  for (const auto& path : {wave, empty}) {
    auto result = render(path);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), Render::Error::thumbnail) << path;
  }
}

TEST_F(RenderTest, ErrorDescriptionsAreTheDocumentedTexts) {
  EXPECT_EQ(Error(Render::Error::unknown).localizedDescription(), "An unknown error occurred.");
  EXPECT_EQ(Error(VideoExporter::Error::unknown).localizedDescription(),
            "An unknown error occurred.");
  EXPECT_EQ(Error(VideoExporter::Error::readFile).localizedDescription(), "Unable to read file.");
  EXPECT_EQ(Error(VideoExportErrors::Error::readFile).localizedDescription(),
            "Unable to read file.");
  EXPECT_NE(Error(VideoExportErrors::Error::readFile), Error(VideoExporter::Error::readFile));
  const Error thumbnail = ThumbnailCreator::thumbnailError();
  EXPECT_EQ(thumbnail.domainName(), "Velmoradine.VideoContent");
  EXPECT_EQ(thumbnail.value(), 2);
  EXPECT_EQ(thumbnail.detail(), "Unable to create thumbnail");
}

TEST_F(RenderTest, PortraitPreviewIsUpright) {
  auto path = clip("portrait.mp4", {.width = 128, .height = 96, .rotation = 90});
  std::optional<Result<std::vector<std::uint8_t>>> outcome;
  ThumbnailCreator::thumbnail(path, [&](auto result) { outcome = std::move(result); });
  ASSERT_TRUE(testing::waitUntil([&] { return outcome.has_value(); }));
  ASSERT_TRUE(*outcome);
  auto preview = Image::decodeJPEG(**outcome);
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->pixelWidth(), 96);
  EXPECT_EQ(preview->pixelHeight(), 128);
  // The red marker, drawn at the stored picture's left edge a quarter down,
  // lies along the top edge after the clockwise quarter turn.
  EXPECT_TRUE(testing::near(preview->bitmap().pixel(60, 6), 0xffff0000, 40))
      << std::hex << preview->bitmap().pixel(60, 6);
  EXPECT_FALSE(testing::near(preview->bitmap().pixel(6, 40), 0xffff0000, 40));
}

TEST_F(RenderTest, BadgeIsCentred) {
  const Point origin = ThumbnailCreator::badgeOrigin({1280, 720}, {100, 100});
  EXPECT_EQ(origin, (Point{590, 310}));
  Image composed =
      ThumbnailCreator::compose(solid(1280, 720, 0xff000000), solid(100, 100, 0xffff0000));
  const Bitmap& pixels = composed.bitmap();
  EXPECT_TRUE(testing::near(pixels.pixel(589, 309), 0xff000000, 2));
  EXPECT_TRUE(testing::near(pixels.pixel(590, 310), 0xffe60000, 3))
      << std::hex << pixels.pixel(590, 310);
  EXPECT_TRUE(testing::near(pixels.pixel(689, 409), 0xffe60000, 3));
  EXPECT_TRUE(testing::near(pixels.pixel(690, 410), 0xff000000, 2));
}

TEST_F(RenderTest, FrameIsDrawnOnWhiteOverTheWholePicture) {
  Image composed = ThumbnailCreator::compose(solid(40, 40, 0x80000000), solid(10, 10, 0));
  const std::pair<int, int> places[] = {{2, 2}, {37, 2}, {2, 37}, {37, 37}, {20, 20}};
  for (const auto& [x, y] : places) {
    EXPECT_TRUE(testing::near(composed.bitmap().pixel(x, y), 0xff7f7f7f, 2))
        << x << "," << y << ": " << std::hex << composed.bitmap().pixel(x, y);
  }
}

TEST_F(RenderTest, MissingBadgeGivesTheFrameAlone) {
  auto path = clip("clip.mp4", {.width = 160, .height = 120});
  const Bundle original = Bundle::module();
  testing::TemporaryDirectory emptyBundle;
  Bundle::setModule(*Bundle::open(emptyBundle.path()));
  EXPECT_FALSE(ThumbnailCreator::badge());
  auto bytes = ThumbnailCreator::thumbnailNow(path);
  Bundle::setModule(original);
  ASSERT_TRUE(bytes);
  auto preview = Image::decodeJPEG(*bytes);
  ASSERT_TRUE(preview);
  EXPECT_TRUE(testing::near(preview->bitmap().pixel(84, 60), 0xff2060c0, 30));
  ASSERT_TRUE(ThumbnailCreator::badge());
  EXPECT_EQ(ThumbnailCreator::badge()->pixelWidth(), 100);
}

TEST_F(RenderTest, ExportersDeliverTheFileOrTheReadingError) {
  auto path = clip("clip.mp4");
  std::optional<Result<VideoBytes>> exported, passed;
  VideoExporter::exportVideo(path, [&](Result<VideoBytes> bytes) { exported = std::move(bytes); });
  PassThrough::exportVideo(path, [&](Result<VideoBytes> bytes) { passed = std::move(bytes); });
  ASSERT_TRUE(exported && *exported && passed && *passed);
  EXPECT_EQ(**exported, fileBytes(path));
  EXPECT_EQ(**passed, fileBytes(path));
  std::optional<Result<VideoBytes>> missing;
  VideoExporter::exportVideo(directory.path() / "none",
                             [&](Result<VideoBytes> bytes) { missing = std::move(bytes); });
  ASSERT_TRUE(missing && !*missing);
  EXPECT_EQ(missing->error().code(), std::errc::no_such_file_or_directory);
  std::optional<Result<VideoBytes>> folder;
  VideoExporter::exportVideo(directory.path(),
                             [&](Result<VideoBytes> bytes) { folder = std::move(bytes); });
  ASSERT_TRUE(folder && !*folder);
}

TEST_F(RenderTest, TranscodingExporterWritesAMediumQualityFileAndRemovesItsFolder) {
  auto path = clip("big.mp4", {.width = 1280, .height = 720, .frames = 6});
  testing::TemporaryDirectory temporaryFolder;
  testing::ScopedEnvironmentVariable tmpdir("TMPDIR", temporaryFolder.path().string());
  std::optional<Result<VideoBytes>> exported = transcoded(path);
  ASSERT_TRUE(exported);
  ASSERT_TRUE(*exported);
  auto copy = directory.path() / "copy.mp4";
  std::ofstream(copy, std::ios::binary)
      .write(reinterpret_cast<const char*>((*exported)->data()),
             std::streamsize((*exported)->size()));
  auto track = URLAsset::make(copy)->tracksWithMediaType(MediaType::video).at(0);
  EXPECT_EQ(track.naturalSize, (Size{640, 360}));
  EXPECT_EQ(track.frameCount, 6);

  std::optional<Result<VideoBytes>> failed = transcoded(directory.path() / "missing.mp4");
  ASSERT_TRUE(failed);
  ASSERT_FALSE(*failed);
  EXPECT_EQ(failed->error().code(), std::errc::no_such_file_or_directory);
  EXPECT_TRUE(std::filesystem::is_empty(temporaryFolder.path()));
}

TEST_F(RenderTest, TemporaryDirectoriesAreCreatedFresh) {
  testing::TemporaryDirectory temporaryFolder;
  testing::ScopedEnvironmentVariable tmpdir("TMPDIR", temporaryFolder.path().string());
  auto named = TemporaryDirectoryHelper::createTempDirectory("named");
  ASSERT_TRUE(named);
  EXPECT_EQ(*named, temporaryFolder.path() / "named");
  EXPECT_TRUE(std::filesystem::is_directory(*named));
  auto unnamed = TemporaryDirectoryHelper::createTempDirectory();
  ASSERT_TRUE(unnamed);
  EXPECT_EQ(unnamed->filename().string().size(), 36u);
  std::ofstream(*named / "file") << "x";
  EXPECT_FALSE(TemporaryDirectoryHelper::createTempDirectory("named/file/inner"));
}

}  // namespace
}  // namespace velmoradine
