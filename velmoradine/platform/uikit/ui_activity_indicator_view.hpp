#pragma once

// A spinner: twelve spokes that turn a step every twelfth of a second while
// animating, on a timer of the main run loop and the current Clock. It is
// created stopped; with `hidesWhenStopped` (the default) it is hidden
// whenever it is stopped. Main thread only.

#include <memory>

#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

class Timer;

enum class UIActivityIndicatorViewStyle { medium, large, whiteLarge, white, gray };

class UIActivityIndicatorView : public UIView {
 public:
  explicit UIActivityIndicatorView(
      UIActivityIndicatorViewStyle style = UIActivityIndicatorViewStyle::medium);
  ~UIActivityIndicatorView() override;

  UIActivityIndicatorViewStyle style() const { return style_; }
  const Color& color() const { return color_; }
  void setColor(Color color);
  bool hidesWhenStopped() const { return hidesWhenStopped_; }
  void setHidesWhenStopped(bool hides);
  bool isAnimating() const { return timer_ != nullptr; }
  void startAnimating();
  void stopAnimating();

  Size intrinsicContentSize() const override;
  void layoutSubviews() override;

 private:
  void step();

  UIActivityIndicatorViewStyle style_;
  Color color_;
  bool hidesWhenStopped_ = true;
  std::shared_ptr<UIView> spokes_;
  std::shared_ptr<Timer> timer_;
  int phase_ = 0;
};

}  // namespace velmoradine
