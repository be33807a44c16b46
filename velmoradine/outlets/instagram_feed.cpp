#include "velmoradine/outlets/instagram_feed.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/outlets/video_saving.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kSaveFailed = "Unable to save video to share to Instagram.";

class InstagramFeedType final
    : public KitShareOutletType<InstagramFeed, InstagramFeedRequirements> {
 public:
  using KitShareOutletType::KitShareOutletType;
  bool canPerform(ContentType contentType) const override {
    return ShareOutletUtils::isInstagramAppInstalled() && contentType == ContentType::video;
  }
};

}  // namespace

const std::shared_ptr<const ShareOutletType>& InstagramFeed::outletType() {
  return sharedOutletType<InstagramFeedType>(
      {"InstagramFeed", "InstagramFeed", "Instagram", "instagram-feed"});
}

InstagramFeed::InstagramFeed(std::shared_ptr<Content> content)
    : ShareOutletProtocol(std::move(content)) {}

void InstagramFeed::share(const std::shared_ptr<UIViewController>& viewController) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
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
