// The share sheet's flow: outlet taps, waiting for the content, sharing,
// the outlets' outcomes, the swipe-away, the error alert and the logo.

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/ui/haptics.hpp"
#include "velmoradine/ui/kit_pages.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine {
namespace {

constexpr double kHighlightScale = 1.1;
constexpr const char* kConsolePrefix = "[Velmoradine] [ShareSheetViewController] ";

// The icon: the first subview of the cell's content view, itself the cell's
// first subview.
std::shared_ptr<UIView> iconOf(const std::shared_ptr<UICollectionViewCell>& cell) {
  if (!cell || cell->subviews().empty()) return nullptr;
  const auto& content = cell->subviews().front();
  return content->subviews().empty() ? nullptr : content->subviews().front();
}

}  // namespace

void ShareSheetViewController::didHighlightItemAt(UICollectionView& collectionView,
                                                  const IndexPath& indexPath) {
  Haptics::shared().play(HapticType::light);
  if (auto icon = iconOf(collectionView.cellForItem(indexPath))) {
    icon->setTransform(AffineTransform::makeScale(kHighlightScale, kHighlightScale));
  }
}

void ShareSheetViewController::didUnhighlightItemAt(UICollectionView& collectionView,
                                                    const IndexPath& indexPath) {
  if (auto icon = iconOf(collectionView.cellForItem(indexPath))) {
    icon->setTransform(AffineTransform::identity());
  }
}

void ShareSheetViewController::didSelectItemAt(UICollectionView&, const IndexPath& indexPath) {
  if (spinningCellIndex_) return;
  auto outlet = shareOutlets_.at(static_cast<std::size_t>(indexPath.row()));
  addEvent("share_outlet." + outlet->canonicalOutletName() + ".started");
  if (content_) {
    console::writeLine(std::string(kConsolePrefix) + "content found");
    share(content_, outlet);
    return;
  }
  spin(indexPath, true);
  addEvent("share_sheet.rendering_incomplete_on_tap");
  waitForContent(indexPath, std::move(outlet));
}

void ShareSheetViewController::waitForContent(const IndexPath& indexPath,
                                              std::shared_ptr<const ShareOutletType> outlet) {
  if (!vidoeContentFuture_) {
    console::writeLine(std::string(kConsolePrefix) + "videoContentFuture not found");
    presentError("Unable to share right now, content not available");
    return;
  }
  // Holds the sheet until the content is there: the user is waiting for it.
  vidoeContentFuture_->addCompletion(
      [sheet = self(), indexPath, outlet](VideoContentFuture::VideoContentResult result) mutable {
        DispatchQueue::main()->async([sheet, indexPath, outlet, result = std::move(result)] {
          sheet->spin(indexPath, false);
          // A user who swiped the sheet away took the tap back.
          if (sheet->closed_) return;
          if (result) {
            sheet->share(*result, outlet);
          } else {
            sheet->presentError("Unable share right now: " + result.error().localizedDescription());
          }
        });
      });
}

void ShareSheetViewController::spin(const IndexPath& indexPath, bool spinning) {
  std::vector<IndexPath> refreshed{indexPath};
  if (spinningCellIndex_ && *spinningCellIndex_ != indexPath) {
    refreshed.push_back(*spinningCellIndex_);
  }
  spinningCellIndex_ = spinning ? std::optional(indexPath) : std::nullopt;
  shareOutletView_->reloadItems(refreshed);
}

void ShareSheetViewController::share(const std::shared_ptr<Content>& content,
                                     const std::shared_ptr<const ShareOutletType>& outlet) {
  if (currentlySharingOulet_) console::writeLine(std::string(kConsolePrefix) + "currently sharing");
  currentlySharingOulet_ = outlet->make(content);
  currentlySharingOulet_->setDelegate(self());
  console::writeLine(std::string(kConsolePrefix) + "sharing to " + outlet->typeName() +
                     " with the sheet as its delegate");
  DispatchQueue::main()->async(
      [sheet = self(), sharing = currentlySharingOulet_] { sharing->share(sheet); });
}

void ShareSheetViewController::outletFinished(const std::string& outcome,
                                              const ShareOutletType& outlet,
                                              std::optional<std::string> error) {
  currentlySharingOulet_ = nullptr;
  addEvent("share_outlet." + outlet.canonicalOutletName() + "." + outcome, std::move(error));
}

void ShareSheetViewController::success(ShareOutletProtocol& shareOutlet,
                                       std::vector<ShareStretegyType> strategiesUsed) {
  DispatchQueue::main()->async([sheet = self(), outlet = shareOutlet.shared_from_this(),
                                strategiesUsed = std::move(strategiesUsed)] {
    sheet->outletFinished("succeeded", outlet->type());
    if (sheet->content_) sheet->content_->cleanupContent(strategiesUsed);
    deactivateAudioSession();
    if (auto presenting = sheet->presentingViewController()) presenting->dismiss(true);
    sheet->finish(PresentationResult::shared(outlet->type().canonicalOutletName()));
  });
}

void ShareSheetViewController::failure(ShareOutletProtocol& shareOutlet, std::string error) {
  DispatchQueue::main()->async(
      [sheet = self(), outlet = shareOutlet.shared_from_this(), error = std::move(error)] {
        sheet->outletFinished("failed", outlet->type(), error);
        sheet->presentError(error);
      });
}

void ShareSheetViewController::cancelled(ShareOutletProtocol& shareOutlet) {
  DispatchQueue::main()->async([sheet = self(), outlet = shareOutlet.shared_from_this()] {
    sheet->outletFinished("cancelled", outlet->type());
  });
}

void ShareSheetViewController::presentationControllerDidDismiss(UIPresentationController&) {
  deactivateAudioSession();
  addEvent("share_sheet.cancelled");
  if (content_) content_->cleanupContent({});
  finish(PresentationResult::cancelled());
}

void ShareSheetViewController::finish(const PresentationResult& result) {
  if (closed_) return;
  closed_ = true;
  if (completion_) completion_(result);
}

void ShareSheetViewController::presentError(const std::string& error,
                                            std::function<void()> completion) {
  auto alert = std::make_shared<UIAlertController>("Error", error, UIAlertControllerStyle::alert);
  alert->addAction({Bundle::main().localizedString("OK"), UIAlertActionStyle::default_,
                    [completion = std::move(completion)](const UIAlertAction&) {
                      if (completion) completion();
                    }});
  DispatchQueue::main()->async([sheet = self(), alert] { sheet->present(alert, true); });
}

void ShareSheetViewController::didTapVelmoradineLogo() {
  addEvent("share_sheet.logo_tapped");
  const auto application = providers_.applicationDatastore->application();
  const std::string slug = application && application->slug ? *application->slug : "";
  Result<std::string> origin = kitPagesOrigin();
  if (!origin) {
    Logger::velmoradineDebug("[ShareSheetViewController] No call-to-action page", origin.error());
    return;
  }
  if (auto url = callToActionURL(*origin, slug)) UIApplication::shared().open(*url);
}

}  // namespace velmoradine
