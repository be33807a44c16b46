#pragma once

// Substitutes for the share manager's collaborators that record what they
// were asked and answer when the test says so, on the thread the test
// chooses.

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/network/network_protocols.hpp"
#include "velmoradine/share/render.hpp"
#include "velmoradine/share/share_manager_video.hpp"

namespace velmoradine::testing {

class RecordingRender final : public RenderProtocol {
 public:
  using Completion = std::function<void(Result<ThumbnailAndVideo>)>;

  void renderThumbnailAndVideo(const std::filesystem::path& videoURL,
                               Completion completion) override {
    std::lock_guard lock(mutex);
    requested.push_back(videoURL);
    pending = std::move(completion);
  }
  void answer(Result<ThumbnailAndVideo> result) {
    Completion completion;
    {
      std::lock_guard lock(mutex);
      completion = std::move(pending);
    }
    completion(std::move(result));
  }
  // A completion held here keeps its manager alive, and the manager keeps
  // this renderer: a test drops what it never answered.
  void forget() {
    std::lock_guard lock(mutex);
    pending = nullptr;
  }

  std::mutex mutex;
  std::vector<std::filesystem::path> requested;
  Completion pending;
};

// Answers share creation with `shareResponse`, uploads and activations with
// success unless told to fail, immediately on the calling thread unless held.
class RecordingNetwork final : public NetworkShareProtocol, public NetworkUploadProtocol {
 public:
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

  // Releases a held share creation.
  void releaseShare();
  // Answers a held deletion with success.
  void releaseDeletion();

  static ShareResponse sampleResponse();

  std::mutex mutex;
  bool holdShareRequest = false;
  bool holdDeletion = false;
  std::optional<Error> shareError;
  std::optional<Error> videoUploadError;
  std::optional<Error> activateError;
  std::optional<Error> deleteError;
  std::vector<ShareRequest> shareRequests;
  std::vector<std::string> uploadedPlans;  // the plan's address, in call order
  std::vector<std::size_t> uploadedSizes;
  std::vector<ActivateRequest> activations;
  std::vector<DeleteShareRequest> deletions;
  NetworkCompletion<ShareResponse> heldShare;
  NetworkCompletion<EmptyResponse> heldDeletion;
};

// Records every delegate call as one line of text.
class RecordingDelegate final : public ShareManagerVideoDelegate {
 public:
  void renderedStrategyDidUpdate(std::shared_ptr<RenderedShareStrategy> strategy) override;
  void linkPreviewStrategyDidUpdate(std::shared_ptr<LinkPreviewShareStrategy> strategy) override;
  void linkPreviewConfidenceDidUpdate(LinkPreviewConfidence confidence) override;
  void shareManagerDidComplete(std::optional<Error> error) override;
  std::vector<std::string> calls();

  std::mutex mutex;
  std::vector<std::string> recorded;
};

}  // namespace velmoradine::testing
