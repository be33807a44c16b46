#include <gtest/gtest.h>

#include "tests/ui/share_sheet_fixture.hpp"
#include "velmoradine/ui/haptics.hpp"

namespace velmoradine::testing {
namespace {

TEST(ShareSheetLayout, TheOutletRowShowsWholeButtonsAndHalfOfTheNextButNeverOverlapsThem) {
  struct Case {
    double screenWidth;
    double spacing;
  } cases[] = {{375, 9.375}, {414, 0.3}, {390, 0},
               {320, 0},     {60, 0},    {1024, (1024 - 13.5 * 75) / 13}};
  for (const auto& c : cases) {
    EXPECT_NEAR(ShareSheetViewController::outletLineSpacing(c.screenWidth), c.spacing, 1e-9)
        << c.screenWidth;
  }
}

TEST(ColorConstructors, IntegerComponentsAreDividedBy255AndRGBReadsTheLowThreeBytes) {
  EXPECT_EQ(Color::rgb(0xF7F6FF), Color::rgb(247, 246, 255));
  EXPECT_EQ(Color::rgb(0x7F000000F7F6FF), Color::rgb(247, 246, 255));
  EXPECT_EQ(Color::rgb(247, 246, 255), Color::rgba(247 / 255.0, 246 / 255.0, 1, 1));
  EXPECT_EQ(Color::rgb(510, 0, 0).red, 2) << "components are not clamped";
}

TEST(Haptics, EveryPlayPreparesTheSelectionGeneratorThenFiresTheMatchingFeedback) {
  struct Case {
    int rawValue;
    std::string fired;
  } cases[] = {
      {0, "selection.selectionChanged"},
      {1, "impact(light).impactOccurred"},
      {2, "impact(medium).impactOccurred"},
      {3, "impact(heavy).impactOccurred"},
      {4, "notification.notificationOccurred(success)"},
      {5, "notification.notificationOccurred(warning)"},
      {6, "notification.notificationOccurred(error)"},
  };
  for (const auto& c : cases) {
    Haptics::shared().clearRecordedCalls();
    Haptics::shared().play(*hapticType(c.rawValue));
    EXPECT_EQ(Haptics::shared().recordedCalls(),
              (std::vector<std::string>{"selection.prepare", c.fired}));
  }
  EXPECT_FALSE(hapticType(7));
  EXPECT_FALSE(hapticType(-1));
}

class OutletCellTest : public ShareSheetTest {};

TEST_F(OutletCellTest, SetsUpOnceAndSpinsDimmingTheIconUntilToldToStop) {
  auto cell = std::make_shared<ShareOutletCellView>(Rect(0, 0, 75, 75));
  for (int i = 0; i < 3; ++i) cell->layoutIfNeeded(), cell->setNeedsLayout();
  ASSERT_EQ(cell->contentView()->subviews().size(), 3U);
  EXPECT_EQ(cell->imageView()->constraints().size(), 4U) << "constrained once";
  EXPECT_EQ(cell->contentView()->subviews().front(), cell->imageView());
  cell->layoutIfNeeded();
  EXPECT_EQ(cell->imageView()->frame(), Rect(11.25, 0, 52.5, 52.5));
  EXPECT_EQ(cell->labelView()->frame(), Rect(0, 60, 75, 15));
  EXPECT_EQ(cell->spinnerView()->center(), Point(37.5, 26.25));

  const TestOutletType copy("Copy", Color::white());
  const TestOutletType more("More", Color::black());
  cell->setupOutlet(copy);
  EXPECT_EQ(cell->labelView()->text(), "Copy");
  EXPECT_FALSE(cell->labelView()->attributedText()->runs().at(0).attributes.font)
      << "the face is not installed here";
  ASSERT_TRUE(cell->imageView()->image());
  const auto copyIcon = cell->imageView()->image()->sharedBitmap();
  cell->setupOutlet(copy);
  EXPECT_EQ(cell->imageView()->image()->sharedBitmap(), copyIcon) << "kept, not read again";
  cell->setupOutlet(more);
  EXPECT_EQ(cell->labelView()->text(), "More") << "a reused cell shows its new outlet";
  EXPECT_NE(cell->imageView()->image()->sharedBitmap(), copyIcon);

  cell->spin(true);
  cell->spin(true);
  EXPECT_EQ(cell->imageView()->layer()->opacity(), 0.5F);
  EXPECT_EQ(cell->imageView()->layer()->backgroundColor(), Color::black());
  cell->spin(false);
  EXPECT_EQ(cell->imageView()->layer()->opacity(), 1.0F);
  EXPECT_EQ(cell->imageView()->layer()->backgroundColor(), Color::clear());
  EXPECT_FALSE(cell->spinnerView()->isAnimating());
  EXPECT_TRUE(cell->spinnerView()->isHidden());
}

}  // namespace
}  // namespace velmoradine::testing
