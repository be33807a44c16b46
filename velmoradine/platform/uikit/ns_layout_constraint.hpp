#pragma once

// A layout constraint: firstItem.firstAttribute = secondItem.secondAttribute
// × multiplier + constant, or firstItem.firstAttribute = constant when there
// is no second item. Active constraints are kept by their first item and
// solved when its superview lays out (see constraint_solver.hpp for what the
// solver covers). Main thread only.

#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/uikit/ns_layout_anchor.hpp"

namespace velmoradine {

class UIView;

class NSLayoutConstraint : public std::enable_shared_from_this<NSLayoutConstraint> {
 public:
  NSLayoutConstraint(NSLayoutAnchor first, std::optional<NSLayoutAnchor> second, double multiplier,
                     double constant)
      : first_(std::move(first)),
        second_(std::move(second)),
        multiplier_(multiplier),
        constant_(constant) {}

  static void activate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);
  static void deactivate(const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints);

  bool isActive() const { return active_; }
  void setActive(bool active);
  double constant() const { return constant_; }
  void setConstant(double constant);
  double multiplier() const { return multiplier_; }
  const NSLayoutAnchor& first() const { return first_; }
  const std::optional<NSLayoutAnchor>& second() const { return second_; }

 private:
  void requestLayout() const;

  NSLayoutAnchor first_;
  std::optional<NSLayoutAnchor> second_;
  double multiplier_;
  double constant_;
  bool active_ = false;
};

}  // namespace velmoradine
