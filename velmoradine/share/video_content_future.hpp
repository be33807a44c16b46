#pragma once

// Content whose video is still being rendered. The future asks its provider
// (the UGC engine) for the finished video, makes a `VideoContent` of it, whose
// upload then starts at once, and hands the outcome to every completion.
//
// Threading: the completions registered before the outcome is known run on
// the thread the provider delivers on, in the order they were added; one
// added afterwards runs at once on the caller's thread. Adding completions is
// safe from any thread, also while the outcome arrives: none is lost or
// called twice.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/model/video_content_future_provider.hpp"
#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {

class VideoContentFuture : public std::enable_shared_from_this<VideoContentFuture> {
 public:
  using VideoContentResult = Result<std::shared_ptr<VideoContent>>;
  using Completion = std::move_only_function<void(VideoContentResult)>;

  // Registers with `futureProvider` at once. The provider's callback holds
  // the future, so it lives at least until the outcome is known.
  static std::shared_ptr<VideoContentFuture> make(
      const std::shared_ptr<VideoContentFutureProvider>& futureProvider, std::string title,
      VideoContentProviders providers = VideoContentProviders::defaults(),
      Completion completion = nullptr);

  void addCompletion(Completion completion);
  // The outcome, once known.
  std::optional<VideoContentResult> videoContentResult() const;

 private:
  VideoContentFuture() = default;
  void videoContentComplete(Result<SuccessfulRenderingResult> result, const std::string& title,
                            VideoContentProviders providers);

  mutable std::mutex mutex_;
  std::vector<Completion> completions_;                   // guarded by mutex_
  std::optional<VideoContentResult> videoContentResult_;  // guarded by mutex_
  bool resolving_ = false;                                // guarded by mutex_
};

}  // namespace velmoradine
