#include "tests/ugc/ugc_engine_fakes.hpp"

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine::testing {
namespace {

class ScriptedSceneExport final : public UGCSceneExport {
 public:
  explicit ScriptedSceneExport(RenderResult outcome) : outcome_(std::move(outcome)) {}
  void sceneReady(Completion completion) override {
    DispatchQueue::global()->async([completion, outcome = outcome_] { completion(outcome); });
  }

 private:
  RenderResult outcome_;
};

class ScriptedExport final : public UGCExport {
 public:
  explicit ScriptedExport(RenderResult outcome) : outcome_(std::move(outcome)) {}
  void startExport(Completion completion) override {
    DispatchQueue::global()->async([completion, outcome = outcome_] { completion(outcome); });
  }

 private:
  RenderResult outcome_;
};

}  // namespace

std::vector<std::string> described(const std::vector<RenderResult>& results) {
  std::vector<std::string> texts;
  for (const auto& result : results) {
    texts.push_back(result ? "ok " + result->displayURL.string()
                           : result.error().domainName() + " " +
                                 std::to_string(result.error().value()) + " " +
                                 result.error().detail());
  }
  return texts;
}

Result<std::shared_ptr<UGCSceneExport>> ScriptedSceneRenderers::makeSceneRenderer(
    const UGCScene& scene) {
  ++constructions;
  if (constructionFailure) return failure(*constructionFailure);
  return std::make_shared<ScriptedSceneExport>(script_(scene, exports++));
}

Result<std::shared_ptr<UGCExport>> ScriptedRenderers::makeRenderer(
    std::vector<SuccessfulRenderingResult> scenes, const UGCRenderSettings&) {
  ++constructions;
  {
    std::lock_guard lock(mutex_);
    joined_.push_back(std::move(scenes));
  }
  if (constructionFailure) return failure(*constructionFailure);
  return std::make_shared<ScriptedExport>(script_(exports++));
}

std::vector<std::vector<SuccessfulRenderingResult>> ScriptedRenderers::joined() const {
  std::lock_guard lock(mutex_);
  return joined_;
}

void RecordingSceneDelegate::sceneDidRender(UGCScene&, RenderResult result) {
  std::lock_guard lock(mutex_);
  results_.push_back(std::move(result));
}

std::vector<RenderResult> RecordingSceneDelegate::results() const {
  std::lock_guard lock(mutex_);
  return results_;
}

}  // namespace velmoradine::testing
