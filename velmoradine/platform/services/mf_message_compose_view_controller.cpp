#include "velmoradine/platform/services/mf_message_compose_view_controller.hpp"

#include <algorithm>
#include <cerrno>

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/screen_style.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/uikit/main_thread.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_screen.hpp"

namespace velmoradine {
namespace {

constexpr double kChipHeight = 32;
constexpr double kChipSpacing = 8;

std::shared_ptr<Messaging> messaging() {
  return SystemServices::current()->messaging;
}

std::shared_ptr<UIView> attachmentChip(const std::string& filename) {
  auto chip = std::make_shared<UIView>();
  chip->setBackgroundColor(screen_style::chipBackground());
  chip->layer()->setCornerRadius(kChipHeight / 2);
  chip->addSubview(screen_style::label(filename, 15, Color::black()));
  return chip;
}

}  // namespace

bool MFMessageComposeViewController::canSendText() {
  auto service = messaging();
  return service && service->canSendText();
}

bool MFMessageComposeViewController::canSendAttachments() {
  auto service = messaging();
  return service && service->canSendAttachments();
}

void MFMessageComposeViewController::setMessageComposeDelegate(
    std::weak_ptr<MFMessageComposeViewControllerDelegate> delegate) {
  delegate_ = std::move(delegate);
}

void MFMessageComposeViewController::setBody(std::string body) {
  body_ = std::move(body);
  showContent();
}

const std::string& MFMessageComposeViewController::body() const {
  return body_;
}

bool MFMessageComposeViewController::addAttachmentData(std::shared_ptr<const Data> data,
                                                       std::string typeIdentifier,
                                                       std::string filename) {
  if (!data || !canSendAttachments()) return false;
  attachments_.push_back({std::move(data), std::move(typeIdentifier), std::move(filename)});
  showContent();
  return true;
}

const std::vector<MessageAttachment>& MFMessageComposeViewController::attachments() const {
  return attachments_;
}

void MFMessageComposeViewController::loadView() {
  auto root = std::make_shared<UIView>(UIScreen::main().bounds());
  root->setBackgroundColor(Color::white());
  std::weak_ptr<UIViewController> weak = weak_from_this();
  auto self = [weak] {
    return std::static_pointer_cast<MFMessageComposeViewController>(weak.lock());
  };
  titleLabel_ = screen_style::label(kTitle, 17, Color::black());
  titleLabel_->setFont(Font("Sans-Bold", 17));
  cancelButton_ = screen_style::barButton(kCancelTitle, false, [self] {
    if (auto controller = self()) controller->cancelTapped();
  });
  sendButton_ = screen_style::barButton(kSendTitle, true, [self] {
    if (auto controller = self()) controller->sendTapped();
  });
  bodyLabel_ = screen_style::label("", 17, Color::black());
  for (const auto& view : std::initializer_list<std::shared_ptr<UIView>>{titleLabel_, cancelButton_,
                                                                         sendButton_, bodyLabel_}) {
    root->addSubview(view);
  }
  setView(root);
  showContent();
}

void MFMessageComposeViewController::showContent() {
  if (!isViewLoaded()) return;
  bodyLabel_->setText(body_);
  for (const auto& chip : chips_) chip->removeFromSuperview();
  chips_.clear();
  for (const auto& attachment : attachments_) {
    chips_.push_back(attachmentChip(attachment.filename));
    view()->addSubview(chips_.back());
  }
  view()->setNeedsLayout();
}

void MFMessageComposeViewController::viewDidLayoutSubviews() {
  using namespace screen_style;
  const Rect& bounds = view()->bounds();
  layOutBar(bounds, *titleLabel_, cancelButton_.get(), sendButton_.get());
  const double width = bounds.width() - 2 * kPadding;
  double y = kBarHeight + kPadding;
  const double bodyHeight = std::max(bodyLabel_->intrinsicContentSize().height, 22.0);
  bodyLabel_->setFrame(Rect(kPadding, y, width, bodyHeight));
  y += bodyHeight + kPadding;
  for (const auto& chip : chips_) {
    const auto& name = chip->subviews().front();
    const double chipWidth = std::min(width, name->intrinsicContentSize().width + 2 * kPadding);
    chip->setFrame(Rect(kPadding, y, chipWidth, kChipHeight));
    name->setFrame(Rect(kPadding, 0, chipWidth - 2 * kPadding, kChipHeight));
    y += kChipHeight + kChipSpacing;
  }
}

void MFMessageComposeViewController::cancelTapped() {
  if (!finished_) finish(MessageComposeResult::cancelled);
}

void MFMessageComposeViewController::sendTapped() {
  if (finished_) return;
  auto service = messaging();
  Result<void> sent = failure(Error::posix(ENOSYS, "no messaging service"));
  if (service) sent = service->send(body_, attachments_);
  if (!sent) {
    console::writeLine("[MessageCompose] The message could not be handed over: " +
                       sent.error().localizedDescription());
  }
  finish(sent ? MessageComposeResult::sent : MessageComposeResult::failed);
}

void MFMessageComposeViewController::finish(MessageComposeResult result) {
  assertMainThread("MFMessageComposeViewController::finish");
  finished_ = result != MessageComposeResult::failed;
  // The delegate may release this controller; keep it alive for the call.
  auto keepAlive = shared_from_this();
  if (auto delegate = delegate_.lock()) delegate->messageComposeViewController(*this, result);
}

}  // namespace velmoradine
