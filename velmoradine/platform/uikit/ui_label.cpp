#include "velmoradine/platform/uikit/ui_label.hpp"

#include <algorithm>

#include "velmoradine/platform/graphics/text_measurement.hpp"

namespace velmoradine {
namespace {

TextLayerAlignmentMode alignmentMode(NSTextAlignment alignment) {
  switch (alignment) {
    case NSTextAlignment::center:
      return TextLayerAlignmentMode::center;
    case NSTextAlignment::right:
      return TextLayerAlignmentMode::right;
    default:
      return TextLayerAlignmentMode::left;
  }
}

double lineStart(NSTextAlignment alignment, double available, double width) {
  switch (alignment) {
    case NSTextAlignment::center:
      return (available - width) / 2;
    case NSTextAlignment::right:
      return available - width;
    default:
      return 0;
  }
}

Size attachmentSize(const NSTextAttachment& attachment) {
  if (attachment.bounds.size != Size{}) return attachment.bounds.standardized().size;
  return attachment.image ? attachment.image->size() : Size{};
}

}  // namespace

UILabel::UILabel(Rect frame) : UIView(frame) {
  setUserInteractionEnabled(false);
}

std::optional<std::string> UILabel::text() const {
  if (!attributedText_) return std::nullopt;
  return attributedText_->string();
}

void UILabel::setText(std::optional<std::string> text) {
  if (!text) {
    setAttributedText(std::nullopt);
    return;
  }
  setAttributedText(NSAttributedString(std::move(*text)));
}

void UILabel::setAttributedText(std::optional<NSAttributedString> text) {
  attributedText_ = std::move(text);
  contentDidChange();
}

void UILabel::setFont(Font font) {
  font_ = std::move(font);
  contentDidChange();
}

void UILabel::setTextColor(Color color) {
  textColor_ = color;
  setNeedsDisplay();
}

void UILabel::setTextAlignment(NSTextAlignment alignment) {
  alignment_ = alignment;
  setNeedsDisplay();
}

void UILabel::contentDidChange() {
  setNeedsDisplay();
  invalidateIntrinsicContentSize();
}

UILabel::Line UILabel::layoutLine() const {
  Line line;
  if (!attributedText_) return line;
  for (const auto& run : attributedText_->runs()) {
    Piece piece{&run, {}, 0};
    if (run.attachment) {
      piece.size = attachmentSize(*run.attachment);
      piece.baseline = run.attachment->bounds.minY() + piece.size.height;
    } else {
      TextMetrics metrics = measureText(run.text, run.attributes.font.value_or(font_));
      piece.size = metrics.size;
      piece.baseline = metrics.baseline;
    }
    line.width += piece.size.width;
    line.ascent = std::max(line.ascent, piece.baseline);
    line.descent = std::max(line.descent, piece.size.height - piece.baseline);
    line.pieces.push_back(piece);
  }
  return line;
}

Size UILabel::intrinsicContentSize() const {
  Line line = layoutLine();
  return {line.width, line.ascent + line.descent};
}

void UILabel::displayLayer() {
  layer()->setSublayers({});
  Line line = layoutLine();
  const Rect& bounds = this->bounds();
  double x = bounds.minX() + std::max(0.0, lineStart(alignment_, bounds.width(), line.width));
  double top = bounds.minY() + (bounds.height() - line.ascent - line.descent) / 2;
  for (const auto& piece : line.pieces) {
    double room = std::max(0.0, bounds.maxX() - x);
    Rect frame(x, top + line.ascent - piece.baseline, std::min(piece.size.width, room),
               piece.size.height);
    x += piece.size.width;
    const auto& run = *piece.run;
    if (run.attachment) {
      if (!run.attachment->image) continue;
      auto image = Layer::create();
      image->setFrame(frame);
      image->setContents(run.attachment->image);
      layer()->addSublayer(image);
      continue;
    }
    auto text = TextLayer::create();
    text->setFrame(frame);
    Font font = run.attributes.font.value_or(font_);
    text->setFont(font);
    text->setFontSize(font.pointSize());
    text->setForegroundColor(run.attributes.foregroundColor.value_or(textColor_));
    text->setAlignmentMode(alignmentMode(alignment_));
    if (frame.width() < piece.size.width) text->setTruncationMode(TextLayerTruncationMode::end);
    text->setString(run.text);
    layer()->addSublayer(text);
  }
}

}  // namespace velmoradine
