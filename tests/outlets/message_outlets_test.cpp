#include <gtest/gtest.h>

#include "tests/outlets/outlet_fakes.hpp"
#include "tests/platform/services/services_fixture.hpp"
#include "velmoradine/outlets/imessage.hpp"
#include "velmoradine/outlets/more.hpp"
#include "velmoradine/platform/services/ui_activity_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"

namespace velmoradine {
namespace {

using testing::VideoContentMaker;

// Shares from a window's root controller and answers the screens the
// outlets present with taps, as the user would.
class MessageOutletsTest : public testing::ScreenTest {
 protected:
  std::vector<std::string> shareThenTap(ShareOutletProtocol& outlet, const std::string& button) {
    outlet.setDelegate(delegate);
    outlet.share(root);
    advance(UIPresentationController::kTransitionDuration);
    tapText(button);
    advance(UIPresentationController::kTransitionDuration);
    EXPECT_EQ(window->topViewController(), root) << "nothing stays on screen";
    return delegate->outcomes();
  }

  testing::ScopedOutletServices services;
  VideoContentMaker maker;
  std::shared_ptr<testing::RecordingOutletDelegate> delegate =
      std::make_shared<testing::RecordingOutletDelegate>();
};

TEST_F(MessageOutletsTest, IMessageSendsTheLinkOrElseTheVideo) {
  const std::string withLink = std::string("My clip ") + VideoContentMaker::kLink;
  struct Case {
    const char* name;
    bool linkLive;
    const char* button;
    bool handlerStarts;
    std::string body;
    std::vector<std::string> attachments;
    std::string outcome;
  } cases[] = {
      {"link live",
       true,
       MFMessageComposeViewController::kSendTitle,
       true,
       withLink,
       {},
       "success linkPreview"},
      {"link not live",
       false,
       MFMessageComposeViewController::kSendTitle,
       true,
       "My clip",
       {"movie.mp4 public.movie"},
       "success raw"},
      {"cancelled",
       true,
       MFMessageComposeViewController::kCancelTitle,
       true,
       withLink,
       {},
       "cancelled"},
      {"mail handler missing",
       false,
       MFMessageComposeViewController::kSendTitle,
       false,
       "My clip",
       {"movie.mp4 public.movie"},
       "failure Could not send message"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    services.messaging->starts = c.handlerStarts;
    delegate = std::make_shared<testing::RecordingOutletDelegate>();
    auto message = std::make_shared<IMessage>(maker.make("My clip", c.linkLive));
    const auto composer = message->composeViewController();
    EXPECT_EQ(shareThenTap(*message, c.button), std::vector<std::string>{c.outcome});
    EXPECT_EQ(composer->body(), c.body);
    std::vector<std::string> attachments;
    for (const auto& attachment : composer->attachments()) {
      attachments.push_back(attachment.filename + " " + attachment.typeIdentifier);
      EXPECT_EQ(*attachment.data, maker.videoBytes());
    }
    EXPECT_EQ(attachments, c.attachments);
    EXPECT_EQ(message->linkUsed(), c.linkLive);
    EXPECT_NE(message->composeViewController(), composer) << "a fresh composer for the next share";
  }
}

TEST_F(MessageOutletsTest, IMessageIsOfferedWhereTheDesktopCanSendTheVideo) {
  struct Case {
    bool text;
    bool attachments;
    ContentType contentType;
    bool offered;
  } cases[] = {
      {true, true, ContentType::video, true},
      {false, true, ContentType::video, false},
      {true, false, ContentType::video, false},
      {true, true, ContentType::unknown, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "text " << c.text << ", attachments " << c.attachments
                                      << ", " << rawValue(c.contentType));
    services.messaging->sendsText = c.text;
    services.messaging->sendsAttachments = c.attachments;
    EXPECT_EQ(IMessage::outletType()->canPerform(c.contentType), c.offered);
  }
}

TEST_F(MessageOutletsTest, MoreHandsTextAndVideoToThePickedApplication) {
  struct Case {
    const char* name;
    bool linkLive;
    const char* button;
    std::string text;
    std::size_t launches;
    std::string outcome;
  } cases[] = {
      {"link live", true, "Player", std::string("My clip ") + VideoContentMaker::kLink, 1,
       "success raw,linkPreview"},
      {"link not live", false, "Player", "My clip", 1, "success raw"},
      {"cancelled", true, UIActivityViewController::kCancelTitle,
       std::string("My clip ") + VideoContentMaker::kLink, 0, "cancelled"},
  };
  const URL video = URL::fileURL(maker.videoPath());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    services.catalog->launched.clear();
    delegate = std::make_shared<testing::RecordingOutletDelegate>();
    auto outlet = std::make_shared<More>(maker.make("My clip", c.linkLive));
    outlet->setDelegate(delegate);
    outlet->share(root);
    const auto sheet =
        std::dynamic_pointer_cast<UIActivityViewController>(window->topViewController());
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->activityItems(), (std::vector<ActivityItem>{c.text, video}));
    advance(UIPresentationController::kTransitionDuration);
    tapText(c.button);
    advance(UIPresentationController::kTransitionDuration);
    EXPECT_EQ(window->topViewController(), root);
    EXPECT_EQ(delegate->outcomes(), std::vector<std::string>{c.outcome});
    EXPECT_EQ(services.catalog->launched.size(), c.launches);
  }
}

}  // namespace
}  // namespace velmoradine
