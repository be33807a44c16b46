#pragma once

// A UGC played live inside a host view: its scenes one after another, each
// as a scene presentation (ugc_scene_presentation.hpp), starting again from
// the first after the last, for as long as the UGC exists.
//
// This is the live preview behind a `Presentable`'s `presentOn(viewController,
// view)`: make one for the UGC and call `present(0, viewController, view)`.
// The loop keeps itself alive through the scenes' completions and needs no
// owner; it stops when the UGC is gone, when the scene index is out of range
// ("Unable to present ugc, no scene for index N"), or when a whole round of
// scenes ended without one being shown (every layer failing would otherwise
// spin the main thread, logging the same failure without pause).
//
// Main thread only.

#include <memory>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

class UGC;

class UGCPresentation final : public std::enable_shared_from_this<UGCPresentation> {
 public:
  static std::shared_ptr<UGCPresentation> make(std::weak_ptr<UGC> ugc);
  explicit UGCPresentation(std::weak_ptr<UGC> ugc) : ugc(std::move(ugc)) {}

  // Shows the scene at `sceneIndex` in `view`, its preview's controller a
  // child of `viewController`, then the next ones in turn. `index` is not
  // consulted: the loop starts where `sceneIndex` stands (0 for a new one).
  // Fails with `UGCError::unknown` when that scene is gone; an index out of
  // range is logged, not returned. Later scenes' errors are logged ("Got
  // error presting"). The loop also ends when the host's view or controller
  // is gone.
  Result<void> present(int index, const std::shared_ptr<UIViewController>& viewController,
                       const std::shared_ptr<UIView>& view);

  std::weak_ptr<UIView> view;                      // not set by the preview loop
  std::weak_ptr<UIViewController> viewController;  // not set by the preview loop
  std::weak_ptr<UGC> ugc;
  int sceneIndex = 0;

 private:
  void sceneDidEnd(bool shown, const std::shared_ptr<UIViewController>& viewController,
                   const std::shared_ptr<UIView>& view);

  int scenesEndedUnshown_ = 0;
};

}  // namespace velmoradine
