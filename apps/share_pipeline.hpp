#pragma once

// What `velmoradine share` sees of the kit's share pipeline: an observer
// that stands between the kit and its providers, and the rule for printing
// the link the backend returns.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "velmoradine/share/share_manager_video.hpp"

namespace velmoradine::cli {

// Passes every call of the pipeline through to the providers it wraps,
// unchanged, tells each step as it happens, and keeps the outcome.
//
// A call counts as in flight until the kit's own completion has returned, and
// only then is its outcome recorded and the main run loop woken. So when the
// main thread sees the pipeline settled, everything those completions did
// (the content's link included) is done, and a waiter on the main loop
// re-checks its condition exactly when the condition may have changed.
class PipelineObserver final : public NetworkShareProtocol,
                               public NetworkUploadProtocol,
                               public RenderProtocol,
                               public std::enable_shared_from_this<PipelineObserver> {
 public:
  using Narrator = std::function<void(const std::string& step)>;

  PipelineObserver(ShareManagerProviders inner, Narrator say);

  void renderThumbnailAndVideo(const std::filesystem::path& videoURL,
                               std::function<void(Result<ThumbnailAndVideo>)> completion) override;
  void shareRequest(const ShareRequest& share,
                    NetworkCompletion<ShareResponse> completion) override;
  void activateShare(const ActivateRequest& activate,
                     NetworkCompletion<EmptyResponse> completion) override;
  void deleteShare(const DeleteShareRequest& deleteRequest,
                   NetworkCompletion<EmptyResponse> completion) override;
  void upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
              NetworkCompletion<void> completion) override;
  void uploadWithConfigurable(const Configurable& configurable, std::shared_ptr<const Data> data,
                              NetworkCompletion<void> completion) override;

  // Nothing is in flight, and the pipeline has failed or both files are live.
  bool settled() const;
  // The first failure of the pipeline, if any.
  std::optional<Error> error() const;
  // Whether the backend created a share (which then exists until deleted).
  bool shareCreated() const;
  // Set once a deletion has been answered: nothing when it succeeded, else
  // why it failed.
  std::optional<std::optional<Error>> deletion() const;

 private:
  enum class Step { render, share, upload, activation, deletion };

  // Wraps `completion` so that the call counts as in flight until it returns.
  template <typename T, typename Completion>
  auto tracked(Step step, std::function<void(const Result<T>&)> tell, Completion completion);
  void record(Step step, const std::optional<Error>& failure);

  const ShareManagerProviders inner_;
  const Narrator say_;
  mutable std::mutex mutex_;
  int inFlight_ = 0;                              // guarded by mutex_
  int activations_ = 0;                           // guarded by mutex_
  bool shareCreated_ = false;                     // guarded by mutex_
  std::optional<Error> error_;                    // guarded by mutex_
  std::optional<std::optional<Error>> deletion_;  // guarded by mutex_
};

// The link as it may be printed: only an http(s) link, with its control
// characters escaped so that a link cannot add lines (or terminal commands)
// to the output. Nothing for any other text.
std::optional<std::string> printableLink(std::string_view link);
// `text` with control characters written as "\xHH".
std::string escapeControlCharacters(std::string_view text);

}  // namespace velmoradine::cli
