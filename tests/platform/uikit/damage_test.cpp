#include <gtest/gtest.h>

#include "uikit_fixture.hpp"
#include "velmoradine/platform/uikit/ui_activity_indicator_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"

namespace velmoradine::testing {
namespace {

// A screen of ten labelled tiles; one of them changes.
class DamageTest : public UIKitTest {
 public:
  DamageTest() {
    root->view()->setBackgroundColor(Color::white());
    for (int i = 0; i < 10; ++i) {
      auto tile = addView<UILabel>(Rect(20 + (i % 5) * 70, 100 + (i / 5) * 70, 60, 60));
      tile->setText(std::to_string(i));
      tile->setBackgroundColor(Color::rgba(0.2, 0.4, 0.8));
      tiles.push_back(tile);
    }
    window->displayIfNeeded();
  }

  // The pixels drawn and the views rasterised by one display.
  std::pair<long, std::uint64_t> display() {
    auto before = window->rasterizationCount();
    long area = 0;
    for (const auto& rect : window->displayIfNeeded()) area += rect.area();
    return {area, window->rasterizationCount() - before};
  }

  std::vector<std::shared_ptr<UILabel>> tiles;
};

TEST_F(DamageTest, OnlyWhatChangedIsDrawnAndOnlyChangedDrawingIsRasterised) {
  // A tile is 180 pixels square at scale 3, plus a pixel of margin.
  constexpr long kTile = 182 * 182;
  struct Case {
    const char* name;
    std::function<void(DamageTest&)> change;
    long maximumArea;
    std::uint64_t rasterised;
  } cases[] = {
      {"nothing", [](DamageTest&) {}, 0, 0},
      {"a tile's text", [](DamageTest& t) { t.tiles[3]->setText("x"); }, kTile, 1},
      {"a tile's layer colour",
       [](DamageTest& t) { t.tiles[4]->layer()->setBackgroundColor(Color::black()); }, kTile, 1},
      {"a tile moved by a point",
       [](DamageTest& t) {
         t.tiles[5]->setCenter({t.tiles[5]->center().x + 1, t.tiles[5]->center().y});
       },
       185 * 182, 0},
      {"a tile faded", [](DamageTest& t) { t.tiles[6]->setAlpha(0.5); }, kTile, 0},
      {"a tile hidden", [](DamageTest& t) { t.tiles[7]->setHidden(true); }, kTile, 0},
      {"a tile removed", [](DamageTest& t) { t.tiles[8]->removeFromSuperview(); }, kTile, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.change(*this);
    auto [area, rasterised] = display();
    EXPECT_LE(area, c.maximumArea);
    if (c.maximumArea > 0) {
      EXPECT_GT(area, 0);
    }
    EXPECT_EQ(rasterised, c.rasterised);
  }
}

TEST_F(DamageTest, AFullRedrawRasterisesEveryViewAgain) {
  window->setNeedsFullRedraw();
  auto [area, rasterised] = display();
  EXPECT_EQ(area, 1125L * 2436);
  EXPECT_EQ(rasterised, 10u) << "the ten tiles; the root's plain background is drawn directly";
}

TEST_F(DamageTest, AStartedSpinnerRedrawsItsOwnCornerOnly) {
  auto spinner =
      std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge);
  tiles[0]->addSubview(spinner);
  display();
  spinner->startAnimating();
  auto [area, rasterised] = display();
  EXPECT_GT(area, 0);
  EXPECT_LE(area, 113L * 113);
  EXPECT_LE(rasterised, 2u) << "the spinner and its spokes at most";
  advance(0.1);
  auto [turnArea, turnRasterised] = display();
  EXPECT_GT(turnArea, 0) << "the spokes turned";
  EXPECT_EQ(turnRasterised, 0u) << "turning moves the spokes' raster";
  spinner->stopAnimating();
  EXPECT_TRUE(spinner->isHidden());
}

}  // namespace
}  // namespace velmoradine::testing
