#pragma once

// One finger on the screen, as the window delivers it to the view it first
// touched: where it is now, where it was before, and where it went down, all
// in window coordinates.

#include <memory>

#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

class UIView;

enum class UITouchPhase { began, moved, ended, cancelled };

struct UITouch {
  UITouchPhase phase = UITouchPhase::began;
  Point locationInWindow;
  Point previousLocationInWindow;
  Point startLocationInWindow;
  std::weak_ptr<UIView> view;  // the view hit when the touch began

  // The touch's location in `view`'s coordinates.
  Point location(const UIView& view) const;
};

}  // namespace velmoradine
