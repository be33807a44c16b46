#include "velmoradine/platform/uikit/player_view_controller.hpp"

#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"

namespace velmoradine {

PlayerView::PlayerView(Rect frame) : UIView(frame) {
  layer()->setContentsGravity(ContentsGravity::resizeAspect);
}

PlayerView::~PlayerView() {
  if (player_) player_->setOutputLayer(nullptr);
}

void PlayerView::setPlayer(std::shared_ptr<Player> player) {
  assertMainThread("PlayerView::setPlayer");
  if (player_) player_->setOutputLayer(nullptr);
  player_ = std::move(player);
  pausedOffWindow_ = false;
  if (player_) player_->setOutputLayer(layer());
}

// A view that has never been in a window plays where it is (a preview being
// built before it is placed); one that leaves its window stops spending
// decoding and drawing on frames nobody sees.
void PlayerView::didMoveToWindow() {
  if (!player_) return;
  if (!window() && player_->rate() > 0) {
    player_->pause();
    pausedOffWindow_ = true;
  } else if (window() && pausedOffWindow_) {
    pausedOffWindow_ = false;
    player_->play();
  }
}

void PlayerViewController::setPlayer(std::shared_ptr<Player> player) {
  player_ = std::move(player);
  playerView()->setPlayer(player_);
}

std::shared_ptr<PlayerView> PlayerViewController::playerView() {
  return std::static_pointer_cast<PlayerView>(view());
}

void PlayerViewController::loadView() {
  auto view = std::make_shared<PlayerView>(UIScreen::main().bounds());
  std::weak_ptr<PlayerViewController> weak =
      std::static_pointer_cast<PlayerViewController>(shared_from_this());
  view->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weak](auto&) {
    if (auto controller = weak.lock()) controller->togglePlayback();
  }));
  setView(std::move(view));
}

void PlayerViewController::togglePlayback() {
  if (!showsPlaybackControls_ || !player_) return;
  if (player_->rate() > 0) {
    player_->pause();
  } else {
    player_->play();
  }
}

}  // namespace velmoradine
