#include "velmoradine/outlets/instagram_feed.hpp"

#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/outlets/video_saving.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kSaveFailed = "Unable to save video to share to Instagram.";

class InstagramFeedType final : public ShareOutletType {
 public:
  std::string typeName() const override { return "InstagramFeed"; }
  std::string imageName() const override { return "InstagramFeed"; }
  std::string outletName() const override { return "Instagram"; }
  std::string canonicalOutletName() const override { return "instagram-feed"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<InstagramFeedRequirements>();
  }
  bool canPerform(ContentType contentType) const override {
    return ShareOutletUtils::isInstagramAppInstalled() && contentType == ContentType::video;
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<InstagramFeed>(std::move(content));
  }
};

}  // namespace

const std::shared_ptr<const ShareOutletType>& InstagramFeed::outletType() {
  static const auto* type = new std::shared_ptr<const ShareOutletType>(new InstagramFeedType());
  return *type;
}

InstagramFeed::InstagramFeed(std::shared_ptr<Content> content)
    : ShareOutletProtocol(std::move(content)) {}

void InstagramFeed::share(const std::shared_ptr<UIViewController>& viewController) {
  auto video = content() ? content()->videoContent() : nullptr;
  if (!video) return reportFailure("Invalid content type");
  auto self = std::static_pointer_cast<InstagramFeed>(shared_from_this());
  PhotoPermissionHelper::make(viewController, video, self, self)->requestPermission();
}

void InstagramFeed::succeeded() {
  auto video = content() ? content()->videoContent() : nullptr;
  if (!video) return reportFailure(kSaveFailed);
  saveVideoToPhotoLibrary(video->videoURL(), type().typeName(),
                          [self = std::static_pointer_cast<InstagramFeed>(shared_from_this())](
                              std::optional<PHAsset> asset) {
                            if (!asset) return self->reportFailure(kSaveFailed);
                            self->openInstagram(*asset);
                          });
}

void InstagramFeed::openInstagram(const PHAsset& asset) {
  auto url = URL::parse("instagram://library?LocalIdentifier=" + asset.localIdentifier);
  if (!url) return reportFailure(kSaveFailed);
  DispatchQueue::main()->async(
      [self = std::static_pointer_cast<InstagramFeed>(shared_from_this()), url = *url] {
        if (!UIApplication::shared().canOpenURL(url)) {
          return self->reportFailure("Unable to open instagram");
        }
        self->reportSuccess({ShareStretegyType::raw});
        UIApplication::shared().open(url);
      });
}

void InstagramFeed::cancelled() {
  reportCancelled();
}

void InstagramFeed::failed() {
  reportCancelled();
}

}  // namespace velmoradine
