#include "velmoradine/outlets/twitter.hpp"

#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr const char* kUnableToShare = "Unable to share to Twitter right now.";
constexpr const char* kUnableToOpen = "Unable to open twitter";
constexpr const char* kAppURLPrefix = "twitter://post?message=";
constexpr const char* kWebIntentPrefix = "https://twitter.com/intent/tweet?text=";

// The text as one query value. The query's own delimiters are escaped too:
// left as they are, a title with "&" would end the message there and the
// link after it would never reach the tweet.
std::string encodedQueryValue(const std::string& text) {
  std::string encoded;
  for (char c : addingPercentEncoding(text, URLCharacterSet::urlQueryAllowed)) {
    switch (c) {
      case '&':
        encoded += "%26";
        break;
      case '+':
        encoded += "%2B";
        break;
      case '=':
        encoded += "%3D";
        break;
      default:
        encoded += c;
    }
  }
  return encoded;
}

}  // namespace

Twitter::Providers Twitter::Providers::defaults() {
  return Providers{[] { return ShareOutletUtils::isTwitterAppInstalled(); }};
}

const std::shared_ptr<const ShareOutletType>& Twitter::outletType() {
  return sharedOutletType<KitShareOutletType<Twitter, TwitterRequirements>>(
      {"Twitter", "Twitter", "Twitter", "twitter"});
}

Twitter::Twitter(std::shared_ptr<Content> content, Providers providers)
    : ShareOutletProtocol(std::move(content)), providers_(std::move(providers)) {}

void Twitter::share(const std::shared_ptr<UIViewController>&) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  const auto url = tweetURL(*video);
  if (!url) return reportFailure(kUnableToShare);
  DispatchQueue::main()->async([self = std::static_pointer_cast<Twitter>(shared_from_this()),
                                url = *url] { self->open(url); });
}

std::optional<URL> Twitter::tweetURL(const VideoContent& video) const {
  if (!video.linkPreviewAvailable()) return std::nullopt;
  const char* prefix = providers_.isTwitterAppInstalled() ? kAppURLPrefix : kWebIntentPrefix;
  return URL::parse(prefix + encodedQueryValue(video.text()));
}

void Twitter::open(const URL& url) {
  if (!UIApplication::shared().canOpenURL(url)) return reportFailure(kUnableToOpen);
  // The outlet stays alive until the desktop answered, so the answer is
  // reported even when the sheet let go of it meanwhile.
  UIApplication::shared().open(
      url, [self = std::static_pointer_cast<Twitter>(shared_from_this())](bool opened) {
        if (opened) {
          self->reportSuccess({ShareStretegyType::linkPreview});
        } else {
          self->reportFailure(kUnableToOpen);
        }
      });
}

}  // namespace velmoradine
