#pragma once

// A scroll view: shows part of a larger content (`contentSize`, plus
// `contentInset` around it) and moves it under a dragging finger. The
// content offset is the bounds' origin. Until the user first scrolls, the
// offset follows the insets, so the content starts inside them. A drag
// starts once the finger has moved `kDragThreshold` points along an axis
// that has something to scroll. Main thread only.

#include "velmoradine/platform/uikit/ui_edge_insets.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

class UIScrollView : public UIView {
 public:
  static constexpr double kDragThreshold = 10;

  explicit UIScrollView(Rect frame = {});

  Point contentOffset() const { return bounds().origin; }
  void setContentOffset(Point offset);
  const Size& contentSize() const { return contentSize_; }
  void setContentSize(Size size) { contentSize_ = size; }
  const UIEdgeInsets& contentInset() const { return contentInset_; }
  void setContentInset(UIEdgeInsets insets);
  bool showsHorizontalScrollIndicator() const { return showsHorizontalIndicator_; }
  void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontalIndicator_ = shows; }
  bool showsVerticalScrollIndicator() const { return showsVerticalIndicator_; }
  void setShowsVerticalScrollIndicator(bool shows) { showsVerticalIndicator_ = shows; }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
  bool isDragging() const { return dragging_; }

  void touchesBegan(const UITouch& touch) override;
  void touchesMoved(const UITouch& touch) override;
  void touchesEnded(const UITouch& touch) override;
  void touchesCancelled(const UITouch& touch) override;

 protected:
  // The finger started to drag the content (the touch is no tap any more).
  virtual void didBeginDragging() {}
  // The offset nearest to `offset` that shows no more than the content and
  // its insets.
  Point clamped(Point offset) const;

 private:
  Size contentSize_;
  UIEdgeInsets contentInset_;
  Point dragStartOffset_;
  bool showsHorizontalIndicator_ = true;
  bool showsVerticalIndicator_ = true;
  bool scrollEnabled_ = true;
  bool dragging_ = false;
  bool scrolledByUser_ = false;
};

}  // namespace velmoradine
