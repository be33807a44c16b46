#pragma once

// Live video in the toolkit: a view that shows a player's frames, and the
// controller that owns it.
//
// `PlayerView` hands its layer to the player as the output layer, so each
// frame the player presents (on the main run loop, when the Clock reaches
// the frame's time; see velmoradine/platform/media/player.hpp) becomes the
// layer's contents. The window then redraws that view alone, compositing the
// frame as it is, aspect-fitted in the view's bounds. A view that leaves its
// window pauses its player, and resumes it when shown again if the pause was
// its own doing. The end of playback is the player item's
// `didPlayToEndTimeNotification` on the default notification center.
//
// `PlayerViewController` loads a `PlayerView`. With `showsPlaybackControls`
// (the default) a tap on the video pauses or resumes it; hidden controls
// leave playback to the code.
//
// The player's decoding thread lives as long as the player: dropping the
// controller and its view (the last owners of the player) stops it.
//
// Main thread only.

#include <memory>

#include "velmoradine/platform/media/player.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

class PlayerView : public UIView {
 public:
  explicit PlayerView(Rect frame = {});
  ~PlayerView() override;

  const std::shared_ptr<Player>& player() const { return player_; }
  void setPlayer(std::shared_ptr<Player> player);

  void didMoveToWindow() override;

 private:
  std::shared_ptr<Player> player_;
  bool pausedOffWindow_ = false;
};

class PlayerViewController : public UIViewController {
 public:
  PlayerViewController() = default;

  const std::shared_ptr<Player>& player() const { return player_; }
  void setPlayer(std::shared_ptr<Player> player);
  bool showsPlaybackControls() const { return showsPlaybackControls_; }
  void setShowsPlaybackControls(bool shows) { showsPlaybackControls_ = shows; }
  // The loaded view as a PlayerView.
  std::shared_ptr<PlayerView> playerView();

  void loadView() override;

 private:
  void togglePlayback();

  std::shared_ptr<Player> player_;
  bool showsPlaybackControls_ = true;
};

}  // namespace velmoradine
