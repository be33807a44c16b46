#pragma once

// Saves the content's video to the photo library, after asking for
// permission. A refusal is a cancellation, not a failure. The saved video
// stays in the library.
//
// Threading: `share` runs on the main thread; the outcome is reported from
// the thread of the permission answer or of the library's completion.

#include <memory>

#include "velmoradine/outlets/photo_permission_helper.hpp"
#include "velmoradine/outlets/share_outlet_protocol.hpp"

namespace velmoradine {

class Download final : public ShareOutletProtocol, public PhotoPermissionHelperDelegate {
 public:
  // The one type object of the outlet, as the registry lists it.
  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit Download(std::shared_ptr<Content> content);

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;

  void succeeded() override;
  void cancelled() override;
  void failed() override;
};

}  // namespace velmoradine
