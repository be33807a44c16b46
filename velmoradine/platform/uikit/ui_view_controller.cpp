#include "velmoradine/platform/uikit/ui_view_controller.hpp"

#include <algorithm>

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {

UIViewController::UIViewController() {
  assertMainThread("UIViewController::UIViewController");
}

UIViewController::~UIViewController() = default;

const std::shared_ptr<UIView>& UIViewController::view() {
  assertMainThread("UIViewController::view");
  if (!view_) {
    loadView();
    if (!view_) setView(std::make_shared<UIView>(UIScreen::main().bounds()));
    viewDidLoad();
  }
  return view_;
}

void UIViewController::loadView() {
  setView(std::make_shared<UIView>(UIScreen::main().bounds()));
}

void UIViewController::setView(std::shared_ptr<UIView> view) {
  if (view_) view_->owningViewController_.reset();
  view_ = std::move(view);
  if (view_) view_->owningViewController_ = weak_from_this();
}

void UIViewController::addChild(const std::shared_ptr<UIViewController>& child) {
  assertMainThread("UIViewController::addChild");
  if (!child || child.get() == this) return;
  child->removeFromParent();
  child->willMove(shared_from_this());
  children_.push_back(child);
  child->parent_ = weak_from_this();
}

void UIViewController::removeFromParent() {
  assertMainThread("UIViewController::removeFromParent");
  auto parent = parent_.lock();
  if (!parent) return;
  auto self = shared_from_this();
  std::erase(parent->children_, self);
  parent_.reset();
  didMove(nullptr);
}

void UIViewController::willMove(const std::shared_ptr<UIViewController>&) {}

void UIViewController::didMove(const std::shared_ptr<UIViewController>&) {}

const std::shared_ptr<UIPresentationController>& UIViewController::presentationController() {
  if (!presentationController_) {
    presentationController_ = std::make_shared<UIPresentationController>(weak_from_this());
  }
  return presentationController_;
}

void UIViewController::present(const std::shared_ptr<UIViewController>& controller, bool animated,
                               std::function<void()> completion) {
  assertMainThread("UIViewController::present");
  // Presentation belongs to the outermost controller of a containment tree.
  auto presenter = shared_from_this();
  while (auto parent = presenter->parent()) presenter = parent;
  if (!controller || presenter->presented_ || controller->presentingViewController() ||
      controller == presenter) {
    console::writeLine(
        "[UIKit] Attempt to present a view controller that is already presented, or from one "
        "that is already presenting; ignored");
    return;
  }
  presenter->presented_ = controller;
  controller->presenting_ = presenter;
  controller->presentationController()->present(animated, std::move(completion));
}

void UIViewController::dismiss(bool animated, std::function<void()> completion) {
  assertMainThread("UIViewController::dismiss");
  auto target = presented_ ? presented_ : shared_from_this();
  if (!target->presentingViewController()) return;
  target->presentationController()->dismiss(animated, false, std::move(completion));
}

UITraitCollection UIViewController::traitCollection() const {
  if (window_) return window_->traitCollection();
  if (view_ && view_->window()) return view_->traitCollection();
  if (auto presenting = presenting_.lock()) return presenting->traitCollection();
  if (auto parent = parent_.lock()) return parent->traitCollection();
  if (view_) return view_->traitCollection();
  return UIScreen::main().traitCollection();
}

}  // namespace velmoradine
