#include "velmoradine/outlets/copy.hpp"

#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr const char* kVideoPasteboardType = "public.mpeg-4";

class CopyType final : public ShareOutletType {
 public:
  std::string typeName() const override { return "Copy"; }
  std::string imageName() const override { return "Copy"; }
  std::string outletName() const override { return "Copy"; }
  std::string canonicalOutletName() const override { return "copy"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<NoRequirements>();
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<Copy>(std::move(content));
  }
};

}  // namespace

const std::shared_ptr<const ShareOutletType>& Copy::outletType() {
  static const auto* type =
      new std::shared_ptr<const ShareOutletType>(std::make_shared<CopyType>());
  return *type;
}

Copy::Copy(std::shared_ptr<Content> content) : ShareOutletProtocol(std::move(content)) {}

void Copy::share(const std::shared_ptr<UIViewController>&) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  const auto pasteboard = SystemServices::current()->generalPasteboard;
  pasteboard->setString(video->text());
  pasteboard->setData(video->rawStrategy(this)->data(), kVideoPasteboardType);
  reportSuccess({ShareStretegyType::linkPreview, ShareStretegyType::raw});
}

}  // namespace velmoradine
