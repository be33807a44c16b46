#pragma once

// The window: shows a root view controller and the controllers presented
// over it (the presentation stack) on a screen, draws them into a bitmap at
// the screen's scale, and turns touches at points into events for the views.
//
// Headless by itself: a test or a host calls `displayIfNeeded()` and reads
// `bitmap()`; DesktopWindow shows the same window on a desktop. Drawing is
// incremental: only the parts of the screen where something changed are
// drawn again, and only views whose own drawing changed are rasterised again
// (`rasterizationCount()` counts them). A frame is due while animations run
// (`hasRunningAnimations()`).
//
// Touches go to the controller on top of the stack; a touch that hits no
// view there does nothing, as does one that begins while a presentation
// transition runs. On a page sheet a drag that starts downwards moves the
// sheet, and dismisses it past a quarter of its height.
//
// Main thread only.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/uikit/pixel_rect.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/platform/uikit/ui_touch.hpp"
#include "velmoradine/platform/uikit/ui_trait_collection.hpp"

namespace velmoradine {

class UIGestureRecognizer;
class UIPresentationController;
class UIView;
class UIViewController;
class WindowCompositor;

class UIWindow {
 public:
  // A drag must move this far before it counts as a swipe.
  static constexpr double kDragThreshold = 10;

  explicit UIWindow(UIScreen screen = UIScreen::main());
  ~UIWindow();
  UIWindow(const UIWindow&) = delete;
  UIWindow& operator=(const UIWindow&) = delete;

  const UIScreen& screen() const { return screen_; }
  void setRootViewController(std::shared_ptr<UIViewController> controller);
  const std::shared_ptr<UIViewController>& rootViewController() const { return root_; }
  // Makes this the window that system services present on (their prompts
  // go on its top controller), until another is made key or it is destroyed.
  void makeKeyAndVisible();
  bool isKeyWindow() const { return keyWindow() == this; }
  // The key window, or null when none is.
  static UIWindow* keyWindow();
  // The controller on top of the presentation stack.
  std::shared_ptr<UIViewController> topViewController() const;
  UIUserInterfaceStyle overrideUserInterfaceStyle() const { return overrideStyle_; }
  void setOverrideUserInterfaceStyle(UIUserInterfaceStyle style);
  UITraitCollection traitCollection() const;

  // Drawing.
  void layoutIfNeeded();
  // Lays out, then draws what changed since the last call; returns the
  // pixel rectangles drawn (none when the bitmap was current).
  std::vector<PixelRect> displayIfNeeded();
  // Forgets every raster: the next display draws everything again.
  void setNeedsFullRedraw();
  const Bitmap& bitmap() const { return bitmap_; }
  // Displays, then copies the screen.
  Image snapshot();
  std::uint64_t rasterizationCount() const;
  bool hasRunningAnimations() const;

  // Events, at points in the window.
  void sendTouch(UITouchPhase phase, Point location);
  void tap(Point location);
  // A finger put down at `from` and dragged `distance` points straight down
  // in `steps` moves, then lifted.
  void swipeDown(Point from, double distance, int steps = 4);

 private:
  struct TrackedTouch {
    UITouch touch;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers;
    std::shared_ptr<UIPresentationController> sheet;  // may be swiped
    bool swiping = false;
  };

  std::vector<std::shared_ptr<UIView>> roots();
  std::vector<std::shared_ptr<UIView>> collectRoots();
  bool isTransitioning() const;
  void began(Point location);
  void moved(Point location);
  void ended(Point location, bool cancelled);

  UIScreen screen_;
  std::shared_ptr<UIViewController> root_;
  UIUserInterfaceStyle overrideStyle_ = UIUserInterfaceStyle::unspecified;
  Bitmap bitmap_;
  std::unique_ptr<WindowCompositor> compositor_;
  std::vector<std::weak_ptr<UIView>> attachedRoots_;
  std::optional<TrackedTouch> touch_;
};

}  // namespace velmoradine
