#pragma once

// What a scene tells its owner (the UGC), and what a scene offers the
// parties that work on it.

#include <memory>
#include <string>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UGCScene;

// Held weakly by the scene.
class UGCSceneDelegate {
 public:
  virtual ~UGCSceneDelegate() = default;
  // The final result of one `ready` that reached rendering (or whose layers
  // failed to get ready), exactly once per such `ready`. The error side is
  // a UGCError. Called on the exporter's thread, or on the main queue when
  // nothing was exported.
  virtual void sceneDidRender(UGCScene& configuration,
                              Result<SuccessfulRenderingResult> result) = 0;
  // The scene has started getting ready; called on the thread that called
  // the scene's `ready`, before any layer is asked.
  virtual void sceneReady(UGCScene& configuration) = 0;
};

class UGCSceneContext {
 public:
  virtual ~UGCSceneContext() = default;
  virtual const std::string& sceneIdentifier() const = 0;
  virtual const std::shared_ptr<DispatchQueue>& sceneDispatchQueue() const = 0;
};

}  // namespace velmoradine
