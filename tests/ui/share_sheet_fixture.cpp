#include "tests/ui/share_sheet_fixture.hpp"

#include <fstream>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/uikit/ui_alert_controller.hpp"

namespace velmoradine::testing {

std::optional<Error> ManualSheetProvider::presentOn(const std::shared_ptr<UIViewController>&,
                                                    const std::shared_ptr<UIView>& view) {
  ++previews;
  view->setBackgroundColor(Color::rgb(0, 0, 255));
  return std::nullopt;
}

void ManualSheetProvider::renderingComplete(RenderingCompletion completion) {
  callbacks.push_back(std::move(completion));
}

void ManualSheetProvider::deliver(const Result<SuccessfulRenderingResult>& result) {
  auto pending = std::move(callbacks);
  callbacks.clear();
  for (auto& callback : pending) callback(result);
}

std::optional<Image> TestOutletType::buttonImage() const {
  Bitmap pixels(150, 150);
  pixels.fill(color_);
  return Image(std::move(pixels), 3);
}

Result<void> RecordingAudioSession::setCategory(AVAudioSessionCategory category) {
  calls.push_back(category == AVAudioSessionCategory::ambient ? "category ambient" : "category");
  if (fails) return failure(Error(std::make_error_code(std::errc::device_or_resource_busy)));
  return {};
}

Result<void> RecordingAudioSession::setActive(bool active) {
  calls.push_back(active ? "activate" : "deactivate");
  if (fails) return failure(Error(std::make_error_code(std::errc::device_or_resource_busy)));
  return {};
}

void RecordingURLOpener::open(const URL& url, std::function<void(bool)> completion) {
  opened.push_back(url.absoluteString());
  if (completion) completion(true);
}

const std::vector<Color>& ShareSheetTest::outletColors() {
  static const std::vector<Color> colors{Color::rgb(255, 0, 0),   Color::rgb(0, 160, 0),
                                         Color::rgb(0, 0, 255),   Color::rgb(255, 160, 0),
                                         Color::rgb(160, 0, 160), Color::rgb(0, 160, 160)};
  return colors;
}

ShareSheetTest::ShareSheetTest() : savedOutlets_(ShareOutlets::availableOutlets()) {
  bundle.writeInfoPlist({{"VelmoradineAPIBaseURL", PropertyList("http://127.0.0.1:8123/v1/api/")}});
  bundle.writeFile("Localizable.strings", "\"OK\" = \"Fine\";\n");
  // The desktop services read the main bundle once, when first made; made
  // only now, they read the plist just written.
  savedServices_ = SystemServices::current();
  auto services = std::make_shared<SystemServices>(*savedServices_);
  services->audioSession = audio;
  services->urlOpener = opener;
  SystemServices::replace(services);
  window->setRootViewController(root);
  video = directory_.path() / "rendered.mp4";
  std::ofstream(video, std::ios::binary) << "rendered video";
}

ShareSheetTest::~ShareSheetTest() {
  advance(10);
  render->forget();
  ShareOutlets::setAvailableOutlets(savedOutlets_);
  SystemServices::replace(savedServices_);
}

void ShareSheetTest::presentSheet(int count) {
  ShareOutletTypeList outlets;
  for (int i = 0; i < count; ++i) {
    outlets.push_back(std::make_shared<TestOutletType>(std::string(1, char('a' + i)),
                                                       outletColors().at(std::size_t(i))));
  }
  ShareOutlets::setAvailableOutlets(outlets);
  auto analytics = std::make_shared<Analytics>(analyticsEvents);
  sheet = ShareSheetViewController::make(
      provider,
      [this](const PresentationResult& result) { results.push_back(result.description()); },
      {analytics, application, {application, {network, network, render}}});
  root->present(sheet, false);
  window->displayIfNeeded();
}

void ShareSheetTest::advance(double seconds) {
  // Work already handed to the main queue starts its animations first, so
  // that they end within `seconds`.
  RunLoop::main().drain();
  clock.advance(
      std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(seconds)));
  RunLoop::main().drain();
  window->displayIfNeeded();
}

Point ShareSheetTest::iconCenter(int index) {
  auto icon = cell(index)->imageView();
  return icon->convertToWindow({icon->bounds().width() / 2, icon->bounds().height() / 2});
}

std::shared_ptr<ShareOutletCellView> ShareSheetTest::cell(int index) {
  return std::static_pointer_cast<ShareOutletCellView>(
      sheet->shareOutletView()->cellForItem({index, 0}));
}

std::shared_ptr<TestOutlet> ShareSheetTest::sharingOutlet() {
  return std::static_pointer_cast<TestOutlet>(sheet->currentlySharingOulet());
}

std::shared_ptr<TestOutlet> ShareSheetTest::shareRendered(
    Result<SuccessfulRenderingResult> rendering, int index) {
  presentSheet();
  provider->deliver(std::move(rendering));
  advance(0.1);
  tapOutlet(index);
  advance(0.1);
  return sharingOutlet();
}

std::string ShareSheetTest::events() {
  std::string names;
  for (const auto& record : analyticsEvents->allEvents()) {
    EXPECT_EQ(record.context, *sheet->analtyicsContext()) << record.event->event_name;
    names += (names.empty() ? "" : " ") + record.event->event_name;
    if (record.event->error_string) names += "(" + *record.event->error_string + ")";
  }
  return names;
}

std::string ShareSheetTest::alertOnTop() {
  auto alert = std::dynamic_pointer_cast<UIAlertController>(window->topViewController());
  if (!alert) return "";
  return alert->title().value_or("") + ": " + alert->message().value_or("") + " [" +
         alert->actions().at(0).title + "]";
}

bool ShareSheetTest::contentCleanedUp() {
  auto content = sheet->content();
  return content && content->videoContent()->shareManager()->destroyed();
}

}  // namespace velmoradine::testing
