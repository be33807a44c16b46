// Media figures against the ffmpeg command line doing the same work with the
// same libx264 settings (preset veryfast, crf 18, BT.601 limited range):
//   scene_export_vs_ffmpeg      a 540×960, 10 s scene with an image and a text layer
//   join_copy_vs_reencode       three scenes of 2, 3 and 4 s joined (copy vs concat filter)
//   ugc_vs_peer_pipeline        three scene renders and their join, end to end
//   thumbnail_vs_ffmpeg         `velmoradine thumbnail` against `ffmpeg -frames:v 1`, 1280×720
//   thumbnail_ms_1280x720       the preview in process
//   export_peak_rss_mb_*        peak resident memory of a scene export, in its own process
// Ratios below 1 mean this kit is faster.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "bench/support/peer_commands.hpp"
#include "tests/support/temporary_directory.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/graphics/path.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"

using namespace velmoradine;
namespace fs = std::filesystem;

namespace {

const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

void require(bool condition, const char* what) {
  bench::require("bench_media", condition, what);
}

// The picture for the image layer: drawn by the kit's renderer, and saved
// with its rounded corners for ffmpeg, which has no rounded clip.
Image overlayImage() {
  auto root = Layer::create();
  root->setFrame(Rect(0, 0, 240, 240));
  root->setBackgroundColor(Color::rgba(0.95, 0.55, 0.1));
  auto stripe = Layer::create();
  stripe->setFrame(Rect(0, 90, 240, 60));
  stripe->setBackgroundColor(Color::white());
  root->addSublayer(stripe);
  return Image(LayerRenderer::render(*root, 240, 240));
}

void saveRoundedOverlay(const fs::path& path) {
  auto root = Layer::create();
  root->setFrame(Rect(0, 0, 240, 240));
  root->setContents(overlayImage());
  root->setCornerRadius(32);
  root->setMasksToBounds(true);
  auto png = Image(LayerRenderer::render(*root, 240, 240)).pngData();
  require(png.has_value(), "cannot encode the overlay");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
}

// The scene: the clip filling the frame under a rounded 240×240 image at
// opacity 0.9 and a bold white caption with a shadow.
std::shared_ptr<MutableVideoComposition> sceneComposition(int width, int height,
                                                          const AssetTrack& track,
                                                          const MediaTime& duration) {
  auto root = Layer::create();
  root->setFrame(Rect(0, 0, width, height));
  root->setBackgroundColor(Color::black());
  root->setGeometryFlipped(true);
  auto video = Layer::create();
  video->setFrame(Rect(0, 0, width, height));
  auto image = Layer::create();
  image->setFrame(Rect(width * 150.0 / 540, height * 100.0 / 960, 240, 240));
  image->setContents(overlayImage());
  image->setCornerRadius(32);
  image->setMasksToBounds(true);
  image->setOpacity(0.9f);
  auto text = std::make_shared<TextLayer>();
  text->setFrame(Rect(0, height * 700.0 / 960, width, 90));
  text->setString(TextString(std::string("Velmoradine")));
  text->setFont(Font("DejaVu Sans Bold", 48));
  text->setFontSize(48);
  text->setForegroundColor(Color::white());
  text->setAlignmentMode(TextLayerAlignmentMode::center);
  text->setShadowOpacity(1);
  text->setShadowColor(Color::black());
  text->setShadowOffset({2, 2});
  text->setShadowRadius(0);
  root->addSublayer(video);
  root->addSublayer(image);
  root->addSublayer(text);

  auto layer = MutableVideoCompositionLayerInstruction::make(track);
  layer->setTransform(AffineTransform::makeScale(width / track.naturalSize.width,
                                                 height / track.naturalSize.height),
                      MediaTime::zero());
  auto instruction = MutableVideoCompositionInstruction::make();
  instruction->timeRange = {MediaTime::zero(), duration};
  instruction->layerInstructions = {layer};
  auto composition = MutableVideoComposition::make();
  composition->renderSize = {double(width), double(height)};
  composition->frameDuration = MediaTime(1, 30);
  composition->instructions = {instruction};
  composition->animationTool =
      VideoCompositionCoreAnimationTool::postProcessingAsVideoLayer(video, root);
  return composition;
}

bool runExport(const std::shared_ptr<AssetExportSession>& session) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  session->exportAsynchronously([&] {
    std::lock_guard lock(mutex);
    done = true;
    ended.notify_all();
  });
  std::unique_lock lock(mutex);
  ended.wait(lock, [&] { return done; });
  return session->status() == AssetExportSessionStatus::completed;
}

bool exportScene(const fs::path& source, const fs::path& output, int width, int height,
                 double length) {
  fs::remove(output);
  auto track = URLAsset::make(source)->tracksWithMediaType(MediaType::video).at(0);
  const MediaTime duration = minimum(track.timeRange.duration, MediaTime::withSeconds(length, 600));
  auto composition = MutableComposition::make();
  if (!composition->addMutableTrack(MediaType::video)
           ->insertTimeRange({MediaTime::zero(), duration}, track, MediaTime::zero())) {
    return false;
  }
  auto session = AssetExportSession::make(composition, AssetExportPresetHighestQuality);
  session->outputURL = output;
  session->outputFileType = FileTypeMPEG4;
  session->shouldOptimizeForNetworkUse = true;
  session->videoComposition = sceneComposition(width, height, composition->tracks()[0], duration);
  return runExport(session);
}

std::string ffmpegScene(const fs::path& source, const fs::path& overlay, const fs::path& output,
                        double length) {
  return "ffmpeg -y -loglevel error -t " + std::to_string(length) + " -i " + source.string() +
         " -i " + overlay.string() +
         " -filter_complex "
         "\"[0:v]scale=540:960:force_original_aspect_ratio=decrease,pad=540:960:(ow-iw)/2:(oh-ih)/"
         "2[bg];"
         "[1:v]format=rgba,colorchannelmixer=aa=0.9[ov];[bg][ov]overlay=150:100,"
         "drawtext=fontfile=" +
         kFont +
         ":text=Velmoradine:fontsize=64:fontcolor=white:shadowcolor=black:"
         "shadowx=2:shadowy=2:x=(w-text_w)/2:y=712\" -r 30 " +
         bench::kPeerX264Arguments + " -movflags +faststart " + output.string();
}

bool joinScenes(const std::vector<fs::path>& scenes, const fs::path& output) {
  fs::remove(output);
  auto composition = MutableComposition::make();
  auto track = composition->addMutableTrack(MediaType::video);
  auto instruction = MutableVideoCompositionInstruction::make();
  MediaTime total = MediaTime::zero();
  for (auto it = scenes.rbegin(); it != scenes.rend(); ++it) {
    auto source = URLAsset::make(*it)->tracksWithMediaType(MediaType::video).at(0);
    if (!track->insertTimeRange(source.timeRange, source, MediaTime::zero())) return false;
    auto layer = MutableVideoCompositionLayerInstruction::make(source);
    total += source.timeRange.duration;
    if (it != scenes.rbegin()) layer->setOpacity(0, total);
    instruction->layerInstructions.push_back(layer);
  }
  instruction->timeRange = {MediaTime::zero(), total};
  auto videoComposition = MutableVideoComposition::make();
  videoComposition->instructions = {instruction};
  videoComposition->renderSize = {540, 960};
  videoComposition->frameDuration = MediaTime(1, 30);
  auto session = AssetExportSession::make(composition, AssetExportPresetHighestQuality);
  session->outputURL = output;
  session->outputFileType = FileTypeMPEG4;
  session->shouldOptimizeForNetworkUse = true;
  session->videoComposition = videoComposition;
  return runExport(session) && session->usedStreamCopy();
}

std::string ffmpegConcat(const std::vector<fs::path>& scenes, const fs::path& output) {
  std::string command = "ffmpeg -y -loglevel error";
  for (const auto& scene : scenes) command += " -i " + scene.string();
  return command + " -filter_complex \"[0:v][1:v][2:v]concat=n=3:v=1:a=0\" " +
         bench::kPeerX264Arguments + " -movflags +faststart " + output.string();
}

// Peak resident memory of a scene export run in a child process of its own.
double exportPeakRSS(const fs::path& source, const fs::path& output, int width, int height,
                     double length) {
  const pid_t child = fork();
  if (child == 0) {
    const std::string w = std::to_string(width), h = std::to_string(height),
                      l = std::to_string(length);
    execl("/proc/self/exe", "bench_media", "--export", source.c_str(), output.c_str(), w.c_str(),
          h.c_str(), l.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  require(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the measured export failed");
  return usage.ru_maxrss / 1024.0;
}

void figure(const char* name, double value) {
  std::printf("figure %s %.3f\n", name, value);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 7 && std::string(argv[1]) == "--export") {
    return exportScene(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]), std::atof(argv[6]))
               ? 0
               : 1;
  }
  require(bench::runQuietly("ffmpeg -version"),
          "the ffmpeg command line is missing (scripts/bootstrap installs it)");
  const testing::TemporaryDirectory scratch;
  const fs::path& work = scratch.path();
  const fs::path source = work / "source.mp4", overlay = work / "overlay.png";
  require(bench::runQuietly("ffmpeg -y -f lavfi -i testsrc2=size=540x960:rate=30 -t 10 " +
                            std::string(bench::kPeerX264Arguments) + " " + source.string()),
          "cannot make the source clip");
  saveRoundedOverlay(overlay);

  // Scene export, each side twice, the better run counted.
  double ours = 1e9, theirs = 1e9;
  for (int round = 0; round < 2; ++round) {
    const fs::path mine = work / "scene.mp4", peer = work / "scene-ffmpeg.mp4";
    ours = std::min(ours, bench::secondsOf([&] {
                      require(exportScene(source, mine, 540, 960, 10), "scene export failed");
                    }));
    fs::remove(peer);
    theirs = std::min(theirs, bench::secondsOf([&] {
                        require(bench::runQuietly(ffmpegScene(source, overlay, peer, 10)),
                                "ffmpeg scene failed");
                      }));
  }
  std::printf("# scene export: %.3f s, ffmpeg filter graph: %.3f s\n", ours, theirs);
  figure("scene_export_vs_ffmpeg", ours / theirs);

  // Three scenes of 2, 3 and 4 seconds, then their join.
  std::vector<fs::path> scenes, peerScenes;
  const double lengths[3] = {2, 3, 4};
  double renderOurs = 0, renderTheirs = 0;
  for (int i = 0; i < 3; ++i) {
    scenes.push_back(work / ("part" + std::to_string(i) + ".mp4"));
    peerScenes.push_back(work / ("peer" + std::to_string(i) + ".mp4"));
    renderOurs += bench::secondsOf(
        [&] { require(exportScene(source, scenes[i], 540, 960, lengths[i]), "scene failed"); });
    fs::remove(peerScenes[i]);
    renderTheirs += bench::secondsOf([&] {
      require(bench::runQuietly(ffmpegScene(source, overlay, peerScenes[i], lengths[i])),
              "ffmpeg scene failed");
    });
  }
  const fs::path joined = work / "joined.mp4", peerJoined = work / "joined-ffmpeg.mp4";
  const double joinOurs = bench::secondsOf(
      [&] { require(joinScenes(scenes, joined), "the join was not a stream copy"); });
  fs::remove(peerJoined);
  const double joinTheirs = bench::secondsOf([&] {
    require(bench::runQuietly(ffmpegConcat(peerScenes, peerJoined)), "ffmpeg concat failed");
  });
  auto joinedTrack = URLAsset::make(joined)->tracksWithMediaType(MediaType::video).at(0);
  std::printf("# join: %.3f s (%.3f s, %lld frames), concat re-encode: %.3f s\n", joinOurs,
              URLAsset::make(joined)->duration().seconds(),
              static_cast<long long>(joinedTrack.frameCount), joinTheirs);
  figure("join_copy_vs_reencode", joinOurs / joinTheirs);
  figure("ugc_vs_peer_pipeline", (renderOurs + joinOurs) / (renderTheirs + joinTheirs));

  // Thumbnails of a 1280×720 clip.
  const fs::path wide = work / "wide.mp4";
  require(bench::runQuietly("ffmpeg -y -f lavfi -i testsrc2=size=1280x720:rate=30 -t 4 " +
                            std::string(bench::kPeerX264Arguments) + " " + wide.string()),
          "cannot make the 1280x720 clip");
  const std::string cli = (executableDirectory() / "velmoradine").string();
  double process = 1e9, peer = 1e9;
  for (int round = 0; round < 5; ++round) {
    process = std::min(process, bench::secondsOf([&] {
                         require(bench::runQuietly(cli + " thumbnail " + wide.string() + " " +
                                                   (work / "t.jpg").string()),
                                 "velmoradine thumbnail failed");
                       }));
    peer = std::min(peer, bench::secondsOf([&] {
                      require(bench::runQuietly("ffmpeg -y -loglevel error -i " + wide.string() +
                                                " -frames:v 1 -q:v 3 " + (work / "f.jpg").string()),
                              "ffmpeg thumbnail failed");
                    }));
  }
  std::printf("# thumbnail process: %.3f s, ffmpeg: %.3f s\n", process, peer);
  figure("thumbnail_vs_ffmpeg", process / peer);
  require(ThumbnailCreator::thumbnailNow(wide).has_value(), "in-process thumbnail failed");
  double best = 1e9;
  for (int round = 0; round < 10; ++round) {
    best = std::min(best, bench::secondsOf([&] {
                      require(ThumbnailCreator::thumbnailNow(wide).has_value(), "thumbnail failed");
                    }));
  }
  figure("thumbnail_ms_1280x720", best * 1000);

  // Memory of whole exports, each in a process of its own.
  const fs::path tall = work / "tall.mp4";
  require(bench::runQuietly("ffmpeg -y -f lavfi -i testsrc2=size=1080x1920:rate=30 -t 4 " +
                            std::string(bench::kPeerX264Arguments) + " " + tall.string()),
          "cannot make the 1080x1920 clip");
  figure("export_peak_rss_mb_540x960", exportPeakRSS(source, work / "rss-small.mp4", 540, 960, 10));
  figure("export_peak_rss_mb_1080x1920",
         exportPeakRSS(tall, work / "rss-large.mp4", 1080, 1920, 4));
  return 0;
}
