#pragma once

// Messages on the Linux desktop go through its mail handler (the default
// application of "x-scheme-handler/mailto"), handed over as xdg-email does:
// a "mailto:?body=...&attach=..." URL, each attachment written first to a
// private folder (mode 0700) in the temporary directory and named by its
// absolute path. The folder is left for the mail program, which reads the
// files after `send` has returned; the system's cleaning of temporary files
// removes it. When `send` fails, it removes the folder itself.
//
// Threading: callable from any thread; `send` blocks while it writes the
// attachments and starts the handler.

#include "velmoradine/platform/services/messaging.hpp"

namespace velmoradine {

class DesktopMessaging : public Messaging {
 public:
  // Both are true when the desktop has a mail handler.
  bool canSendText() override;
  bool canSendAttachments() override;
  // Fails with noApplication without a mail handler, with the system's error
  // when an attachment cannot be written, and with launchFailed when the
  // handler does not start.
  Result<void> send(const std::string& body,
                    const std::vector<MessageAttachment>& attachments) override;
};

// The mailto URL xdg-email would build for `body` and the attachment files:
// every byte but letters, digits and "-._~" percent-encoded.
std::string mailtoURI(const std::string& body, const std::vector<std::filesystem::path>& files);

}  // namespace velmoradine
