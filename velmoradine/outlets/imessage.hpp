#pragma once

// Sends the content through the desktop's message composer: the link when
// the share is live, else the video itself as "movie.mp4". The outlet is the
// composer's delegate, so the sheet keeps it alive while the composer shows;
// after every finished compose it makes a fresh composer for the next share.
//
// Threading: main thread, composer callbacks included.

#include <functional>
#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"
#include "velmoradine/platform/services/mf_message_compose_view_controller.hpp"

namespace velmoradine {

class IMessage final : public ShareOutletProtocol, public MFMessageComposeViewControllerDelegate {
 public:
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit IMessage(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;
  void messageComposeViewController(MFMessageComposeViewController& controller,
                                    MessageComposeResult result) override;

  const std::shared_ptr<MFMessageComposeViewController>& composeViewController() const {
    return composeViewController_;
  }
  // Lowered for good once the video was attached instead of the link.
  bool linkUsed() const { return linkUsed_; }

 private:
  // Fills the composer; false when the video could not be attached.
  bool compose(VideoContent& video);
  // Dismisses `controller` when it is still shown, then runs `then`.
  void dismissComposer(const MFMessageComposeViewController& controller,
                       std::function<void()> then);
  void report(MessageComposeResult result);

  std::shared_ptr<MFMessageComposeViewController> composeViewController_;
  bool linkUsed_ = true;
  std::shared_ptr<UIViewController> viewController_;
};

}  // namespace velmoradine
