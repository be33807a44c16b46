// The live preview of a UGC scene on the share screen: a 540 × 960 scene (a
// 10 s video of moving test pictures, a line of text and an image over it)
// played into a window of 375 × 812 points at scale 3.
//
// - preview_realtime_factor: seconds of video per second of work when the
//   clock steps one frame at a time and each step waits for the frame to be
//   decoded and the window to be composited (decode ahead on the player's
//   thread, compositing on the main thread). Above 1 keeps up with playback.
// - preview_dropped_frames_10s: frames of the first 10 s never shown when
//   the same preview plays on the real clock, the window redrawn after every
//   presented frame as a desktop host does.

#include "bench/ui/preview_bench.hpp"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include "bench/support/figures.hpp"
#include "bench/support/peer_commands.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/uikit/player_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_presentation.hpp"

namespace velmoradine::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kFramesPerSecond = 30;
constexpr int kSeconds = 10;
constexpr int kFrames = kFramesPerSecond * kSeconds;
constexpr const char* kProgram = "bench_ui";

Image logo() {
  Bitmap bitmap(128, 128);
  bitmap.fill(Color::rgba(0.9, 0.3, 0.2));
  return Image(std::move(bitmap));
}

std::shared_ptr<UGC> makeUGC(const fs::path& clip) {
  auto ugc = UGC::make("bench", {UGCRenderOptions::size({540, 960})});
  ugc->addScene("scene")
      ->videoLayer(UGCVideoFormat::create({MutableLayerAttribute::frame({0, 0, 540, 960})}),
                   URL::fileURL(clip))
      .textLayer(UGCTextFormat::create({MutableLayerAttribute::frame({40, 80, 460, 120}),
                                        MutableLayerAttribute::fontSize(64),
                                        MutableLayerAttribute::foregroundColor(Color::white())}),
                 "Day one")
      .imageLayer(UGCImageFormat::create({MutableLayerAttribute::frame({370, 820, 128, 128})}),
                  logo());
  return ugc;
}

// The UGC playing in a window, and the times of the frames its player
// presented.
struct Preview {
  std::shared_ptr<UGC> ugc;
  std::unique_ptr<UIWindow> window;
  std::shared_ptr<UIViewController> root;
  std::vector<MediaTime> presented;

  explicit Preview(const fs::path& clip)
      : ugc(makeUGC(clip)),
        window(std::make_unique<UIWindow>(UIScreen({375, 812}, 3))),
        root(std::make_shared<UIViewController>()) {
    window->setRootViewController(root);
    require(kProgram, bool(UGCPresentation::make(ugc)->present(0, root, root->view())),
            "the preview could not start");
    std::shared_ptr<Player> player;
    RunLoop::main().runUntil([&] { return (player = findPlayer()) != nullptr; });
    require(kProgram, player != nullptr, "the preview shows no player");
    player->setFrameHandler(
        [this](const Image&, const MediaTime& time) { presented.push_back(time); });
    window->displayIfNeeded();
  }
  ~Preview() {
    ugc.reset();
    root.reset();
    window.reset();
  }

  std::shared_ptr<Player> findPlayer() const {
    for (const auto& child : root->children()) {
      if (auto player = std::dynamic_pointer_cast<PlayerViewController>(child)) {
        return player->player();
      }
    }
    return nullptr;
  }
};

double realtimeFactor(const fs::path& clip) {
  auto clock = std::make_shared<ManualClock>();
  auto previous = Clock::current();
  Clock::setCurrent(clock);
  double seconds = 0;
  {
    Preview preview(clip);
    seconds = secondsOf([&] {
      for (int frame = 1; frame < kFrames; ++frame) {
        clock->advance(std::chrono::microseconds(1000000 / kFramesPerSecond + 1));
        const MediaTime due(frame, kFramesPerSecond);
        RunLoop::main().runUntil(
            [&] { return !preview.presented.empty() && !(preview.presented.back() < due); });
        preview.window->displayIfNeeded();
      }
    });
    require(kProgram,
            !preview.presented.empty() &&
                preview.presented.back() == MediaTime(kFrames - 1, kFramesPerSecond),
            "the preview stopped early");
  }
  Clock::setCurrent(previous);
  return (kFrames - 1) / double(kFramesPerSecond) / seconds;
}

int droppedFrames(const fs::path& clip) {
  Preview preview(clip);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(kSeconds);
  std::size_t shown = preview.presented.size();
  while (std::chrono::steady_clock::now() < end) {
    RunLoop::main().runUntil([&] { return preview.presented.size() > shown; },
                             end - std::chrono::steady_clock::now());
    shown = preview.presented.size();
    preview.window->displayIfNeeded();
  }
  int dropped = 0;
  MediaTime last = MediaTime(-1, kFramesPerSecond);
  for (const MediaTime& time : preview.presented) {
    const double gap = (time - last).seconds() * kFramesPerSecond;
    dropped += std::max(0, static_cast<int>(std::lround(gap)) - 1);
    last = time;
  }
  // Frames due before the run ended that never came are dropped too.
  const double reached = preview.presented.empty() ? 0 : (last.seconds() + 1.0 / kFramesPerSecond);
  dropped += std::max(0, static_cast<int>(std::lround((kSeconds - reached) * kFramesPerSecond)));
  return dropped;
}

}  // namespace

void measurePreview() {
  const fs::path work =
      fs::temp_directory_path() / ("velmoradine-preview-bench-" + std::to_string(::getpid()));
  fs::create_directories(work);
  const fs::path clip = work / "clip.mp4";
  require(kProgram,
          runQuietly("ffmpeg -y -f lavfi -i testsrc2=size=540x960:rate=30 -t " +
                     std::to_string(kSeconds + 1) + " " + kPeerX264Arguments + " " + clip.string()),
          "cannot make the source clip with the ffmpeg command line");
  printFigure("preview_realtime_factor", realtimeFactor(clip));
  printFigure("preview_dropped_frames_10s", droppedFrames(clip));
  fs::remove_all(work);
}

}  // namespace velmoradine::bench
