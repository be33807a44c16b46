#include "velmoradine/ugc/ugc_scene.hpp"

#include "velmoradine/platform/foundation/uuid.hpp"
#include "velmoradine/ugc/ugc_export_outcome.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"
#include "velmoradine/ugc/ugc_text_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_ui_image_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_url_image_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_video_layer_configuration.hpp"

namespace velmoradine {
namespace {

constexpr int kRenderRetries = 3;

}  // namespace

// The layers' answers to one `ready`, by list position; only on the
// scene's queue.
struct UGCScene::Readiness {
  explicit Readiness(std::size_t count) : failures(count) {}
  std::vector<std::optional<Error>> failures;

  std::optional<Error> firstFailure() const {
    for (const auto& failure : failures) {
      if (failure) return failure;
    }
    return std::nullopt;
  }
};

std::shared_ptr<UGCScene> UGCScene::make(std::weak_ptr<UGCSceneDelegate> delegate,
                                         UGCRenderSettings renderSettings,
                                         const std::vector<UGCSceneOption>& sceneOptions,
                                         std::shared_ptr<UGCSceneRendererFactory> renderers) {
  return std::make_shared<UGCScene>(std::move(delegate), std::move(renderSettings),
                                    UGCSceneOptions(sceneOptions), std::move(renderers));
}

std::shared_ptr<UGCScene> UGCScene::make(UGCRenderSettings renderSettings,
                                         const std::vector<UGCSceneOption>& options,
                                         std::shared_ptr<UGCSceneRendererFactory> renderers) {
  return make({}, std::move(renderSettings), options, std::move(renderers));
}

UGCScene::UGCScene(std::weak_ptr<UGCSceneDelegate> delegate, UGCRenderSettings renderSettings,
                   UGCSceneOptions sceneOptions, std::shared_ptr<UGCSceneRendererFactory> renderers)
    : renderSettings(std::move(renderSettings)),
      sceneOptions(std::move(sceneOptions)),
      delegate(std::move(delegate)),
      sceneIdentifier_(UUID().uuidString()),
      sceneDispatchQueue_(DispatchQueue::serial("UGCScene-" + sceneIdentifier_)),
      renderers_(std::move(renderers)) {}

UGCScene& UGCScene::imageLayer(std::shared_ptr<UGCImageFormat> format, const URL& url) {
  configurations.push_back(UGCURLImageLayerConfiguration::make(std::move(format), url));
  return *this;
}

UGCScene& UGCScene::imageLayer(std::shared_ptr<UGCImageFormat> format, Image image) {
  configurations.push_back(
      std::make_shared<UGCUIImageLayerConfiguration>(std::move(format), std::move(image)));
  return *this;
}

UGCScene& UGCScene::textLayer(std::shared_ptr<UGCTextFormat> format, std::string text) {
  configurations.push_back(
      std::make_shared<UGCTextLayerConfiguration>(std::move(format), std::move(text)));
  return *this;
}

UGCScene& UGCScene::videoLayer(std::shared_ptr<UGCVideoFormat> format, const URL& url) {
  configurations.push_back(UGCVideoLayerConfiguration::make(std::move(format), url));
  return *this;
}

void UGCScene::ready(Completion completion) {
  if (auto owner = delegate.lock()) owner->sceneReady(*this);
  const auto layers = configurations;
  auto readiness = std::make_shared<Readiness>(layers.size());
  auto self = shared_from_this();
  for (std::size_t index = 0; index < layers.size(); ++index) {
    configurationReadyDispatchGroup.enter();
    // The failure is queued before the leave, so the task that runs when
    // the group empties (on the same queue) sees it.
    layers[index]->ready(
        [self, readiness, index, layer = layers[index]](std::optional<Error> error) {
          if (error) {
            self->sceneDispatchQueue_->async(
                [self, readiness, index, failure = layer->readinessFailure(*error)] {
                  self->configurationsFailed = true;
                  readiness->failures[index] = failure;
                });
          }
          self->configurationReadyDispatchGroup.leave();
        });
  }
  configurationReadyDispatchGroup.notify(
      sceneDispatchQueue_, [self, readiness, completion = std::move(completion)]() mutable {
        self->renderWhenReady(readiness, std::move(completion));
      });
}

void UGCScene::renderWhenReady(const std::shared_ptr<Readiness>& readiness, Completion completion) {
  sceneDispatchQueue_->assertCurrent();
  auto self = shared_from_this();
  if (!configurationsFailed) {
    DispatchQueue::main()->async(
        [self, completion] { self->renderScene(kRenderRetries, completion); });
    return;
  }
  // The flag can stay set from an earlier `ready`; this one's own failure
  // is the better report when there is one.
  Error failure = readiness->firstFailure().value_or(Error(UGCError::unknown));
  DispatchQueue::main()->async(
      [self, failure, completion] { self->report(std::unexpected(failure), completion); });
}

void UGCScene::renderScene(int retries, Completion completion) {
  auto renderer = renderers_->makeSceneRenderer(*this);
  if (!renderer) return report(std::unexpected(asUGCError(renderer.error())), completion);
  (*renderer)->sceneReady(
      [self = shared_from_this(), retries, completion](Result<SuccessfulRenderingResult> result) {
        self->exported(retries, completion, std::move(result));
      });
}

void UGCScene::exported(int retries, Completion completion,
                        Result<SuccessfulRenderingResult> result) {
  if (!result && retryable(result.error()) && retries >= 1) {
    DispatchQueue::main()->async([self = shared_from_this(), retries, completion] {
      self->renderScene(retries - 1, completion);
    });
    return;
  }
  if (!result) result = std::unexpected(asUGCError(result.error()));
  report(std::move(result), std::move(completion));
}

void UGCScene::report(Result<SuccessfulRenderingResult> result, Completion completion) {
  if (auto owner = delegate.lock()) owner->sceneDidRender(*this, result);
  if (!completion) return;
  DispatchQueue::main()->async(
      [completion = std::move(completion), result = std::move(result)] { completion(result); });
}

Result<void> UGCScene::presentScene(const std::shared_ptr<UIViewController>& viewController,
                                    const std::shared_ptr<UIView>& view,
                                    std::function<void()> completion) {
  return UGCScenePresentation::make(weak_from_this())
      ->present(viewController, view, std::move(completion));
}

}  // namespace velmoradine
