#pragma once

// What the composer and the activity sheet share: the look of a sheet with a
// title bar, its buttons and its labels. Main thread only.

#include <functional>
#include <memory>
#include <string>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"

namespace velmoradine {

class UIButton;
class UILabel;
class UIView;

namespace screen_style {

constexpr double kPadding = 16;
constexpr double kBarHeight = 56;
constexpr double kBarButtonWidth = 80;

Color tint();
Color secondaryText();
Color chipBackground();

// A button of the title bar that runs `action` when tapped.
std::shared_ptr<UIButton> barButton(const std::string& title, bool bold,
                                    std::function<void()> action);
std::shared_ptr<UILabel> label(const std::string& text, double fontSize, Color color);
// The bar's title centred between its buttons, the buttons at its ends;
// either button may be null.
void layOutBar(const Rect& bounds, UILabel& title, UIButton* leading, UIButton* trailing);

}  // namespace screen_style
}  // namespace velmoradine
