#include "velmoradine/platform/media/player.hpp"

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/notification_center.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine {
namespace {

constexpr std::size_t kFramesAhead = 6;

}  // namespace

std::shared_ptr<Player> Player::make(std::shared_ptr<PlayerItem> item,
                                     std::shared_ptr<Clock> clock) {
  return std::make_shared<Player>(std::move(item), std::move(clock));
}

Player::Player(std::shared_ptr<PlayerItem> item, std::shared_ptr<Clock> clock)
    : item_(std::move(item)), clock_(clock ? std::move(clock) : Clock::current()) {}

Player::~Player() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void Player::startDecoding() {
  if (worker_.joinable()) return;
  if (const auto* url = dynamic_cast<const URLAsset*>(item_->asset().get())) {
    if (auto error = url->loadError()) {
      item_->status_ = PlayerItem::Status::failed;
      item_->error_ = error;
      return;
    }
  }
  item_->status_ = PlayerItem::Status::readyToPlay;
  worker_ = std::thread([this] { decode(); });
}

// Walks the first video track's segments in order, turning each decoded
// frame upright and waiting whenever enough frames are ready.
void Player::decode() {
  auto finish = [this](std::optional<Error> error) {
    std::lock_guard lock(mutex_);
    decodingDone_ = true;
    decodeError_ = std::move(error);
    wakePresenter();
  };
  auto tracks = item_->asset()->tracksWithMediaType(MediaType::video);
  if (tracks.empty()) return finish(Error(MediaError::noVideoTrack));
  const AssetTrack& track = tracks.front();
  const int rotation = media::transformRotation(track.preferredTransform);
  for (const auto& segment : track.segments) {
    if (segment.isEmpty()) continue;
    auto reader = media::VideoReader::open(segment.sourcePath,
                                           {.threads = 0, .streamIndex = segment.streamIndex});
    if (!reader) return finish(reader.error());
    if (MediaTime::zero() < segment.source.start) {
      if (auto seeked = (*reader)->seek(segment.source.start); !seeked)
        return finish(seeked.error());
    }
    while (true) {
      auto frame = (*reader)->nextFrame();
      if (!frame) return finish(frame.error());
      if (!*frame) break;
      const MediaTime time = (*reader)->frameTime(*frame);
      if (time.isValid() && time < segment.source.start) continue;
      if (time.isValid() && !(time < segment.source.end())) break;
      auto picture = media::toBGRA(*frame, rotation);
      if (!picture) return finish(picture.error());
      picture->setOpaque(true);
      const MediaTime target =
          segment.target.start +
          ((time.isValid() ? time : segment.source.start) - segment.source.start);
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return frames_.size() < kFramesAhead || stopping_; });
      if (stopping_) return;
      frames_.push_back({target, Image(std::move(*picture))});
      wakePresenter();
    }
  }
  finish(std::nullopt);
}

// A presenter that found nothing to show waits for the decoder rather than
// for the clock, which may not move (a paused test clock, a slow decoder).
void Player::wakePresenter() {
  if (!starved_) return;
  starved_ = false;
  std::weak_ptr<Player> weak = weak_from_this();
  const std::uint64_t generation = starvedGeneration_;
  DispatchQueue::main()->async([weak, generation] {
    if (auto player = weak.lock()) player->tick(generation);
  });
}

MediaTime Player::mediaNow() const {
  if (!playing_) return anchorTime_;
  const auto elapsed =
      std::chrono::duration_cast<std::chrono::microseconds>(clock_->uptime() - anchorClock_);
  return anchorTime_ + MediaTime(elapsed.count(), 1000000);
}

MediaTime Player::currentTime() const {
  return minimum(mediaNow(), item_->duration());
}

void Player::play() {
  if (playing_ || ended_) return;
  startDecoding();
  if (item_->status_ == PlayerItem::Status::failed) return;
  playing_ = true;
  anchorClock_ = clock_->uptime();
  std::weak_ptr<Player> weak = weak_from_this();
  DispatchQueue::main()->async([weak, generation = ++generation_] {
    if (auto player = weak.lock()) player->tick(generation);
  });
}

void Player::pause() {
  if (!playing_) return;
  anchorTime_ = mediaNow();
  playing_ = false;
  ++generation_;
}

void Player::schedule(std::uint64_t generation, Clock::Duration delay) {
  std::weak_ptr<Player> weak = weak_from_this();
  DispatchQueue::main()->asyncAfter(
      delay,
      [weak, generation] {
        if (auto player = weak.lock()) player->tick(generation);
      },
      clock_);
}

// Presents the latest frame that is due, then sleeps until the next one.
void Player::tick(std::uint64_t generation) {
  if (generation != generation_ || !playing_) return;
  const MediaTime now = mediaNow();
  std::optional<Frame> due;
  std::optional<MediaTime> next;
  bool done = false;
  std::optional<Error> failed;
  {
    std::lock_guard lock(mutex_);
    while (!frames_.empty() && !(now < frames_.front().time)) {
      due = std::move(frames_.front());
      frames_.pop_front();
    }
    if (!frames_.empty()) next = frames_.front().time;
    done = decodingDone_ && frames_.empty();
    failed = decodeError_;
    if (frames_.empty() && !decodingDone_) {
      starved_ = true;
      starvedGeneration_ = generation;
    }
  }
  changed_.notify_all();
  if (due) {
    presentedTime_ = due->time;
    if (layer_) layer_->setContents(due->picture);
    if (handler_) handler_(due->picture, due->time);
  }
  if (failed) {
    item_->status_ = PlayerItem::Status::failed;
    item_->error_ = failed;
  }
  if (done) {
    const MediaTime end = failed ? now : item_->duration();
    if (now < end) {
      schedule(generation, std::chrono::duration_cast<Clock::Duration>(
                               std::chrono::duration<double>((end - now).seconds())));
      return;
    }
    playing_ = false;
    ended_ = true;
    anchorTime_ = end;
    NotificationCenter::defaultCenter().post(PlayerItem::didPlayToEndTimeNotification, item_.get());
    return;
  }
  if (next) {
    schedule(generation, std::chrono::duration_cast<Clock::Duration>(
                             std::chrono::duration<double>((*next - now).seconds())));
  }
}

}  // namespace velmoradine
