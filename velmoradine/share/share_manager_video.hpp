#pragma once

// Drives one video from a local file to a live share: preview and upload
// bytes from the renderer, share creation on the backend, two concurrent
// direct uploads (preview first), one activation per file, and the share's
// deletion when the content is cleaned up without its link having been used.
//
// Threading: each step runs on the thread that delivered the previous
// completion (the main queue for rendering, the session's queue for the
// backend). The fields those steps share are guarded by a lock, and the final
// report of success fires exactly once whichever activation finishes second.
// Pending completions keep the manager alive; the delegate is held weakly.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "velmoradine/network/network_protocols.hpp"
#include "velmoradine/share/render.hpp"
#include "velmoradine/share/share_strategy.hpp"

namespace velmoradine {

class VideoContent;

class ShareManagerVideoDelegate {
 public:
  virtual ~ShareManagerVideoDelegate() = default;
  virtual void renderedStrategyDidUpdate(
      std::shared_ptr<RenderedShareStrategy> renderedStrategy) = 0;
  virtual void linkPreviewStrategyDidUpdate(
      std::shared_ptr<LinkPreviewShareStrategy> linkPreviewStrategy) = 0;
  virtual void linkPreviewConfidenceDidUpdate(LinkPreviewConfidence linkPreviewConfidence) = 0;
  // No error: the share is complete and live.
  virtual void shareManagerDidComplete(std::optional<Error> error) = 0;
};

// The manager's collaborators; tests and hosts substitute any of them.
struct ShareManagerProviders {
  std::shared_ptr<NetworkShareProtocol> shareNetwork;
  std::shared_ptr<NetworkUploadProtocol> uploadNetwork;
  std::shared_ptr<RenderProtocol> render;

  // The shared backend client in both network roles and a new renderer.
  static ShareManagerProviders defaults();
};

class ShareManagerVideo : public std::enable_shared_from_this<ShareManagerVideo> {
 public:
  enum class Error { unknown = 1, destoryed };
  enum class UploadKey { previewImage, videoContent };

  static std::shared_ptr<ShareManagerVideo> create(
      const VideoContent& videoContent, std::weak_ptr<ShareManagerVideoDelegate> delegate,
      ShareManagerProviders providers);

  // Starts the pipeline; called once, by the content.
  void begin();
  // After a share: keeps the share alive when its link was used, else
  // deletes it.
  void cleanupContent(const std::vector<ShareStretegyType>& types);
  void destroy();

  bool destroyed() const { return destroyed_.load(); }
  // Whether nothing the manager started is still on its way: no render,
  // request, upload or deletion whose completion has yet to return. Once the
  // share is live, has failed, or its deletion (also of a share that was
  // created after the cleanup) has been answered, the manager is settled
  // until it is cleaned up. Before begin() it is settled too. Any thread;
  // a host waits for it before it ends the process under the pipeline.
  bool settled() const { return operationsInFlight_.load() == 0; }

  // Runs between recording an activation and checking whether both are
  // recorded, on the thread of the activation's reply. Empty unless a test
  // sets it before begin() to hold two replies there at once.
  std::function<void(UploadKey)> activationRecordedForTesting;

 private:
  ShareManagerVideo(const VideoContent& videoContent,
                    std::weak_ptr<ShareManagerVideoDelegate> delegate,
                    ShareManagerProviders providers);

  void renderCompleted(Result<ThumbnailAndVideo> result);
  void uploadPlan();
  void shareCreated(Result<ShareResponse> result, std::shared_ptr<const Data> thumbnail,
                    std::shared_ptr<const Data> video);
  void upload(UploadKey key, const UploadPlan& plan, std::shared_ptr<const Data> data);
  void activate(UploadKey key);
  void activated(UploadKey key, Result<EmptyResponse> result);
  void report(std::optional<velmoradine::Error> error);
  // Counts an operation as in flight from now until `completion` has
  // returned, so that a step started by a completion is counted before the
  // completion that started it is no longer.
  template <typename Completion>
  auto inFlight(Completion completion);
  std::shared_ptr<ShareManagerVideoDelegate> delegate() const { return delegate_.lock(); }
  std::optional<Shareable> storedShareable() const;

  const std::weak_ptr<ShareManagerVideoDelegate> delegate_;
  const ShareManagerProviders providers_;
  const URL videoURL_;
  const std::string title_;

  std::atomic<bool> destroyed_ = false;
  std::atomic<bool> previewImageCompleted_ = false;
  std::atomic<bool> videoContentCompleted_ = false;
  std::atomic<bool> succeededReported_ = false;
  std::atomic<int> operationsInFlight_ = 0;

  mutable std::mutex mutex_;
  std::shared_ptr<const Data> thumbnail_;        // guarded by mutex_
  std::shared_ptr<const Data> renderedVideo_;    // guarded by mutex_
  std::optional<std::string> renderedVideoMD5_;  // guarded by mutex_
  std::optional<Shareable> shareable_;           // guarded by mutex_
};

std::string_view rawValue(ShareManagerVideo::UploadKey key);
// The case name written in log lines ("previewImage", "videoContent").
std::string_view caseName(ShareManagerVideo::UploadKey key);

const ErrorCategory& shareManagerVideoErrorCategory();
std::error_code make_error_code(ShareManagerVideo::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::ShareManagerVideo::Error> : std::true_type {};
