#pragma once

// Shares to Instagram stories: puts the video's bytes, white background
// colours and the application's call-to-action link on the general
// pasteboard as one item under Instagram's sticker keys, then opens
// Instagram's story composer. Success is reported only when the composer
// opened; when it did not, the item stays on the pasteboard (it expires on
// its own, `kPasteboardLifetime` later on the kit's Clock, the one the
// pasteboard reads) and the failure is reported.
//
// Threading: `share` runs on the main thread; the pasteboard is written and
// the composer opened on the main queue, and the outcome is reported there.

#include <memory>

#include "velmoradine/outlets/share_outlet_protocol.hpp"
#include "velmoradine/platform/services/pasteboard.hpp"

namespace velmoradine {

class InstagramStories final : public ShareOutletProtocol {
 public:
  // How long the item stays on the pasteboard.
  static constexpr std::chrono::seconds kPasteboardLifetime{300};

  // The one type object of the outlet, as the registry lists it.
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit InstagramStories(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;

 private:
  void handOver(PasteboardItem item);
};

}  // namespace velmoradine
