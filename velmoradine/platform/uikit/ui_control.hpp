#pragma once

// A control: a view that turns touches into events (touch down, touch up
// inside or outside, cancel) and calls the actions registered for them.
// While a finger is down on it the control is highlighted. A disabled
// control takes no touches. Main thread only.

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "velmoradine/platform/uikit/option_set.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

enum class UIControlEvents : std::uint32_t {
  touchDown = 1U << 0,
  touchUpInside = 1U << 6,
  touchUpOutside = 1U << 7,
  touchCancel = 1U << 8,
  valueChanged = 1U << 12,
  primaryActionTriggered = 1U << 13,
};
template <>
inline constexpr bool kIsOptionSet<UIControlEvents> = true;

class UIControl : public UIView {
 public:
  using UIView::UIView;
  using Action = std::function<void()>;

  // Calls `action` for each of `events` from now on; the control keeps it
  // for as long as the control lives. Several actions run in the order added.
  void addAction(UIControlEvents events, Action action);
  void sendActions(UIControlEvents events);

  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled);
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted);
  bool isSelected() const { return selected_; }
  void setSelected(bool selected) { selected_ = selected; }

  std::shared_ptr<UIView> hitTest(Point point) override;
  void touchesBegan(const UITouch& touch) override;
  void touchesMoved(const UITouch& touch) override;
  void touchesEnded(const UITouch& touch) override;
  void touchesCancelled(const UITouch& touch) override;

 private:
  std::vector<std::pair<UIControlEvents, Action>> actions_;
  bool enabled_ = true;
  bool highlighted_ = false;
  bool selected_ = false;
};

}  // namespace velmoradine
