#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "services_fixture.hpp"
#include "velmoradine/platform/services/mf_message_compose_view_controller.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/services/ui_activity_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"

namespace velmoradine::testing {
namespace {

class RecordingMessaging : public Messaging {
 public:
  bool canSendText() override { return available; }
  bool canSendAttachments() override { return available; }
  Result<void> send(const std::string& body,
                    const std::vector<MessageAttachment>& attachments) override {
    sentBodies.push_back(body);
    for (const auto& attachment : attachments) sentFiles.push_back(attachment.filename);
    if (!starts) return failure(Error::posix(ENOENT, "no mail handler"));
    return {};
  }

  bool available = true;
  bool starts = true;
  std::vector<std::string> sentBodies;
  std::vector<std::string> sentFiles;
};

class RecordingCatalog : public ApplicationCatalog {
 public:
  std::vector<DesktopApplication> applicationsOpening(const std::string& mimeType) override {
    askedFor.push_back(mimeType);
    return applications;
  }
  Result<void> launch(const DesktopApplication& application,
                      const std::vector<URL>& urls) override {
    launched.push_back(application.identifier);
    for (const auto& url : urls) launchedWith.push_back(url.absoluteString());
    if (!starts) return failure(Error::posix(ENOEXEC, "broken entry"));
    return {};
  }

  std::vector<DesktopApplication> applications;
  bool starts = true;
  std::vector<std::string> askedFor;
  std::vector<std::string> launched;
  std::vector<std::string> launchedWith;
};

class RecordingComposeDelegate : public MFMessageComposeViewControllerDelegate {
 public:
  void messageComposeViewController(MFMessageComposeViewController&,
                                    MessageComposeResult result) override {
    results.push_back(result);
  }
  std::vector<MessageComposeResult> results;
};

// Installs the recording services for one test, and puts back what was there.
class ServiceScreensTest : public ScreenTest {
 protected:
  ServiceScreensTest() {
    auto services = std::make_shared<SystemServices>();
    services->messaging = messaging;
    services->applicationCatalog = catalog;
    previous = SystemServices::replace(services);
  }
  ~ServiceScreensTest() override { SystemServices::replace(previous); }

  std::shared_ptr<RecordingMessaging> messaging = std::make_shared<RecordingMessaging>();
  std::shared_ptr<RecordingCatalog> catalog = std::make_shared<RecordingCatalog>();
  std::shared_ptr<const SystemServices> previous;
};

TEST_F(ServiceScreensTest, TheComposerReportsWhatTheUserAndTheMailHandlerDid) {
  struct Case {
    const char* button;
    bool handlerStarts;
    MessageComposeResult result;
    std::size_t handedOver;
  } cases[] = {
      {MFMessageComposeViewController::kSendTitle, true, MessageComposeResult::sent, 1},
      {MFMessageComposeViewController::kSendTitle, false, MessageComposeResult::failed, 1},
      {MFMessageComposeViewController::kCancelTitle, true, MessageComposeResult::cancelled, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.button) + (c.handlerStarts ? "" : " without a mail handler"));
    *messaging = RecordingMessaging();
    messaging->starts = c.handlerStarts;
    auto delegate = std::make_shared<RecordingComposeDelegate>();
    auto composer = std::make_shared<MFMessageComposeViewController>();
    composer->setMessageComposeDelegate(delegate);
    composer->setBody("Look at this");
    ASSERT_TRUE(composer->addAttachmentData(std::make_shared<Data>(Data{1, 2, 3}), "public.movie",
                                            "movie.mp4"));
    root->present(composer, false);
    EXPECT_NE(viewShowing("Look at this"), nullptr);
    EXPECT_NE(viewShowing("movie.mp4"), nullptr) << "a chip names the attachment";

    tapText(c.button);
    tapText(c.button);
    EXPECT_EQ(messaging->sentBodies.size(), c.handedOver * (c.handlerStarts ? 1 : 2))
        << "a failed send may be tried again, a finished one not";
    if (c.handedOver) {
      EXPECT_EQ(messaging->sentBodies.front(), "Look at this");
      EXPECT_EQ(messaging->sentFiles.front(), "movie.mp4");
    }
    ASSERT_FALSE(delegate->results.empty());
    EXPECT_EQ(delegate->results.back(), c.result);
    EXPECT_EQ(delegate->results.size(), c.handlerStarts ? 1u : 2u);
    root->dismiss(false);
  }
}

TEST_F(ServiceScreensTest, TheComposerCanSendWhatTheMessagingServiceCan) {
  for (bool available : {true, false}) {
    SCOPED_TRACE(available);
    messaging->available = available;
    EXPECT_EQ(MFMessageComposeViewController::canSendText(), available);
    EXPECT_EQ(MFMessageComposeViewController::canSendAttachments(), available);
    auto composer = std::make_shared<MFMessageComposeViewController>();
    EXPECT_EQ(composer->addAttachmentData(std::make_shared<Data>(), "public.movie", "movie.mp4"),
              available);
    EXPECT_EQ(composer->attachments().size(), available ? 1u : 0u);
  }
}

TEST_F(ServiceScreensTest, TheActivitySheetReportsOnceItHasLeftTheScreen) {
  const URL video = URL::fileURL("/videos/clip.mp4");
  catalog->applications = {{"player.desktop", "Player", std::nullopt},
                           {"editor.desktop", "Editor", "/nonexistent/icon.png"}};
  struct Report {
    std::optional<std::string> activityType;
    bool completed;
    bool operator==(const Report&) const = default;
  };
  struct Case {
    const char* name;
    std::function<void()> act;
    bool launchStarts;
    Report expected;
  } cases[] = {
      {"pick", [this] { tapText("Editor"); }, true, {"editor.desktop", true}},
      {"pick fails to start", [this] { tapText("Player"); }, false, {"player.desktop", false}},
      {"cancel",
       [this] { tapText(UIActivityViewController::kCancelTitle); },
       true,
       {std::nullopt, false}},
      {"swipe away",
       [this] {
         window->swipeDown({180, 400}, 500);
       },
       true,
       {std::nullopt, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    catalog->starts = c.launchStarts;
    catalog->launched.clear();
    catalog->launchedWith.clear();
    std::vector<Report> reports;
    auto sheet = std::make_shared<UIActivityViewController>(
        std::vector<ActivityItem>{std::string("Look at this"), video});
    sheet->setCompletionWithItemsHandler([&](auto activityType, bool completed) {
      reports.push_back({activityType, completed});
    });
    root->present(sheet, false);
    EXPECT_NE(viewShowing("Player"), nullptr);
    c.act();
    EXPECT_EQ(reports.size(), 0u) << "not before the sheet is gone";
    advance(UIPresentationController::kTransitionDuration);
    EXPECT_EQ(window->topViewController(), root);
    EXPECT_EQ(reports, std::vector<Report>{c.expected});
    if (c.expected.activityType) {
      EXPECT_EQ(catalog->launched, std::vector<std::string>{*c.expected.activityType});
      EXPECT_EQ(catalog->launchedWith, std::vector<std::string>{video.absoluteString()})
          << "the application gets the files";
    } else {
      EXPECT_TRUE(catalog->launched.empty());
    }
  }
  EXPECT_EQ(catalog->askedFor.front(), "video/mp4");
}

TEST_F(ServiceScreensTest, AnActivitySheetWithoutApplicationsSaysSo) {
  for (bool hasApplication : {false, true}) {
    SCOPED_TRACE(hasApplication);
    catalog->applications.clear();
    if (hasApplication) catalog->applications.push_back({"player.desktop", "Player", {}});
    auto sheet = std::make_shared<UIActivityViewController>(std::vector<ActivityItem>{});
    root->present(sheet, false);
    EXPECT_EQ(viewShowing(UIActivityViewController::kNoApplicationText) != nullptr,
              !hasApplication);
    root->dismiss(false);
  }
}

}  // namespace
}  // namespace velmoradine::testing
