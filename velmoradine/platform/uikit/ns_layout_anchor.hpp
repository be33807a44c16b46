#pragma once

// Layout anchors: the edges, centres and dimensions of a view, from which
// constraints are made. Horizontal anchors pair only with horizontal ones,
// vertical with vertical, dimensions with dimensions. Main thread only.

#include <memory>

namespace velmoradine {

class NSLayoutConstraint;
class UIView;

enum class NSLayoutAttribute { leading, trailing, top, bottom, centerX, centerY, width, height };

class NSLayoutAnchor {
 public:
  NSLayoutAnchor(std::weak_ptr<UIView> item, NSLayoutAttribute attribute)
      : item_(std::move(item)), attribute_(attribute) {}
  const std::weak_ptr<UIView>& item() const { return item_; }
  NSLayoutAttribute attribute() const { return attribute_; }

 protected:
  std::shared_ptr<NSLayoutConstraint> equalTo(const NSLayoutAnchor& other, double multiplier,
                                              double constant) const;

 private:
  std::weak_ptr<UIView> item_;
  NSLayoutAttribute attribute_;
};

class NSLayoutXAxisAnchor : public NSLayoutAnchor {
 public:
  using NSLayoutAnchor::NSLayoutAnchor;
  // this = other + constant
  std::shared_ptr<NSLayoutConstraint> constraintEqualTo(const NSLayoutXAxisAnchor& other,
                                                        double constant = 0) const {
    return equalTo(other, 1, constant);
  }
};

class NSLayoutYAxisAnchor : public NSLayoutAnchor {
 public:
  using NSLayoutAnchor::NSLayoutAnchor;
  std::shared_ptr<NSLayoutConstraint> constraintEqualTo(const NSLayoutYAxisAnchor& other,
                                                        double constant = 0) const {
    return equalTo(other, 1, constant);
  }
};

class NSLayoutDimension : public NSLayoutAnchor {
 public:
  using NSLayoutAnchor::NSLayoutAnchor;
  // this = constant
  std::shared_ptr<NSLayoutConstraint> constraintEqualToConstant(double constant) const;
  // this = other × multiplier + constant
  std::shared_ptr<NSLayoutConstraint> constraintEqualTo(const NSLayoutDimension& other,
                                                        double multiplier = 1,
                                                        double constant = 0) const {
    return equalTo(other, multiplier, constant);
  }
};

}  // namespace velmoradine
