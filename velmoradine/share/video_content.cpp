#include "velmoradine/share/video_content.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmoradine {

Result<std::shared_ptr<const Data>> readFile(const std::filesystem::path& path) {
  int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) return failure(Error::posix(errno, path.string()));
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    int code = S_ISDIR(status.st_mode) ? EISDIR : errno;
    ::close(descriptor);
    return failure(Error::posix(code ? code : EINVAL, path.string()));
  }
  auto bytes = std::make_shared<Data>(static_cast<std::size_t>(status.st_size));
  std::size_t done = 0;
  while (done < bytes->size()) {
    ssize_t got = ::read(descriptor, bytes->data() + done, bytes->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      int code = got < 0 ? errno : EIO;
      ::close(descriptor);
      return failure(Error::posix(code, path.string()));
    }
    done += static_cast<std::size_t>(got);
  }
  ::close(descriptor);
  return std::shared_ptr<const Data>(std::move(bytes));
}

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
  auto bytes = readFile(videoURL.filePath());
  if (!bytes) return failure(bytes.error());
  std::shared_ptr<VideoContent> content(new VideoContent(
      std::move(videoURL), std::move(title), std::move(*bytes), std::move(providers.datastore)));
  content->shareManager_ =
      ShareManagerVideo::create(*content, content, std::move(providers.videoManagerProviders));
  content->shareManager_->begin();
  return content;
}

void VideoContent::cleanupContent(const std::vector<ShareStretegyType>& types) {
  if (shareManager_) shareManager_->cleanupContent(types);
}

std::shared_ptr<LinkPreviewShareStrategy> VideoContent::linkPreviewStrategy() const {
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
}

}  // namespace velmoradine
