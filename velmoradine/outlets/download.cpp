#include "velmoradine/outlets/download.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/outlets/video_saving.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kSaveFailed = "Unable to save video.";

}  // namespace

const std::shared_ptr<const ShareOutletType>& Download::outletType() {
  return sharedOutletType<KitShareOutletType<Download, PhotoRequirement>>(
      {"Download", "Download", "Download", "download"});
}

Download::Download(std::shared_ptr<Content> content) : ShareOutletProtocol(std::move(content)) {}

void Download::share(const std::shared_ptr<UIViewController>& viewController) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  auto self = std::static_pointer_cast<Download>(shared_from_this());
  PhotoPermissionHelper::make(viewController, video, self, self)->requestPermission();
}

void Download::succeeded() {
  auto video = content() ? content()->videoContent() : nullptr;
  if (!video) return reportFailure(kSaveFailed);
  saveVideoToPhotoLibrary(video->videoURL(), type().typeName(),
                          [self = std::static_pointer_cast<Download>(shared_from_this())](
                              std::optional<PHAsset> asset) {
                            asset ? self->reportSuccess({ShareStretegyType::raw})
                                  : self->reportFailure(kSaveFailed);
                          });
}

void Download::cancelled() {
  reportCancelled();
}

void Download::failed() {
  reportCancelled();
}

}  // namespace velmoradine
