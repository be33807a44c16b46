#include "velmoradine/platform/services/screen_style.hpp"

#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::screen_style {

Color tint() {
  return Color::rgba(0, 122 / 255.0, 1);
}

Color secondaryText() {
  return Color::rgba(0.45, 0.45, 0.47);
}

Color chipBackground() {
  return Color::rgba(0.92, 0.92, 0.94);
}

std::shared_ptr<UIButton> barButton(const std::string& title, bool bold,
                                    std::function<void()> action) {
  auto button = std::make_shared<UIButton>();
  button->setTitle(title);
  button->setTitleColor(tint());
  button->titleLabel()->setFont(bold ? Font("Sans-Bold", 17) : Font::systemFont(17));
  button->addAction(UIControlEvents::touchUpInside, std::move(action));
  return button;
}

std::shared_ptr<UILabel> label(const std::string& text, double fontSize, Color color) {
  auto label = std::make_shared<UILabel>();
  label->setText(text);
  label->setFont(Font::systemFont(fontSize));
  label->setTextColor(color);
  return label;
}

void layOutBar(const Rect& bounds, UILabel& title, UIButton* leading, UIButton* trailing) {
  const double y = (kBarHeight - 44) / 2;
  if (leading) leading->setFrame(Rect(kPadding / 2, y, kBarButtonWidth, 44));
  if (trailing) {
    trailing->setFrame(
        Rect(bounds.width() - kPadding / 2 - kBarButtonWidth, y, kBarButtonWidth, 44));
  }
  title.setTextAlignment(NSTextAlignment::center);
  title.setFrame(
      Rect(kBarButtonWidth + kPadding, y, bounds.width() - 2 * (kBarButtonWidth + kPadding), 44));
}

}  // namespace velmoradine::screen_style
