#include "velmoradine/platform/uikit/ui_alert_controller.hpp"

#include <algorithm>

#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {
namespace {

constexpr double kPadding = 16;
constexpr double kButtonHeight = 44;
constexpr double kCornerRadius = 14;
const Color kDimming = Color::rgba(0, 0, 0, 0.4);
const Color kTint = Color::rgba(0, 122 / 255.0, 1);
const Color kDestructive = Color::rgba(1, 59 / 255.0, 48 / 255.0);

Font boldSystemFont(double size) {
  return Font("Sans-Bold", size);
}

}  // namespace

UIAlertController::UIAlertController(std::optional<std::string> title,
                                     std::optional<std::string> message,
                                     UIAlertControllerStyle preferredStyle)
    : message_(std::move(message)), preferredStyle_(preferredStyle) {
  setTitle(std::move(title));
  setModalPresentationStyle(UIModalPresentationStyle::overFullScreen);
  setModalInPresentation(true);
}

void UIAlertController::addAction(UIAlertAction action) {
  actions_.push_back(std::move(action));
}

std::shared_ptr<UIButton> UIAlertController::buttonForAction(std::size_t index) const {
  return index < buttons_.size() ? buttons_[index] : nullptr;
}

void UIAlertController::loadView() {
  bool dark = traitCollection().userInterfaceStyle == UIUserInterfaceStyle::dark;
  auto root = std::make_shared<UIView>(UIScreen::main().bounds());
  root->setBackgroundColor(kDimming);
  box_ = std::make_shared<UIView>(Rect(0, 0, kBoxWidth, 0));
  box_->setBackgroundColor(dark ? Color::rgba(0.17, 0.17, 0.18) : Color::rgba(0.97, 0.97, 0.97));
  box_->layer()->setCornerRadius(kCornerRadius);
  box_->setClipsToBounds(true);
  root->addSubview(box_);
  Color text = dark ? Color::white() : Color::black();
  titleLabel_ = std::make_shared<UILabel>();
  titleLabel_->setFont(boldSystemFont(17));
  titleLabel_->setTextColor(text);
  titleLabel_->setTextAlignment(NSTextAlignment::center);
  titleLabel_->setText(title());
  messageLabel_ = std::make_shared<UILabel>();
  messageLabel_->setFont(Font::systemFont(13));
  messageLabel_->setTextColor(text);
  messageLabel_->setTextAlignment(NSTextAlignment::center);
  messageLabel_->setText(message_);
  box_->addSubview(titleLabel_);
  box_->addSubview(messageLabel_);
  std::weak_ptr<UIViewController> weak = weak_from_this();
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    auto button = std::make_shared<UIButton>();
    button->setTitle(actions_[i].title);
    button->setTitleColor(actions_[i].style == UIAlertActionStyle::destructive ? kDestructive
                                                                               : kTint);
    if (actions_[i].style == UIAlertActionStyle::cancel) {
      button->titleLabel()->setFont(boldSystemFont(17));
    }
    button->layer()->setBorderColor(Color::rgba(0.5, 0.5, 0.5, 0.3));
    button->layer()->setBorderWidth(0.5);
    button->addAction(UIControlEvents::touchUpInside, [weak, i] {
      if (auto self = std::static_pointer_cast<UIAlertController>(weak.lock())) {
        self->actionTapped(i);
      }
    });
    box_->addSubview(button);
    buttons_.push_back(button);
  }
  setView(root);
}

void UIAlertController::viewDidLayoutSubviews() {
  double width = kBoxWidth - 2 * kPadding;
  double y = kPadding;
  for (const auto& label : {titleLabel_, messageLabel_}) {
    if (!label->text()) continue;
    double height = label->intrinsicContentSize().height;
    label->setFrame(Rect(kPadding, y, width, height));
    y += height + 4;
  }
  y += kPadding - 4;
  for (const auto& button : buttons_) {
    button->setFrame(Rect(0, y, kBoxWidth, kButtonHeight));
    y += kButtonHeight;
  }
  const Rect& screen = view()->bounds();
  box_->setFrame(Rect((screen.width() - kBoxWidth) / 2, (screen.height() - y) / 2, kBoxWidth, y));
}

void UIAlertController::actionTapped(std::size_t index) {
  if (index >= actions_.size()) return;
  UIAlertAction action = actions_[index];
  dismiss(true, [action] {
    if (action.handler) action.handler(action);
  });
}

}  // namespace velmoradine
