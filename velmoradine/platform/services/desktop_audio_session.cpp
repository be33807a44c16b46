#include "velmoradine/platform/services/desktop_audio_session.hpp"

namespace velmoradine {

Result<void> DesktopAudioSession::setCategory(AVAudioSessionCategory category) {
  std::lock_guard lock(mutex_);
  category_ = category;
  return {};
}

Result<void> DesktopAudioSession::setActive(bool active) {
  std::lock_guard lock(mutex_);
  active_ = active;
  return {};
}

std::optional<AVAudioSessionCategory> DesktopAudioSession::category() const {
  std::lock_guard lock(mutex_);
  return category_;
}

bool DesktopAudioSession::isActive() const {
  std::lock_guard lock(mutex_);
  return active_;
}

}  // namespace velmoradine
