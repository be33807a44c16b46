#include "velmoradine/platform/uikit/ui_feedback_generator.hpp"

namespace velmoradine {
namespace {

const char* styleName(UIImpactFeedbackStyle style) {
  switch (style) {
    case UIImpactFeedbackStyle::light:
      return "light";
    case UIImpactFeedbackStyle::medium:
      return "medium";
    case UIImpactFeedbackStyle::heavy:
      return "heavy";
  }
  return "unknown";
}

const char* typeName(UINotificationFeedbackType type) {
  switch (type) {
    case UINotificationFeedbackType::success:
      return "success";
    case UINotificationFeedbackType::warning:
      return "warning";
    case UINotificationFeedbackType::error:
      return "error";
  }
  return "unknown";
}

}  // namespace

void UIFeedbackGenerator::record(const std::string& call) const {
  if (recorder_) recorder_(name_ + "." + call);
}

UIImpactFeedbackGenerator::UIImpactFeedbackGenerator(UIImpactFeedbackStyle style, Recorder recorder)
    : UIFeedbackGenerator(std::string("impact(") + styleName(style) + ")", std::move(recorder)) {}

void UINotificationFeedbackGenerator::notificationOccurred(UINotificationFeedbackType type) {
  record(std::string("notificationOccurred(") + typeName(type) + ")");
}

}  // namespace velmoradine
