#include "velmoradine/outlets/instagram_stories.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/outlets/kit_share_outlet_type.hpp"
#include "velmoradine/platform/dispatch/clock.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kStoriesURL = "instagram-stories://share";
constexpr auto kWhite = "#FFFFFF";

class InstagramStoriesType final
    : public KitShareOutletType<InstagramStories, InstgramStoriesRequirements> {
 public:
  using KitShareOutletType::KitShareOutletType;
  bool canPerform(ContentType contentType) const override {
    return PlatformFeatures::isAtLeast(10) && contentType == ContentType::video;
  }
};

// The delegate's dynamic type, readable ("velmoradine::ShareSheetViewController").
std::string describe(const ShareOutletDelegate* delegate) {
  if (!delegate) return "none";
  const char* mangled = typeid(*delegate).name();
  int status = 0;
  char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string name = status == 0 ? demangled : mangled;
  std::free(demangled);
  return name;
}

PasteboardItem stickerItem(const VideoContent& video, std::shared_ptr<const Data> bytes) {
  PasteboardItem item{{"com.instagram.sharedSticker.backgroundTopColor", kWhite},
                      {"com.instagram.sharedSticker.backgroundBottomColor", kWhite},
                      {"com.instagram.sharedSticker.backgroundVideo", std::move(bytes)}};
  if (auto link = video.ctaLink(); link && !link->absoluteString().empty()) {
    item.emplace("com.instagram.sharedSticker.contentURL", link->absoluteString());
  }
  return item;
}

}  // namespace

const std::shared_ptr<const ShareOutletType>& InstagramStories::outletType() {
  return sharedOutletType<InstagramStoriesType>(
      {"InstagramStories", "InstagramStories", "Stories", "instagram-stories"});
}

InstagramStories::InstagramStories(std::shared_ptr<Content> content)
    : ShareOutletProtocol(std::move(content)) {}

void InstagramStories::share(const std::shared_ptr<UIViewController>&) {
  const auto video = videoContentOrReportFailure();
  if (!video) return;
  auto bytes = video->rawStrategy(this)->data();
  if (!PlatformFeatures::isAtLeast(10)) return reportFailure("Needs iOS 10");
  DispatchQueue::main()->async(
      [self = std::static_pointer_cast<InstagramStories>(shared_from_this()), video, bytes] {
        self->handOver(stickerItem(*video, bytes));
      });
}

void InstagramStories::handOver(PasteboardItem item) {
  SystemServices::current()->generalPasteboard->setItems(
      {std::move(item)}, Clock::current()->now() + kPasteboardLifetime);
  Logger::velmoradineDebug("[InstagramStories] delegate: " + describe(delegate().get()));
  // Instagram reads the item once it is open; an outlet that reported success
  // before knowing that would hide a missing app from the user.
  UIApplication::shared().open(
      *URL::parse(kStoriesURL),
      [self = std::static_pointer_cast<InstagramStories>(shared_from_this())](bool opened) {
        opened ? self->reportSuccess({ShareStretegyType::raw})
               : self->reportFailure("Unable to open instagram");
      });
}

}  // namespace velmoradine
