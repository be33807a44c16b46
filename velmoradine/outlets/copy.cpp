#include "velmoradine/outlets/copy.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr const char* kVideoPasteboardType = "public.mpeg-4";

}  // namespace

const std::shared_ptr<const ShareOutletType>& Copy::outletType() {
  return sharedOutletType<KitShareOutletType<Copy, NoRequirements>>(
      {"Copy", "Copy", "Copy", "copy"});
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
