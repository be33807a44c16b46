#pragma once

// A label: one line of attributed text (text runs and image attachments
// side by side on a common baseline), or plain text over several lines when
// it has line breaks. The text is centred vertically in the bounds and
// aligned horizontally by `textAlignment`; a line wider than the bounds is
// cut with an ellipsis. Runs without a font or colour use the label's.
// Labels take no touches unless user interaction is turned on.
// Main thread only.

#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/font.hpp"
#include "velmoradine/platform/uikit/ns_attributed_string.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"

namespace velmoradine {

enum class NSTextAlignment { natural, left, center, right };

class UILabel : public UIView {
 public:
  explicit UILabel(Rect frame = {});

  // The characters of the attributed text, without attributes.
  std::optional<std::string> text() const;
  void setText(std::optional<std::string> text);
  const std::optional<NSAttributedString>& attributedText() const { return attributedText_; }
  void setAttributedText(std::optional<NSAttributedString> text);
  const Font& font() const { return font_; }
  void setFont(Font font);
  const Color& textColor() const { return textColor_; }
  void setTextColor(Color color);
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment);

  Size intrinsicContentSize() const override;
  void displayLayer() override;

 private:
  // One run laid out: its size and where its baseline is, from its top.
  struct Piece {
    const NSAttributedString::Run* run = nullptr;
    Size size;
    double baseline = 0;
  };
  struct Line {
    std::vector<Piece> pieces;
    double width = 0;
    double ascent = 0;
    double descent = 0;
  };
  Line layoutLine() const;
  void contentDidChange();

  std::optional<NSAttributedString> attributedText_;
  Font font_ = Font::systemFont(17);
  Color textColor_ = Color::black();
  NSTextAlignment alignment_ = NSTextAlignment::natural;
};

}  // namespace velmoradine
