#pragma once

// Attributed text for labels: runs of text with an optional font and colour,
// and inline image attachments. An attachment's bounds place the image
// relative to the baseline: y = 0 puts its bottom on the baseline, negative
// values move it down. A zero size means the image's own size.

#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {

struct NSTextAttachment {
  std::optional<Image> image;  // none draws nothing but keeps the space
  Rect bounds;
  friend bool operator==(const NSTextAttachment&, const NSTextAttachment&) = default;
};

struct NSAttributes {
  std::optional<Font> font;
  std::optional<Color> foregroundColor;
  friend bool operator==(const NSAttributes&, const NSAttributes&) = default;
};

class NSAttributedString {
 public:
  struct Run {
    std::string text;  // the object replacement character for an attachment
    NSAttributes attributes;
    std::optional<NSTextAttachment> attachment;
    friend bool operator==(const Run&, const Run&) = default;
  };

  NSAttributedString() = default;
  explicit NSAttributedString(std::string text, NSAttributes attributes = {});
  explicit NSAttributedString(NSTextAttachment attachment);

  void append(const NSAttributedString& other);
  // The characters, with U+FFFC for each attachment.
  std::string string() const;
  const std::vector<Run>& runs() const { return runs_; }
  bool empty() const { return runs_.empty(); }

  friend bool operator==(const NSAttributedString&, const NSAttributedString&) = default;

 private:
  std::vector<Run> runs_;
};

}  // namespace velmoradine
