#include "ugc_render_progress.hpp"

#include <algorithm>
#include <cstdio>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/ugc/ugc_renderer.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"

namespace velmoradine::cli {
namespace {

class WatchedSceneRenderers final : public UGCSceneRendererFactory {
 public:
  WatchedSceneRenderers(std::weak_ptr<UGCRenderProgress> progress)
      : progress_(std::move(progress)), standard_(UGCSceneRendererFactory::standard()) {}

  Result<std::shared_ptr<UGCSceneExport>> makeSceneRenderer(const UGCScene& scene) override {
    auto renderer = standard_->makeSceneRenderer(scene);
    if (auto progress = progress_.lock()) {
      progress->layersReady(scene, renderer ? *renderer : nullptr);
    }
    return renderer;
  }

 private:
  std::weak_ptr<UGCRenderProgress> progress_;
  std::shared_ptr<UGCSceneRendererFactory> standard_;
};

class WatchedJoin final : public UGCRendererFactory {
 public:
  WatchedJoin(std::weak_ptr<UGCRenderProgress> progress)
      : progress_(std::move(progress)), standard_(UGCRendererFactory::standard()) {}

  Result<std::shared_ptr<UGCExport>> makeRenderer(
      std::vector<SuccessfulRenderingResult> scenes,
      const UGCRenderSettings& renderSettings) override {
    const std::size_t count = scenes.size();
    auto renderer = standard_->makeRenderer(std::move(scenes), renderSettings);
    if (auto progress = progress_.lock()) progress->joining(count, renderer ? *renderer : nullptr);
    return renderer;
  }

 private:
  std::weak_ptr<UGCRenderProgress> progress_;
  std::shared_ptr<UGCRendererFactory> standard_;
};

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", value);
  return text;
}

std::string secondsSince(std::chrono::steady_clock::time_point start) {
  return seconds(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
}

std::string videoLength(const std::filesystem::path& video) {
  return seconds(URLAsset::make(video)->duration().seconds());
}

}  // namespace

std::shared_ptr<UGCRenderProgress> UGCRenderProgress::make(std::size_t sceneCount, Say say) {
  return std::make_shared<UGCRenderProgress>(sceneCount, std::move(say));
}

UGCRenderProgress::UGCRenderProgress(std::size_t sceneCount, Say say)
    : say_(std::move(say)), watchedScenes_(sceneCount), scenesTotal_(sceneCount) {}

UGCProviders UGCRenderProgress::providers() {
  return UGCProviders{std::make_shared<WatchedJoin>(weak_from_this()),
                      std::make_shared<WatchedSceneRenderers>(weak_from_this())};
}

void UGCRenderProgress::watchScene(const UGCScene& scene) {
  scenes_.push_back(&scene);
}

std::optional<std::size_t> UGCRenderProgress::indexOf(const UGCScene& scene) const {
  auto found = std::ranges::find(scenes_, &scene);
  if (found == scenes_.end()) return std::nullopt;
  return static_cast<std::size_t>(found - scenes_.begin());
}

std::string UGCRenderProgress::sceneName(std::size_t index) const {
  return "scene " + std::to_string(index + 1);
}

void UGCRenderProgress::layersReady(const UGCScene& scene,
                                    std::shared_ptr<UGCSceneExport> renderer) {
  auto index = indexOf(scene);
  if (!index) return;
  Watched& watched = watchedScenes_[*index];
  // A scene's renderer is made again only when its export is retried.
  say_(sceneName(*index) +
       (watched.startedAt ? ": export failed, trying again" : ": layers ready"));
  if (!watched.startedAt) watched.startedAt = Clock::now();
  watched.quartersShown = 0;
  auto sceneRenderer = std::dynamic_pointer_cast<UGCSecneRenderer>(renderer);
  watched.exporter = [sceneRenderer] {
    return sceneRenderer ? sceneRenderer->sceneExporter : nullptr;
  };
}

void UGCRenderProgress::joining(std::size_t sceneCount, std::shared_ptr<UGCExport> renderer) {
  const std::string line = std::string(join_.startedAt ? "join failed, trying again: " : "") +
                           "joining " + std::to_string(sceneCount) + " of " +
                           std::to_string(scenesTotal_) + " scenes";
  // The last scene's completion is queued on the main queue behind the
  // join's start: saying this after it keeps the lines in the order things
  // happened.
  RunLoop::main().perform([say = say_, line] { say(line); });
  if (!join_.startedAt) join_.startedAt = Clock::now();
  join_.quartersShown = 0;
  auto joinRenderer = std::dynamic_pointer_cast<UGCRenderer>(renderer);
  join_.exporter = [joinRenderer] { return joinRenderer ? joinRenderer->ugcExporter : nullptr; };
}

void UGCRenderProgress::sceneReported(std::size_t index,
                                      const Result<SuccessfulRenderingResult>& result) {
  Watched& watched = watchedScenes_[index];
  watched.exporter = nullptr;
  if (!result) {
    say_(sceneName(index) + ": left out: " + result.error().localizedDescription());
    return;
  }
  renderedFiles_.push_back(result->displayURL);
  say_(sceneName(index) + ": rendered " + videoLength(result->displayURL) + " of video in " +
       secondsSince(watched.startedAt.value_or(Clock::now())));
}

void UGCRenderProgress::joinReported(const Result<SuccessfulRenderingResult>& result) {
  std::shared_ptr<AssetExportSession> exporter = join_.exporter ? join_.exporter() : nullptr;
  join_.exporter = nullptr;
  if (!result || !join_.startedAt) return;
  renderedFiles_.push_back(result->displayURL);
  const bool copied = exporter && exporter->usedStreamCopy();
  say_("joined " + videoLength(result->displayURL) + " of video in " +
       secondsSince(*join_.startedAt) + (copied ? " by stream copy" : " by re-encoding"));
}

void UGCRenderProgress::showPercentages() {
  for (std::size_t i = 0; i < watchedScenes_.size(); ++i) {
    showProgress(sceneName(i), watchedScenes_[i]);
  }
  showProgress("join", join_);
}

void UGCRenderProgress::showProgress(const std::string& name, Watched& watched) {
  std::shared_ptr<AssetExportSession> exporter = watched.exporter ? watched.exporter() : nullptr;
  if (!exporter) return;
  const int quarters = std::clamp(static_cast<int>(exporter->progress() * 4), 0, 3);
  if (quarters <= watched.quartersShown) return;
  watched.quartersShown = quarters;
  say_(name + ": " + std::to_string(quarters * 25) + "%");
}

}  // namespace velmoradine::cli
