#include "services_fixture.hpp"

#include <chrono>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::testing {
namespace {

std::shared_ptr<UIView> findLabel(const std::shared_ptr<UIView>& view, const std::string& text) {
  if (auto label = std::dynamic_pointer_cast<UILabel>(view); label && label->text() == text) {
    return view;
  }
  for (const auto& subview : view->subviews()) {
    if (auto found = findLabel(subview, text)) return found;
  }
  return nullptr;
}

}  // namespace

ScreenTest::ScreenTest() : window(std::make_shared<UIWindow>(UIScreen({375, 812}, 3))) {
  root = std::make_shared<UIViewController>();
  window->setRootViewController(root);
  window->makeKeyAndVisible();
}

ScreenTest::~ScreenTest() {
  // Lets every animation of the test end, so none outlives it.
  advance(10);
}

void ScreenTest::advance(double seconds) {
  clock.advance(
      std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds)));
  RunLoop::main().drain();
}

std::shared_ptr<UIView> ScreenTest::viewShowing(const std::string& text) {
  window->layoutIfNeeded();
  auto top = window->topViewController();
  return top ? findLabel(top->view(), text) : nullptr;
}

void ScreenTest::tapText(const std::string& text) {
  auto view = viewShowing(text);
  ASSERT_NE(view, nullptr) << "nothing shows \"" << text << "\"";
  const Rect& bounds = view->bounds();
  window->tap(view->convertToWindow({bounds.midX(), bounds.midY()}));
}

}  // namespace velmoradine::testing
