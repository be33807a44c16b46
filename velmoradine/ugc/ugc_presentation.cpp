#include "velmoradine/ugc/ugc_presentation.hpp"

#include <string>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"

namespace velmoradine {

std::shared_ptr<UGCPresentation> UGCPresentation::make(std::weak_ptr<UGC> ugc) {
  return std::make_shared<UGCPresentation>(std::move(ugc));
}

Result<void> UGCPresentation::present(int, const std::shared_ptr<UIViewController>& viewController,
                                      const std::shared_ptr<UIView>& view) {
  auto ugc = this->ugc.lock();
  if (!ugc) return {};
  const auto scenes = ugc->sceneConfigurations();
  if (sceneIndex < 0 || static_cast<std::size_t>(sceneIndex) >= scenes.size()) {
    UGCLogger::log("Unable to present ugc, no scene for index " + std::to_string(sceneIndex));
    return {};
  }
  auto presentation = UGCScenePresentation::make(scenes[static_cast<std::size_t>(sceneIndex)]);
  std::weak_ptr<UGCScenePresentation> weakPresentation = presentation;
  // Weak: the host's controller holds the scene's controller, which holds
  // this completion.
  std::weak_ptr<UIViewController> weakController = viewController;
  std::weak_ptr<UIView> weakView = view;
  return presentation->present(
      viewController, view,
      [self = shared_from_this(), weakPresentation, weakController, weakView] {
        auto ended = weakPresentation.lock();
        self->sceneDidEnd(ended && ended->wasShown(), weakController.lock(), weakView.lock());
      });
}

void UGCPresentation::sceneDidEnd(bool shown,
                                  const std::shared_ptr<UIViewController>& viewController,
                                  const std::shared_ptr<UIView>& view) {
  auto ugc = this->ugc.lock();
  if (!ugc || !viewController || !view) return;
  const auto sceneCount = static_cast<int>(ugc->sceneConfigurations().size());
  scenesEndedUnshown_ = shown ? 0 : scenesEndedUnshown_ + 1;
  if (scenesEndedUnshown_ >= sceneCount) {
    UGCLogger::log("Unable to present ugc, no scene could be shown");
    return;
  }
  sceneIndex += 1;
  if (sceneIndex >= sceneCount) sceneIndex = 0;
  if (auto presented = present(sceneIndex, viewController, view); !presented) {
    UGCLogger::log("Got error presting");
  }
}

}  // namespace velmoradine
