#pragma once

// Shares to the Instagram feed: saves the content's own video to the photo
// library (after asking for permission) and opens Instagram's library screen
// on the new asset. Success is reported once Instagram can be opened; what
// the user does there is not observed. The saved video stays in the library
// even when Instagram then cannot be opened.
//
// Threading: `share` runs on the main thread. Permission answers and the
// library's completion arrive on other threads and report failures from
// there; opening Instagram and its outcome happen on the main queue.

#include <memory>

#include "velmoradine/outlets/photo_permission_helper.hpp"
#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

struct PHAsset;

class InstagramFeed final : public ShareOutletProtocol, public PhotoPermissionHelperDelegate {
 public:
  // The one type object of the outlet, as the registry lists it.
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit InstagramFeed(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;

  void succeeded() override;
  void cancelled() override;
  void failed() override;

 private:
  void openInstagram(const PHAsset& asset);
};

}  // namespace velmoradine
