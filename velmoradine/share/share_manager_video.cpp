#include "velmoradine/share/share_manager_video.hpp"

#include <algorithm>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/network/upload_plan.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

void print(std::string_view line) {
  console::writeLine(line);
}

}  // namespace

ShareManagerProviders ShareManagerProviders::defaults() {
  return {Network::shared(), Network::shared(), Render::make()};
}

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    ShareManagerVideo::Error, shareManagerVideoErrorCategory, "Velmoradine.ShareManagerVideo",
    {ShareManagerVideo::Error::unknown, "An unknown error occurred."},
    {ShareManagerVideo::Error::destoryed, "Resource was destroyed."})

std::string_view rawValue(ShareManagerVideo::UploadKey key) {
  return key == ShareManagerVideo::UploadKey::previewImage ? "preview_image" : "video_content";
}

std::string_view caseName(ShareManagerVideo::UploadKey key) {
  return key == ShareManagerVideo::UploadKey::previewImage ? "previewImage" : "videoContent";
}

ShareManagerVideo::ShareManagerVideo(const VideoContent& videoContent,
                                     std::weak_ptr<ShareManagerVideoDelegate> delegate,
                                     ShareManagerProviders providers)
    : delegate_(std::move(delegate)),
      providers_(std::move(providers)),
      videoURL_(videoContent.videoURL()),
      title_(videoContent.title()) {}

std::shared_ptr<ShareManagerVideo> ShareManagerVideo::create(
    const VideoContent& videoContent, std::weak_ptr<ShareManagerVideoDelegate> delegate,
    ShareManagerProviders providers) {
  return std::shared_ptr<ShareManagerVideo>(
      new ShareManagerVideo(videoContent, std::move(delegate), std::move(providers)));
}

template <typename Completion>
auto ShareManagerVideo::inFlight(Completion completion) {
  ++operationsInFlight_;
  return [self = shared_from_this(), completion = std::move(completion)](auto result) mutable {
    completion(std::move(result));
    --self->operationsInFlight_;
  };
}

void ShareManagerVideo::begin() {
  providers_.render->renderThumbnailAndVideo(
      videoURL_.filePath(), inFlight([self = shared_from_this()](Result<ThumbnailAndVideo> result) {
        self->renderCompleted(std::move(result));
      }));
}

void ShareManagerVideo::report(std::optional<velmoradine::Error> error) {
  if (auto target = delegate()) target->shareManagerDidComplete(std::move(error));
}

std::optional<Shareable> ShareManagerVideo::storedShareable() const {
  std::lock_guard lock(mutex_);
  return shareable_;
}

void ShareManagerVideo::renderCompleted(Result<ThumbnailAndVideo> result) {
  if (!result) {
    Logger::velmoradineDebug("[VideoManager render] failure", result.error());
    report(result.error());
    return;
  }
  print("[Velmoradine] [VideoManager render] success");
  auto thumbnail = std::make_shared<const Data>(std::move(result->thumbnail));
  auto video = std::make_shared<const Data>(std::move(result->video));
  {
    std::lock_guard lock(mutex_);
    thumbnail_ = thumbnail;
    renderedVideo_ = video;
    renderedVideoMD5_ = std::move(result->videoMD5);
  }
  if (auto target = delegate()) {
    target->renderedStrategyDidUpdate(std::make_shared<RenderedShareStrategy>(video));
  }
  uploadPlan();
}

void ShareManagerVideo::uploadPlan() {
  if (destroyed_) return;
  std::shared_ptr<const Data> thumbnail;
  std::shared_ptr<const Data> video;
  std::optional<std::string> videoMD5;
  {
    std::lock_guard lock(mutex_);
    thumbnail = thumbnail_;
    video = renderedVideo_;
    videoMD5 = renderedVideoMD5_;
  }
  if (!thumbnail || !video) {
    report(velmoradine::Error(Error::unknown));
    return;
  }
  Result<std::string> digest =
      videoMD5 ? Result<std::string>(*videoMD5) : streamedMD5Base64(*video);
  Result<UploadPlanRequest> preview = velmoradine::uploadPlan(*thumbnail, "image/jpeg");
  if (!digest || !preview) {
    const velmoradine::Error& error = digest ? preview.error() : digest.error();
    Logger::velmoradineDebug("[VideoManager uploadPlan] failure", error);
    report(error);
    return;
  }
  ShareRequest request{
      .video_content =
          UploadPlanRequest{static_cast<std::int64_t>(video->size()), *digest, "video/mp4"},
      .preview_image = std::move(*preview),
      .shareable = ShareableRequest{.title = title_, .shareable_type = "video"},
  };
  providers_.shareNetwork->shareRequest(request, inFlight([self = shared_from_this(), thumbnail,
                                                           video](Result<ShareResponse> result) {
                                          self->shareCreated(std::move(result), thumbnail, video);
                                        }));
}

void ShareManagerVideo::shareCreated(Result<ShareResponse> result,
                                     std::shared_ptr<const Data> thumbnail,
                                     std::shared_ptr<const Data> video) {
  if (!result) {
    Logger::velmoradineDebug("[VideoManager uploadPlan] failure", result.error());
    report(result.error());
    return;
  }
  bool destroyedMeanwhile = false;
  {
    // Storing the share and checking for destruction under the lock that
    // destroy() takes means exactly one of the two deletes a late share.
    std::lock_guard lock(mutex_);
    shareable_ = result->shareable;
    destroyedMeanwhile = destroyed_;
  }
  if (destroyedMeanwhile) {
    // The content was cleaned up while the share was being created: withdraw
    // the share that nobody will use. Destruction was already reported, so a
    // failure here is only logged: it leaves a share alive on the server.
    providers_.shareNetwork->deleteShare(
        DeleteShareRequest{result->shareable.shareable_access_token},
        inFlight([](Result<EmptyResponse> deleted) {
          if (!deleted) Logger::velmoradineDebug("[VideoManager destroy] failure", deleted.error());
        }));
    return;
  }
  if (auto target = delegate()) {
    target->linkPreviewStrategyDidUpdate(
        std::make_shared<LinkPreviewShareStrategy>(result->shareable.link));
    target->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::planReceived);
  }
  print("[Velmoradine] [VideoManager uploadPlan] success");
  if (!destroyed_) upload(UploadKey::previewImage, result->preview_image, thumbnail);
  if (!destroyed_) upload(UploadKey::videoContent, result->video_content, video);
}

void ShareManagerVideo::upload(UploadKey key, const UploadPlan& plan,
                               std::shared_ptr<const Data> data) {
  providers_.uploadNetwork->upload(
      plan, std::move(data), inFlight([self = shared_from_this(), key](Result<void> result) {
        if (!result) {
          Logger::velmoradineDebug("[VideoManager upload] failure " + std::string(caseName(key)),
                                   result.error());
          self->report(result.error());
          return;
        }
        print("[Velmoradine] [VideoManager upload] success " + std::string(caseName(key)));
        self->activate(key);
      }));
}

void ShareManagerVideo::activate(UploadKey key) {
  if (destroyed_) return;
  std::optional<Shareable> shareable = storedShareable();
  if (!shareable) {
    report(velmoradine::Error(Error::unknown));
    return;
  }
  ActivateRequest request{
      .video_content = key == UploadKey::videoContent,
      .preview_image = key == UploadKey::previewImage,
      .shareable_access_token = shareable->shareable_access_token,
  };
  providers_.shareNetwork->activateShare(
      request, inFlight([self = shared_from_this(), key](Result<EmptyResponse> result) {
        self->activated(key, std::move(result));
      }));
}

void ShareManagerVideo::activated(UploadKey key, Result<EmptyResponse> result) {
  if (!result) {
    Logger::velmoradineDebug("[VideoManager activate] failure " + std::string(caseName(key)),
                             result.error());
    report(result.error());
    return;
  }
  print("[Velmoradine] [VideoManager activate] success " + std::string(caseName(key)));
  (key == UploadKey::previewImage ? previewImageCompleted_ : videoContentCompleted_) = true;
  if (activationRecordedForTesting) activationRecordedForTesting(key);
  if (previewImageCompleted_ && videoContentCompleted_ && !succeededReported_.exchange(true)) {
    if (auto target = delegate()) {
      target->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::succeeded);
    }
    report(std::nullopt);
  }
}

void ShareManagerVideo::cleanupContent(const std::vector<ShareStretegyType>& types) {
  if (std::find(types.begin(), types.end(), ShareStretegyType::linkPreview) != types.end()) {
    return;
  }
  destroy();
}

void ShareManagerVideo::destroy() {
  std::optional<Shareable> shareable;
  {
    std::lock_guard lock(mutex_);
    destroyed_ = true;
    shareable = shareable_;
  }
  if (!shareable) {
    report(velmoradine::Error(Error::destoryed));
    return;
  }
  providers_.shareNetwork->deleteShare(
      DeleteShareRequest{shareable->shareable_access_token},
      inFlight([self = shared_from_this()](Result<EmptyResponse> result) {
        if (!result) {
          Logger::velmoradineDebug("[VideoManager destroy] failure", result.error());
          self->report(result.error());
          return;
        }
        print("[Velmoradine] [VideoManager destroy] success");
        self->report(velmoradine::Error(Error::destoryed));
      }));
}

}  // namespace velmoradine
