#include "velmoradine/outlets/more.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/platform/services/ui_activity_view_controller.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr const char* kUnableToShow = "Unable to show the share sheet";

}  // namespace

const std::shared_ptr<const ShareOutletType>& More::outletType() {
  return sharedOutletType<KitShareOutletType<More, NoRequirements>>(
      {"More", "More", "More", "more"});
}

More::More(std::shared_ptr<Content> content) : ShareOutletProtocol(std::move(content)) {}

void More::share(const std::shared_ptr<UIViewController>& viewController) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  // Without a screen to show it on, the sheet would wait forever for an
  // answer nobody can give.
  if (!viewController) return reportFailure(kUnableToShow);
  // Decided once, so the text handed over and the strategies reported agree
  // even if the link goes live meanwhile.
  const bool linkAvailable = video->linkPreviewAvailable();
  auto sheet = std::make_shared<UIActivityViewController>(
      std::vector<ActivityItem>{linkAvailable ? video->text() : video->title(), video->videoURL()});
  sheet->setCompletionWithItemsHandler([self = std::static_pointer_cast<More>(shared_from_this()),
                                        linkAvailable](std::optional<std::string>, bool completed) {
    if (!completed) return self->reportCancelled();
    if (linkAvailable) {
      self->reportSuccess({ShareStretegyType::raw, ShareStretegyType::linkPreview});
    } else {
      self->reportSuccess({ShareStretegyType::raw});
    }
  });
  viewController->present(sheet, true);
}

}  // namespace velmoradine
