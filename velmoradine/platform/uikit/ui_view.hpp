#pragma once

// A view: a rectangle on screen backed by a layer, with subviews, layout by
// anchor constraints, hit testing and touches.
//
// The view's own drawing (background, border, corner radius, and whatever a
// subclass puts into its layer's contents or sublayers) lives in `layer()`;
// the layers of subviews are not sublayers of it. Sublayers added to
// `layer()` after a subview are drawn above that subview, as the order of
// adding would have it had the subview's layer been added among them. The window rasterises each
// view's layer on its own and composites the rasters, so a change to one view
// re-rasterises that view alone, and a move, a fade or a transform
// re-rasterises nothing (see ui_window.hpp). Changing `layer()` directly is
// fine: the window compares what the layer draws before each frame. A
// subclass whose drawing depends on its own state builds its sublayers in
// `displayLayer()` and calls `setNeedsDisplay()` when that state changes.
//
// Views are owned through std::shared_ptr (std::make_shared<UIView>(frame)):
// hit testing and anchors hand out shared and weak references to them.
//
// Main thread only (main_thread.hpp); the toolkit checks it where a wrong
// thread would corrupt the tree.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/uikit/ns_layout_anchor.hpp"
#include "velmoradine/platform/uikit/ui_touch.hpp"
#include "velmoradine/platform/uikit/ui_trait_collection.hpp"
#include "velmoradine/platform/uikit/ui_view_animation.hpp"

namespace velmoradine {

class NSLayoutConstraint;
class UIGestureRecognizer;
class UIViewController;
class UIWindow;

class UIView : public std::enable_shared_from_this<UIView> {
 public:
  explicit UIView(Rect frame = {});
  virtual ~UIView();
  UIView(const UIView&) = delete;
  UIView& operator=(const UIView&) = delete;

  // Geometry: `frame` and `center` in the superview's coordinates, `bounds`
  // in the view's own. Setting the frame under a transform other than the
  // identity follows the layer's rules.
  Rect frame() const { return layer_->frame(); }
  void setFrame(Rect frame);
  const Rect& bounds() const { return layer_->bounds(); }
  void setBounds(Rect bounds);
  Point center() const { return layer_->position(); }
  void setCenter(Point center);
  AffineTransform transform() const { return layer_->affineTransform(); }
  void setTransform(const AffineTransform& transform);
  double alpha() const { return layer_->opacity(); }
  void setAlpha(double alpha);
  bool isHidden() const { return layer_->isHidden(); }
  void setHidden(bool hidden) { layer_->setHidden(hidden); }
  const std::optional<Color>& backgroundColor() const { return layer_->backgroundColor(); }
  void setBackgroundColor(std::optional<Color> color) { layer_->setBackgroundColor(color); }
  bool clipsToBounds() const { return layer_->masksToBounds(); }
  void setClipsToBounds(bool clips) { layer_->setMasksToBounds(clips); }
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  const std::shared_ptr<Layer>& layer() const { return layer_; }
  // The state animations interpolate, as the model holds it now.
  UIViewAnimatableState animatableState() const;

  // The tree.
  const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
  // Null also while the superview is being constructed or destroyed.
  std::shared_ptr<UIView> superview() const {
    return superview_ ? superview_->weak_from_this().lock() : nullptr;
  }
  void addSubview(const std::shared_ptr<UIView>& view);
  void insertSubview(const std::shared_ptr<UIView>& view, std::size_t index);
  void removeFromSuperview();
  bool isDescendant(const UIView& ancestor) const;
  // The window showing the view's tree, if any.
  UIWindow* window() const;
  // Called after the view's window changed: it was added to or removed from
  // a tree shown by a window, or its tree's root began or stopped being shown.
  virtual void didMoveToWindow() {}
  // The view controller whose root view this is, if any.
  std::shared_ptr<UIViewController> owningViewController() const {
    return owningViewController_.lock();
  }
  UITraitCollection traitCollection() const;

  // Layout. Constraints whose first item is this view are solved by the
  // superview's `layoutSubviews()`.
  bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizing_; }
  void setTranslatesAutoresizingMaskIntoConstraints(bool value) { translatesAutoresizing_ = value; }
  NSLayoutXAxisAnchor leadingAnchor();
  NSLayoutXAxisAnchor trailingAnchor();
  NSLayoutXAxisAnchor centerXAnchor();
  NSLayoutYAxisAnchor topAnchor();
  NSLayoutYAxisAnchor bottomAnchor();
  NSLayoutYAxisAnchor centerYAnchor();
  NSLayoutDimension widthAnchor();
  NSLayoutDimension heightAnchor();
  const std::vector<std::shared_ptr<NSLayoutConstraint>>& constraints() const {
    return constraints_;
  }
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Lays out this view and its subtree where needed, top down.
  void layoutIfNeeded();
  // Solves the constraints of the subviews; subclasses call it first.
  virtual void layoutSubviews();
  static constexpr double noIntrinsicMetric = -1;
  // The size the content wants; `noIntrinsicMetric` in a dimension without one.
  virtual Size intrinsicContentSize() const { return {noIntrinsicMetric, noIntrinsicMetric}; }
  // Tells the superview's layout that the intrinsic size changed.
  void invalidateIntrinsicContentSize();

  // Drawing. `displayLayer()` runs before the next rasterisation after
  // `setNeedsDisplay()` (and after the bounds' size changed).
  void setNeedsDisplay() { ++displayVersion_; }
  std::uint64_t displayVersion() const { return displayVersion_; }
  virtual void displayLayer() {}

  // Hit testing, in the view's own coordinates. A hidden, transparent or
  // non-interactive view, and one animating without user interaction, is
  // never hit.
  virtual std::shared_ptr<UIView> hitTest(Point point);
  virtual bool pointInside(Point point) const { return bounds().contains(point); }
  // The transform from this view's coordinates to the window's (model
  // values, not the state an animation shows).
  AffineTransform transformToWindow() const;
  Point convertToWindow(Point point) const { return transformToWindow().apply(point); }
  Point convertFromWindow(Point point) const;
  Rect convert(const Rect& rect, const UIView& to) const;

  // Touches arrive at the view that was hit; by default each goes on to the
  // superview (the responder chain).
  virtual void touchesBegan(const UITouch& touch);
  virtual void touchesMoved(const UITouch& touch);
  virtual void touchesEnded(const UITouch& touch);
  virtual void touchesCancelled(const UITouch& touch);
  void addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer);
  const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const {
    return gestureRecognizers_;
  }

  // Animates the changes `animations` makes to frames, bounds, centres,
  // transforms and alphas over `duration` seconds after `delay`, on the
  // current Clock (see ui_view_animation.hpp).
  static void animate(double duration, double delay, UIViewAnimationOptions options,
                      std::function<void()> animations, std::function<void(bool)> completion = {});
  static void animate(double duration, std::function<void()> animations,
                      std::function<void(bool)> completion = {});

  // A number no other view of the process has, for the window's bookkeeping.
  std::uint64_t identifier() const { return identifier_; }
  // Changes whenever the view moves among its siblings.
  std::uint64_t orderVersion() const { return orderVersion_; }
  // How many sublayers the superview's layer had when this view was added:
  // those are drawn below it, sublayers added later above it, as if the
  // view's layer had been added among them then.
  std::size_t superlayerSublayersBelow() const { return sublayersBelow_; }

 protected:
  // For subclasses that draw with a layer of their own kind.
  UIView(Rect frame, std::shared_ptr<Layer> layer);

 private:
  friend class UIViewController;
  friend class UIWindow;
  friend class NSLayoutConstraint;

  void willChangeAnimatableState();
  // Tells this view and its subtree whose window changed since last told.
  void updateWindow();
  void attach(const std::shared_ptr<UIView>& view, std::size_t index);
  void addConstraint(std::shared_ptr<NSLayoutConstraint> constraint);
  void removeConstraint(const NSLayoutConstraint& constraint);

  const std::uint64_t identifier_;
  std::shared_ptr<Layer> layer_;
  std::vector<std::shared_ptr<UIView>> subviews_;
  // Not owning: a view clears its subviews' pointers when it goes, and
  // subviews may be added from a subclass's constructor.
  UIView* superview_ = nullptr;
  std::weak_ptr<UIViewController> owningViewController_;
  UIWindow* window_ = nullptr;           // set on the roots the window draws
  UIWindow* announcedWindow_ = nullptr;  // what didMoveToWindow last reported
  std::vector<std::shared_ptr<NSLayoutConstraint>> constraints_;
  std::vector<std::shared_ptr<UIGestureRecognizer>> gestureRecognizers_;
  std::uint64_t displayVersion_ = 1;
  std::uint64_t orderVersion_ = 0;
  std::size_t sublayersBelow_ = 0;
  bool userInteractionEnabled_ = true;
  bool translatesAutoresizing_ = true;
  bool needsLayout_ = true;
};

}  // namespace velmoradine
