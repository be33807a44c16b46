#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/outlets/outlet_fakes.hpp"
#include "tests/support/temporary_directory.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/outlets/download.hpp"
#include "velmoradine/outlets/instagram_feed.hpp"
#include "velmoradine/outlets/instagram_stories.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/desktop_pasteboard.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine::testing {
namespace {

constexpr auto kFeedSaveFailed = "failure Unable to save video to share to Instagram.";
constexpr auto kFeedOpened = "open instagram://library?LocalIdentifier=5C1D8F0A/L0/001";

ApplicationResponse withCallToAction(std::string link) {
  ApplicationResponse settings;
  settings.cta_link = std::move(link);
  return settings;
}

class PhotoOutletsTest : public ::testing::Test {
 protected:
  PhotoOutletsTest() {
    root->view();
    window->setRootViewController(root);
    services_.urlOpener->openableSchemes = {"instagram", "instagram-stories", "file"};
  }
  ~PhotoOutletsTest() override { advance(10); }

  void advance(double seconds) {
    clock_.advance(
        std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds)));
    RunLoop::main().drain();
  }

  std::shared_ptr<VideoContent> makeVideo() { return maker_.make("My clip", false); }

  // Shares `content` to a new outlet of `type`, with the journal as delegate.
  std::shared_ptr<ShareOutletProtocol> share(const ShareOutletType& type,
                                             std::shared_ptr<Content> content) {
    auto outlet = type.make(std::move(content));
    outlet->setDelegate(delegate_);
    outlet->share(root);
    RunLoop::main().drain();
    return outlet;
  }

  // The dialog on screen, once it has slid in.
  std::shared_ptr<UIAlertController> dialog() {
    advance(UIPresentationController::kTransitionDuration);
    return std::dynamic_pointer_cast<UIAlertController>(window->topViewController());
  }

  void tap(const std::shared_ptr<UIAlertController>& alert, const std::string& title) {
    window->layoutIfNeeded();
    for (std::size_t index = 0; index < alert->actions().size(); ++index) {
      if (alert->actions()[index].title != title) continue;
      auto button = alert->buttonForAction(index);
      window->tap(button->convertToWindow({button->bounds().midX(), button->bounds().midY()}));
    }
    advance(UIPresentationController::kTransitionDuration);
  }

  ScopedManualClock clock_;
  ScopedOutletServices services_;
  std::shared_ptr<Journal> journal_ = services_.journal;
  std::shared_ptr<RecordingOutletDelegate> delegate_ =
      std::make_shared<RecordingOutletDelegate>(journal_);
  std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen({375, 812}, 3));
  std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
  VideoContentMaker maker_;
};

TEST_F(PhotoOutletsTest, ContentThatIsNotAVideoFailsWithoutTouchingLibraryOrPasteboard) {
  for (const auto& type :
       {InstagramFeed::outletType(), InstagramStories::outletType(), Download::outletType()}) {
    SCOPED_TRACE(type->typeName());
    journal_->clear();
    share(*type, std::make_shared<UnknownContent>());
    EXPECT_EQ(journal_->lines(), std::vector<std::string>{"failure Invalid content type"});
    EXPECT_EQ(services_.photoLibrary->statusReads, 0);
    EXPECT_EQ(services_.pasteboard->writes(), 0);
    EXPECT_EQ(window->topViewController(), root);
  }
}

TEST_F(PhotoOutletsTest, WithPermissionGrantedTheVideoIsSavedWithoutADialog) {
  struct Case {
    const char* name;
    const ShareOutletType& type;
    PHAuthorizationStatus status = PHAuthorizationStatus::authorized;
    bool videoVanished = false;
    std::optional<Error> saveError = std::nullopt;
    bool assetFindable = true;
    bool instagramInstalled = true;
    std::vector<std::string> expected;
    const char* loggedWhy = nullptr;
  } cases[] = {
      {.name = "feed opens Instagram on the saved asset",
       .type = *InstagramFeed::outletType(),
       .expected = {"save clip.mp4", "success raw", kFeedOpened}},
      {.name = "feed with limited access",
       .type = *InstagramFeed::outletType(),
       .status = PHAuthorizationStatus::limited,
       .expected = {"save clip.mp4", "success raw", kFeedOpened}},
      {.name = "feed into a photo folder that cannot be written",
       .type = *InstagramFeed::outletType(),
       .saveError = Error::posix(EROFS),
       .expected = {"save clip.mp4", kFeedSaveFailed},
       .loggedWhy = "[Velmoradine] [InstagramFeed] Unable to save video: the library refused"},
      {.name = "feed whose saved asset cannot be found",
       .type = *InstagramFeed::outletType(),
       .assetFindable = false,
       .expected = {"save clip.mp4", kFeedSaveFailed},
       .loggedWhy = "[Velmoradine] [InstagramFeed] Unable to save video: no asset"},
      {.name = "feed with Instagram missing keeps the saved video",
       .type = *InstagramFeed::outletType(),
       .instagramInstalled = false,
       .expected = {"save clip.mp4", "failure Unable to open instagram"}},
      {.name = "feed whose video vanished",
       .type = *InstagramFeed::outletType(),
       .videoVanished = true,
       .expected = {kFeedSaveFailed},
       .loggedWhy = "[Velmoradine] [InstagramFeed] Unable to save video: the video is gone"},
      {.name = "download",
       .type = *Download::outletType(),
       .expected = {"save clip.mp4", "success raw"}},
      {.name = "download into a photo folder that cannot be written",
       .type = *Download::outletType(),
       .saveError = Error::posix(ENOSPC),
       .expected = {"save clip.mp4", "failure Unable to save video."},
       .loggedWhy = "[Velmoradine] [Download] Unable to save video: the library refused"},
      {.name = "download whose video vanished",
       .type = *Download::outletType(),
       .videoVanished = true,
       .expected = {"failure Unable to save video."},
       .loggedWhy = "[Velmoradine] [Download] Unable to save video: the video is gone"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::ofstream(maker_.videoPath(), std::ios::binary) << "mp4 bytes";
    auto video = makeVideo();
    if (c.videoVanished) std::filesystem::remove(maker_.videoPath());
    journal_->clear();
    services_.photoLibrary->status = c.status;
    services_.photoLibrary->saveError = c.saveError;
    services_.photoLibrary->assetFindable = c.assetFindable;
    services_.urlOpener->openableSchemes = {c.instagramInstalled ? "instagram" : "twitter"};
    console::Capture log;
    share(c.type, video);
    EXPECT_EQ(window->topViewController(), root) << "no dialog";
    EXPECT_EQ(journal_->lines(), c.expected);
    if (c.loggedWhy) {
      auto lines = log.lines();
      EXPECT_TRUE(std::ranges::any_of(lines, [&](const std::string& line) {
        return line.starts_with(c.loggedWhy);
      })) << ::testing::PrintToString(lines);
    }
  }
}

TEST_F(PhotoOutletsTest, PermissionDialogsAskOrSendToTheSettingsAndADeclineIsACancellation) {
  const std::string firstTitle = "Allow us to save this video?";
  const std::string afterRefusalTitle = "Looks like you've denied permissions to save this video.";
  struct Case {
    const char* name;
    const ShareOutletType& type;
    PHAuthorizationStatus status;
    PHAuthorizationStatus promptAnswer = PHAuthorizationStatus::authorized;
    const char* button;
    std::string title;
    std::string message;
    std::vector<std::string> expected;
  } cases[] = {
      {"not determined, declined: the library is never asked",
       *Download::outletType(),
       PHAuthorizationStatus::notDetermined,
       PHAuthorizationStatus::authorized,
       "No, Thanks",
       firstTitle,
       "To share to Download we need to save content to your Photos first",
       {"cancelled"}},
      {"not determined, accepted and granted",
       *Download::outletType(),
       PHAuthorizationStatus::notDetermined,
       PHAuthorizationStatus::authorized,
       "Yes, Please!",
       firstTitle,
       "To share to Download we need to save content to your Photos first",
       {"authorize", "save clip.mp4", "success raw"}},
      {"not determined, accepted, then refused at the library's prompt",
       *InstagramFeed::outletType(),
       PHAuthorizationStatus::notDetermined,
       PHAuthorizationStatus::denied,
       "Yes, Please!",
       firstTitle,
       "To share to Instagram we need to save content to your Photos first",
       {"authorize", "cancelled"}},
      {"the same refusal for a download",
       *Download::outletType(),
       PHAuthorizationStatus::notDetermined,
       PHAuthorizationStatus::denied,
       "Yes, Please!",
       firstTitle,
       "To share to Download we need to save content to your Photos first",
       {"authorize", "cancelled"}},
      {"denied, off to the settings",
       *InstagramFeed::outletType(),
       PHAuthorizationStatus::denied,
       PHAuthorizationStatus::authorized,
       "Yes, Please!",
       afterRefusalTitle,
       "To share to Instagram we need to save content to your Photos first. Would you like to "
       "change your settings? ",
       {"cancelled", std::string("open ") + FakePhotoLibrary::kSettingsURL}},
      {"denied, declined",
       *Download::outletType(),
       PHAuthorizationStatus::denied,
       PHAuthorizationStatus::authorized,
       "No, Thanks",
       afterRefusalTitle,
       "To share to Download we need to save content to your Photos first. Would you like to "
       "change your settings? ",
       {"cancelled"}},
      {"restricted, off to the settings",
       *Download::outletType(),
       PHAuthorizationStatus::restricted,
       PHAuthorizationStatus::authorized,
       "Yes, Please!",
       afterRefusalTitle,
       "To share to Download we need to save content to your Photos first. Would you like to "
       "change your settings? ",
       {"cancelled", std::string("open ") + FakePhotoLibrary::kSettingsURL}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    journal_->clear();
    services_.photoLibrary->status = c.status;
    services_.photoLibrary->promptAnswer = c.promptAnswer;
    share(c.type, makeVideo());
    auto alert = dialog();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), c.title);
    EXPECT_EQ(alert->message(), c.message);
    EXPECT_EQ(alert->preferredStyle(), UIAlertControllerStyle::alert);
    ASSERT_EQ(alert->actions().size(), 2u);
    EXPECT_EQ(alert->actions()[0].title, "No, Thanks");
    EXPECT_EQ(alert->actions()[1].title, "Yes, Please!");
    for (const auto& action : alert->actions()) {
      EXPECT_EQ(action.style, UIAlertActionStyle::default_);
    }
    EXPECT_TRUE(journal_->lines().empty()) << "nothing happens before the user answers";
    tap(alert, c.button);
    EXPECT_EQ(journal_->lines(), c.expected);
    EXPECT_EQ(window->topViewController(), root);
  }
}

TEST_F(PhotoOutletsTest, StoriesPutOneStickerItemOnThePasteboardAndSucceedOnlyOnceOpened) {
  const std::string video = "com.instagram.sharedSticker.backgroundVideo";
  const std::string top = "com.instagram.sharedSticker.backgroundTopColor";
  const std::string bottom = "com.instagram.sharedSticker.backgroundBottomColor";
  const std::string link = "com.instagram.sharedSticker.contentURL";
  struct Case {
    const char* name;
    std::optional<ApplicationResponse> settings;
    bool storiesInstalled;
    std::optional<std::string> contentURL;
    std::vector<std::string> expected;
  } cases[] = {
      {"no stored settings: three keys",
       std::nullopt,
       true,
       std::nullopt,
       {"open instagram-stories://share", "success raw"}},
      {"a call-to-action link: four keys",
       withCallToAction("https://brand.test/go"),
       true,
       "https://brand.test/go",
       {"open instagram-stories://share", "success raw"}},
      {"an empty call-to-action link: three keys",
       withCallToAction(""),
       true,
       std::nullopt,
       {"open instagram-stories://share", "success raw"}},
      {"Instagram missing: the item stays, the share fails",
       std::nullopt,
       false,
       std::nullopt,
       {"open instagram-stories://share", "failure Unable to open instagram"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    journal_->clear();
    maker_.datastore()->setApplication(c.settings);
    services_.urlOpener->openableSchemes = {c.storiesInstalled ? "instagram-stories" : "twitter"};
    auto content = makeVideo();
    console::Capture log;
    share(*InstagramStories::outletType(), content);

    EXPECT_EQ(journal_->lines(), c.expected);
    EXPECT_TRUE(log.contains(
        "[Velmoradine] [InstagramStories] delegate: velmoradine::testing::RecordingOutletDelegate"))
        << ::testing::PrintToString(log.lines());
    auto items = services_.pasteboard->items();
    ASSERT_EQ(items.size(), 1u);
    const auto& item = items[0];
    EXPECT_EQ(item.size(), c.contentURL ? 4u : 3u);
    EXPECT_EQ(item.at(top), PasteboardValue(std::string("#FFFFFF")));
    EXPECT_EQ(item.at(bottom), PasteboardValue(std::string("#FFFFFF")));
    EXPECT_EQ(*std::get<std::shared_ptr<const Data>>(item.at(video)),
              *content->rawStrategy()->data());
    if (c.contentURL) {
      EXPECT_EQ(item.at(link), PasteboardValue(*c.contentURL));
    }
  }
}

TEST_F(PhotoOutletsTest, StoriesItemLeavesThePasteboardFiveMinutesLaterOnTheKitsClock) {
  ScopedEnvironmentVariable wayland("WAYLAND_DISPLAY", "");
  ScopedEnvironmentVariable x11("DISPLAY", "");
  auto pasteboard = std::make_shared<DesktopPasteboard>();
  auto services = std::make_shared<SystemServices>(*SystemServices::current());
  services->generalPasteboard = pasteboard;
  // The fixture puts its own services back afterwards.
  SystemServices::replace(std::move(services));

  share(*InstagramStories::outletType(), makeVideo());
  ASSERT_EQ(pasteboard->items().size(), 1u);
  advance(299);
  EXPECT_EQ(pasteboard->items().size(), 1u);
  advance(1);
  EXPECT_TRUE(pasteboard->items().empty());
}

TEST_F(PhotoOutletsTest, EachOutletTypeIsOneObjectNamedAsTheRegistryShowsIt) {
  struct Case {
    const std::shared_ptr<const ShareOutletType>& type;
    const char* typeName;
    const char* outletName;
    const char* canonicalOutletName;
    bool (*hasItsRequirements)(const ShareOutletRequirementProtocol*);
  } cases[] = {
      {InstagramFeed::outletType(), "InstagramFeed", "Instagram", "instagram-feed",
       [](auto* r) { return dynamic_cast<const InstagramFeedRequirements*>(r) != nullptr; }},
      {InstagramStories::outletType(), "InstagramStories", "Stories", "instagram-stories",
       [](auto* r) { return dynamic_cast<const InstgramStoriesRequirements*>(r) != nullptr; }},
      {Download::outletType(), "Download", "Download", "download",
       [](auto* r) { return dynamic_cast<const PhotoRequirement*>(r) != nullptr; }},
  };
  console::Capture plistComplaints;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typeName);
    EXPECT_EQ(c.type->typeName(), c.typeName);
    EXPECT_EQ(c.type->imageName(), c.typeName);
    EXPECT_EQ(c.type->outletName(), c.outletName);
    EXPECT_EQ(c.type->canonicalOutletName(), c.canonicalOutletName);
    EXPECT_TRUE(c.hasItsRequirements(c.type->requirements().get()));
    EXPECT_FALSE(c.type->canPerform(ContentType::unknown));
    EXPECT_EQ(&c.type->make(makeVideo())->type(), c.type.get());
  }
  EXPECT_TRUE(InstagramStories::outletType()->canPerform(ContentType::video));
}

}  // namespace
}  // namespace velmoradine::testing
