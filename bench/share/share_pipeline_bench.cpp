// The share pipeline for a 20 MB video on loopback, from `VideoContent`
// creation to a live share, against the sum of the parts it cannot avoid:
// making the preview image and one PUT of the video bytes to the same storage.
// The two uploads run side by side, so the pipeline should cost little more
// than its slowest parts.

#include <malloc.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "bench/support/figures.hpp"
#include "tests/support/child_process.hpp"
#include "tests/support/temporary_directory.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/video_writer.hpp"
#include "velmoradine/share/render.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"
#include "velmoradine/share/video_content.hpp"

namespace {

using namespace velmoradine;

// The devserver as a child process; its first output line is its base URL.
class DevServer {
 public:
  DevServer(const std::filesystem::path& directory, const std::filesystem::path& errorFile)
      : process_({VELMORADINE_DEVSERVER_PATH, "--data-dir", directory.string(), "--api-key",
                  "bench-key", "--app-slug", "bench"},
                 errorFile) {
    auto line = process_.readLine(std::chrono::steady_clock::now() + std::chrono::minutes(1));
    if (line) baseURL_ = *line;
  }
  ~DevServer() { process_.stop(SIGTERM); }
  const std::string& baseURL() const { return baseURL_; }

 private:
  testing::ChildProcess process_;
  std::string baseURL_;
};

// Noise does not compress: each 720p frame adds about 1 MB to the file.
bool writeLargeVideo(const std::filesystem::path& path, int frames) {
  VideoEncoderSettings settings;
  settings.width = 1280;
  settings.height = 720;
  settings.crf = 4;
  auto writer = VideoWriter::create(path, settings);
  if (!writer) return false;
  Bitmap frame(settings.width, settings.height);
  std::mt19937 random(7);
  for (int index = 0; index < frames; ++index) {
    for (int y = 0; y < frame.height(); ++y) {
      for (int x = 0; x < frame.width(); ++x) frame.row(y)[x] = random() | 0xFF000000u;
    }
    if (!(*writer)->append(frame)) return false;
  }
  return (*writer)->finish().has_value();
}

// Drives the main loop (where renders complete) in short slices until
// `condition` holds; completions on other queues do not wake the loop.
template <typename Condition>
void runUntil(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  const std::function<bool()> done = [&] { return static_cast<bool>(condition()); };
  while (!RunLoop::main().runUntil(done, std::chrono::milliseconds(1))) {
    if (std::chrono::steady_clock::now() > deadline) return;
  }
}

// The process's anonymous resident memory (heap, stacks, private copies), in
// MB: what a video held in memory would cost, unlike pages of a mapped file.
double anonymousMB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stod(line.substr(8)) / 1024.0;
  }
  return 0;
}

// The highest anonymous memory seen while `work` runs, sampled every
// millisecond on a thread of its own.
double peakAnonymousMBDuring(const std::function<void()>& work) {
  malloc_trim(0);
  std::atomic<bool> done = false;
  std::atomic<double> peak = anonymousMB();
  std::thread sampler([&] {
    while (!done) {
      peak = std::max(peak.load(), anonymousMB());
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  work();
  done = true;
  sampler.join();
  return std::max(peak.load(), anonymousMB());
}

void sharePipeline(const std::shared_ptr<Network>& network, const std::filesystem::path& video) {
  VideoContentProviders providers{std::make_shared<ApplicationDatastore>(),
                                  ShareManagerProviders{network, network, Render::make()}};
  auto content = VideoContent::create(URL::fileURL(video), "bench", providers).value();
  runUntil([&] { return content->linkPreviewAvailable(); });
}

}  // namespace

int main() {
  testing::TemporaryDirectory scratch;
  const std::filesystem::path& directory = scratch.path();
  DevServer server(directory / "server", directory / "server.err");
  if (server.baseURL().empty()) {
    std::fprintf(stderr, "the devserver did not start\n");
    return 1;
  }
  auto video = directory / "large.mp4";
  auto huge = directory / "huge.mp4";
  if (!writeLargeVideo(video, 20) || !writeLargeVideo(huge, 200)) {
    std::fprintf(stderr, "cannot write the video\n");
    return 1;
  }
  auto authentication = std::make_shared<AuthenticationDatastore>();
  authentication->setApiKey("bench-key");
  auto network = std::make_shared<Network>(
      Network::defaultURLSession(), authentication, std::make_shared<ContribDatastore>(),
      *URL::parse(server.baseURL() + "v1/api/sdk/"), *URL::parse(server.baseURL() + "v1/events"));

  // Memory first, before anything of this process has held a video.
  sharePipeline(network, video);
  const double peakSmall = peakAnonymousMBDuring([&] { sharePipeline(network, video); });
  const double peakHuge = peakAnonymousMBDuring([&] { sharePipeline(network, huge); });
  const double smallMB = static_cast<double>(std::filesystem::file_size(video)) / 1e6;
  const double hugeMB = static_cast<double>(std::filesystem::file_size(huge)) / 1e6;
  std::printf("# anonymous peak %.1f MB for %.1f MB, %.1f MB for %.1f MB\n", peakSmall, smallMB,
              peakHuge, hugeMB);

  auto bytes = std::make_shared<const Data>(readContents(video).value());
  double preview = bench::medianSeconds(5, [&] { (void)ThumbnailCreator::thumbnailNow(video); });

  std::vector<double> puts;
  for (int round = 0; round < 5; ++round) {
    ShareRequest request{uploadPlan(*bytes, "video/mp4").value(),
                         uploadPlan(Data{1}, "image/jpeg").value(),
                         ShareableRequest{"bench", "video"}};
    std::atomic<bool> created = false;
    std::optional<ShareResponse> response;
    network->shareRequest(request, [&](Result<ShareResponse> result) {
      response = result.value();
      created = true;
    });
    runUntil([&] { return created.load(); });
    std::atomic<bool> uploaded = false;
    auto start = std::chrono::steady_clock::now();
    network->upload(response->video_content, bytes, [&](Result<void> result) {
      if (!result)
        std::fprintf(stderr, "upload failed: %s\n", result.error().localizedDescription().c_str());
      uploaded = true;
    });
    runUntil([&] { return uploaded.load(); });
    puts.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(puts.begin(), puts.end());
  double put = puts[puts.size() / 2];

  double pipeline = bench::medianSeconds(5, [&] {
    VideoContentProviders providers{std::make_shared<ApplicationDatastore>(),
                                    ShareManagerProviders{network, network, Render::make()}};
    auto t0 = std::chrono::steady_clock::now();
    auto content = VideoContent::create(URL::fileURL(video), "bench", providers).value();
    auto t1 = std::chrono::steady_clock::now();
    runUntil([&] { return content->renderedShareStrategy() != nullptr; });
    auto t2 = std::chrono::steady_clock::now();
    runUntil([&] { return content->linkPreviewAvailable(); });
    auto t3 = std::chrono::steady_clock::now();
    auto ms = [](auto a, auto b) {
      return std::chrono::duration<double, std::milli>(b - a).count();
    };
    std::printf("# create %.1f render %.1f rest %.1f\n", ms(t0, t1), ms(t1, t2), ms(t2, t3));
  });

  std::printf("# preview %.1f ms, PUT %.1f ms, pipeline %.1f ms\n", preview * 1000, put * 1000,
              pipeline * 1000);
  bench::printFigure("share_pipeline_vs_parts", pipeline / (preview + put));
  bench::printFigure("share_pipeline_ms_20mb", pipeline * 1000);
  bench::printFigure("share_video_bytes", static_cast<double>(bytes->size()));
  bench::printFigure("share_anon_peak_mb_200mb", peakHuge);
  bench::printFigure("share_anon_growth_mb_per_100mb",
                     (peakHuge - peakSmall) / (hugeMB - smallMB) * 100);
  return 0;
}
