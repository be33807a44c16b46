#pragma once

// The object a host works with: it hands out scenes, collects their videos
// as they report, joins the successful ones (in the order the scenes were
// added) into the final video, and delivers that result to every waiting
// party. It is also what the share pipeline shares: a
// `VideoContentFutureProvider` whose rendered video becomes the content.
//
// Threading: make the UGC, add scenes and call `ready` on the main thread
// (`renderingStarted` is read and set there without a lock). The join runs
// on the main queue after every scene that announced itself has reported;
// export answers arrive on the exporter's thread. `renderingResult` and the
// completions live on `renderingDispathQueue` ("UGC Rendering"): the
// completions and then the delegate are called there, in that order. Scenes
// report from their exporters' threads; the scene lists are guarded.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/model/ugc_render_settings.hpp"
#include "velmoradine/platform/dispatch/dispatch_group.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/ugc/ugc_rendering.hpp"
#include "velmoradine/ugc/ugc_scene.hpp"
#include "velmoradine/ugc/ugc_scene_delegate.hpp"
#include "velmoradine/ui/presentable.hpp"
#include "velmoradine/ui/presentation_result.hpp"

namespace velmoradine {

// The renderers a UGC and its scenes use; tests substitute them. A host
// that shows export progress wraps the standard factories, keeps the
// renderers they make and reads their exporters' progress on the main queue
// (where the exports are started).
// Makes the share sheet a UGC presents, with the UGC as its provider and the
// host's completion. Main thread.
using ShareSheetFactory = std::function<std::shared_ptr<UIViewController>(
    std::shared_ptr<ShareSheetProvider> provider, PresentationCompletion completion)>;

struct UGCProviders {
  std::shared_ptr<UGCRendererFactory> renderers = UGCRendererFactory::standard();
  std::shared_ptr<UGCSceneRendererFactory> sceneRenderers = UGCSceneRendererFactory::standard();
  // The kit's ShareSheetViewController.
  ShareSheetFactory shareSheets = standardShareSheets();

  static ShareSheetFactory standardShareSheets();
};

class UGC final : public UGCSceneDelegate,
                  public ShareSheetProvider,
                  public std::enable_shared_from_this<UGC> {
 public:
  // The error side is a UGCError.
  using Completion = std::function<void(Result<SuccessfulRenderingResult>)>;

  // The tag is accepted and not kept.
  static std::shared_ptr<UGC> make(std::string_view tag, std::optional<std::string> title,
                                   const std::vector<UGCRenderOptions>& options = {},
                                   UGCProviders providers = {});
  static std::shared_ptr<UGC> make(std::string_view tag,
                                   const std::vector<UGCRenderOptions>& options = {},
                                   UGCProviders providers = {});

  // A new scene with this UGC's settings and the UGC as its delegate,
  // placed after the scenes added before. The tag is not kept.
  std::shared_ptr<UGCScene> addScene(std::string_view tag,
                                     const std::vector<UGCSceneOption>& options = {});

  // Registers `completion` for the final result and, the first time, joins
  // the scenes once every scene whose `ready` was called has reported. Call
  // each scene's `ready` first: scenes that have not announced themselves
  // are not waited for. A failed scene is left out of the join; a failed
  // join is retried (retryable errors only, at most 4 attempts). After the
  // result, a completion is called at once (on `renderingDispathQueue`).
  void ready(Completion completion = nullptr);

  // VideoContentFutureProvider: `ready` without a completion, and `ready`
  // with the error widened to a general error.
  void startRendering() override;
  void renderingComplete(RenderingCompletion completion) override;

  // UGCSceneDelegate.
  void sceneReady(UGCScene& configuration) override;
  void sceneDidRender(UGCScene& configuration, Result<SuccessfulRenderingResult> result) override;

  // Shows the share sheet on `viewController` (modally, animated, from the
  // main queue), or first a tap-to-share toast at the top of its view
  // (ugc_toast.hpp) whose tap shows the sheet. `completion` goes to the
  // sheet, which reports how the share ended; a toast that is never tapped
  // reports nothing. Main thread.
  void present(const std::shared_ptr<UIViewController>& viewController,
               const PresentationStyle& presentationStyle, PresentationCompletion completion);

  // Presentable: plays the scenes live in `view`, one after another, for as
  // long as the UGC exists (ugc_presentation.hpp). Main thread.
  std::optional<Error> presentOn(const std::shared_ptr<UIViewController>& viewController,
                                 const std::shared_ptr<UIView>& view) override;

  // The title shown and shared. Main thread.
  std::optional<std::string> title() const override { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }

  const UGCRenderSettings renderSettings;
  // Told the final result on `renderingDispathQueue`, after the completions.
  std::weak_ptr<UGCResultDelegate> delegate;
  const std::shared_ptr<DispatchQueue>& renderingDispathQueue() const {
    return renderingDispathQueue_;
  }
  // The scenes in the order they were added, and their results so far
  // (none until a scene reports).
  std::vector<std::shared_ptr<UGCScene>> sceneConfigurations() const;
  std::vector<std::optional<Result<SuccessfulRenderingResult>>> sceneRenderingResults() const;

  UGC(std::optional<std::string> title, UGCRenderSettings renderSettings, UGCProviders providers);

 private:
  void presentShareSheet(const std::shared_ptr<UIViewController>& viewController,
                         PresentationCompletion completion);
  void renderUGC(int retries);
  void exported(int retries, Result<SuccessfulRenderingResult> result);
  void renderingDidComplete(Result<SuccessfulRenderingResult> result);
  std::vector<SuccessfulRenderingResult> renderedScenes() const;

  std::optional<std::string> title_;
  UGCProviders providers_;
  DispatchGroup sceneRenderingWaitGroup_;
  std::shared_ptr<DispatchQueue> renderingDispathQueue_;
  bool renderingStarted_ = false;  // main thread

  mutable std::mutex scenesMutex_;
  std::vector<std::shared_ptr<UGCScene>> sceneConfigurations_;  // guarded by scenesMutex_
  std::vector<std::optional<Result<SuccessfulRenderingResult>>>
      sceneRenderingResults_;  // guarded by scenesMutex_

  // Only on renderingDispathQueue_.
  std::optional<Result<SuccessfulRenderingResult>> renderingResult_;
  std::vector<Completion> completionConsumers_;
};

}  // namespace velmoradine
