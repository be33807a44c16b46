#pragma once

// Gesture recognisers attached to views. The window offers each touch to the
// recognisers of the hit view and its ancestors; a tap recogniser fires when
// the touch ends within `kTapSlop` points of where it began, and its view
// then gets `touchesCancelled` instead of `touchesEnded`. Main thread only.

#include <functional>
#include <memory>

namespace velmoradine {

class UIView;

class UIGestureRecognizer {
 public:
  using Action = std::function<void(UIGestureRecognizer&)>;
  explicit UIGestureRecognizer(Action action) : action_(std::move(action)) {}
  virtual ~UIGestureRecognizer() = default;

  std::shared_ptr<UIView> view() const { return view_.lock(); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  void fire() {
    if (action_) action_(*this);
  }

 private:
  friend class UIView;
  Action action_;
  std::weak_ptr<UIView> view_;
  bool enabled_ = true;
};

class UITapGestureRecognizer : public UIGestureRecognizer {
 public:
  static constexpr double kTapSlop = 10;
  using UIGestureRecognizer::UIGestureRecognizer;
};

}  // namespace velmoradine
