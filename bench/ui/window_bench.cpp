// How fast the headless window draws a whole screen at 375 × 812 points and
// scale 3 (1125 × 2436 pixels), and what redrawing after one small change
// costs against drawing the whole screen again, on a tree shaped like a
// share screen: a preview area, a caption strip, a row of seven icon cells
// with names and spinners, and a footer label.

#include <memory>
#include <string>
#include <vector>

#include "bench/support/figures.hpp"
#include "bench/ui/preview_bench.hpp"
#include "velmoradine/platform/uikit/ui_activity_indicator_view.hpp"
#include "velmoradine/platform/uikit/ui_image_view.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"

namespace {

using namespace velmoradine;

constexpr int kFullFrames = 10;
constexpr int kUpdates = 10;

struct Cell {
  std::shared_ptr<UIImageView> icon;
  std::shared_ptr<UIActivityIndicatorView> spinner;
};

Image disc(Color color) {
  Bitmap bitmap(150, 150);
  bitmap.fill(color);
  return Image(std::move(bitmap), 3);
}

std::shared_ptr<UILabel> label(Rect frame, const std::string& text, double size) {
  auto label = std::make_shared<UILabel>(frame);
  label->setText(text);
  label->setFont(Font::systemFont(size));
  label->setTextAlignment(NSTextAlignment::center);
  return label;
}

std::vector<Cell> buildScreen(UIView& root) {
  root.setBackgroundColor(Color::rgba(247 / 255.0, 246 / 255.0, 1));
  auto preview = std::make_shared<UIView>(Rect(40, 48, 295, 520));
  preview->setBackgroundColor(Color::rgba(0.1, 0.1, 0.12));
  preview->layer()->setCornerRadius(32);
  preview->setClipsToBounds(true);
  root.addSubview(preview);
  preview->addSubview(label(Rect(20, 220, 255, 80), "A short video", 28));
  root.addSubview(label(Rect(0, 589, 375, 40), "Share to", 15));
  std::vector<Cell> cells;
  for (int i = 0; i < 7; ++i) {
    auto cell = std::make_shared<UIView>(Rect(6 + i * 84.375, 629, 75, 80));
    root.addSubview(cell);
    auto icon = std::make_shared<UIImageView>(Rect(11.25, 0, 52.5, 52.5));
    icon->setImage(disc(Color::rgba(0.2 + 0.1 * i, 0.4, 0.8)));
    icon->layer()->setCornerRadius(26.25);
    icon->setClipsToBounds(true);
    cell->addSubview(icon);
    auto spinner =
        std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyle::whiteLarge);
    spinner->setCenter({37.5, 26.25});
    cell->addSubview(spinner);
    cell->addSubview(label(Rect(0, 60, 75, 15), "Outlet " + std::to_string(i), 12));
    cells.push_back({icon, spinner});
  }
  root.addSubview(label(Rect(0, 742, 375, 30), "Velmoradine", 14));
  return cells;
}

void spin(const Cell& cell, bool on) {
  if (on) {
    cell.spinner->startAnimating();
  } else {
    cell.spinner->stopAnimating();
  }
  cell.icon->layer()->setBackgroundColor(on ? Color::black() : Color::clear());
  cell.icon->layer()->setOpacity(on ? 0.5f : 1.0f);
}

}  // namespace

int main() {
  UIWindow window(UIScreen({375, 812}, 3));
  auto controller = std::make_shared<UIViewController>();
  window.setRootViewController(controller);
  auto cells = buildScreen(*controller->view());
  window.displayIfNeeded();

  auto fullRedraw = [&] {
    window.setNeedsFullRedraw();
    window.displayIfNeeded();
  };
  bool on = false;
  auto spinnerUpdate = [&] {
    on = !on;
    spin(cells[2], on);
    window.displayIfNeeded();
  };
  double full = bench::medianSeconds(kFullFrames, fullRedraw);
  double update = bench::medianSeconds(kUpdates, spinnerUpdate);
  bench::printFigure("window_frames_per_s_1125x2436", 1 / full);
  bench::printFigure("window_update_vs_full_redraw", update / full);
  bench::printFigure("window_full_redraw_ms", full * 1e3);
  bench::printFigure("window_spinner_update_ms", update * 1e3);
  bench::measurePreview();
  return 0;
}
