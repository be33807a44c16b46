#pragma once

// Offers the content to any desktop application that opens videos, through
// the activity sheet: the message text and the video file.
//
// Threading: main thread; the sheet's completion runs there too.

#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

class More final : public ShareOutletProtocol {
 public:
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit More(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;
};

}  // namespace velmoradine
