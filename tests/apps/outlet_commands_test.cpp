// `velmoradine outlets` and `velmoradine share --outlet`, run in the test's
// own process so that outlets of the test's making can be in the registry:
// the real share pipeline against the real devserver, a headless screen, and
// the cleanup the outlet's report calls for.

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

#include "outlet_availability.hpp"
#include "share_run.hpp"
#include "tests/apps/command_line.hpp"
#include "tests/platform/media/test_videos.hpp"
#include "tests/platform/services/temporary_desktop.hpp"
#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine {
namespace {

enum class Behaviour {
  handsOutTheLink,
  sendsTheBytes,
  fails,
  asksFirst,
  // Asks as a system prompt does: on the key window, not where it was shown.
  asksOnTheKeyWindow,
};

// An outlet as the kit's own are built: it reports once, from `share` or
// from the answer to the question it asks.
class TestOutlet final : public ShareOutletProtocol {
 public:
  TestOutlet(const ShareOutletType& type, std::shared_ptr<Content> content, Behaviour behaviour)
      : ShareOutletProtocol(std::move(content)), type_(type), behaviour_(behaviour) {}

  const ShareOutletType& type() const override { return type_; }

  void share(const std::shared_ptr<UIViewController>& viewController) override {
    switch (behaviour_) {
      case Behaviour::handsOutTheLink: {
        auto video = std::dynamic_pointer_cast<VideoContent>(content());
        if (!video || !video->linkPreviewAvailable()) return reportFailure("no link yet");
        return reportSuccess({ShareStretegyType::raw, ShareStretegyType::linkPreview});
      }
      case Behaviour::sendsTheBytes:
        return reportSuccess({ShareStretegyType::raw});
      case Behaviour::fails:
        return reportFailure("Unable to open test");
      case Behaviour::asksFirst:
        return ask(viewController);
      case Behaviour::asksOnTheKeyWindow:
        if (!UIWindow::keyWindow()) return reportCancelled();
        return ask(UIWindow::keyWindow()->topViewController());
    }
  }

 private:
  void ask(const std::shared_ptr<UIViewController>& viewController) {
    auto alert = std::make_shared<UIAlertController>(
        "Allow us to save this video?",
        "To share to Test we need to save content to your Photos first",
        UIAlertControllerStyle::alert);
    auto self = shared_from_this();
    alert->addAction({"No, Thanks", UIAlertActionStyle::default_,
                      [self, this](const UIAlertAction&) { reportCancelled(); }});
    alert->addAction(
        {"Yes, Please!", UIAlertActionStyle::default_,
         [self, this](const UIAlertAction&) { reportSuccess({ShareStretegyType::raw}); }});
    viewController->present(alert, true);
  }

  const ShareOutletType& type_;
  const Behaviour behaviour_;
};

class TestOutletType final : public ShareOutletType {
 public:
  TestOutletType(Behaviour behaviour,
                 std::shared_ptr<const ShareOutletRequirementProtocol> requirements = nullptr)
      : behaviour_(behaviour), requirements_(std::move(requirements)) {}

  std::string typeName() const override { return "TestOutlet"; }
  std::string imageName() const override { return "test"; }
  std::string outletName() const override { return "Test"; }
  std::string canonicalOutletName() const override { return "test-outlet"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return requirements_;
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<TestOutlet>(*this, std::move(content), behaviour_);
  }

 private:
  Behaviour behaviour_;
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements_;
};

// Decides by a rule of its own, without its requirements, as the Instagram
// feed outlet does.
class OwnRuleOutletType final : public ShareOutletType {
 public:
  explicit OwnRuleOutletType(bool performs) : performs_(performs) {}
  std::string typeName() const override { return "OwnRule"; }
  std::string imageName() const override { return "own"; }
  std::string outletName() const override { return "Own"; }
  std::string canonicalOutletName() const override { return "own-rule"; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return std::make_shared<InstagramFeedRequirements>();
  }
  bool canPerform(ContentType) const override { return performs_; }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content>) const override {
    return nullptr;
  }

 private:
  bool performs_;
};

class RegistryTest : public ::testing::Test {
 protected:
  ~RegistryTest() override { ShareOutlets::setAvailableOutlets(std::move(saved_)); }
  ShareOutletTypeList saved_ = ShareOutlets::availableOutlets();
};

using OutletsCommand = RegistryTest;

TEST_F(OutletsCommand, ListsTheRegistryInOrderNamingTheRequirementEachLacks) {
  const Plist infoPlist{{"LSApplicationQueriesSchemes", PropertyList::Array{"instagram"}}};
  const ShareOutletTypeList registry{
      std::make_shared<TestOutletType>(Behaviour::fails),
      std::make_shared<TestOutletType>(Behaviour::fails, std::make_shared<TwitterRequirements>()),
      std::make_shared<TestOutletType>(Behaviour::fails,
                                       std::make_shared<InstagramFeedRequirements>()),
      std::make_shared<TestOutletType>(Behaviour::fails,
                                       std::make_shared<RequiredPlistValue>("UIStyle", "Dark")),
      std::make_shared<OwnRuleOutletType>(true),
      std::make_shared<OwnRuleOutletType>(false),
  };
  EXPECT_EQ(cli::describeOutletAvailability(cli::outletAvailability(registry, infoPlist)),
            "test-outlet (Test): offered\n"
            "test-outlet (Test): not offered: LSApplicationQueriesSchemes does not list "
            "\"twitter\"\n"
            "test-outlet (Test): not offered: NSPhotoLibraryUsageDescription is not set\n"
            "test-outlet (Test): not offered: UIStyle is not \"Dark\"\n"
            "own-rule (Own): offered\n"
            "own-rule (Own): not offered: NSPhotoLibraryUsageDescription is not set\n");
  EXPECT_EQ(cli::describeOutletAvailability(cli::outletAvailability(
                {registry[1]}, {{"LSApplicationQueriesSchemes", "twitter"}})),
            "test-outlet (Test): not offered: LSApplicationQueriesSchemes is missing or is not a "
            "list of texts\n");
}

TEST(OutletsCommandLine, PrintsTheMainBundleItJudgesBy) {
  testing::TemporaryMainBundle bundle;
  auto run = testing::runHost({"outlets"});
  EXPECT_EQ(run.status, 0) << run.errors;
  // Outlets that decline log why before the report, so the report is what
  // follows the bundle's line: the kit's seven outlets, in the sheet's order.
  const auto report = run.output.find("main bundle: " + bundle.path().string() + "\n");
  ASSERT_NE(report, std::string::npos) << run.output;
  std::size_t at = report;
  for (const char* outlet : {"imessage (SMS): ", "instagram-stories (Stories): offered",
                             "download (Download): not offered: NSPhotoLibraryUsageDescription",
                             "twitter (Twitter): not offered", "instagram-feed (Instagram): ",
                             "more (More): offered", "copy (Copy): offered"}) {
    at = run.output.find(std::string("\n") + outlet, at);
    ASSERT_NE(at, std::string::npos) << outlet << " in\n" << run.output;
  }
}

// Passes every call on, counting the deletions asked for: the cleanup asks
// synchronously, so the count is known when the command returns, even for a
// deletion still on its way to the server.
class CountedDeletions final : public NetworkShareProtocol {
 public:
  explicit CountedDeletions(std::shared_ptr<Network> inner) : inner_(std::move(inner)) {}
  void shareRequest(const ShareRequest& share,
                    NetworkCompletion<ShareResponse> completion) override {
    inner_->shareRequest(share, std::move(completion));
  }
  void activateShare(const ActivateRequest& activate,
                     NetworkCompletion<EmptyResponse> completion) override {
    inner_->activateShare(activate, std::move(completion));
  }
  void deleteShare(const DeleteShareRequest& deleteRequest,
                   NetworkCompletion<EmptyResponse> completion) override {
    ++deletions;
    inner_->deleteShare(deleteRequest, std::move(completion));
  }
  std::atomic<int> deletions = 0;

 private:
  std::shared_ptr<Network> inner_;
};

struct OutletRun {
  const char* name;
  Behaviour behaviour;
  std::optional<cli::Answer> answer;
  int expectedStatus;
  // A line printed on standard output, or (for a refusal) standard error.
  std::string expectedLine;
  bool linkSurvives;
  friend void PrintTo(const OutletRun& value, std::ostream* out) { *out << value.name; }
};

class ShareToOutlet : public RegistryTest, public ::testing::WithParamInterface<OutletRun> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(testing::writeTestVideo(video_, {.width = 64, .height = 48, .frames = 10}));
    server_ = std::make_unique<testing::DevServerProcess>(
        scratch_.path() / "server",
        std::vector<std::string>{"--api-key", "cli-key", "--app-slug", "cli-app"});
    ASSERT_TRUE(server_->running());
    bundle_.writeInfoPlist({});
  }

  VideoContentProviders providers() const {
    auto authentication = std::make_shared<AuthenticationDatastore>();
    authentication->setApiKey("cli-key");
    auto network = std::make_shared<Network>(Network::defaultURLSession(), authentication,
                                             std::make_shared<ContribDatastore>(),
                                             *URL::parse(server_->baseURL() + "v1/api/sdk/"),
                                             *URL::parse(server_->baseURL() + "v1/events"));
    deletions_ = std::make_shared<CountedDeletions>(network);
    return {std::make_shared<ApplicationDatastore>(),
            ShareManagerProviders{deletions_, network, Render::make()}};
  }

  int share(const cli::ShareOptions& options) {
    const cli::CommandConsole console{[this](const std::string& line) { output_.push_back(line); },
                                      [this](const std::string& line) { errors_.push_back(line); }};
    return cli::runShare(options, providers(), console, [this] { ++kitStarts_; });
  }

  bool printed(const std::vector<std::string>& lines, const std::string& line) const {
    return std::ranges::find(lines, line) != lines.end();
  }

  testing::TemporaryMainBundle bundle_;
  testing::TemporaryDirectory scratch_;
  std::filesystem::path video_ = scratch_.path() / "clip.mp4";
  std::unique_ptr<testing::DevServerProcess> server_;
  std::vector<std::string> output_;
  std::vector<std::string> errors_;
  mutable std::shared_ptr<CountedDeletions> deletions_;
  int kitStarts_ = 0;
};

TEST_P(ShareToOutlet, PrintsTheOutcomeAndKeepsTheLinkOnlyWhenHandedOut) {
  ShareOutlets::registerOutlet(std::make_shared<TestOutletType>(GetParam().behaviour));
  const int status = share(
      {.video = video_, .title = "Trip", .outlet = "test-outlet", .answer = GetParam().answer});
  EXPECT_EQ(status, GetParam().expectedStatus);
  EXPECT_TRUE(printed(output_, GetParam().expectedLine) ||
              (!errors_.empty() && errors_.back().contains(GetParam().expectedLine)))
      << ::testing::PrintToString(output_) << ::testing::PrintToString(errors_);
  EXPECT_EQ(kitStarts_, 1);
  EXPECT_EQ(deletions_->deletions, GetParam().linkSurvives ? 0 : 1);
  EXPECT_EQ(testing::storedFiles(scratch_.path() / "server") > 0, GetParam().linkSurvives);
}

INSTANTIATE_TEST_SUITE_P(
    ShareCommand, ShareToOutlet,
    ::testing::Values(
        OutletRun{"LinkHandedOut",
                  Behaviour::handsOutTheLink,
                  {},
                  0,
                  "Shared to test-outlet (strategies: raw, linkPreview)",
                  true},
        OutletRun{"BytesOnly",
                  Behaviour::sendsTheBytes,
                  {},
                  0,
                  "Shared to test-outlet (strategies: raw)",
                  false},
        OutletRun{"Failure", Behaviour::fails, {}, 1, "Unable to open test", false},
        OutletRun{"AnsweredYes", Behaviour::asksFirst, cli::Answer::yes, 0,
                  "Shared to test-outlet (strategies: raw)", false},
        OutletRun{"AnsweredOnTheKeyWindow", Behaviour::asksOnTheKeyWindow, cli::Answer::yes, 0,
                  "Shared to test-outlet (strategies: raw)", false},
        OutletRun{"AnsweredNo", Behaviour::asksFirst, cli::Answer::no, 1, "Cancelled", false},
        OutletRun{"Unanswered",
                  Behaviour::asksFirst,
                  {},
                  1,
                  "answer it with --answer yes or --answer no",
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

// The activity sheet lists the desktop's video players: yes picks the first,
// which starts with the video; no cancels.
TEST_F(ShareToOutlet, MoreStartsTheFirstListedApplicationOnYesAndCancelsOnNo) {
  struct Case {
    cli::Answer answer;
    int expectedStatus;
    std::string expectedLine;
  } cases[] = {
      {cli::Answer::yes, 0, "Shared to more (strategies: raw, linkPreview)"},
      {cli::Answer::no, 1, "Cancelled"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expectedLine);
    testing::TemporaryDesktop desktop;
    const auto player = desktop.writeRecordingScript("player", "played");
    desktop.writeDesktopEntry("player.desktop",
                              "[Desktop Entry]\nType=Application\nName=Player\nExec=" +
                                  player.string() + " %f\nMimeType=video/mp4;\n");
    output_.clear();

    EXPECT_EQ(share({.video = video_, .title = "Trip", .outlet = "more", .answer = c.answer}),
              c.expectedStatus);

    EXPECT_TRUE(printed(output_, c.expectedLine)) << ::testing::PrintToString(output_);
    if (c.answer == cli::Answer::yes) {
      EXPECT_EQ(desktop.waitForRecord("played"), std::vector<std::string>{video_.string()});
    }
  }
}

// An outlet the host would not offer is refused before anything is sent.
TEST_F(ShareToOutlet, RefusesAnOutletThatIsUnknownOrNotOfferedBeforeSharing) {
  ShareOutlets::registerOutlet(std::make_shared<TestOutletType>(
      Behaviour::sendsTheBytes, std::make_shared<TwitterRequirements>()));
  for (const char* name : {"test-outlet", "missing"}) {
    EXPECT_EQ(share({.video = video_, .title = "Trip", .outlet = name, .answer = {}}), 1) << name;
  }
  EXPECT_EQ(errors_, (std::vector<std::string>{
                         "test-outlet is not offered: LSApplicationQueriesSchemes is missing or "
                         "is not a list of texts",
                         "there is no outlet named \"missing\" (\"velmoradine outlets\" lists "
                         "them)"}));
  EXPECT_TRUE(output_.empty()) << ::testing::PrintToString(output_);
  EXPECT_EQ(kitStarts_, 0);
}

TEST(ShareCommandLine, RefusesAnAnswerWithoutAnOutletAndAnOutletWithKeepLink) {
  for (const cli::Arguments& arguments :
       {cli::Arguments{"v.mp4", "--answer", "yes"},
        cli::Arguments{"v.mp4", "--outlet", "copy", "--keep-link"},
        cli::Arguments{"v.mp4", "--outlet", "copy", "--answer", "maybe"}}) {
    EXPECT_EQ(cli::parseShareOptions(arguments), std::nullopt)
        << ::testing::PrintToString(arguments);
  }
}

}  // namespace
}  // namespace velmoradine
