#pragma once

// The share sheet: a preview of the content its provider draws, a caption
// strip, a scrolling row of outlet buttons and a branding footer whose logo
// opens the application's call-to-action page.
//
// The video is still being rendered while the sheet is on screen: the sheet
// holds a future of the finished content, takes an outlet tap at any time,
// and, when the content is not there yet, spins on the tapped cell, ignores
// every further tap and carries the share out when the future completes. It
// makes the chosen outlet, hears its outcome as its delegate, reports every
// step to analytics under one context of its own, and tells the host's
// completion `shared` after a success or `cancelled` when the user swipes
// the sheet away, once.
//
// Threading: made and used on the main thread. The future's completions and
// the outlets' delegate calls may arrive on any thread: each moves its work
// to the main queue before touching the sheet's state or views, so every
// field below belongs to the main thread.
//
// Content that arrives after the sheet was swiped away, or after the sheet
// is gone, is cleaned up at once: its share was never wanted.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/analytics/analytics.hpp"
#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/uikit/index_path.hpp"
#include "velmoradine/platform/uikit/ui_collection_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/share/video_content_future.hpp"
#include "velmoradine/state/datastores.hpp"
#include "velmoradine/ui/presentable.hpp"
#include "velmoradine/ui/presentation_result.hpp"

namespace velmoradine {

class AudioSession;

// The sheet's collaborators; `defaults()` are the kit's shared objects.
struct ShareSheetProviders {
  std::shared_ptr<Analytics> analytics;
  // Where the call-to-action slug is read.
  std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore;
  // What the content made from the rendered video uploads with.
  VideoContentProviders videoContentProviders;

  static ShareSheetProviders defaults();
};

class ShareSheetViewController : public UIViewController,
                                 public UICollectionViewDataSource,
                                 public UICollectionViewDelegate,
                                 public UIAdaptivePresentationControllerDelegate,
                                 public ShareOutletDelegate {
 public:
  static constexpr double shareoutViewDimension = 80;
  static constexpr const char* kOutletCellIdentifier = "VelmoradineOutletCell";
  static Color lightModeBackground() { return Color::rgb(247, 246, 255); }
  static Color darkModeBackground() { return Color::rgb(15, 15, 15); }
  // Origin (0, 0), 100 × 100: where every view of the sheet starts.
  static Rect defaultRect() { return {0, 0, 100, 100}; }
  // The outlet row's spacing on a screen `screenWidth` points wide: as many
  // whole buttons as fit after the 6-point inset, and half of the next, so
  // the row visibly goes on; never negative (buttons never overlap).
  static double outletLineSpacing(double screenWidth);
  // The audio session the sheets use, absent until the first one loads.
  static std::shared_ptr<AudioSession> session();

  // init(provider:completion:). Starts waiting for the provider's video at
  // once; the outlets offered are the registry's that can share a video.
  static std::shared_ptr<ShareSheetViewController> make(
      std::shared_ptr<ShareSheetProvider> provider, PresentationCompletion completion = nullptr,
      ShareSheetProviders providers = ShareSheetProviders::defaults());
  ~ShareSheetViewController() override;

  void viewDidLoad() override;
  void viewDidLayoutSubviews() override;

  // An alert titled "Error" with `error` as message and one "OK" button
  // (translated by the host's string table) that runs `completion`.
  void presentError(const std::string& error, std::function<void()> completion = nullptr);

  // UICollectionViewDataSource and UICollectionViewDelegate.
  int numberOfItemsInSection(UICollectionView& collectionView, int section) override;
  std::shared_ptr<UICollectionViewCell> cellForItemAt(UICollectionView& collectionView,
                                                      const IndexPath& indexPath) override;
  void didHighlightItemAt(UICollectionView& collectionView, const IndexPath& indexPath) override;
  void didUnhighlightItemAt(UICollectionView& collectionView, const IndexPath& indexPath) override;
  void didSelectItemAt(UICollectionView& collectionView, const IndexPath& indexPath) override;

  // UIAdaptivePresentationControllerDelegate: the user swiped the sheet away.
  void presentationControllerDidDismiss(UIPresentationController& controller) override;

  // ShareOutletDelegate.
  void success(ShareOutletProtocol& shareOutlet,
               std::vector<ShareStretegyType> strategiesUsed) override;
  void failure(ShareOutletProtocol& shareOutlet, std::string error) override;
  void cancelled(ShareOutletProtocol& shareOutlet) override;

  void didTapVelmoradineLogo();

  const ShareOutletTypeList& shareOutlets() const { return shareOutlets_; }
  const std::shared_ptr<Content>& content() const { return content_; }
  const std::shared_ptr<VideoContentFuture>& vidoeContentFuture() const {
    return vidoeContentFuture_;
  }
  const std::shared_ptr<const Context>& analtyicsContext() const { return analtyicsContext_; }
  const std::shared_ptr<UIView>& contentView() const { return contentView_; }
  const std::shared_ptr<UIView>& shareToLabelView() const { return shareToLabelView_; }
  const std::shared_ptr<UICollectionView>& shareOutletView() const { return shareOutletView_; }
  const std::shared_ptr<UIView>& velmoradineBrandingView() const {
    return velmoradineBrandingView_;
  }
  bool presentedPresntable() const { return presentedPresntable_; }
  const std::optional<IndexPath>& spinningCellIndex() const { return spinningCellIndex_; }
  const std::shared_ptr<ShareOutletProtocol>& currentlySharingOulet() const {
    return currentlySharingOulet_;
  }

 protected:
  ShareSheetViewController(std::shared_ptr<ShareSheetProvider> provider,
                           PresentationCompletion completion, ShareSheetProviders providers);

  virtual std::shared_ptr<UILabel> makeVelmoradineLogoLabel(const std::string& mode);
  virtual void addShareToLabelView();
  virtual void addShareOutletView();
  virtual void addVelmoradineLogoButtonView();
  virtual void addContentView();

 private:
  std::shared_ptr<ShareSheetViewController> self();
  void startWaitingForContent();
  // Main thread. Keeps the content that has just arrived on an open sheet;
  // withdraws its share when the sheet was closed or is gone.
  static void keepOrWithdraw(const std::shared_ptr<ShareSheetViewController>& sheet,
                             const std::shared_ptr<Content>& content);
  void applyColorScheme(const std::string& mode);
  bool isDark() const;
  void activateAudioSession();
  static void deactivateAudioSession();
  void addEvent(const std::string& name, std::optional<std::string> error = std::nullopt) const;
  void spin(const IndexPath& indexPath, bool spinning);
  void waitForContent(const IndexPath& indexPath, std::shared_ptr<const ShareOutletType> outlet);
  void share(const std::shared_ptr<Content>& content,
             const std::shared_ptr<const ShareOutletType>& outlet);
  void finish(const PresentationResult& result);
  void outletFinished(const std::string& outcome, const ShareOutletType& outlet,
                      std::optional<std::string> error = std::nullopt);

  ShareOutletTypeList shareOutlets_;
  std::shared_ptr<Content> content_;
  std::shared_ptr<ShareSheetProvider> presentable_;
  std::shared_ptr<VideoContentFuture> vidoeContentFuture_;
  PresentationCompletion completion_;
  std::shared_ptr<const Context> analtyicsContext_;
  std::shared_ptr<UIView> contentView_;
  std::shared_ptr<UIView> shareToLabelView_;
  std::shared_ptr<UICollectionView> shareOutletView_;
  std::shared_ptr<UIView> velmoradineBrandingView_;
  bool presentedPresntable_ = false;
  std::optional<IndexPath> spinningCellIndex_;
  std::shared_ptr<ShareOutletProtocol> currentlySharingOulet_;

  ShareSheetProviders providers_;
  // Set once the host's completion has been called: after a success or a
  // swipe-away, whichever comes first, it is not called again.
  bool closed_ = false;
};

}  // namespace velmoradine
