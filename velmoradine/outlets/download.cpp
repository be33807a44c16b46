#include "velmoradine/outlets/download.hpp"

#include "velmoradine/outlets/video_saving.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kSaveFailed = "Unable to save video.";

class DownloadType final : public ShareOutletType {
 public:
  std::string typeName() const override { return "Download"; }
  std::string imageName() const override { return "Download"; }
  std::string outletName() const override { return "Download"; }
  std::string canonicalOutletName() const override { return "download"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<PhotoRequirement>();
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<Download>(std::move(content));
  }
};

}  // namespace

const std::shared_ptr<const ShareOutletType>& Download::outletType() {
  static const auto* type = new std::shared_ptr<const ShareOutletType>(new DownloadType());
  return *type;
}

Download::Download(std::shared_ptr<Content> content) : ShareOutletProtocol(std::move(content)) {}

void Download::share(const std::shared_ptr<UIViewController>& viewController) {
  auto video = content() ? content()->videoContent() : nullptr;
  if (!video) return reportFailure("Invalid content type");
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
