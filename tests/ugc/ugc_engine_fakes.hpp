#pragma once

// Substitute renderers for the scene and the UGC, answering from a script
// on another thread as real exports do, and a delegate that records what it
// is told.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/ugc/ugc_rendering.hpp"
#include "velmoradine/ugc/ugc_scene.hpp"
#include "velmoradine/ugc/ugc_scene_delegate.hpp"

namespace velmoradine::testing {

using RenderResult = Result<SuccessfulRenderingResult>;

// "ok <path>" or "<domain> <code> <detail>": results compared and printed
// by what they say.
std::vector<std::string> described(const std::vector<RenderResult>& results);

// The outcome of export attempt `attempt` (from 0) of `scene`.
using SceneScript = std::function<RenderResult(const UGCScene& scene, int attempt)>;

class ScriptedSceneRenderers final : public UGCSceneRendererFactory {
 public:
  explicit ScriptedSceneRenderers(SceneScript script) : script_(std::move(script)) {}

  Result<std::shared_ptr<UGCSceneExport>> makeSceneRenderer(const UGCScene& scene) override;

  std::optional<Error> constructionFailure;
  std::atomic<int> constructions = 0;
  std::atomic<int> exports = 0;

 private:
  SceneScript script_;
};

class ScriptedRenderers final : public UGCRendererFactory {
 public:
  explicit ScriptedRenderers(std::function<RenderResult(int attempt)> script)
      : script_(std::move(script)) {}

  Result<std::shared_ptr<UGCExport>> makeRenderer(std::vector<SuccessfulRenderingResult> scenes,
                                                  const UGCRenderSettings&) override;

  std::optional<Error> constructionFailure;
  std::atomic<int> constructions = 0;
  std::atomic<int> exports = 0;
  std::vector<std::vector<SuccessfulRenderingResult>> joined() const;

 private:
  std::function<RenderResult(int attempt)> script_;
  mutable std::mutex mutex_;
  std::vector<std::vector<SuccessfulRenderingResult>> joined_;  // guarded by mutex_
};

class RecordingSceneDelegate final : public UGCSceneDelegate {
 public:
  void sceneDidRender(UGCScene&, RenderResult result) override;
  void sceneReady(UGCScene&) override { ++readyCalls; }

  std::vector<RenderResult> results() const;
  std::atomic<int> readyCalls = 0;

 private:
  mutable std::mutex mutex_;
  std::vector<RenderResult> results_;  // guarded by mutex_
};

}  // namespace velmoradine::testing
