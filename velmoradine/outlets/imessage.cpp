#include "velmoradine/outlets/imessage.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr const char* kCouldNotSend = "Could not send message";
constexpr const char* kAttachmentType = "public.movie";
constexpr const char* kAttachmentName = "movie.mp4";

class IMessageType final : public KitShareOutletType<IMessage, NoRequirements> {
 public:
  using KitShareOutletType::KitShareOutletType;
  // Offered wherever the desktop can send a message with the video.
  bool canPerform(ContentType contentType) const override {
    return contentType == ContentType::video && MFMessageComposeViewController::canSendText() &&
           MFMessageComposeViewController::canSendAttachments();
  }
};

}  // namespace

const std::shared_ptr<const ShareOutletType>& IMessage::outletType() {
  return sharedOutletType<IMessageType>({"IMessage", "IMessage", "SMS", "imessage"});
}

IMessage::IMessage(std::shared_ptr<Content> content)
    : ShareOutletProtocol(std::move(content)),
      composeViewController_(std::make_shared<MFMessageComposeViewController>()) {}

void IMessage::share(const std::shared_ptr<UIViewController>& viewController) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  // Without a screen to show it on, the composer would wait forever for an
  // answer nobody can give.
  if (!viewController || !compose(*video)) return reportFailure(kCouldNotSend);
  viewController_ = viewController;
  // Only Cancel or Send may end it: a swipe would leave no outcome.
  composeViewController_->setModalInPresentation(true);
  viewController_->present(composeViewController_, true);
}

bool IMessage::compose(VideoContent& video) {
  composeViewController_->setMessageComposeDelegate(
      std::static_pointer_cast<IMessage>(shared_from_this()));
  // Decided once: were the link to go live between two looks, the body
  // would carry it while the outlet reported only the video, and the
  // sheet's cleanup would delete the share the message links to.
  if (video.linkPreviewAvailable()) {
    composeViewController_->setBody(video.text());
    return true;
  }
  linkUsed_ = false;
  composeViewController_->setBody(video.title());
  return composeViewController_->addAttachmentData(video.rawStrategy(this)->data(), kAttachmentType,
                                                   kAttachmentName);
}

void IMessage::messageComposeViewController(MFMessageComposeViewController& controller,
                                            MessageComposeResult result) {
  // The composer leaves the screen before the outcome is reported, whatever
  // it was: left there, it would hide the sheet's error alert after a
  // failure, and after a send the sheet's own dismissal would only take the
  // composer away and leave the sheet standing.
  auto self = std::static_pointer_cast<IMessage>(shared_from_this());
  dismissComposer(controller, [self, result] { self->report(result); });
  composeViewController_ = std::make_shared<MFMessageComposeViewController>();
}

void IMessage::report(MessageComposeResult result) {
  switch (result) {
    case MessageComposeResult::cancelled:
      return reportCancelled();
    case MessageComposeResult::sent:
      return reportSuccess({linkUsed_ ? ShareStretegyType::linkPreview : ShareStretegyType::raw});
    case MessageComposeResult::failed:
      return reportFailure(kCouldNotSend);
  }
}

void IMessage::dismissComposer(const MFMessageComposeViewController& controller,
                               std::function<void()> then) {
  // Dismissing through a presenter that no longer shows the composer would
  // take the presenter itself away.
  if (!viewController_ || viewController_->presentedViewController().get() != &controller) {
    return then();
  }
  viewController_->dismiss(true, std::move(then));
}

}  // namespace velmoradine
