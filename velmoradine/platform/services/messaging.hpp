#pragma once

// Handing a composed message to the desktop's mail handler.
//
// Threading: callable from any thread.

#include <memory>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

struct MessageAttachment {
  std::shared_ptr<const Data> data;
  std::string typeIdentifier;
  std::string filename;
};

class Messaging {
 public:
  virtual ~Messaging() = default;
  virtual bool canSendText() = 0;
  virtual bool canSendAttachments() = 0;
  // Starts the mail handler with the body and attachments; fails when it
  // could not be started.
  virtual Result<void> send(const std::string& body,
                            const std::vector<MessageAttachment>& attachments) = 0;
};

}  // namespace velmoradine
