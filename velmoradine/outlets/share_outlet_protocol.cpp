#include "velmoradine/outlets/share_outlet_protocol.hpp"

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine {

std::shared_ptr<const ShareOutletRequirementProtocol> ShareOutletType::requirements() const {
  return nullptr;
}

std::optional<Image> ShareOutletType::buttonImage() const {
  const auto path = Bundle::module().pathForResource("Assets/" + imageName(), "png");
  if (!path) return std::nullopt;
  auto image = Image::read(*path);
  if (!image) return std::nullopt;
  return std::move(*image);
}

bool ShareOutletType::canPerform(ContentType contentType) const {
  if (const auto required = requirements()) {
    // Held here: the dictionary lives in the bundle, which a change of
    // main bundle on another thread would otherwise free under us.
    const Bundle bundle = Bundle::main();
    const Plist* plist = bundle.infoDictionary().dictionary();
    if (!required->met(plist ? *plist : Plist{})) {
      Logger::velmoradineDebug("Can't enable outlet " + typeName() + " please check plist", {},
                               DocumentationIdentifier::plitRequirementsNotMet);
      return false;
    }
  }
  return contentType == ContentType::video;
}

std::shared_ptr<VelmoradineLifecycleDelegate> ShareOutletType::outletLifecycleDelegate() const {
  std::lock_guard lock(mutex_);
  return outletLifecycleDelegate_;
}

void ShareOutletType::setOutletLifecycleDelegate(
    std::shared_ptr<VelmoradineLifecycleDelegate> delegate) const {
  std::lock_guard lock(mutex_);
  outletLifecycleDelegate_ = std::move(delegate);
}

ShareOutletProtocol::ShareOutletProtocol(std::shared_ptr<Content> content)
    : content_(std::move(content)) {}

std::shared_ptr<ShareOutletDelegate> ShareOutletProtocol::delegate() const {
  std::lock_guard lock(mutex_);
  return delegate_.lock();
}

void ShareOutletProtocol::setDelegate(std::weak_ptr<ShareOutletDelegate> delegate) {
  std::lock_guard lock(mutex_);
  delegate_ = std::move(delegate);
}

std::shared_ptr<Content> ShareOutletProtocol::content() const {
  std::lock_guard lock(mutex_);
  return content_;
}

void ShareOutletProtocol::setContent(std::shared_ptr<Content> content) {
  std::lock_guard lock(mutex_);
  content_ = std::move(content);
}

void ShareOutletProtocol::reportSuccess(std::vector<ShareStretegyType> strategiesUsed) {
  if (auto target = delegate()) target->success(*this, std::move(strategiesUsed));
}

void ShareOutletProtocol::reportFailure(std::string error) {
  if (auto target = delegate()) target->failure(*this, std::move(error));
}

void ShareOutletProtocol::reportCancelled() {
  if (auto target = delegate()) target->cancelled(*this);
}

std::shared_ptr<VideoContent> ShareOutletProtocol::videoContentOrReportFailure() {
  const auto shared = content();
  auto video = shared ? shared->videoContent() : nullptr;
  if (!video) reportFailure("Invalid content type");
  return video;
}

}  // namespace velmoradine
