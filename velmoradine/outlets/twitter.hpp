#pragma once

// Posts the content's message text (title and link) through the Twitter app
// when it is installed, else through the web intent in the browser. Nothing
// is posted before the link is live: a tweet without it would point nowhere.
//
// Threading: `share` runs on the main thread; the URL is tested and opened on
// the main queue, and the outcome is reported there.

#include <functional>
#include <memory>
#include <optional>

#include "velmoradine/outlets/share_outlet_protocol.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

class Twitter final : public ShareOutletProtocol {
 public:
  struct Providers {
    // Whether the Twitter app is installed; by default the process-wide
    // cached probe.
    std::function<bool()> isTwitterAppInstalled;

    static Providers defaults();
  };

  static const std::shared_ptr<const ShareOutletType>& outletType();

  explicit Twitter(std::shared_ptr<Content> content, Providers providers = Providers::defaults());

  const ShareOutletType& type() const override { return *outletType(); }
  void share(const std::shared_ptr<UIViewController>& viewController) override;

 private:
  // The composer's URL for the content's text; none before the link is live.
  std::optional<URL> tweetURL(const VideoContent& video) const;
  void open(const URL& url);

  const Providers providers_;
};

}  // namespace velmoradine
