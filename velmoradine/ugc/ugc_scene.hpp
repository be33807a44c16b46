#pragma once

// One segment of a UGC video: a stack of layers (a video layer and any text
// and image layers over it) rendered into its own file.
//
// Threading: make a scene, add layers and call `ready` on the main thread.
// `ready` waits for the layers' content, renders on the main queue, retries
// a failed export (only retryable errors, at most 4 attempts in all), then
// tells the delegate (on the exporter's thread, or the main queue when
// nothing was exported) and calls the completion on the main queue, each
// exactly once per `ready`. `ready` twice renders twice, into two files.
// `configurationsFailed` is read and written only on `sceneDispatchQueue`.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/model/ugc_render_settings.hpp"
#include "velmoradine/platform/dispatch/dispatch_group.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/ugc/ugc_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_scene_delegate.hpp"
#include "velmoradine/ugc/ugc_scene_rendering.hpp"

namespace velmoradine {

class UIView;
class UIViewController;

class UGCScene final : public UGCSceneContext, public std::enable_shared_from_this<UGCScene> {
 public:
  // The error side is a UGCError.
  using Completion = std::function<void(Result<SuccessfulRenderingResult>)>;

  // A scene of a UGC (which passes itself as delegate).
  static std::shared_ptr<UGCScene> make(
      std::weak_ptr<UGCSceneDelegate> delegate, UGCRenderSettings renderSettings,
      const std::vector<UGCSceneOption>& sceneOptions,
      std::shared_ptr<UGCSceneRendererFactory> renderers = UGCSceneRendererFactory::standard());
  // A scene on its own, without delegate.
  static std::shared_ptr<UGCScene> make(
      UGCRenderSettings renderSettings, const std::vector<UGCSceneOption>& options = {},
      std::shared_ptr<UGCSceneRendererFactory> renderers = UGCSceneRendererFactory::standard());

  // Each adder appends one layer on top of the others and returns the scene
  // for chaining. URL layers start downloading at once.
  UGCScene& imageLayer(std::shared_ptr<UGCImageFormat> format, const URL& url);
  UGCScene& imageLayer(std::shared_ptr<UGCImageFormat> format, Image image);
  UGCScene& textLayer(std::shared_ptr<UGCTextFormat> format, std::string text);
  UGCScene& videoLayer(std::shared_ptr<UGCVideoFormat> format, const URL& url);

  // Gets the layers ready, renders and reports (see above). A layer that
  // fails to get ready fails the scene with `videoError` or `imageError`
  // carrying the resource error's description (the first such layer in
  // list order); nothing is rendered then.
  void ready(Completion completion = nullptr);

  // Plays the scene live in `view` (see ugc_scene_presentation.hpp); the
  // completion runs when the preview ends. Main thread.
  Result<void> presentScene(const std::shared_ptr<UIViewController>& viewController,
                            const std::shared_ptr<UIView>& view, std::function<void()> completion);

  const std::string& sceneIdentifier() const override { return sceneIdentifier_; }
  const std::shared_ptr<DispatchQueue>& sceneDispatchQueue() const override {
    return sceneDispatchQueue_;
  }

  std::vector<std::shared_ptr<UGCLayerConfiguration>> configurations;  // bottom first
  const UGCRenderSettings renderSettings;
  const UGCSceneOptions sceneOptions;
  std::weak_ptr<UGCSceneDelegate> delegate;
  DispatchGroup configurationReadyDispatchGroup;
  bool configurationsFailed = false;  // only on sceneDispatchQueue

  UGCScene(std::weak_ptr<UGCSceneDelegate> delegate, UGCRenderSettings renderSettings,
           UGCSceneOptions sceneOptions, std::shared_ptr<UGCSceneRendererFactory> renderers);

 private:
  struct Readiness;
  void renderWhenReady(const std::shared_ptr<Readiness>& readiness, Completion completion);
  void renderScene(int retries, Completion completion);
  void exported(int retries, Completion completion, Result<SuccessfulRenderingResult> result);
  void report(Result<SuccessfulRenderingResult> result, Completion completion);

  std::string sceneIdentifier_;
  std::shared_ptr<DispatchQueue> sceneDispatchQueue_;
  std::shared_ptr<UGCSceneRendererFactory> renderers_;
};

}  // namespace velmoradine
