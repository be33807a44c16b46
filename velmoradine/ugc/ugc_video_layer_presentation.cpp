#include "velmoradine/core/logger.hpp"
#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/notification_center.hpp"
#include "velmoradine/platform/uikit/player_view_controller.hpp"
#include "velmoradine/ugc/ugc_scene.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"
#include "velmoradine/ugc/ugc_video_layer_builder.hpp"
#include "velmoradine/ugc/ugc_video_layer_configuration.hpp"

namespace velmoradine {
namespace {

Error videoError(std::string message) {
  return Error(UGCError::videoError, std::move(message));
}

Clock::Duration clockDuration(const MediaTime& time) {
  return std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(time.seconds()));
}

// Ends the preview at the end of playback, unless the scene ends earlier on
// its own timer. A video that stopped on a decoding error is named in the log
// either way, so a broken clip is not mistaken for a short one.
void observeEnd(const std::shared_ptr<PlayerItem>& item,
                const std::shared_ptr<UGCScenePresentationViewController>& controller,
                bool endsOnTimer) {
  std::weak_ptr<UGCScenePresentationViewController> weakController = controller;
  std::weak_ptr<PlayerItem> weakItem = item;
  auto& center = NotificationCenter::defaultCenter();
  const auto token = center.addObserver(
      nullptr, PlayerItem::didPlayToEndTimeNotification, item.get(), DispatchQueue::main(),
      [weakController, weakItem, endsOnTimer](const Notification&) {
        auto item = weakItem.lock();
        auto controller = weakController.lock();
        if (item && item->status() == PlayerItem::Status::failed) {
          Logger::velmoradineDebug("[UGCScenePresentation] video playback failed", item->error());
          if (controller) controller->presentation->playbackDidFail();
        }
        if (!endsOnTimer && controller) controller->videoDidFinish();
      });
  controller->registerDeinit(
      [token] { NotificationCenter::defaultCenter().removeObserver(token); });
}

void endAfter(const MediaTime& duration,
              const std::shared_ptr<UGCScenePresentationViewController>& controller) {
  std::weak_ptr<UGCScenePresentationViewController> weak = controller;
  DispatchQueue::main()->asyncAfter(clockDuration(duration), [weak] {
    if (auto controller = weak.lock()) controller->videoDidFinish();
  });
}

}  // namespace

Result<void> UGCVideoLayerBuilder::buildPresentation(
    const UGCVideoLayerConfiguration& configuration, UGCScenePresentation& presentation) {
  const std::optional<URL> url = configuration.url();
  if (!url) return failure(videoError("Unable to load video"));
  auto scratch = Layer::create();
  applyAttributes(*scratch, configuration.format->attributes());
  const auto asset = URLAsset::make(url->filePath());
  if (asset->tracksWithMediaType(MediaType::video).empty()) {
    return failure(videoError("Unable to load video asset"));
  }
  auto preview = presentation.view.lock();
  auto host = presentation.viewController.lock();
  auto controller = presentation.presentationViewController.lock();
  if (!preview || !host || !controller) {
    return failure(Error(UGCError::unknown, "The scene preview has no view or controller"));
  }
  auto scene = presentation.scene.lock();
  const std::optional<double> maxDuration =
      scene ? scene->sceneOptions.maxDuration : std::optional<double>();
  VELMORADINE_TRY(checkMaxDuration(maxDuration));

  auto playerController = std::make_shared<PlayerViewController>();
  auto item = PlayerItem::make(asset);
  const MediaTime length = duration(maxDuration, *asset);
  const bool endsOnTimer = length < asset->duration();
  if (endsOnTimer) endAfter(length, controller);
  observeEnd(item, controller, endsOnTimer);

  auto player = Player::make(item);
  playerController->setPlayer(player);
  const auto& playerView = playerController->view();
  preview->addSubview(playerView);
  playerView->setTranslatesAutoresizingMaskIntoConstraints(false);
  playerView->setFrame(scratch->frame());
  playerController->setShowsPlaybackControls(false);
  player->play();
  host->addChild(playerController);
  playerController->didMove(host);
  return {};
}

}  // namespace velmoradine
