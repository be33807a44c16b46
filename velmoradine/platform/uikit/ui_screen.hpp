#pragma once

// The screen the toolkit draws for: its size in points, its scale (pixels
// per point) and the appearance the system asks for. `UIScreen::main()` is
// the process's screen, 375 × 812 points at scale 3 unless the host sets
// another before building its views. Main thread only.

#include <optional>
#include <string_view>

#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/uikit/ui_trait_collection.hpp"

namespace velmoradine {

class UIScreen {
 public:
  UIScreen() = default;
  UIScreen(Size size, double scale) : bounds_(0, 0, size.width, size.height), scale_(scale) {}

  static UIScreen& main();
  // "WIDTHxHEIGHT@SCALE" (e.g. "375x812@3"); none for anything else, or for
  // sizes and scales a bitmap could not hold.
  static std::optional<UIScreen> fromDescription(std::string_view text);

  const Rect& bounds() const { return bounds_; }
  double scale() const { return scale_; }
  int pixelWidth() const;
  int pixelHeight() const;
  const UITraitCollection& traitCollection() const { return traitCollection_; }
  void setTraitCollection(UITraitCollection traits) { traitCollection_ = traits; }

 private:
  Rect bounds_{0, 0, 375, 812};
  double scale_ = 3;
  UITraitCollection traitCollection_;
};

}  // namespace velmoradine
