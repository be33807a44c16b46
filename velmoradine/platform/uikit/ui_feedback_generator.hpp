#pragma once

// UIKit's feedback generators. A desktop has no haptic engine, so on Linux
// they make no feedback at all; instead every call is told to the generator's
// recorder, so that a test (or a curious host) can see what the kit asked
// for and in which order. Main thread only.

#include <functional>
#include <string>

namespace velmoradine {

class UIFeedbackGenerator {
 public:
  // Hears each call as "<generator>.<call>", e.g. "selection.prepare" or
  // "notification.notificationOccurred(warning)".
  using Recorder = std::function<void(const std::string& call)>;

  virtual ~UIFeedbackGenerator() = default;
  void prepare() { record("prepare"); }

 protected:
  UIFeedbackGenerator(std::string name, Recorder recorder)
      : name_(std::move(name)), recorder_(std::move(recorder)) {}
  void record(const std::string& call) const;

 private:
  std::string name_;
  Recorder recorder_;
};

enum class UIImpactFeedbackStyle { light, medium, heavy };

class UIImpactFeedbackGenerator : public UIFeedbackGenerator {
 public:
  explicit UIImpactFeedbackGenerator(UIImpactFeedbackStyle style, Recorder recorder = {});
  void impactOccurred() { record("impactOccurred"); }
};

class UISelectionFeedbackGenerator : public UIFeedbackGenerator {
 public:
  explicit UISelectionFeedbackGenerator(Recorder recorder = {})
      : UIFeedbackGenerator("selection", std::move(recorder)) {}
  void selectionChanged() { record("selectionChanged"); }
};

enum class UINotificationFeedbackType { success, warning, error };

class UINotificationFeedbackGenerator : public UIFeedbackGenerator {
 public:
  explicit UINotificationFeedbackGenerator(Recorder recorder = {})
      : UIFeedbackGenerator("notification", std::move(recorder)) {}
  void notificationOccurred(UINotificationFeedbackType type);
};

}  // namespace velmoradine
