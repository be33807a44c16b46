#include "velmoradine/platform/services/desktop_messaging.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/platform/services/temporary_desktop.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/services/desktop_services_error.hpp"

namespace velmoradine {
namespace {

using testing::TemporaryDesktop;

constexpr std::string_view kAttachPrefix = "mailto:?body=Look%20%26%20see%0Anow&attach=";

TEST(DesktopMessaging, HandsBodyAndAttachmentToTheMailHandler) {
  TemporaryDesktop desktop;
  const auto handler = desktop.writeRecordingScript("mailer", "mail");
  desktop.writeDesktopEntry(
      "mailer.desktop", "[Desktop Entry]\nType=Application\nName=Mail\nExec=" + handler.string() +
                            " %u\nMimeType=x-scheme-handler/mailto;\n");
  const auto movie = std::make_shared<const Data>(Data{'m', 'o', 'v', 'i', 'e'});
  DesktopMessaging messaging;
  ASSERT_TRUE(messaging.canSendAttachments());

  ASSERT_TRUE(messaging.send("Look & see\nnow", {{movie, "public.movie", "../movie.mp4"}}));

  const auto received = desktop.waitForRecord("mail");
  ASSERT_TRUE(received && received->size() == 1);
  const std::string& uri = received->front();
  ASSERT_TRUE(uri.starts_with(kAttachPrefix)) << uri;
  const std::filesystem::path attachment =
      *removingPercentEncoding(uri.substr(kAttachPrefix.size()));
  EXPECT_EQ(attachment.filename(), "movie.mp4");
  EXPECT_EQ(
      std::filesystem::status(attachment.parent_path()).permissions() & std::filesystem::perms::all,
      std::filesystem::perms::owner_all);
  std::ifstream file(attachment, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  EXPECT_EQ(bytes.str(), "movie");
  std::filesystem::remove_all(attachment.parent_path());
}

struct UndeliveredCase {
  std::string name;
  std::optional<std::string> handlerExec;
  DesktopServicesError expected;
};

void PrintTo(const UndeliveredCase& example, std::ostream* out) {
  *out << example.name;
}

class UndeliveredMessage : public ::testing::TestWithParam<UndeliveredCase> {};

TEST_P(UndeliveredMessage, FailsAndLeavesNoAttachmentBehind) {
  const auto& example = GetParam();
  TemporaryDesktop desktop;
  const auto temporary = desktop.root() / "tmp";
  std::filesystem::create_directories(temporary);
  testing::ScopedEnvironmentVariable temporaryDirectory("TMPDIR", temporary.string());
  if (example.handlerExec) {
    desktop.writeDesktopEntry("mailer.desktop",
                              "[Desktop Entry]\nType=Application\nName=Mail\nExec=" +
                                  *example.handlerExec + "\nMimeType=x-scheme-handler/mailto;\n");
  }
  DesktopMessaging messaging;

  const auto sent = messaging.send(
      "body", {{std::make_shared<const Data>(Data{1}), "public.movie", "movie.mp4"}});

  ASSERT_FALSE(sent);
  EXPECT_EQ(sent.error(), example.expected);
  EXPECT_EQ(messaging.canSendText(), example.handlerExec.has_value());
  EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

INSTANTIATE_TEST_SUITE_P(MailHandlers, UndeliveredMessage,
                         ::testing::Values(UndeliveredCase{"NoHandler", std::nullopt,
                                                           DesktopServicesError::noApplication},
                                           UndeliveredCase{"HandlerThatCannotStart",
                                                           "/nonexistent/mailer %u",
                                                           DesktopServicesError::launchFailed}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmoradine
