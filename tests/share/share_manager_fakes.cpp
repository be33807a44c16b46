#include "tests/share/share_manager_fakes.hpp"

namespace velmoradine::testing {

ShareResponse RecordingNetwork::sampleResponse() {
  auto plan = [](const std::string& address) {
    return UploadPlan{UploadPlan::Strategy::configurable,
                      Configurable{DirectUpload{*URL::parse(address), {}}}};
  };
  return ShareResponse{plan("https://storage.test/video"), plan("https://storage.test/preview"),
                       Shareable{"Title", "https://link.test/s/abc", "token-1"}};
}

void RecordingNetwork::shareRequest(const ShareRequest& share,
                                    NetworkCompletion<ShareResponse> completion) {
  std::unique_lock lock(mutex);
  shareRequests.push_back(share);
  if (holdShareRequest) {
    heldShare = std::move(completion);
    return;
  }
  std::optional<Error> error = shareError;
  lock.unlock();
  if (error) {
    completion(failure(*error));
  } else {
    completion(sampleResponse());
  }
}

void RecordingNetwork::releaseShare() {
  NetworkCompletion<ShareResponse> completion;
  {
    std::lock_guard lock(mutex);
    completion = std::move(heldShare);
  }
  completion(sampleResponse());
}

void RecordingNetwork::releaseDeletion() {
  NetworkCompletion<EmptyResponse> completion;
  {
    std::lock_guard lock(mutex);
    completion = std::move(heldDeletion);
  }
  completion(EmptyResponse{});
}

void RecordingNetwork::activateShare(const ActivateRequest& activate,
                                     NetworkCompletion<EmptyResponse> completion) {
  std::optional<Error> error;
  {
    std::lock_guard lock(mutex);
    activations.push_back(activate);
    error = activateError;
  }
  if (error) {
    completion(failure(*error));
  } else {
    completion(EmptyResponse{});
  }
}

void RecordingNetwork::deleteShare(const DeleteShareRequest& deleteRequest,
                                   NetworkCompletion<EmptyResponse> completion) {
  std::optional<Error> failed;
  {
    std::lock_guard lock(mutex);
    deletions.push_back(deleteRequest);
    failed = deleteError;
    if (holdDeletion) {
      heldDeletion = std::move(completion);
      return;
    }
  }
  if (failed) return completion(failure(*failed));
  completion(EmptyResponse{});
}

void RecordingNetwork::upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
                              NetworkCompletion<void> completion) {
  std::optional<Error> error;
  {
    std::lock_guard lock(mutex);
    std::string address = plan.configurable->direct_upload.url.absoluteString();
    uploadedPlans.push_back(address);
    uploadedSizes.push_back(data->size());
    if (address.ends_with("/video")) error = videoUploadError;
  }
  if (error) {
    completion(failure(*error));
  } else {
    completion({});
  }
}

void RecordingNetwork::uploadWithConfigurable(const Configurable&, std::shared_ptr<const Data>,
                                              NetworkCompletion<void> completion) {
  completion({});
}

void RecordingDelegate::renderedStrategyDidUpdate(std::shared_ptr<RenderedShareStrategy> strategy) {
  std::lock_guard lock(mutex);
  recorded.push_back("rendered " + std::to_string(strategy->data()->size()));
}

void RecordingDelegate::linkPreviewStrategyDidUpdate(
    std::shared_ptr<LinkPreviewShareStrategy> strategy) {
  std::lock_guard lock(mutex);
  recorded.push_back("link " + strategy->link());
}

void RecordingDelegate::linkPreviewConfidenceDidUpdate(LinkPreviewConfidence confidence) {
  std::lock_guard lock(mutex);
  recorded.push_back("confidence " + std::to_string(static_cast<int>(confidence)));
}

void RecordingDelegate::shareManagerDidComplete(std::optional<Error> error) {
  std::lock_guard lock(mutex);
  recorded.push_back(error ? "complete " + error->localizedDescription() : "complete");
}

std::vector<std::string> RecordingDelegate::calls() {
  std::lock_guard lock(mutex);
  return recorded;
}

}  // namespace velmoradine::testing
