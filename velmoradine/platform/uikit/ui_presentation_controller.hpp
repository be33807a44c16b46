#pragma once

// How a presented view controller is on screen: a container view the size of
// the screen (the root the window draws for this level of the stack) holding
// a dimming view and the presented controller's view, the transitions in and
// out, and the user's swipe down on a page sheet. Main thread only.

#include <functional>
#include <memory>

#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

class UIPresentationController;
class UIView;
class UIViewController;

class UIAdaptivePresentationControllerDelegate {
 public:
  virtual ~UIAdaptivePresentationControllerDelegate() = default;
  // The user swiped the presented controller away; it is off screen now.
  virtual void presentationControllerDidDismiss(UIPresentationController& controller) = 0;
};

class UIPresentationController {
 public:
  // A page sheet starts this far below the top of the screen.
  static constexpr double kPageSheetTopInset = 54;
  // Transitions in and out take this long, in seconds.
  static constexpr double kTransitionDuration = 0.3;
  // A swipe down dismisses a page sheet once it has moved this share of the
  // sheet's height; a shorter one lets it spring back.
  static constexpr double kDismissThreshold = 0.25;

  explicit UIPresentationController(std::weak_ptr<UIViewController> presented);

  std::shared_ptr<UIViewController> presentedViewController() const { return presented_.lock(); }
  std::shared_ptr<UIViewController> presentingViewController() const;
  std::shared_ptr<UIAdaptivePresentationControllerDelegate> delegate() const {
    return delegate_.lock();
  }
  void setDelegate(std::weak_ptr<UIAdaptivePresentationControllerDelegate> delegate) {
    delegate_ = std::move(delegate);
  }
  // The root the window draws; null while not presented.
  const std::shared_ptr<UIView>& containerView() const { return container_; }
  bool isTransitioning() const { return transitioning_; }
  // Whether the user may swipe the presented controller down.
  bool allowsInteractiveDismissal() const;

  // Used by UIViewController and the window.
  void present(bool animated, std::function<void()> completion);
  void dismiss(bool animated, bool interactive, std::function<void()> completion);
  // The finger has moved the sheet `distance` points down from where it
  // rests (negative values hold it in place).
  void dragTo(double distance);
  // The finger let go after moving `distance` points down.
  void endDrag(double distance);

 private:
  Rect presentedFrame(const Rect& screen) const;
  Rect screenBounds() const;
  void detach();

  std::weak_ptr<UIViewController> presented_;
  std::weak_ptr<UIAdaptivePresentationControllerDelegate> delegate_;
  std::shared_ptr<UIView> container_;
  std::shared_ptr<UIView> dimming_;
  bool transitioning_ = false;
};

}  // namespace velmoradine
