#pragma once

// The desktop's audio session: Linux mixes every application's sound, so
// every request succeeds and changes nothing. It remembers what it was asked,
// which is what the sheet's tests observe.

#include <mutex>
#include <optional>

#include "velmoradine/platform/services/audio_session.hpp"

namespace velmoradine {

class DesktopAudioSession : public AudioSession {
 public:
  Result<void> setCategory(AVAudioSessionCategory category) override;
  Result<void> setActive(bool active) override;
  std::optional<AVAudioSessionCategory> category() const;
  bool isActive() const;

 private:
  mutable std::mutex mutex_;
  std::optional<AVAudioSessionCategory> category_;  // guarded by mutex_
  bool active_ = false;                             // guarded by mutex_
};

}  // namespace velmoradine
