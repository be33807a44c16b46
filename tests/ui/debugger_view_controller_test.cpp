// The debugger screen against a substitute backend that replies from a
// thread of its own, as the URL session does, in a window on a manual clock.

#include "velmoradine/ui/debugger_view_controller.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/platform/uikit/uikit_fixture.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

class ReplyingDebugNetwork : public NetworkDebugProtocol {
 public:
  explicit ReplyingDebugNetwork(Result<ContextResponse> reply) : reply_(std::move(reply)) {}

  void uploadContext(const UGCContext& context,
                     NetworkCompletion<ContextResponse> completion) override {
    uploadedTags.push_back(context.tag());
    std::thread([&] { completion(reply_); }).join();
  }

  std::vector<std::string> uploadedTags;

 private:
  Result<ContextResponse> reply_;
};

struct DebuggerCase {
  std::string name;
  Result<ContextResponse> reply;
  // Whether the reply reaches the main queue before the screen loads.
  bool replyBeforeLoad;
  std::optional<std::string> shownCode;
  std::vector<std::string> consoleLines;
  friend void PrintTo(const DebuggerCase& value, std::ostream* out) { *out << value.name; }
};

class DebuggerViewControllerTest : public testing::UIKitTest,
                                   public ::testing::WithParamInterface<DebuggerCase> {
 protected:
  DebuggerViewControllerTest() {
    bundle.writeInfoPlist({{"VelmoradineAPIBaseURL", "http://127.0.0.1:8123/v1/api/sdk/"}});
  }

  testing::TemporaryMainBundle bundle;
};

TEST_P(DebuggerViewControllerTest, ShowsTheCodeOnlyAfterASuccessfulUploadUnderTheLink) {
  const DebuggerCase& expected = GetParam();
  console::Capture console;
  auto network = std::make_shared<ReplyingDebugNetwork>(expected.reply);
  auto debugger = DebuggerViewController::make(UGCContext("checkout-flow"), {network});
  ASSERT_EQ(network->uploadedTags, std::vector<std::string>{"checkout-flow"});
  EXPECT_EQ(debugger->codeView()->text(), std::nullopt) << "the reply left the main queue";

  if (expected.replyBeforeLoad) RunLoop::main().drain();
  root->present(debugger, true);
  advance(1);
  window->displayIfNeeded();

  EXPECT_EQ(debugger->codeView()->isHidden(), !expected.shownCode.has_value());
  if (expected.shownCode) {
    EXPECT_EQ(debugger->codeView()->text(), expected.shownCode);
  }
  EXPECT_FALSE(debugger->openLinkView()->isHidden());
  EXPECT_EQ(debugger->openLinkView()->text(),
            "Please visit \nhttp://127.0.0.1:8123/go \n to get started!");
  EXPECT_EQ(console.lines(), expected.consoleLines);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DebuggerViewControllerTest,
    ::testing::Values(DebuggerCase{"Success", ContextResponse{"K7Q2"}, false, "K7Q2", {}},
                      DebuggerCase{
                          "SuccessBeforeTheScreenLoads", ContextResponse{"K7Q2"}, true, "K7Q2", {}},
                      DebuggerCase{"Failure",
                                   failure(velmoradine::Error(Network::Error::notAuthenticated)),
                                   false,
                                   std::nullopt,
                                   {"Something went wrong: Unauthorized."}}),
    [](const ::testing::TestParamInfo<DebuggerCase>& info) { return info.param.name; });

TEST(GetStartedAddressTest, IsTheOriginOfTheAPIAddressWithPathGo) {
  struct Case {
    Result<URL> apiBaseURL;
    std::optional<std::string> address;
  };
  const std::vector<Case> cases = {
      {*URL::parse("https://api.example.test/v1/api/sdk/"), "https://api.example.test/go"},
      {*URL::parse("http://127.0.0.1:8123/v1/api/sdk/"), "http://127.0.0.1:8123/go"},
      {*URL::parse("http://[::1]:8123/v1/api/sdk/"), "http://[::1]:8123/go"},
      {failure(velmoradine::Error(Network::Error::unknown)), std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DebuggerViewController::getStartedAddress(c.apiBaseURL), c.address);
  }
}

class DebugOnTest : public testing::UIKitTest {};

TEST_F(DebugOnTest, PresentsADebuggerWhoseUploadWithoutAnAPIKeyIsReported) {
  testing::TemporaryMainBundle bundle;
  console::Capture console;
  debug(UGCContext("checkout-flow"), root);
  advance(1);

  EXPECT_NE(std::dynamic_pointer_cast<DebuggerViewController>(root->presentedViewController()),
            nullptr);
  EXPECT_TRUE(console.contains("Something went wrong: Unauthorized."));
}

}  // namespace
}  // namespace velmoradine
