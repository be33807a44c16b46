#pragma once

// The side of the UGC engine that the share area knows: something that
// renders a video and delivers it later. It lives below both so that content
// waits for a rendering without depending on the engine that does it.
//
// Threading: an implementation delivers each completion exactly once, on a
// thread of its choosing; callers must not assume the main thread.

#include <functional>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class VideoContentFutureProvider {
 public:
  using RenderingCompletion = std::move_only_function<void(Result<SuccessfulRenderingResult>)>;

  virtual ~VideoContentFutureProvider() = default;
  // Registers a callback for the rendered video (or the rendering error).
  // Registering is what starts the rendering.
  virtual void renderingComplete(RenderingCompletion completion) = 0;
  // Starts the rendering without registering a callback.
  virtual void startRendering() = 0;
};

}  // namespace velmoradine
