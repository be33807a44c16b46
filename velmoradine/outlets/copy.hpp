#pragma once

// Puts the content's message text and the video's bytes on the general
// pasteboard, so the user can paste either. It reports the link as used
// whether or not the text held it yet, so the share stays alive for the link
// the user may paste later.
//
// Threading: main thread.

#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

class Copy final : public ShareOutletProtocol {
 public:
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit Copy(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;
};

}  // namespace velmoradine
