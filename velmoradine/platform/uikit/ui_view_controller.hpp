#pragma once

// A view controller: owns a view (loaded on first use, then `viewDidLoad`),
// holds child controllers, and presents others modally.
//
// Presentation: `present` puts the controller on top of the presentation
// stack of the window (a controller that already presents, or one that is
// already presented, is refused with a console line and its completion is
// not called). The completion runs once the controller is on screen: at once
// without animation, else when the slide-in animation ends (on the Clock).
// `dismiss` on a presenting controller dismisses what it presents; on a
// presented one, itself. While a transition runs, the window ignores new
// touches. A page sheet (the default style) can also be swiped down by the
// user; its presentation controller's delegate then hears
// `presentationControllerDidDismiss`, which a programmatic dismissal does not
// send.
//
// Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/uikit/ui_trait_collection.hpp"

namespace velmoradine {

class UIPresentationController;
class UIView;
class UIWindow;

enum class UIModalPresentationStyle { automatic, pageSheet, fullScreen, overFullScreen };

class UIViewController : public std::enable_shared_from_this<UIViewController> {
 public:
  UIViewController();
  virtual ~UIViewController();
  UIViewController(const UIViewController&) = delete;
  UIViewController& operator=(const UIViewController&) = delete;

  // The view, loaded (`loadView`, then `viewDidLoad`) on first use.
  const std::shared_ptr<UIView>& view();
  bool isViewLoaded() const { return view_ != nullptr; }
  // Makes a plain view the size of the main screen; subclasses may set their own.
  virtual void loadView();
  void setView(std::shared_ptr<UIView> view);
  virtual void viewDidLoad() {}
  virtual void viewDidLayoutSubviews() {}

  // Containment. `addChild` tells the child `willMove(this)`; the caller adds
  // its view and calls `didMove`. `removeFromParent` tells it `didMove(null)`.
  void addChild(const std::shared_ptr<UIViewController>& child);
  void removeFromParent();
  virtual void willMove(const std::shared_ptr<UIViewController>& parent);
  virtual void didMove(const std::shared_ptr<UIViewController>& parent);
  const std::vector<std::shared_ptr<UIViewController>>& children() const { return children_; }
  std::shared_ptr<UIViewController> parent() const { return parent_.lock(); }

  // Presentation.
  void present(const std::shared_ptr<UIViewController>& controller, bool animated,
               std::function<void()> completion = {});
  void dismiss(bool animated, std::function<void()> completion = {});
  const std::shared_ptr<UIViewController>& presentedViewController() const { return presented_; }
  std::shared_ptr<UIViewController> presentingViewController() const { return presenting_.lock(); }
  UIModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
  void setModalPresentationStyle(UIModalPresentationStyle style) {
    modalPresentationStyle_ = style;
  }
  // Whether the user is kept from swiping the presented controller away.
  bool isModalInPresentation() const { return modalInPresentation_; }
  void setModalInPresentation(bool value) { modalInPresentation_ = value; }
  // Made on first use, before presentation, so a delegate can be set early.
  const std::shared_ptr<UIPresentationController>& presentationController();

  // The appearance the controller is shown in: its view's window's, else
  // the presenter's or parent's, else the main screen's.
  UITraitCollection traitCollection() const;
  const std::optional<std::string>& title() const { return title_; }
  void setTitle(std::optional<std::string> title) { title_ = std::move(title); }

 private:
  friend class UIPresentationController;
  friend class UIWindow;

  std::shared_ptr<UIView> view_;
  // The window this controller is the root of, known before its view loads.
  UIWindow* window_ = nullptr;
  std::vector<std::shared_ptr<UIViewController>> children_;
  std::weak_ptr<UIViewController> parent_;
  std::shared_ptr<UIViewController> presented_;
  std::weak_ptr<UIViewController> presenting_;
  std::shared_ptr<UIPresentationController> presentationController_;
  UIModalPresentationStyle modalPresentationStyle_ = UIModalPresentationStyle::automatic;
  bool modalInPresentation_ = false;
  std::optional<std::string> title_;
};

}  // namespace velmoradine
