#pragma once

// The kit's haptic feedback: one shared player with a generator per kind of
// feedback, all made with it.
//
// On Linux the generators make no feedback (there is no haptic engine), but
// every call the player makes on them is recorded, in order, in
// `recordedCalls()` ("selection.prepare", "impact(light).impactOccurred"),
// so tests see exactly what a device would have felt.
//
// Threading: main thread only, like the generators.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/uikit/ui_feedback_generator.hpp"

namespace velmoradine {

enum class HapticType {
  selection = 0,
  light = 1,
  medium = 2,
  heavy = 3,
  success = 4,
  warning = 5,
  error = 6
};

// The case with that raw value; none for any other integer.
std::optional<HapticType> hapticType(int rawValue);

class Haptics {
 public:
  static Haptics& shared();

  Haptics();
  Haptics(const Haptics&) = delete;
  Haptics& operator=(const Haptics&) = delete;

  // Prepares the selection generator, then plays `type` on its generator.
  void play(HapticType type);

  const std::vector<std::string>& recordedCalls() const { return recordedCalls_; }
  void clearRecordedCalls() { recordedCalls_.clear(); }

  const std::unique_ptr<UIImpactFeedbackGenerator> feedbackGeneratorLight;
  const std::unique_ptr<UIImpactFeedbackGenerator> feedbackGeneratorMedium;
  const std::unique_ptr<UIImpactFeedbackGenerator> feedbackGeneratorHeavy;
  const std::unique_ptr<UISelectionFeedbackGenerator> feedbackGeneratorSelection;
  const std::unique_ptr<UINotificationFeedbackGenerator> feedbackGeneratorNotification;

 private:
  UIFeedbackGenerator::Recorder recorder();

  std::vector<std::string> recordedCalls_;
};

}  // namespace velmoradine
