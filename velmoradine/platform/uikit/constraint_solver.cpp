#include "velmoradine/platform/uikit/constraint_solver.hpp"

#include <optional>

#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

constexpr int kMaximumPasses = 8;

// What the constraints fix of one axis, in the container's coordinates.
struct AxisSolution {
  std::optional<double> minimum;
  std::optional<double> maximum;
  std::optional<double> centre;
  std::optional<double> length;
};

bool isHorizontal(NSLayoutAttribute attribute) {
  switch (attribute) {
    case NSLayoutAttribute::leading:
    case NSLayoutAttribute::trailing:
    case NSLayoutAttribute::centerX:
    case NSLayoutAttribute::width:
      return true;
    default:
      return false;
  }
}

const UIView* rootOf(const UIView& view) {
  const UIView* root = &view;
  while (auto superview = root->superview()) root = superview.get();
  return root;
}

// Where the view lies in `container`'s coordinates, before its transform
// (a scaled view keeps its layout).
Rect layoutRect(const UIView& view, const UIView& container) {
  if (&view == &container) return container.bounds();
  Size size = view.bounds().size;
  Point anchor = view.layer()->anchorPoint();
  Rect own(view.center().x - anchor.x * size.width, view.center().y - anchor.y * size.height,
           size.width, size.height);
  auto superview = view.superview();
  if (!superview || superview.get() == &container) return own;
  return superview->convert(own, container);
}

// The anchor's value for `view`, in `container`'s coordinates.
double anchorValue(const UIView& view, NSLayoutAttribute attribute, const UIView& container) {
  Rect r = layoutRect(view, container);
  switch (attribute) {
    case NSLayoutAttribute::leading:
      return r.minX();
    case NSLayoutAttribute::trailing:
      return r.maxX();
    case NSLayoutAttribute::centerX:
      return r.midX();
    case NSLayoutAttribute::top:
      return r.minY();
    case NSLayoutAttribute::bottom:
      return r.maxY();
    case NSLayoutAttribute::centerY:
      return r.midY();
    case NSLayoutAttribute::width:
      return view.bounds().width();
    case NSLayoutAttribute::height:
      return view.bounds().height();
  }
  return 0;
}

std::optional<double> targetOf(const NSLayoutConstraint& constraint, const UIView& container) {
  if (!constraint.second()) return constraint.constant();
  auto other = constraint.second()->item().lock();
  if (!other) return std::nullopt;
  if (rootOf(*other) != rootOf(container)) return std::nullopt;
  return anchorValue(*other, constraint.second()->attribute(), container) *
             constraint.multiplier() +
         constraint.constant();
}

void record(AxisSolution& axis, NSLayoutAttribute attribute, double value) {
  switch (attribute) {
    case NSLayoutAttribute::leading:
    case NSLayoutAttribute::top:
      axis.minimum = value;
      break;
    case NSLayoutAttribute::trailing:
    case NSLayoutAttribute::bottom:
      axis.maximum = value;
      break;
    case NSLayoutAttribute::centerX:
    case NSLayoutAttribute::centerY:
      axis.centre = value;
      break;
    case NSLayoutAttribute::width:
    case NSLayoutAttribute::height:
      axis.length = value;
      break;
  }
}

// The start and length of an axis; `current` is the view's present start
// and length, `intrinsic` its wanted length or a negative number.
std::pair<double, double> place(const AxisSolution& axis, std::pair<double, double> current,
                                double intrinsic) {
  double length = current.second;
  if (axis.minimum && axis.maximum) {
    length = *axis.maximum - *axis.minimum;
  } else if (axis.length) {
    length = *axis.length;
  } else if (intrinsic >= 0) {
    length = intrinsic;
  }
  double start = current.first;
  if (axis.minimum) {
    start = *axis.minimum;
  } else if (axis.maximum) {
    start = *axis.maximum - length;
  } else if (axis.centre) {
    start = *axis.centre - length / 2;
  }
  return {start, length};
}

// Solves one subview; true when it moved or changed size.
bool solve(UIView& view, const UIView& container) {
  AxisSolution horizontal, vertical;
  bool any = false;
  for (const auto& constraint : view.constraints()) {
    auto target = targetOf(*constraint, container);
    if (!target) continue;
    NSLayoutAttribute attribute = constraint->first().attribute();
    record(isHorizontal(attribute) ? horizontal : vertical, attribute, *target);
    any = true;
  }
  if (!any) return false;
  Rect frame = layoutRect(view, container);
  Size intrinsic = view.intrinsicContentSize();
  auto [x, width] = place(horizontal, {frame.minX(), view.bounds().width()}, intrinsic.width);
  auto [y, height] = place(vertical, {frame.minY(), view.bounds().height()}, intrinsic.height);
  Rect bounds = view.bounds();
  Point centre{x + width / 2, y + height / 2};
  if (bounds.size == Size{width, height} && view.center() == centre) return false;
  view.setBounds(Rect(bounds.origin, {width, height}));
  view.setCenter(centre);
  return true;
}

}  // namespace

void solveConstraints(UIView& container) {
  for (int pass = 0; pass < kMaximumPasses; ++pass) {
    bool moved = false;
    for (const auto& subview : container.subviews()) {
      if (subview->translatesAutoresizingMaskIntoConstraints()) continue;
      moved = solve(*subview, container) || moved;
    }
    if (!moved) return;
  }
}

}  // namespace velmoradine
