#pragma once

// The message composer: a screen of the UI toolkit showing the body, a chip
// per attachment, and Cancel and Send. Send hands body and attachments to the
// desktop's mail handler (`SystemServices::messaging`) and reports sent, or
// failed when the handler could not be started; Cancel reports cancelled.
// The delegate dismisses the screen. After sent or cancelled the screen
// takes no more taps; after failed the user may send again or cancel, so
// the delegate may hear failed more than once before its final answer.
// Without a messaging service nothing can be sent: both `can...` answer
// false and Send fails.
//
// Threading: main thread.

#include <memory>
#include <string>
#include <vector>

#include "velmoradine/platform/services/messaging.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

class MFMessageComposeViewController;

enum class MessageComposeResult { cancelled, sent, failed };

class MFMessageComposeViewControllerDelegate {
 public:
  virtual ~MFMessageComposeViewControllerDelegate() = default;
  virtual void messageComposeViewController(MFMessageComposeViewController& controller,
                                            MessageComposeResult result) = 0;
};

class UIButton;
class UILabel;
class UIView;

class MFMessageComposeViewController : public UIViewController {
 public:
  static constexpr const char* kTitle = "New Message";
  static constexpr const char* kCancelTitle = "Cancel";
  static constexpr const char* kSendTitle = "Send";

  static bool canSendText();
  static bool canSendAttachments();

  void setMessageComposeDelegate(std::weak_ptr<MFMessageComposeViewControllerDelegate> delegate);
  void setBody(std::string body);
  const std::string& body() const;
  // False when attachments cannot be sent.
  bool addAttachmentData(std::shared_ptr<const Data> data, std::string typeIdentifier,
                         std::string filename);
  const std::vector<MessageAttachment>& attachments() const;

  void loadView() override;
  void viewDidLayoutSubviews() override;

 private:
  void showContent();
  void cancelTapped();
  void sendTapped();
  void finish(MessageComposeResult result);

  std::weak_ptr<MFMessageComposeViewControllerDelegate> delegate_;
  std::string body_;
  std::vector<MessageAttachment> attachments_;
  bool finished_ = false;
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UIButton> cancelButton_;
  std::shared_ptr<UIButton> sendButton_;
  std::shared_ptr<UILabel> bodyLabel_;
  std::vector<std::shared_ptr<UIView>> chips_;
};

}  // namespace velmoradine
