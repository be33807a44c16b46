#pragma once

// A scene played live inside a host view: the scene's text and image layers
// as real layers over its playing video, in a rounded preview view scaled to
// the host view's height and centred in it. The preview ends when the video
// does (or at the scene's `maxDuration`): every child controller of the
// host's controller is removed, the preview view is taken away, and the
// delegate and the completion are told.
//
// Ownership: the preview's child controller (`presentationViewController`),
// held by the host's controller while the preview shows, is what keeps the
// presentation alive; the presentation refers to it weakly. Before the
// preview is placed the pending readiness notification holds both.
//
// Main thread only, apart from the layers' readiness answers, which may come
// from any thread and are gathered by a dispatch group onto the main queue.

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

class UGCScene;
class UGCScenePresentation;

class UGCScenePresentationDelegate {
 public:
  virtual ~UGCScenePresentationDelegate() = default;
  virtual void presentationDidFinish(UGCScenePresentation& presentation) = 0;
};

class UGCScenePresentationViewController final : public UIViewController {
 public:
  explicit UGCScenePresentationViewController(std::shared_ptr<UGCScenePresentation> presentation);
  // Runs `deinitBlocks` in order.
  ~UGCScenePresentationViewController() override;

  // Removes every child controller of this controller's parent (the host's
  // own children too) with its view, then the preview view.
  void removeSelfAndOtherViews();
  // The scene's video ended: removes the preview, then tells the delegate
  // and calls the completion. Only the first call does anything.
  void videoDidFinish();
  // Runs `completion` when this controller is destroyed.
  void registerDeinit(std::function<void()> completion);

  std::vector<std::function<void()>> deinitBlocks;
  const std::shared_ptr<UGCScenePresentation> presentation;

 private:
  bool finished_ = false;
};

class UGCScenePresentation final : public std::enable_shared_from_this<UGCScenePresentation> {
 public:
  static std::shared_ptr<UGCScenePresentation> make(std::weak_ptr<UGCScene> scene);
  explicit UGCScenePresentation(std::weak_ptr<UGCScene> scene) : scene(std::move(scene)) {}

  // Gets the scene's layers ready, builds them into a new preview view and
  // places it in `view`, with the preview's controller a child of
  // `viewController`. Fails with `UGCError::unknown` when the scene is gone.
  // A layer that is not ready, or whose build fails (logged as
  // "[UGCScenePresentation] unable present scene"), ends the presentation
  // without showing anything; whatever that layer's build had already added
  // to the host is taken away again. A scene without a video layer, which
  // would have nothing to end it, fails the same way with `noDuration`.
  Result<void> present(const std::shared_ptr<UIViewController>& viewController,
                       const std::shared_ptr<UIView>& view, std::function<void()> completion);

  // Whether the preview was placed in the host view and its video played
  // without a decoding error.
  bool wasShown() const { return shown_ && !playbackFailed_; }
  // The video stopped on a decoding error. Main thread.
  void playbackDidFail() { playbackFailed_ = true; }

  std::weak_ptr<UIView> view;  // the preview view
  std::weak_ptr<UIViewController> viewController;
  std::weak_ptr<UGCScene> scene;
  std::weak_ptr<UGCScenePresentationViewController> presentationViewController;
  std::weak_ptr<UGCScenePresentationDelegate> delegate;
  std::function<void()> completion;

 private:
  struct Preparation;
  void layersDidAnswer(const Preparation& preparation);
  Result<void> buildLayers(UGCScene& scene);
  void place(UIView& preview, UIView& host, const UGCScene& scene,
             const std::shared_ptr<UGCScenePresentationViewController>& controller);
  void end();

  bool shown_ = false;
  bool playbackFailed_ = false;
};

}  // namespace velmoradine
