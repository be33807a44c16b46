#include "velmoradine/outlets/instagram_stories.hpp"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/services/ui_application.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine {
namespace {

constexpr auto kStoriesURL = "instagram-stories://share";
constexpr auto kWhite = "#FFFFFF";

class InstagramStoriesType final : public ShareOutletType {
 public:
  std::string typeName() const override { return "InstagramStories"; }
  std::string imageName() const override { return "InstagramStories"; }
  std::string outletName() const override { return "Stories"; }
  std::string canonicalOutletName() const override { return "instagram-stories"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<InstgramStoriesRequirements>();
  }
  bool canPerform(ContentType contentType) const override {
    return PlatformFeatures::isAtLeast(10) && contentType == ContentType::video;
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<InstagramStories>(std::move(content));
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
  static const auto* type = new std::shared_ptr<const ShareOutletType>(new InstagramStoriesType());
  return *type;
}

InstagramStories::InstagramStories(std::shared_ptr<Content> content)
    : ShareOutletProtocol(std::move(content)) {}

void InstagramStories::share(const std::shared_ptr<UIViewController>&) {
  auto video = content() ? content()->videoContent() : nullptr;
  if (!video) return reportFailure("Invalid content type");
  auto bytes = video->rawStrategy(this)->data();
  if (!PlatformFeatures::isAtLeast(10)) return reportFailure("Needs iOS 10");
  DispatchQueue::main()->async(
      [self = std::static_pointer_cast<InstagramStories>(shared_from_this()), video, bytes] {
        self->handOver(stickerItem(*video, bytes));
      });
}

void InstagramStories::handOver(PasteboardItem item) {
  SystemServices::current()->generalPasteboard->setItems(
      {std::move(item)}, Pasteboard::Clock::now() + kPasteboardLifetime);
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
