#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/ui_view_animation.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_toast.hpp"

namespace velmoradine {
namespace {

// Stands in for the share sheet: records what it was made with.
struct SheetRecord {
  std::shared_ptr<ShareSheetProvider> provider;
  PresentationCompletion completion;
  std::shared_ptr<UIViewController> sheet;
};

class UGCSharePresentationTest : public ::testing::Test {
 protected:
  UGCSharePresentationTest() : window(UIScreen({375, 812}, 3)) {
    window.setRootViewController(host);
    UGCProviders providers;
    providers.shareSheets = [this](std::shared_ptr<ShareSheetProvider> provider,
                                   PresentationCompletion completion) {
      sheets.push_back({provider, completion, std::make_shared<UIViewController>()});
      return sheets.back().sheet;
    };
    ugc = UGC::make("tag", "Weekend", {}, providers);
  }
  ~UGCSharePresentationTest() override { advanceTo(60); }

  // Moves the clock to `seconds` after the start and runs what fell due.
  void advanceTo(double seconds) {
    const auto target =
        std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds));
    clock.advance(target - elapsed);
    elapsed = target;
    RunLoop::main().drain();
  }

  void presentToast() {
    ugc->present(host, PresentationStyle::toast("Tap to share"),
                 [this](const PresentationResult& result) { results.push_back(result); });
    RunLoop::main().drain();
  }

  std::shared_ptr<UIButton> toast() const {
    const auto& subviews = host->view()->subviews();
    return subviews.empty() ? nullptr : std::dynamic_pointer_cast<UIButton>(subviews.back());
  }

  console::Capture console;
  testing::ScopedManualClock clock;
  Clock::Duration elapsed{};
  std::shared_ptr<UIViewController> host = std::make_shared<UIViewController>();
  UIWindow window;
  std::vector<SheetRecord> sheets;
  std::vector<PresentationResult> results;
  std::shared_ptr<UGC> ugc;
};

// Where the toast is drawn: its frame as the running animation shows it.
Rect shownFrame(const UIView& view) {
  auto state = UIViewAnimator::shared().presentationState(view);
  if (!state) return view.frame();
  return {state->center.x - state->bounds.width() / 2, state->center.y - state->bounds.height() / 2,
          state->bounds.width(), state->bounds.height()};
}

TEST_F(UGCSharePresentationTest, TheToastDropsInStaysFiveSecondsAndLeaves) {
  presentToast();
  EXPECT_EQ(console.lines(),
            (std::vector<std::string>{"Before switch", "Before dispatch", "After dispatch",
                                      "before add action", "addSubview"}));
  auto button = toast();
  ASSERT_TRUE(button);
  EXPECT_EQ(button->title(), "Tap to share");
  EXPECT_EQ(button->titleLabel()->font(), Font("systemFont-Bold", 16));
  EXPECT_EQ(button->titleLabel()->textColor(), Color::black());
  EXPECT_EQ(button->backgroundColor(), Color::white());
  EXPECT_EQ(button->layer()->cornerRadius(), 30);
  struct Step {
    double at;  // seconds since presenting
    double y;
    bool inView;
  } steps[] = {
      {0, -60, true},   {0.075, 0, true},     {0.15, 60, true},
      {5, 60, true},  // the way back starts
      {5.075, 0, true}, {5.149, -59.2, true}, {5.15, -60, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    advanceTo(step.at);
    const Rect frame = shownFrame(*button);
    EXPECT_NEAR(frame.origin.x, 37.5, 1e-9);
    EXPECT_NEAR(frame.origin.y, step.y, 1e-6);
    EXPECT_NEAR(frame.size.width, 300, 1e-9);
    EXPECT_NEAR(frame.size.height, 60, 1e-9);
    EXPECT_EQ(button->superview() == host->view(), step.inView);
  }
  EXPECT_TRUE(sheets.empty());
  EXPECT_TRUE(results.empty());
}

TEST_F(UGCSharePresentationTest, OnlyTheFirstTapOnTheToastWhileItIsThereShowsTheSheet) {
  struct Case {
    std::string name;
    std::vector<double> taps;  // seconds since presenting
    std::size_t sheets;
  } cases[] = {
      {"a tap once it has settled", {1}, 1},
      {"a tap while it drops in", {0.1}, 1},
      // Both before the main queue runs: the second is not left to the
      // refusal of a second presentation, whose sheet would already have
      // started a second share.
      {"a second tap at once", {1, 1}, 1},
      {"a tap after its removal", {5.2}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sheets.clear();
    results.clear();
    host = std::make_shared<UIViewController>();
    window.setRootViewController(host);
    const double start = std::chrono::duration<double>(elapsed).count();
    presentToast();
    double lastTap = -1;
    for (double tap : c.taps) {
      if (tap != lastTap) advanceTo(start + tap);
      lastTap = tap;
      window.tap({187.5, 90});
    }
    advanceTo(start + 10);
    ASSERT_EQ(sheets.size(), c.sheets);
    if (c.sheets == 0) continue;
    EXPECT_EQ(sheets[0].provider, ugc);
    EXPECT_EQ(host->presentedViewController(), sheets[0].sheet);
    sheets[0].completion(PresentationResult::shared("copy"));
    EXPECT_EQ(results, std::vector{PresentationResult::shared("copy")});
  }
}

TEST_F(UGCSharePresentationTest, TheShareSheetStyleShowsTheSheetAtOnce) {
  ugc->present(host, PresentationStyle::shareSheet(),
               [this](const PresentationResult& result) { results.push_back(result); });
  RunLoop::main().drain();
  EXPECT_EQ(console.lines(), std::vector<std::string>{"Before switch"});
  ASSERT_EQ(sheets.size(), 1U);
  EXPECT_EQ(sheets[0].provider, ugc);
  EXPECT_EQ(host->presentedViewController(), sheets[0].sheet);
  EXPECT_EQ(toast(), nullptr);
  sheets[0].completion(PresentationResult::cancelled());
  EXPECT_EQ(results, std::vector{PresentationResult::cancelled()});
}

}  // namespace
}  // namespace velmoradine
