#pragma once

// An alert: a title, a message and buttons for its actions, in a box in the
// middle of a dimmed screen. Tapping an action's button dismisses the alert
// and then calls the action's handler. Present it like any controller (it
// covers the whole screen and cannot be swiped away). Main thread only.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

class UIButton;
class UILabel;
class UIView;

enum class UIAlertControllerStyle { actionSheet, alert };
enum class UIAlertActionStyle { default_, cancel, destructive };

struct UIAlertAction {
  std::string title;
  UIAlertActionStyle style = UIAlertActionStyle::default_;
  std::function<void(const UIAlertAction&)> handler;
};

class UIAlertController : public UIViewController {
 public:
  static constexpr double kBoxWidth = 270;

  UIAlertController(std::optional<std::string> title, std::optional<std::string> message,
                    UIAlertControllerStyle preferredStyle);

  const std::optional<std::string>& message() const { return message_; }
  UIAlertControllerStyle preferredStyle() const { return preferredStyle_; }
  void addAction(UIAlertAction action);
  const std::vector<UIAlertAction>& actions() const { return actions_; }
  // The button of the action at `index`, once the view is loaded.
  std::shared_ptr<UIButton> buttonForAction(std::size_t index) const;

  void loadView() override;
  void viewDidLayoutSubviews() override;

 private:
  void actionTapped(std::size_t index);

  std::optional<std::string> message_;
  UIAlertControllerStyle preferredStyle_;
  std::vector<UIAlertAction> actions_;
  std::shared_ptr<UIView> box_;
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UILabel> messageLabel_;
  std::vector<std::shared_ptr<UIButton>> buttons_;
};

}  // namespace velmoradine
