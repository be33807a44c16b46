#include "velmoradine/ui/haptics.hpp"

namespace velmoradine {

std::optional<HapticType> hapticType(int rawValue) {
  if (rawValue < 0 || rawValue > static_cast<int>(HapticType::error)) return std::nullopt;
  return static_cast<HapticType>(rawValue);
}

Haptics& Haptics::shared() {
  static Haptics& haptics = *new Haptics();
  return haptics;
}

UIFeedbackGenerator::Recorder Haptics::recorder() {
  return [this](const std::string& call) { recordedCalls_.push_back(call); };
}

Haptics::Haptics()
    : feedbackGeneratorLight(
          std::make_unique<UIImpactFeedbackGenerator>(UIImpactFeedbackStyle::light, recorder())),
      feedbackGeneratorMedium(
          std::make_unique<UIImpactFeedbackGenerator>(UIImpactFeedbackStyle::medium, recorder())),
      feedbackGeneratorHeavy(
          std::make_unique<UIImpactFeedbackGenerator>(UIImpactFeedbackStyle::heavy, recorder())),
      feedbackGeneratorSelection(std::make_unique<UISelectionFeedbackGenerator>(recorder())),
      feedbackGeneratorNotification(std::make_unique<UINotificationFeedbackGenerator>(recorder())) {
}

void Haptics::play(HapticType type) {
  feedbackGeneratorSelection->prepare();
  switch (type) {
    case HapticType::selection:
      feedbackGeneratorSelection->selectionChanged();
      return;
    case HapticType::light:
      feedbackGeneratorLight->impactOccurred();
      return;
    case HapticType::medium:
      feedbackGeneratorMedium->impactOccurred();
      return;
    case HapticType::heavy:
      feedbackGeneratorHeavy->impactOccurred();
      return;
    case HapticType::success:
      feedbackGeneratorNotification->notificationOccurred(UINotificationFeedbackType::success);
      return;
    case HapticType::warning:
      feedbackGeneratorNotification->notificationOccurred(UINotificationFeedbackType::warning);
      return;
    case HapticType::error:
      feedbackGeneratorNotification->notificationOccurred(UINotificationFeedbackType::error);
      return;
  }
}

}  // namespace velmoradine
