#include "velmoradine/platform/services/ui_activity_view_controller.hpp"

#include <cerrno>

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/screen_style.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_gesture_recognizer.hpp"
#include "velmoradine/platform/uikit/ui_image_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"

namespace velmoradine {
namespace {

constexpr double kRowHeight = 60;
constexpr double kIconSize = 40;

std::vector<DesktopApplication> applicationsOpening(const std::string& mimeType) {
  auto catalog = SystemServices::current()->applicationCatalog;
  return catalog ? catalog->applicationsOpening(mimeType) : std::vector<DesktopApplication>{};
}

std::optional<Image> icon(const DesktopApplication& application) {
  if (!application.iconPath) return std::nullopt;
  auto image = Image::read(*application.iconPath);
  if (!image) return std::nullopt;
  return *image;
}

}  // namespace

UIActivityViewController::UIActivityViewController(std::vector<ActivityItem> activityItems)
    : activityItems_(std::move(activityItems)) {}

void UIActivityViewController::setCompletionWithItemsHandler(CompletionWithItemsHandler handler) {
  handler_ = std::move(handler);
}

const std::vector<ActivityItem>& UIActivityViewController::activityItems() const {
  return activityItems_;
}

const std::vector<DesktopApplication>& UIActivityViewController::applications() const {
  return applications_;
}

std::shared_ptr<UIView> UIActivityViewController::rowForApplication(std::size_t index) const {
  return index < rows_.size() ? rows_[index] : nullptr;
}

void UIActivityViewController::loadView() {
  auto root = std::make_shared<UIView>(UIScreen::main().bounds());
  root->setBackgroundColor(Color::white());
  titleLabel_ = screen_style::label(kTitle, 17, Color::black());
  titleLabel_->setFont(Font("Sans-Bold", 17));
  std::weak_ptr<UIViewController> weak = weak_from_this();
  cancelButton_ = screen_style::barButton(kCancelTitle, false, [weak] {
    auto self = std::static_pointer_cast<UIActivityViewController>(weak.lock());
    if (self) self->cancelTapped();
  });
  root->addSubview(titleLabel_);
  root->addSubview(cancelButton_);
  applications_ = applicationsOpening(kMimeType);
  for (std::size_t i = 0; i < applications_.size(); ++i) {
    rows_.push_back(row(i));
    root->addSubview(rows_.back());
  }
  if (applications_.empty()) {
    emptyLabel_ = screen_style::label(kNoApplicationText, 15, screen_style::secondaryText());
    emptyLabel_->setTextAlignment(NSTextAlignment::center);
    root->addSubview(emptyLabel_);
  }
  setView(root);
}

std::shared_ptr<UIView> UIActivityViewController::row(std::size_t index) {
  const auto& application = applications_[index];
  auto row = std::make_shared<UIView>(Rect(0, 0, 0, kRowHeight));
  auto iconView = std::make_shared<UIImageView>(icon(application));
  iconView->setFrame(
      Rect(screen_style::kPadding, (kRowHeight - kIconSize) / 2, kIconSize, kIconSize));
  iconView->setBackgroundColor(screen_style::chipBackground());
  iconView->layer()->setCornerRadius(8);
  iconView->setClipsToBounds(true);
  row->addSubview(iconView);
  row->addSubview(screen_style::label(application.name, 17, Color::black()));
  std::weak_ptr<UIViewController> weak = weak_from_this();
  row->addGestureRecognizer(std::make_shared<UITapGestureRecognizer>([weak, index](auto&) {
    auto self = std::static_pointer_cast<UIActivityViewController>(weak.lock());
    if (self) self->picked(index);
  }));
  return row;
}

void UIActivityViewController::viewDidLoad() {
  auto self = std::static_pointer_cast<UIActivityViewController>(shared_from_this());
  presentationController()->setDelegate(
      std::weak_ptr<UIAdaptivePresentationControllerDelegate>(self));
}

void UIActivityViewController::viewDidLayoutSubviews() {
  using namespace screen_style;
  const Rect& bounds = view()->bounds();
  layOutBar(bounds, *titleLabel_, nullptr, cancelButton_.get());
  double y = kBarHeight;
  for (const auto& row : rows_) {
    row->setFrame(Rect(0, y, bounds.width(), kRowHeight));
    const double labelX = kPadding * 2 + kIconSize;
    row->subviews().back()->setFrame(
        Rect(labelX, 0, bounds.width() - labelX - kPadding, kRowHeight));
    y += kRowHeight;
  }
  if (emptyLabel_)
    emptyLabel_->setFrame(Rect(kPadding, y + kPadding, bounds.width() - 2 * kPadding, 44));
}

void UIActivityViewController::presentationControllerDidDismiss(UIPresentationController&) {
  // Already off screen: report without dismissing again.
  if (finished_) return;
  finished_ = true;
  if (handler_) handler_(std::nullopt, false);
}

std::vector<URL> UIActivityViewController::itemURLs() const {
  std::vector<URL> urls;
  for (const auto& item : activityItems_) {
    if (const auto* url = std::get_if<URL>(&item)) urls.push_back(*url);
  }
  return urls;
}

void UIActivityViewController::picked(std::size_t index) {
  if (finished_ || index >= applications_.size()) return;
  const auto& application = applications_[index];
  auto catalog = SystemServices::current()->applicationCatalog;
  Result<void> launched = failure(Error::posix(ENOSYS, "no application catalog"));
  if (catalog) launched = catalog->launch(application, itemURLs());
  if (!launched) {
    console::writeLine("[ActivitySheet] " + application.identifier +
                       " could not be started: " + launched.error().localizedDescription());
  }
  finish(application.identifier, launched.has_value());
}

void UIActivityViewController::cancelTapped() {
  finish(std::nullopt, false);
}

void UIActivityViewController::finish(std::optional<std::string> activityType, bool completed) {
  if (finished_) return;
  finished_ = true;
  dismiss(true, [handler = handler_, activityType = std::move(activityType), completed] {
    if (handler) handler(activityType, completed);
  });
}

}  // namespace velmoradine
