#include "velmoradine/ui/share_sheet_view_controller.hpp"

#include <algorithm>
#include <cmath>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_font.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"
#include "velmoradine/ui/share_outlet_cell_view.hpp"

namespace velmoradine {
namespace {

// The version that brought the dark appearance the sheet follows.
constexpr int kDarkAppearanceVersion = 12;
constexpr double kOutletRowInset = 6;
constexpr double kLogoSize = 14;
constexpr double kLogoAlpha = 0.618;

std::shared_ptr<AudioSession>& sessionInUse() {
  static auto& session = *new std::shared_ptr<AudioSession>();
  return session;
}

// The platform's label colour, which text without a colour of its own takes:
// black on the light background, white on the dark one.
Color labelColor(bool dark) {
  return dark ? Color::white() : Color::black();
}

std::shared_ptr<UIView> makeView(Rect frame) {
  auto view = std::make_shared<UIView>(frame);
  view->setBackgroundColor(ShareSheetViewController::lightModeBackground());
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  return view;
}

std::shared_ptr<UIView> makeShareToLabelView() {
  auto strip = makeView(ShareSheetViewController::defaultRect());
  auto label = std::make_shared<UILabel>(ShareSheetViewController::defaultRect());
  label->setTextAlignment(NSTextAlignment::center);
  label->setAttributedText(NSAttributedString());
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  strip->addSubview(label);
  NSLayoutConstraint::activate({
      label->centerXAnchor().constraintEqualTo(strip->centerXAnchor()),
      label->centerYAnchor().constraintEqualTo(strip->centerYAnchor()),
  });
  return strip;
}

std::shared_ptr<UICollectionView> makeShareOutletView() {
  auto layout = std::make_shared<UICollectionViewFlowLayout>();
  layout->scrollDirection = UICollectionViewScrollDirection::horizontal;
  layout->itemSize = {ShareOutletCellView::shareOutletItemSize,
                      ShareOutletCellView::shareOutletItemSize};
  layout->minimumLineSpacing =
      ShareSheetViewController::outletLineSpacing(UIScreen::main().bounds().width());
  auto row = std::make_shared<UICollectionView>(ShareSheetViewController::defaultRect(), layout);
  row->setBackgroundColor(ShareSheetViewController::lightModeBackground());
  row->setShowsHorizontalScrollIndicator(false);
  row->setContentInset({0, kOutletRowInset, 0, kOutletRowInset});
  row->registerClass<ShareOutletCellView>(ShareSheetViewController::kOutletCellIdentifier);
  row->setTranslatesAutoresizingMaskIntoConstraints(false);
  return row;
}

}  // namespace

ShareSheetProviders ShareSheetProviders::defaults() {
  return {Analytics::shared(), ApplicationDatastore::shared(), VideoContentProviders::defaults()};
}

double ShareSheetViewController::outletLineSpacing(double screenWidth) {
  const double item = ShareOutletCellView::shareOutletItemSize;
  // At least one button, so that a screen narrower than one still divides.
  const double whole = std::max(1.0, std::floor((screenWidth - kOutletRowInset) / item));
  return std::max(0.0, (screenWidth - (whole + 0.5) * item) / whole);
}

std::shared_ptr<AudioSession> ShareSheetViewController::session() {
  return sessionInUse();
}

std::shared_ptr<ShareSheetViewController> ShareSheetViewController::make(
    std::shared_ptr<ShareSheetProvider> provider, PresentationCompletion completion,
    ShareSheetProviders providers) {
  std::shared_ptr<ShareSheetViewController> sheet(new ShareSheetViewController(
      std::move(provider), std::move(completion), std::move(providers)));
  sheet->startWaitingForContent();
  sheet->presentationController()->setDelegate(sheet);
  return sheet;
}

ShareSheetViewController::ShareSheetViewController(std::shared_ptr<ShareSheetProvider> provider,
                                                   PresentationCompletion completion,
                                                   ShareSheetProviders providers)
    : shareOutlets_(ShareOutlets::outlets(ContentType::video)),
      presentable_(std::move(provider)),
      completion_(std::move(completion)),
      analtyicsContext_(std::make_shared<const Context>()),
      contentView_(makeView(defaultRect())),
      shareToLabelView_(makeShareToLabelView()),
      shareOutletView_(makeShareOutletView()),
      velmoradineBrandingView_(makeView({0, 0, 200, 100})),
      providers_(std::move(providers)) {}

ShareSheetViewController::~ShareSheetViewController() = default;

std::shared_ptr<ShareSheetViewController> ShareSheetViewController::self() {
  return std::static_pointer_cast<ShareSheetViewController>(shared_from_this());
}

void ShareSheetViewController::startWaitingForContent() {
  std::weak_ptr<ShareSheetViewController> weakSelf = self();
  vidoeContentFuture_ = VideoContentFuture::make(
      presentable_, presentable_->title().value_or(""), providers_.videoContentProviders,
      [weakSelf](VideoContentFuture::VideoContentResult result) {
        auto sheet = weakSelf.lock();
        if (!result) {
          if (sheet) {
            sheet->addEvent("share_sheet.rendering_completed",
                            result.error().localizedDescription());
          }
          return;
        }
        if (sheet) sheet->addEvent("share_sheet.rendering_completed");
        DispatchQueue::main()->async([weakSelf, content = std::shared_ptr<Content>(*result)] {
          keepOrWithdraw(weakSelf.lock(), content);
        });
      });
}

void ShareSheetViewController::keepOrWithdraw(
    const std::shared_ptr<ShareSheetViewController>& sheet,
    const std::shared_ptr<Content>& content) {
  if (sheet && !sheet->closed_) {
    sheet->content_ = content;
    return;
  }
  // The user left before the video existed: its upload has started all the
  // same, and nobody will ever share it. A sheet closed by a success held
  // its content already, so a closed sheet here was swiped away.
  content->cleanupContent({});
}

void ShareSheetViewController::addEvent(const std::string& name,
                                        std::optional<std::string> error) const {
  providers_.analytics->addEvent(AnalyticsEvent{name, std::move(error)}, analtyicsContext_);
}

bool ShareSheetViewController::isDark() const {
  return traitCollection().userInterfaceStyle == UIUserInterfaceStyle::dark;
}

void ShareSheetViewController::viewDidLoad() {
  addEvent("share_sheet.loaded");
  std::string mode = "lightMode";
  if (PlatformFeatures::isAtLeast(kDarkAppearanceVersion)) {
    mode = isDark() ? "darkMode" : "lightMode";
    applyColorScheme(mode);
  }
  auto logo = makeVelmoradineLogoLabel(mode);
  velmoradineBrandingView_->addSubview(logo);
  NSLayoutConstraint::activate({
      logo->topAnchor().constraintEqualTo(velmoradineBrandingView_->topAnchor(), 10),
      logo->centerXAnchor().constraintEqualTo(velmoradineBrandingView_->centerXAnchor()),
  });
  view()->addSubview(contentView_);
  view()->addSubview(shareToLabelView_);
  view()->addSubview(shareOutletView_);
  view()->addSubview(velmoradineBrandingView_);
  activateAudioSession();
  shareOutletView_->setDataSource(self());
  shareOutletView_->setDelegate(self());
  addShareOutletView();
  addContentView();
  addShareToLabelView();
  addVelmoradineLogoButtonView();
}

void ShareSheetViewController::applyColorScheme(const std::string& mode) {
  const Color color = mode == "darkMode" ? darkModeBackground() : lightModeBackground();
  for (const auto& view :
       {view(), contentView_, shareToLabelView_, std::static_pointer_cast<UIView>(shareOutletView_),
        velmoradineBrandingView_}) {
    view->setBackgroundColor(color);
  }
}

void ShareSheetViewController::activateAudioSession() {
  sessionInUse() = SystemServices::current()->audioSession;
  Result<void> activated = sessionInUse()->setCategory(AVAudioSessionCategory::ambient);
  if (activated) activated = sessionInUse()->setActive(true);
  if (!activated) {
    Logger::velmoradineDebug("[ShareSheetViewController] Unable to activate audio session",
                             activated.error());
  }
}

void ShareSheetViewController::deactivateAudioSession() {
  if (!sessionInUse()) return;
  if (Result<void> deactivated = sessionInUse()->setActive(false); !deactivated) {
    Logger::velmoradineDebug("Unable to activate audio session", deactivated.error());
  }
}

std::shared_ptr<UILabel> ShareSheetViewController::makeVelmoradineLogoLabel(
    const std::string& mode) {
  auto label = std::make_shared<UILabel>(defaultRect());
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  // Without the face, the label's own font, the system face at the same
  // size, draws the text.
  label->setFont(Font::systemFont(kLogoSize));
  label->setTextColor(labelColor(mode == "darkMode"));
  NSAttributes attributes;
  attributes.font = UIFont::named("Avenir-Black", kLogoSize);
  NSTextAttachment attachment;
  if (auto path = Bundle::module().pathForResource("Assets/Velmoradine-" + mode, "png")) {
    if (auto image = Image::read(*path)) attachment.image = std::move(*image);
  }
  attachment.bounds = {0, -2, kLogoSize, kLogoSize};
  NSAttributedString text(attachment);
  text.append(NSAttributedString("  Velmoradine", attributes));
  label->setAttributedText(text);
  label->setAlpha(kLogoAlpha);
  std::weak_ptr<ShareSheetViewController> weakSelf = self();
  label->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weakSelf](auto&) {
    if (auto sheet = weakSelf.lock()) sheet->didTapVelmoradineLogo();
  }));
  label->setUserInteractionEnabled(true);
  return label;
}

void ShareSheetViewController::addShareOutletView() {
  NSLayoutConstraint::activate({
      shareOutletView_->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
      shareOutletView_->trailingAnchor().constraintEqualTo(view()->trailingAnchor()),
      shareOutletView_->heightAnchor().constraintEqualToConstant(shareoutViewDimension),
      shareOutletView_->bottomAnchor().constraintEqualTo(velmoradineBrandingView_->topAnchor(),
                                                         -23),
  });
}

void ShareSheetViewController::addContentView() {
  NSLayoutConstraint::activate({
      contentView_->topAnchor().constraintEqualTo(view()->topAnchor(), 48),
      contentView_->bottomAnchor().constraintEqualTo(shareToLabelView_->topAnchor()),
      contentView_->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
      contentView_->trailingAnchor().constraintEqualTo(view()->trailingAnchor()),
  });
}

void ShareSheetViewController::addShareToLabelView() {
  NSLayoutConstraint::activate({
      shareToLabelView_->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
      shareToLabelView_->trailingAnchor().constraintEqualTo(view()->trailingAnchor()),
      shareToLabelView_->heightAnchor().constraintEqualToConstant(40),
      shareToLabelView_->bottomAnchor().constraintEqualTo(shareOutletView_->topAnchor()),
  });
}

void ShareSheetViewController::addVelmoradineLogoButtonView() {
  NSLayoutConstraint::activate({
      velmoradineBrandingView_->leadingAnchor().constraintEqualTo(view()->leadingAnchor()),
      velmoradineBrandingView_->trailingAnchor().constraintEqualTo(view()->trailingAnchor()),
      velmoradineBrandingView_->heightAnchor().constraintEqualToConstant(80),
      velmoradineBrandingView_->bottomAnchor().constraintEqualTo(view()->bottomAnchor()),
  });
}

void ShareSheetViewController::viewDidLayoutSubviews() {
  if (presentedPresntable_) return;
  presentedPresntable_ = true;
  // A preview that cannot be shown leaves the content area empty; the sheet
  // works on without it.
  if (auto error = presentable_->presentOn(self(), contentView_)) {
    Logger::velmoradineDebug("[ShareSheetViewController] Unable to present the preview", error);
  }
}

int ShareSheetViewController::numberOfItemsInSection(UICollectionView&, int) {
  return static_cast<int>(shareOutlets_.size());
}

std::shared_ptr<UICollectionViewCell> ShareSheetViewController::cellForItemAt(
    UICollectionView& collectionView, const IndexPath& indexPath) {
  auto cell = std::static_pointer_cast<ShareOutletCellView>(
      collectionView.dequeueReusableCell(kOutletCellIdentifier, indexPath));
  if (PlatformFeatures::isAtLeast(kDarkAppearanceVersion)) {
    cell->setBackgroundColor(isDark() ? darkModeBackground() : lightModeBackground());
    cell->labelView()->setTextColor(labelColor(isDark()));
  }
  cell->setupOutlet(*shareOutlets_.at(static_cast<std::size_t>(indexPath.row())));
  cell->spin(spinningCellIndex_ == indexPath);
  return cell;
}

}  // namespace velmoradine
