#include "velmoradine/platform/uikit/ui_screen.hpp"

#include <charconv>
#include <cmath>

#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"

namespace velmoradine {
namespace {

std::optional<double> number(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

UIScreen& UIScreen::main() {
  assertMainThread("UIScreen::main");
  static UIScreen* screen = new UIScreen();
  return *screen;
}

std::optional<UIScreen> UIScreen::fromDescription(std::string_view text) {
  auto x = text.find('x');
  auto at = text.find('@');
  if (x == std::string_view::npos || at == std::string_view::npos || at < x) return std::nullopt;
  auto width = number(text.substr(0, x));
  auto height = number(text.substr(x + 1, at - x - 1));
  auto scale = number(text.substr(at + 1));
  if (!width || !height || !scale || *width <= 0 || *height <= 0 || *scale <= 0) {
    return std::nullopt;
  }
  if (*width * *scale > Bitmap::kMaximumDimension || *height * *scale > Bitmap::kMaximumDimension) {
    return std::nullopt;
  }
  return UIScreen({*width, *height}, *scale);
}

int UIScreen::pixelWidth() const {
  return static_cast<int>(std::ceil(bounds_.width() * scale_));
}

int UIScreen::pixelHeight() const {
  return static_cast<int>(std::ceil(bounds_.height() * scale_));
}

}  // namespace velmoradine
