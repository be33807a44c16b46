#pragma once

// One layer of a scene: what it shows and how it is built into a scene's
// drawing for export, or into a live preview of the scene. The base shows
// nothing and is always ready.
//
// Threading: configurations are made and built on the main thread; `ready`
// may be called from any thread and answers on any thread (the resource's
// queue for URL-based layers, the caller's own thread otherwise). Building a
// preview happens on the main thread.

#include <functional>
#include <optional>

#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UGCScenePresentation;
class UGCSecneRenderer;

class UGCLayerConfiguration {
 public:
  // None: the content is there. Otherwise the resource's error.
  using ReadyCompletion = std::function<void(std::optional<Error>)>;

  virtual ~UGCLayerConfiguration() = default;

  // Adds the layer to `scene`'s drawing; the error side is a UGCError.
  virtual Result<void> build(UGCSecneRenderer& scene);
  // Adds the layer to the preview of `presentation`; the error side is a
  // UGCError.
  virtual Result<void> buildPresentation(UGCScenePresentation& presentation);
  virtual void ready(ReadyCompletion completion);
  // The scene's report for a layer whose `ready` gave `error`: a UGCError
  // of this layer's kind carrying the error's description.
  virtual Error readinessFailure(const Error& error) const;
};

}  // namespace velmoradine
