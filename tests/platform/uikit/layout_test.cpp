#include <gtest/gtest.h>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::testing {
namespace {

using LayoutTest = UIKitTest;

struct Expected {
  const char* name;
  std::shared_ptr<UIView> view;
  Rect frame;
};

void expectFrames(const std::vector<Expected>& table) {
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    Rect frame = row.view->frame();
    EXPECT_DOUBLE_EQ(frame.minX(), row.frame.minX());
    EXPECT_DOUBLE_EQ(frame.minY(), row.frame.minY());
    EXPECT_DOUBLE_EQ(frame.width(), row.frame.width());
    EXPECT_DOUBLE_EQ(frame.height(), row.frame.height());
  }
}

std::shared_ptr<UIView> constrained(const std::shared_ptr<UIView>& parent) {
  auto view = std::make_shared<UIView>(Rect(0, 0, 100, 100));
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  parent->addSubview(view);
  return view;
}

// A screen stacked from the bottom up, each piece hanging from the one
// below it: edges, fixed heights and offsets between siblings.
TEST_F(LayoutTest, StacksSiblingsFromEdgesHeightsAndOffsets) {
  auto rootView = root->view();
  auto footer = constrained(rootView);
  auto row = constrained(rootView);
  auto strip = constrained(rootView);
  auto content = constrained(rootView);
  NSLayoutConstraint::activate({
      row->leadingAnchor().constraintEqualTo(rootView->leadingAnchor()),
      row->trailingAnchor().constraintEqualTo(rootView->trailingAnchor()),
      row->heightAnchor().constraintEqualToConstant(80),
      row->bottomAnchor().constraintEqualTo(footer->topAnchor(), -23),
      content->topAnchor().constraintEqualTo(rootView->topAnchor(), 48),
      content->bottomAnchor().constraintEqualTo(strip->topAnchor()),
      content->leadingAnchor().constraintEqualTo(rootView->leadingAnchor()),
      content->trailingAnchor().constraintEqualTo(rootView->trailingAnchor()),
      strip->leadingAnchor().constraintEqualTo(rootView->leadingAnchor()),
      strip->trailingAnchor().constraintEqualTo(rootView->trailingAnchor()),
      strip->heightAnchor().constraintEqualToConstant(40),
      strip->bottomAnchor().constraintEqualTo(row->topAnchor()),
      footer->leadingAnchor().constraintEqualTo(rootView->leadingAnchor()),
      footer->trailingAnchor().constraintEqualTo(rootView->trailingAnchor()),
      footer->heightAnchor().constraintEqualToConstant(80),
      footer->bottomAnchor().constraintEqualTo(rootView->bottomAnchor()),
  });
  window->layoutIfNeeded();
  expectFrames({
      {"footer", footer, Rect(0, 732, 375, 80)},
      {"row", row, Rect(0, 629, 375, 80)},
      {"strip", strip, Rect(0, 589, 375, 40)},
      {"content", content, Rect(0, 48, 375, 541)},
  });
}

// Sizes proportional to another view's, centres on other views, and a label
// that takes its own size from its text.
TEST_F(LayoutTest, SolvesMultipliersCentresAndIntrinsicSizes) {
  auto cell = addView(Rect(10, 20, 75, 75));
  auto icon = constrained(cell);
  auto spinner = constrained(cell);
  auto label = std::make_shared<UILabel>();
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  label->setText("Share");
  cell->addSubview(label);
  icon->setTransform(AffineTransform::makeScale(1.1, 1.1));
  NSLayoutConstraint::activate({
      icon->topAnchor().constraintEqualTo(cell->topAnchor()),
      icon->widthAnchor().constraintEqualTo(cell->widthAnchor(), 0.7),
      icon->heightAnchor().constraintEqualTo(cell->widthAnchor(), 0.7),
      icon->centerXAnchor().constraintEqualTo(cell->centerXAnchor()),
      spinner->widthAnchor().constraintEqualToConstant(20),
      spinner->heightAnchor().constraintEqualToConstant(20),
      spinner->centerXAnchor().constraintEqualTo(icon->centerXAnchor()),
      spinner->centerYAnchor().constraintEqualTo(icon->centerYAnchor()),
      label->centerXAnchor().constraintEqualTo(cell->centerXAnchor()),
      label->bottomAnchor().constraintEqualTo(cell->bottomAnchor()),
  });
  window->layoutIfNeeded();
  Size text = label->intrinsicContentSize();
  ASSERT_GT(text.width, 0);
  // The scaled icon keeps its layout: its untransformed rectangle is solved.
  EXPECT_DOUBLE_EQ(icon->bounds().width(), 52.5);
  EXPECT_DOUBLE_EQ(icon->center().x, 37.5);
  EXPECT_DOUBLE_EQ(icon->center().y, 26.25);
  expectFrames({
      {"spinner", spinner, Rect(27.5, 16.25, 20, 20)},
      {"label", label, Rect(37.5 - text.width / 2, 75 - text.height, text.width, text.height)},
  });
}

}  // namespace
}  // namespace velmoradine::testing
