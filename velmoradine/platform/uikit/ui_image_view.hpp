#pragma once

// An image view: draws its image in its bounds as the content mode says.
// No image draws nothing (the background, if any, stays). Takes no touches
// unless user interaction is turned on. Main thread only.

#include <optional>

#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

enum class UIViewContentMode { scaleToFill, scaleAspectFit, scaleAspectFill, center };

class UIImageView : public UIView {
 public:
  explicit UIImageView(Rect frame = {});
  explicit UIImageView(std::optional<Image> image);

  const std::optional<Image>& image() const { return image_; }
  void setImage(std::optional<Image> image);
  UIViewContentMode contentMode() const { return contentMode_; }
  void setContentMode(UIViewContentMode mode);

  Size intrinsicContentSize() const override;

 private:
  std::optional<Image> image_;
  UIViewContentMode contentMode_ = UIViewContentMode::scaleToFill;
};

}  // namespace velmoradine
