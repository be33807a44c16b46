#pragma once

// The seams between a scene and the renderer that exports it, so that a
// scene's retry and reporting rules can be driven by substitutes.
//
// Threading: `makeSceneRenderer` runs on the main queue (it builds layers);
// `sceneReady` is called on the main queue and answers once, on the
// exporter's thread.

#include <functional>
#include <memory>

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UGCScene;

// One export of a built scene.
class UGCSceneExport {
 public:
  using Completion = std::function<void(Result<SuccessfulRenderingResult>)>;
  virtual ~UGCSceneExport() = default;
  // The error side is a UGCError.
  virtual void sceneReady(Completion completion) = 0;
};

class UGCSceneRendererFactory {
 public:
  virtual ~UGCSceneRendererFactory() = default;
  // A renderer with every layer of `scene` built, or the build's UGCError.
  virtual Result<std::shared_ptr<UGCSceneExport>> makeSceneRenderer(const UGCScene& scene) = 0;
  // Makes `UGCSecneRenderer`s.
  static std::shared_ptr<UGCSceneRendererFactory> standard();
};

}  // namespace velmoradine
