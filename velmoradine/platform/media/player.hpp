#pragma once

// Live playback for previews. A player decodes its item's first video track
// ahead on a worker thread (a few frames at most) and presents each frame on
// the main run loop when the clock reaches the frame's media time: into a
// layer's contents and to an optional frame handler. When the last frame has
// had its time, the item's end-of-playback notification is posted on the
// default notification center (object: the item), on the main thread.
//
// `play`, `pause` and the setters are called on the main thread. Playback
// holds the player only weakly: dropping the last reference stops it.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine {

class PlayerItem {
 public:
  static constexpr const char* didPlayToEndTimeNotification =
      "AVPlayerItemDidPlayToEndTimeNotification";
  enum class Status { unknown, readyToPlay, failed };

  static std::shared_ptr<PlayerItem> make(std::shared_ptr<const Asset> asset) {
    return std::make_shared<PlayerItem>(std::move(asset));
  }
  explicit PlayerItem(std::shared_ptr<const Asset> asset) : asset_(std::move(asset)) {}

  const std::shared_ptr<const Asset>& asset() const { return asset_; }
  MediaTime duration() const { return asset_->duration(); }
  // Known once playback has started; read on the main thread.
  Status status() const { return status_; }
  const std::optional<Error>& error() const { return error_; }

 private:
  friend class Player;
  std::shared_ptr<const Asset> asset_;
  Status status_ = Status::unknown;
  std::optional<Error> error_;
};

class Player : public std::enable_shared_from_this<Player> {
 public:
  using FrameHandler = std::function<void(const Image& picture, const MediaTime& time)>;

  static std::shared_ptr<Player> make(std::shared_ptr<PlayerItem> item,
                                      std::shared_ptr<Clock> clock = Clock::current());
  Player(std::shared_ptr<PlayerItem> item, std::shared_ptr<Clock> clock);
  ~Player();
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  const std::shared_ptr<PlayerItem>& currentItem() const { return item_; }
  // The layer whose contents show the current frame.
  void setOutputLayer(std::shared_ptr<Layer> layer) { layer_ = std::move(layer); }
  void setFrameHandler(FrameHandler handler) { handler_ = std::move(handler); }

  void play();
  void pause();
  // 1 while playing, 0 otherwise.
  double rate() const { return playing_ ? 1 : 0; }
  MediaTime currentTime() const;

 private:
  struct Frame {
    MediaTime time;
    Image picture;
  };

  void startDecoding();
  void decode();
  void tick(std::uint64_t generation);
  // Called with the lock held.
  void wakePresenter();
  void schedule(std::uint64_t generation, Clock::Duration delay);
  MediaTime mediaNow() const;

  std::shared_ptr<PlayerItem> item_;
  std::shared_ptr<Clock> clock_;
  std::shared_ptr<Layer> layer_;
  FrameHandler handler_;

  // Main thread.
  bool playing_ = false;
  bool ended_ = false;
  std::uint64_t generation_ = 0;
  Clock::Instant anchorClock_;
  MediaTime anchorTime_ = MediaTime::zero();
  MediaTime presentedTime_ = MediaTime::zero();

  // Shared with the decoding thread.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Frame> frames_;
  bool decodingDone_ = false;
  bool stopping_ = false;
  bool starved_ = false;
  std::uint64_t starvedGeneration_ = 0;
  std::optional<Error> decodeError_;
  std::thread worker_;
};

}  // namespace velmoradine
