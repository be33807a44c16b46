#pragma once

namespace velmoradine::bench {

// Prints `preview_realtime_factor` and `preview_dropped_frames_10s`; exits
// the process with status 1 when the preview cannot run.
void measurePreview();

}  // namespace velmoradine::bench
