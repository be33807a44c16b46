#include "headless_outlet.hpp"

#include <algorithm>
#include <array>
#include <mutex>
#include <string_view>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/services/ui_activity_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"
#include "velmoradine/platform/uikit/ui_button.hpp"
#include "velmoradine/platform/uikit/ui_presentation_controller.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace velmoradine::cli {
namespace {

using Kind = OutletOutcome::Kind;

constexpr std::array<std::string_view, 6> kYesTitles = {"Send",  "Share", "Save",
                                                        "Allow", "OK",    "Yes"};
constexpr std::array<std::string_view, 4> kNoTitles = {"Cancel", "Close", "Don't Allow", "No"};

// Keeps the outlet's first report (an outlet reports exactly once; a second
// report would be its fault, not a new outcome). Reports may come from any
// thread; each wakes the main loop once it is recorded.
class OutcomeRecorder final : public ShareOutletDelegate {
 public:
  void success(ShareOutletProtocol&, std::vector<ShareStretegyType> strategiesUsed) override {
    record({Kind::succeeded, std::move(strategiesUsed), {}});
  }
  void failure(ShareOutletProtocol&, std::string error) override {
    record({Kind::failed, {}, std::move(error)});
  }
  void cancelled(ShareOutletProtocol&) override { record({Kind::cancelled, {}, {}}); }

  std::optional<OutletOutcome> outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
  }

 private:
  void record(OutletOutcome outcome) {
    {
      std::lock_guard lock(mutex_);
      if (!outcome_) outcome_ = std::move(outcome);
    }
    RunLoop::main().perform([] {});
  }

  mutable std::mutex mutex_;
  std::optional<OutletOutcome> outcome_;  // guarded by mutex_
};

std::optional<std::size_t> alertActionFor(const UIAlertController& alert, Answer answer) {
  const auto& actions = alert.actions();
  const auto isCancel = [](const UIAlertAction& action) {
    return action.style == UIAlertActionStyle::cancel;
  };
  if (answer == Answer::yes) {
    for (std::size_t i = actions.size(); i-- > 0;) {
      if (!isCancel(actions[i])) return i;
    }
    return std::nullopt;
  }
  const auto cancel = std::ranges::find_if(actions, isCancel);
  if (cancel != actions.end()) return cancel - actions.begin();
  if (actions.empty()) return std::nullopt;
  return 0;
}

template <std::size_t N>
std::shared_ptr<UIButton> buttonTitled(const std::shared_ptr<UIView>& view,
                                       const std::array<std::string_view, N>& titles) {
  if (view->isHidden()) return nullptr;
  if (auto button = std::dynamic_pointer_cast<UIButton>(view)) {
    const auto title = button->title();
    if (title && std::ranges::find(titles, *title) != titles.end()) return button;
  }
  for (const auto& subview : view->subviews()) {
    if (auto button = buttonTitled(subview, titles)) return button;
  }
  return nullptr;
}

// What a user's finger would tap to give `answer`, or null.
std::shared_ptr<UIView> tapTargetFor(UIViewController& screen, Answer answer) {
  if (auto* alert = dynamic_cast<UIAlertController*>(&screen)) {
    const auto index = alertActionFor(*alert, answer);
    return index ? alert->buttonForAction(*index) : nullptr;
  }
  // The activity sheet asks "which application?": yes is its first one.
  if (auto* sheet = dynamic_cast<UIActivityViewController*>(&screen);
      sheet && answer == Answer::yes) {
    return sheet->rowForApplication(0);
  }
  return answer == Answer::yes ? buttonTitled(screen.view(), kYesTitles)
                               : buttonTitled(screen.view(), kNoTitles);
}

// Taps the button for `answer`, or swipes a sheet away for "no"; false when
// the screen offers neither.
bool answerScreen(UIWindow& window, UIViewController& screen, Answer answer) {
  window.layoutIfNeeded();
  if (auto target = tapTargetFor(screen, answer)) {
    window.tap(target->convertToWindow({target->bounds().midX(), target->bounds().midY()}));
    return true;
  }
  if (answer == Answer::no && !screen.isModalInPresentation()) {
    const auto& view = screen.view();
    const Rect& bounds = view->bounds();
    window.swipeDown(view->convertToWindow({bounds.midX(), bounds.minY() + 20}),
                     bounds.height() / 2);
    return true;
  }
  return false;
}

std::string describeScreen(const UIViewController& screen) {
  std::string text = screen.title() ? "\"" + *screen.title() + "\"" : "a screen";
  if (const auto* alert = dynamic_cast<const UIAlertController*>(&screen)) {
    if (alert->message()) text += " (" + *alert->message() + ")";
  }
  return text;
}

class HeadlessScreen {
 public:
  // The key window, so that system prompts (the photo library's) come up
  // here too.
  HeadlessScreen() : root_(std::make_shared<UIViewController>()) {
    window_.setRootViewController(root_);
    window_.makeKeyAndVisible();
    window_.layoutIfNeeded();
  }

  const std::shared_ptr<UIViewController>& root() const { return root_; }
  UIWindow& window() { return window_; }

  // The screen on top, once it has arrived, when it has not been answered.
  std::shared_ptr<UIViewController> awaitingAnswer() const {
    auto top = window_.topViewController();
    if (!top || top == root_ || top->presentationController()->isTransitioning()) return nullptr;
    const bool seen = std::ranges::any_of(
        answered_,
        [&](const std::weak_ptr<UIViewController>& screen) { return screen.lock() == top; });
    return seen ? nullptr : top;
  }
  void markAnswered(const std::shared_ptr<UIViewController>& screen) {
    answered_.push_back(screen);
  }

 private:
  UIWindow window_;
  std::shared_ptr<UIViewController> root_;
  std::vector<std::weak_ptr<UIViewController>> answered_;
};

}  // namespace

OutletOutcome performHeadless(const ShareOutletType& type, std::shared_ptr<Content> content,
                              std::optional<Answer> answer,
                              std::chrono::steady_clock::time_point deadline) {
  HeadlessScreen screen;
  auto recorder = std::make_shared<OutcomeRecorder>();
  auto outlet = type.make(std::move(content));
  if (!outlet) return {Kind::failed, {}, type.typeName() + " made no outlet"};
  outlet->setDelegate(recorder);
  outlet->share(screen.root());
  for (;;) {
    const auto left = std::max(deadline - std::chrono::steady_clock::now(),
                               std::chrono::steady_clock::duration::zero());
    const bool ready = RunLoop::main().runUntil(
        [&] { return recorder->outcome() || screen.awaitingAnswer(); }, left);
    if (auto outcome = recorder->outcome()) return *outcome;
    if (!ready) return {Kind::timedOut, {}, {}};
    auto top = screen.awaitingAnswer();
    if (!answer || !answerScreen(screen.window(), *top, *answer)) {
      return {Kind::unanswered, {}, describeScreen(*top)};
    }
    screen.markAnswered(top);
  }
}

std::string describeStrategies(const std::vector<ShareStretegyType>& strategies) {
  std::string text;
  for (ShareStretegyType strategy : strategies) {
    if (!text.empty()) text += ", ";
    text += strategy == ShareStretegyType::raw ? "raw" : "linkPreview";
  }
  return text;
}

}  // namespace velmoradine::cli
