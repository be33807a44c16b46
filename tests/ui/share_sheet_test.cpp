#include <gtest/gtest.h>

#include "tests/ui/share_sheet_fixture.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/ui/haptics.hpp"

namespace velmoradine::testing {
namespace {

Result<SuccessfulRenderingResult> rendered(const std::filesystem::path& path) {
  return SuccessfulRenderingResult{path};
}

Result<SuccessfulRenderingResult> renderingFailed() {
  return failure(Error(UGCError::unknown));
}

TEST_F(ShareSheetTest, WithNoOutletForVideoTheRowIsEmptyAndTapsThereDoNothing) {
  presentSheet(0);
  EXPECT_EQ(sheet->shareOutletView()->numberOfItems(0), 0);
  const Rect row =
      sheet->shareOutletView()->convert(sheet->shareOutletView()->bounds(), *sheet->view());
  window->tap({40, 54 + row.midY()});
  advance(1);
  EXPECT_EQ(events(), "share_sheet.loaded");
  EXPECT_EQ(window->topViewController(), sheet);
}

TEST_F(ShareSheetTest, ATapBeforeRenderingEndsSpinsThatCellIgnoresOtherTapsThenShares) {
  presentSheet();
  tapOutlet(1);
  advance(0.1);
  EXPECT_EQ(sheet->spinningCellIndex(), IndexPath({1, 0}));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cell(i)->spinnerView()->isAnimating(), i == 1) << "cell " << i;
  }
  tapOutlet(2);
  tapOutlet(1);
  advance(0.1);
  EXPECT_EQ(sheet->currentlySharingOulet(), nullptr);

  provider->deliver(rendered(video));
  advance(0.1);
  EXPECT_FALSE(sheet->spinningCellIndex());
  EXPECT_FALSE(cell(1)->spinnerView()->isAnimating());
  ASSERT_NE(sharingOutlet(), nullptr);
  EXPECT_EQ(sharingOutlet()->type().typeName(), "b");
  EXPECT_EQ(sharingOutlet()->shares, 1);
  EXPECT_EQ(sharingOutlet()->content(), sheet->content());
  EXPECT_EQ(
      events(),
      "share_sheet.loaded share_outlet.test-b.started share_sheet.rendering_incomplete_on_tap "
      "share_sheet.rendering_completed");
}

TEST_F(ShareSheetTest, AFailedRenderingEndsTheSpinInAnAlertWhetherItCameBeforeOrAfterTheTap) {
  for (bool failsBeforeTap : {true, false}) {
    SCOPED_TRACE(failsBeforeTap ? "fails before the tap" : "fails while the tap waits");
    provider = std::make_shared<ManualSheetProvider>();
    analyticsEvents->destroyAll();
    presentSheet();
    if (failsBeforeTap) provider->deliver(renderingFailed());
    tapOutlet(0);
    if (!failsBeforeTap) provider->deliver(renderingFailed());
    advance(1);
    EXPECT_FALSE(sheet->spinningCellIndex());
    EXPECT_FALSE(cell(0)->spinnerView()->isAnimating());
    const std::string description = Error(UGCError::unknown).localizedDescription();
    EXPECT_EQ(alertOnTop(), "Error: Unable share right now: " + description + " [Fine]");
    EXPECT_EQ(sheet->content(), nullptr);
    EXPECT_NE(events().find("share_sheet.rendering_completed(" + description + ")"),
              std::string::npos);
    window->topViewController()->dismiss(false);
    root->dismiss(false);
    advance(1);
  }
}

TEST_F(ShareSheetTest, EachOutcomeOfAnOutletIsReportedAndHandledAsTheSheetPromises) {
  struct Case {
    const char* name;
    std::function<void(TestOutlet&)> report;
    std::string lastEvent;
    std::vector<std::string> results;
    bool cleanedUp;
    std::string alert;
    bool sheetStays;
  } cases[] = {
      {"success with the link",
       [](TestOutlet& o) { o.succeed({ShareStretegyType::linkPreview}); },
       "share_outlet.test-a.succeeded",
       {"shared(destination: test-a)"},
       false,
       "",
       false},
      {"success with the bytes",
       [](TestOutlet& o) { o.succeed({ShareStretegyType::raw}); },
       "share_outlet.test-a.succeeded",
       {"shared(destination: test-a)"},
       true,
       "",
       false},
      {"failure",
       [](TestOutlet& o) { o.fail("No network"); },
       "share_outlet.test-a.failed(No network)",
       {},
       false,
       "Error: No network [Fine]",
       true},
      {"cancellation",
       [](TestOutlet& o) { o.cancel(); },
       "share_outlet.test-a.cancelled",
       {},
       false,
       "",
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    provider = std::make_shared<ManualSheetProvider>();
    analyticsEvents->destroyAll();
    results.clear();
    audio->calls.clear();
    ASSERT_NE(shareRendered(rendered(video), 0), nullptr);
    c.report(*sharingOutlet());
    advance(1);
    EXPECT_EQ(sheet->currentlySharingOulet(), nullptr);
    EXPECT_TRUE(events().ends_with(c.lastEvent)) << events();
    EXPECT_EQ(results, c.results);
    EXPECT_EQ(contentCleanedUp(), c.cleanedUp);
    EXPECT_EQ(alertOnTop(), c.alert);
    EXPECT_EQ(root->presentedViewController() == sheet, c.sheetStays);
    EXPECT_EQ(audio->calls.back(), c.sheetStays ? "activate" : "deactivate");
    if (auto alert = std::dynamic_pointer_cast<UIAlertController>(window->topViewController())) {
      window->tap(alert->buttonForAction(0)->convertToWindow({5, 5}));
      advance(1);
    }
    EXPECT_EQ(window->topViewController(), c.sheetStays ? sheet : root);
    root->dismiss(false);
    advance(1);
  }
}

TEST_F(ShareSheetTest, SwipingAwayAfterAFailureReportsCancelledOnlyAndCleansUpWithNothingUsed) {
  shareRendered(rendered(video), 2);
  sharingOutlet()->fail("Denied");
  advance(1);
  window->topViewController()->dismiss(false);
  tapOutlet(1);
  advance(0.1);
  auto stillSharing = sharingOutlet();
  window->swipeDown({180, 200}, 500);
  advance(1);
  EXPECT_EQ(window->topViewController(), root);
  EXPECT_EQ(results, std::vector<std::string>{"cancelled"});
  EXPECT_TRUE(contentCleanedUp());
  EXPECT_EQ(audio->calls, (std::vector<std::string>{"category ambient", "activate", "deactivate"}));
  stillSharing->succeed({ShareStretegyType::raw});
  advance(1);
  EXPECT_EQ(results, std::vector<std::string>{"cancelled"}) << "the host hears once";
  EXPECT_EQ(events(),
            "share_sheet.loaded share_sheet.rendering_completed share_outlet.test-c.started "
            "share_outlet.test-c.failed(Denied) share_outlet.test-b.started share_sheet.cancelled "
            "share_outlet.test-b.succeeded");
}

// A video that arrives once the user has left must not go live: its share
// is withdrawn, and an outlet tapped while it rendered never runs.
TEST_F(ShareSheetTest, AVideoArrivingAfterTheUserLeftIsCleanedUpAndNotShared) {
  struct Case {
    const char* name;
    bool tapFirst;
    bool swipeAway;
    bool dropSheet;
    bool cleanedUp;
  } cases[] = {
      {"sheet still open", true, false, false, false},
      {"swiped away", false, true, false, true},
      {"swiped away while a tap waited", true, true, false, true},
      {"swiped away and gone", false, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    provider = std::make_shared<ManualSheetProvider>();
    presentSheet();
    if (c.tapFirst) tapOutlet(0);
    if (c.swipeAway) window->swipeDown({180, 200}, 500);
    advance(1);
    auto future = sheet->vidoeContentFuture();
    std::weak_ptr<ShareSheetViewController> weakSheet = sheet;
    if (c.dropSheet) sheet = nullptr;
    ASSERT_EQ(weakSheet.expired(), c.dropSheet);

    provider->deliver(rendered(video));
    advance(1);
    auto content = future->videoContentResult().value().value();
    EXPECT_EQ(content->shareManager()->destroyed(), c.cleanedUp);
    if (auto open = weakSheet.lock()) {
      EXPECT_EQ(open->currentlySharingOulet() != nullptr, c.tapFirst && !c.swipeAway);
      EXPECT_EQ(open->content() != nullptr, !c.swipeAway);
    }
    render->forget();
    if (!c.swipeAway) root->dismiss(false);
    advance(1);
  }
}

TEST_F(ShareSheetTest, AnAudioSessionThatFailsIsLoggedAndTheSheetWorksOn) {
  audio->fails = true;
  console::Capture console;
  ASSERT_NE(shareRendered(rendered(video), 0), nullptr);
  sharingOutlet()->succeed({});
  advance(1);
  EXPECT_EQ(results, std::vector<std::string>{"shared(destination: test-a)"});
  std::vector<std::string> logged;
  for (const auto& line : console.lines()) {
    if (line.find("audio session") != std::string::npos) logged.push_back(line);
  }
  EXPECT_EQ(logged.size(), 2U);
  EXPECT_EQ(
      logged.at(0),
      "[Velmoradine] [ShareSheetViewController] Unable to activate audio session - " +
          Error(std::make_error_code(std::errc::device_or_resource_busy)).localizedDescription());
  EXPECT_TRUE(logged.at(1).starts_with("[Velmoradine] Unable to activate audio session - "));
}

TEST_F(ShareSheetTest, TheLogoOpensTheCallToActionPageOfTheConfiguredBackend) {
  struct Case {
    const char* name;
    std::optional<std::string> slug;
    std::vector<std::string> opened;
  } cases[] = {
      {"a slug", "my-app", {"http://127.0.0.1:8123/app-cta?ref=my-app"}},
      {"no application record", std::nullopt, {"http://127.0.0.1:8123/app-cta?ref="}},
      {"a slug with a space", "my app", {}},
  };
  presentSheet();
  auto logo = sheet->velmoradineBrandingView()->subviews().at(0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    opener->opened.clear();
    analyticsEvents->destroyAll();
    if (c.slug) {
      application->setApplication(ApplicationResponse{
          .cta_link = {}, .slug = c.slug, .brand_color = {}, .background_color = {}});
    } else {
      application->setApplication(std::nullopt);
    }
    window->tap(logo->convertToWindow({logo->bounds().width() / 2, logo->bounds().height() / 2}));
    advance(0.1);
    EXPECT_EQ(opener->opened, c.opened);
    EXPECT_EQ(events(), "share_sheet.logo_tapped");
  }
}

TEST_F(ShareSheetTest, PressingACellPlaysALightTapAndScalesItsIconWhileTheFingerIsDown) {
  presentSheet();
  Haptics::shared().clearRecordedCalls();
  auto icon = cell(1)->imageView();
  window->sendTouch(UITouchPhase::began, iconCenter(1));
  EXPECT_EQ(icon->transform(), AffineTransform::makeScale(1.1, 1.1));
  EXPECT_EQ(Haptics::shared().recordedCalls(),
            (std::vector<std::string>{"selection.prepare", "impact(light).impactOccurred"}));
  window->sendTouch(UITouchPhase::cancelled, iconCenter(1));
  EXPECT_EQ(icon->transform(), AffineTransform::identity());
}

}  // namespace
}  // namespace velmoradine::testing
