#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"

#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

std::shared_ptr<NSLayoutConstraint> NSLayoutAnchor::equalTo(const NSLayoutAnchor& other,
                                                            double multiplier,
                                                            double constant) const {
  return std::make_shared<NSLayoutConstraint>(*this, other, multiplier, constant);
}

std::shared_ptr<NSLayoutConstraint> NSLayoutDimension::constraintEqualToConstant(
    double constant) const {
  return std::make_shared<NSLayoutConstraint>(*this, std::nullopt, 1, constant);
}

void NSLayoutConstraint::activate(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) constraint->setActive(true);
}

void NSLayoutConstraint::deactivate(
    const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints) {
  for (const auto& constraint : constraints) constraint->setActive(false);
}

void NSLayoutConstraint::setActive(bool active) {
  assertMainThread("NSLayoutConstraint::setActive");
  if (active == active_) return;
  auto item = first_.item().lock();
  if (!item) return;
  active_ = active;
  if (active) {
    item->addConstraint(shared_from_this());
  } else {
    item->removeConstraint(*this);
  }
  requestLayout();
}

void NSLayoutConstraint::setConstant(double constant) {
  constant_ = constant;
  if (active_) requestLayout();
}

void NSLayoutConstraint::requestLayout() const {
  auto item = first_.item().lock();
  if (!item) return;
  if (auto superview = item->superview()) superview->setNeedsLayout();
  item->setNeedsLayout();
}

}  // namespace velmoradine
