#include "velmoradine/ugc/ugc.hpp"

#include "velmoradine/ugc/ugc_export_outcome.hpp"

namespace velmoradine {
namespace {

constexpr int kRenderRetries = 3;

bool worthRetrying(const Error& error, int retries) {
  return retryable(error) && retries >= 1;
}

}  // namespace

std::shared_ptr<UGC> UGC::make(std::string_view, std::optional<std::string> title,
                               const std::vector<UGCRenderOptions>& options,
                               UGCProviders providers) {
  return std::make_shared<UGC>(std::move(title), UGCRenderSettings(options), std::move(providers));
}

std::shared_ptr<UGC> UGC::make(std::string_view tag, const std::vector<UGCRenderOptions>& options,
                               UGCProviders providers) {
  return make(tag, std::nullopt, options, std::move(providers));
}

UGC::UGC(std::optional<std::string> title, UGCRenderSettings renderSettings, UGCProviders providers)
    : renderSettings(std::move(renderSettings)),
      title_(std::move(title)),
      providers_(std::move(providers)),
      renderingDispathQueue_(DispatchQueue::serial("UGC Rendering")) {}

std::shared_ptr<UGCScene> UGC::addScene(std::string_view,
                                        const std::vector<UGCSceneOption>& options) {
  auto scene = UGCScene::make(weak_from_this(), renderSettings, options, providers_.sceneRenderers);
  std::lock_guard lock(scenesMutex_);
  sceneConfigurations_.push_back(scene);
  sceneRenderingResults_.emplace_back();
  return scene;
}

std::vector<std::shared_ptr<UGCScene>> UGC::sceneConfigurations() const {
  std::lock_guard lock(scenesMutex_);
  return sceneConfigurations_;
}

std::vector<std::optional<Result<SuccessfulRenderingResult>>> UGC::sceneRenderingResults() const {
  std::lock_guard lock(scenesMutex_);
  return sceneRenderingResults_;
}

void UGC::sceneReady(UGCScene&) {
  sceneRenderingWaitGroup_.enter();
}

void UGC::sceneDidRender(UGCScene& configuration, Result<SuccessfulRenderingResult> result) {
  {
    std::lock_guard lock(scenesMutex_);
    for (std::size_t index = 0; index < sceneConfigurations_.size(); ++index) {
      if (sceneConfigurations_[index].get() == &configuration) {
        sceneRenderingResults_[index] = std::move(result);
        break;
      }
    }
  }
  sceneRenderingWaitGroup_.leave();
}

void UGC::ready(Completion completion) {
  auto self = shared_from_this();
  renderingDispathQueue_->async([self, completion = std::move(completion)]() mutable {
    if (self->renderingResult_) {
      if (completion) completion(*self->renderingResult_);
    } else if (completion) {
      self->completionConsumers_.push_back(std::move(completion));
    }
  });
  if (renderingStarted_) return;
  renderingStarted_ = true;
  sceneRenderingWaitGroup_.notify(DispatchQueue::main(),
                                  [self] { self->renderUGC(kRenderRetries); });
}

void UGC::startRendering() {
  ready();
}

void UGC::renderingComplete(RenderingCompletion completion) {
  auto held = std::make_shared<RenderingCompletion>(std::move(completion));
  ready([held](Result<SuccessfulRenderingResult> result) { (*held)(std::move(result)); });
}

std::vector<SuccessfulRenderingResult> UGC::renderedScenes() const {
  std::lock_guard lock(scenesMutex_);
  std::vector<SuccessfulRenderingResult> rendered;
  for (const auto& result : sceneRenderingResults_) {
    if (result && *result) rendered.push_back(**result);
  }
  return rendered;
}

void UGC::renderUGC(int retries) {
  auto renderer = providers_.renderers->makeRenderer(renderedScenes(), renderSettings);
  if (!renderer) {
    const Error error = asUGCError(renderer.error());
    if (worthRetrying(error, retries)) return renderUGC(retries - 1);
    return renderingDidComplete(std::unexpected(error));
  }
  (*renderer)->startExport(
      [self = shared_from_this(), retries](Result<SuccessfulRenderingResult> result) {
        self->exported(retries, std::move(result));
      });
}

void UGC::exported(int retries, Result<SuccessfulRenderingResult> result) {
  if (!result && worthRetrying(result.error(), retries)) {
    DispatchQueue::main()->async(
        [self = shared_from_this(), retries] { self->renderUGC(retries - 1); });
    return;
  }
  if (!result) result = std::unexpected(asUGCError(result.error()));
  renderingDidComplete(std::move(result));
}

void UGC::renderingDidComplete(Result<SuccessfulRenderingResult> result) {
  renderingDispathQueue_->async([self = shared_from_this(), result = std::move(result)] {
    self->renderingResult_ = result;
    for (auto& consumer : self->completionConsumers_) consumer(result);
    if (auto owner = self->delegate.lock()) owner->didFinish(result);
  });
}

}  // namespace velmoradine
