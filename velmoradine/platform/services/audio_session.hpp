#pragma once

// The process's audio session. A desktop mixes every application's sound, so
// on Linux there is nothing to negotiate: the desktop session accepts every
// category and activation and does nothing else. The interface exists so the
// share sheet states what it wants and tests can make the session fail.

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

enum class AVAudioSessionCategory { ambient, playback };

class AudioSession {
 public:
  virtual ~AudioSession() = default;
  virtual Result<void> setCategory(AVAudioSessionCategory category) = 0;
  virtual Result<void> setActive(bool active) = 0;
};

}  // namespace velmoradine
