#pragma once

// What the share sheet's tests share: a window on a manual clock showing a
// root controller, a provider whose video the test delivers, outlets of the
// test's own whose outcome the test decides, and recordings of the events,
// the audio session and the URLs opened.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/platform/uikit/ui_window.hpp"
#include "velmoradine/ui/share_outlet_cell_view.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine::testing {

// Keeps the rendering callbacks until the test delivers the video.
class ManualSheetProvider final : public ShareSheetProvider {
 public:
  std::optional<Error> presentOn(const std::shared_ptr<UIViewController>&,
                                 const std::shared_ptr<UIView>& view) override;
  std::optional<std::string> title() const override { return "A title"; }
  void renderingComplete(RenderingCompletion completion) override;
  void startRendering() override {}
  void deliver(const Result<SuccessfulRenderingResult>& result);

  int previews = 0;
  std::vector<RenderingCompletion> callbacks;
};

// Outlets whose outcome the test reports through them.
class TestOutlet final : public ShareOutletProtocol {
 public:
  TestOutlet(const ShareOutletType& type, std::shared_ptr<Content> content)
      : ShareOutletProtocol(std::move(content)), type_(type) {}
  const ShareOutletType& type() const override { return type_; }
  void share(const std::shared_ptr<UIViewController>&) override { ++shares; }
  void succeed(std::vector<ShareStretegyType> used) { reportSuccess(std::move(used)); }
  void fail(std::string error) { reportFailure(std::move(error)); }
  void cancel() { reportCancelled(); }

  int shares = 0;

 private:
  const ShareOutletType& type_;
};

class TestOutletType final : public ShareOutletType {
 public:
  TestOutletType(std::string name, Color iconColor) : name_(std::move(name)), color_(iconColor) {}
  std::string typeName() const override { return name_; }
  std::string imageName() const override { return name_; }
  std::string outletName() const override { return name_; }
  std::string canonicalOutletName() const override { return "test-" + name_; }
  // A plain disc of the outlet's colour, so screenshots show where it is.
  std::optional<Image> buttonImage() const override;
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content> content) const override {
    return std::make_shared<TestOutlet>(*this, std::move(content));
  }

 private:
  std::string name_;
  Color color_;
};

class RecordingAudioSession final : public AudioSession {
 public:
  Result<void> setCategory(AVAudioSessionCategory) override;
  Result<void> setActive(bool active) override;

  bool fails = false;
  std::vector<std::string> calls;
};

class RecordingURLOpener final : public URLOpening {
 public:
  bool canOpenURL(const URL&) override { return true; }
  void open(const URL& url, std::function<void(bool)> completion) override;

  std::vector<std::string> opened;
};

class ShareSheetTest : public ::testing::Test {
 protected:
  // The test outlets' icon colours, in row order.
  static const std::vector<Color>& outletColors();

  ShareSheetTest();
  ~ShareSheetTest() override;

  // Offers `count` test outlets ("a", "b", …), makes a sheet and presents it.
  void presentSheet(int count = 3);
  // Runs what waits on the main queue, then moves time on and runs what
  // fell due.
  void advance(double seconds);
  // The point of the centre of the icon of item `index`, in the window.
  Point iconCenter(int index);
  void tapOutlet(int index) { window->tap(iconCenter(index)); }
  std::shared_ptr<ShareOutletCellView> cell(int index);
  std::shared_ptr<TestOutlet> sharingOutlet();
  // Presents a sheet, delivers `rendering` and taps outlet `index`: the
  // outlet then shares at once. Returns it.
  std::shared_ptr<TestOutlet> shareRendered(Result<SuccessfulRenderingResult> rendering, int index);
  // The names of the sheet's events so far, joined by spaces ("name(error)"
  // with an error); checks that every one carries the sheet's context.
  std::string events();
  // The alert on top of the stack, if any: "title: message".
  std::string alertOnTop();
  bool contentCleanedUp();

  ScopedManualClock clock;
  TemporaryMainBundle bundle;
  std::shared_ptr<UIWindow> window = std::make_shared<UIWindow>(UIScreen({375, 812}, 3));
  std::shared_ptr<UIViewController> root = std::make_shared<UIViewController>();
  std::shared_ptr<ManualSheetProvider> provider = std::make_shared<ManualSheetProvider>();
  std::shared_ptr<AnalyticsDatastore> analyticsEvents = std::make_shared<AnalyticsDatastore>();
  std::shared_ptr<ApplicationDatastore> application = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<RecordingNetwork> network = std::make_shared<RecordingNetwork>();
  std::shared_ptr<RecordingRender> render = std::make_shared<RecordingRender>();
  std::shared_ptr<RecordingAudioSession> audio = std::make_shared<RecordingAudioSession>();
  std::shared_ptr<RecordingURLOpener> opener = std::make_shared<RecordingURLOpener>();
  std::vector<std::string> results;
  std::shared_ptr<ShareSheetViewController> sheet;
  std::filesystem::path video;

 private:
  ShareOutletTypeList savedOutlets_;
  std::shared_ptr<const SystemServices> savedServices_;
  TemporaryDirectory directory_;
};

}  // namespace velmoradine::testing
