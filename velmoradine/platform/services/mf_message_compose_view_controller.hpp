#pragma once

// The message composer: a screen of the UI toolkit showing the body, a chip
// per attachment, and Cancel and Send. Send hands body and attachments to the
// desktop's mail handler (`SystemServices::messaging`) and reports sent, or
// failed when the handler could not be started; Cancel reports cancelled.
// The delegate dismisses the screen.
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

class MFMessageComposeViewController : public UIViewController {
 public:
  static bool canSendText();
  static bool canSendAttachments();

  void setMessageComposeDelegate(std::weak_ptr<MFMessageComposeViewControllerDelegate> delegate);
  void setBody(std::string body);
  const std::string& body() const;
  // False when attachments cannot be sent.
  bool addAttachmentData(std::shared_ptr<const Data> data, std::string typeIdentifier,
                         std::string filename);
  const std::vector<MessageAttachment>& attachments() const;
};

}  // namespace velmoradine
