#include "velmoradine/share/video_content.hpp"

#include "velmoradine/platform/foundation/file_contents.hpp"

namespace velmoradine {

VideoContentProviders VideoContentProviders::defaults() {
  return {Datastore::shared().applicationDatastore, ShareManagerProviders::defaults()};
}

VideoContent::VideoContent(URL videoURL, std::string title, std::shared_ptr<const Data> bytes,
                           std::shared_ptr<ApplicationDatastoreProtocol> datastore)
    : datastore_(std::move(datastore)),
      title_(std::move(title)),
      videoURL_(std::move(videoURL)),
      rawShareStrategy_(std::make_shared<RawShareStrategy>(std::move(bytes))) {}

Result<std::shared_ptr<VideoContent>> VideoContent::create(URL videoURL, std::string title,
                                                           VideoContentProviders providers) {
  VELMORADINE_ASSIGN_OR_RETURN(Data bytes, viewContents(videoURL.filePath()));
  std::shared_ptr<VideoContent> content(new VideoContent(
      std::move(videoURL), std::move(title), std::make_shared<const Data>(std::move(bytes)),
      std::move(providers.datastore)));
  content->shareManager_ =
      ShareManagerVideo::create(*content, content, std::move(providers.videoManagerProviders));
  content->shareManager_->begin();
  return content;
}

void VideoContent::cleanupContent(const std::vector<ShareStretegyType>& types) {
  if (shareManager_) shareManager_->cleanupContent(types);
}

std::shared_ptr<RawShareStrategy> VideoContent::rawStrategy(const ShareOutletIdentity*) const {
  return rawShareStrategy_;
}

std::shared_ptr<LinkPreviewShareStrategy> VideoContent::linkPreviewStrategy(
    const ShareOutletIdentity*) const {
  std::lock_guard lock(mutex_);
  if (!linkPreviewShareStrategy_ || confidence_ < linkPreviewConfidenceRequired) return nullptr;
  return linkPreviewShareStrategy_;
}

bool VideoContent::linkPreviewAvailable() const {
  return linkPreviewStrategy() != nullptr;
}

std::shared_ptr<RenderedShareStrategy> VideoContent::renderedShareStrategy() const {
  std::lock_guard lock(mutex_);
  return renderedShareStrategy_;
}

LinkPreviewConfidence VideoContent::linkPreviewShareStrategyConfidence() const {
  std::lock_guard lock(mutex_);
  return confidence_;
}

std::string VideoContent::text() const {
  if (auto link = linkPreviewStrategy()) return title_ + " " + link->link();
  return title_;
}

std::optional<URL> VideoContent::ctaLink() const {
  std::optional<ApplicationResponse> application = datastore_->application();
  if (!application) return std::nullopt;
  return URL::parse(application->cta_link.value_or(""));
}

void VideoContent::renderedStrategyDidUpdate(std::shared_ptr<RenderedShareStrategy> strategy) {
  std::lock_guard lock(mutex_);
  renderedShareStrategy_ = std::move(strategy);
}

void VideoContent::linkPreviewStrategyDidUpdate(
    std::shared_ptr<LinkPreviewShareStrategy> strategy) {
  std::lock_guard lock(mutex_);
  linkPreviewShareStrategy_ = std::move(strategy);
}

void VideoContent::linkPreviewConfidenceDidUpdate(LinkPreviewConfidence confidence) {
  std::lock_guard lock(mutex_);
  confidence_ = confidence;
}

void VideoContent::shareManagerDidComplete(std::optional<Error> error) {
  if (!error) return;
  std::lock_guard lock(mutex_);
  confidence_ = LinkPreviewConfidence::none;
  pipelineError_ = std::move(error);
}

std::optional<Error> VideoContent::pipelineError() const {
  std::lock_guard lock(mutex_);
  return pipelineError_;
}

}  // namespace velmoradine
