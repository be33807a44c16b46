// The share sheet itself on the headless window at 375 × 812 points and
// scale 3: full-screen frames per second, and what redrawing after a tap
// that starts one cell's spinner costs against a full redraw, in the same
// run. Each tap is timed on a freshly presented sheet whose video never
// finishes, so it always is the first tap, the one that spins.

#include <memory>
#include <string>

#include "bench/support/figures.hpp"
#include "bench/ui/ui_figures.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/ui/share_outlet_cell_view.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine::bench {
namespace {

constexpr int kFullFrames = 10;
constexpr int kTaps = 7;

Image solid(Color color, int size) {
  Bitmap bitmap(size, size);
  bitmap.fill(color);
  return Image(std::move(bitmap), 3);
}

class BenchOutletType final : public ShareOutletType {
 public:
  BenchOutletType(std::string name, Color color) : name_(std::move(name)), color_(color) {}
  std::string typeName() const override { return name_; }
  std::string imageName() const override { return name_; }
  std::string outletName() const override { return name_; }
  std::string canonicalOutletName() const override { return name_; }
  std::optional<Image> buttonImage() const override { return solid(color_, 150); }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content>) const override {
    return nullptr;
  }

 private:
  std::string name_;
  Color color_;
};

// A preview picture, and a video that is never delivered.
class PendingProvider final : public ShareSheetProvider {
 public:
  std::optional<Error> presentOn(const std::shared_ptr<UIViewController>&,
                                 const std::shared_ptr<UIView>& view) override {
    view->setBackgroundColor(Color::rgba(0.15, 0.2, 0.45));
    return std::nullopt;
  }
  std::optional<std::string> title() const override { return "Bench"; }
  void renderingComplete(RenderingCompletion completion) override {
    pending_.push_back(std::move(completion));
  }
  void startRendering() override {}

 private:
  std::vector<RenderingCompletion> pending_;
};

struct Stage {
  std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen({375, 812}, 3));
  std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
  std::shared_ptr<PendingProvider> provider = std::make_shared<PendingProvider>();
  std::shared_ptr<Analytics> analytics =
      std::make_shared<Analytics>(std::make_shared<AnalyticsDatastore>());
  std::shared_ptr<ShareSheetViewController> sheet;

  Stage() { window->setRootViewController(root); }

  void presentNewSheet() {
    if (sheet) root->dismiss(false);
    ShareSheetProviders providers = ShareSheetProviders::defaults();
    providers.analytics = analytics;
    sheet = ShareSheetViewController::make(provider, nullptr, providers);
    root->present(sheet, false);
    RunLoop::main().drain();
    window->displayIfNeeded();
  }

  Point iconCenter(int index) const {
    auto cell = std::static_pointer_cast<ShareOutletCellView>(
        sheet->shareOutletView()->cellForItem({index, 0}));
    const auto& icon = cell->imageView();
    return icon->convertToWindow({icon->bounds().width() / 2, icon->bounds().height() / 2});
  }
};

}  // namespace

void printSheetFigures() {
  ShareOutletTypeList outlets;
  for (int i = 0; i < 7; ++i) {
    outlets.push_back(std::make_shared<BenchOutletType>("Outlet " + std::to_string(i),
                                                        Color::rgba(0.2 + 0.1 * i, 0.4, 0.8)));
  }
  ShareOutlets::setAvailableOutlets(outlets);
  Stage stage;
  stage.presentNewSheet();
  double full = medianSeconds(kFullFrames, [&] {
    stage.window->setNeedsFullRedraw();
    stage.window->displayIfNeeded();
  });
  double tap = medianSecondsWithSetup(
      kTaps, [&] { stage.presentNewSheet(); },
      [&] {
        stage.window->tap(stage.iconCenter(2));
        RunLoop::main().drain();
        stage.window->displayIfNeeded();
      });
  printFigure("sheet_frames_per_s_1125x2436", 1 / full);
  printFigure("sheet_update_vs_full_redraw", tap / full);
  printFigure("sheet_full_redraw_ms", full * 1e3);
  printFigure("sheet_spinner_update_ms", tap * 1e3);
  stage.root->dismiss(false);
}

}  // namespace velmoradine::bench
