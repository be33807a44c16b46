#pragma once

// An outlet is one destination of the share sheet. The registry holds outlet
// *types* (`ShareOutletType`: what the sheet shows before anything is shared,
// and a factory); the sheet makes one `ShareOutletProtocol` instance per share
// attempt, sets its delegate and calls `share` on the main thread. Every
// `share` ends in exactly one delegate call.
//
// Threading: `share` runs on the main thread. Delegate calls may come from
// any thread (permission answers and library completions arrive where they
// arrive); a delegate that touches views moves to the main queue itself.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/model/share_outlet_identity.hpp"
#include "velmoradine/outlets/share_outlet_requirement.hpp"
#include "velmoradine/outlets/velmoradine_lifecycle_delegate.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/share/content.hpp"
#include "velmoradine/share/share_strategy.hpp"

namespace velmoradine {

class ShareOutletProtocol;
class UIViewController;

class ShareOutletDelegate {
 public:
  virtual ~ShareOutletDelegate() = default;
  virtual void success(ShareOutletProtocol& shareOutlet,
                       std::vector<ShareStretegyType> strategiesUsed) = 0;
  virtual void failure(ShareOutletProtocol& shareOutlet, std::string error) = 0;
  virtual void cancelled(ShareOutletProtocol& shareOutlet) = 0;
};

// The type-level side of an outlet: one shared object per outlet type.
class ShareOutletType {
 public:
  virtual ~ShareOutletType() = default;

  // The unqualified type name ("Twitter"), as log lines name the outlet.
  virtual std::string typeName() const = 0;
  virtual std::string imageName() const = 0;
  virtual std::string outletName() const = 0;
  // Stable lower-case name of the destination ("twitter").
  virtual std::string canonicalOutletName() const = 0;
  // What the host's Info.plist must hold; none by default.
  virtual std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const;
  // "Assets/" + imageName + ".png" from the kit's bundle, when it is there.
  virtual std::optional<Image> buttonImage() const;
  // By default: the requirements are met by the main bundle's Info.plist
  // (else a log line names the outlet) and the content is a video.
  virtual bool canPerform(ContentType contentType) const;
  // init(content:).
  virtual std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const = 0;

  std::shared_ptr<VelmoradineLifecycleDelegate> outletLifecycleDelegate() const;
  // Type-level state: settable through the shared, otherwise immutable type.
  void setOutletLifecycleDelegate(std::shared_ptr<VelmoradineLifecycleDelegate> delegate) const;

 private:
  mutable std::mutex mutex_;
  mutable std::shared_ptr<VelmoradineLifecycleDelegate>
      outletLifecycleDelegate_;  // guarded by mutex_
};

class ShareOutletProtocol : public ShareOutletIdentity,
                            public std::enable_shared_from_this<ShareOutletProtocol> {
 public:
  explicit ShareOutletProtocol(std::shared_ptr<Content> content);

  virtual const ShareOutletType& type() const = 0;
  // Presents whatever the outlet needs from `viewController`.
  virtual void share(const std::shared_ptr<UIViewController>& viewController) = 0;

  // Held weakly: the sheet owns the outlet, not the other way round.
  std::shared_ptr<ShareOutletDelegate> delegate() const;
  void setDelegate(std::weak_ptr<ShareOutletDelegate> delegate);
  std::shared_ptr<Content> content() const;
  void setContent(std::shared_ptr<Content> content);

 protected:
  // Each reports to the delegate, when there is one.
  void reportSuccess(std::vector<ShareStretegyType> strategiesUsed);
  void reportFailure(std::string error);
  void reportCancelled();
  // The content as a video; when it is none, reports "Invalid content type"
  // and gives null, so `share` can stop there.
  std::shared_ptr<VideoContent> videoContentOrReportFailure();

 private:
  mutable std::mutex mutex_;
  std::weak_ptr<ShareOutletDelegate> delegate_;  // guarded by mutex_
  std::shared_ptr<Content> content_;             // guarded by mutex_
};

}  // namespace velmoradine
