#include "tests/outlets/outlet_fakes.hpp"

#include <cerrno>
#include <fstream>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine::testing {

bool RecordingURLOpening::canOpenURL(const URL& url) {
  std::lock_guard lock(mutex);
  probedURLs.push_back(url.absoluteString());
  return openableSchemes.contains(url.scheme());
}

void RecordingURLOpening::open(const URL& url, std::function<void(bool)> completion) {
  std::lock_guard lock(mutex);
  openedURLs.push_back(url.absoluteString());
  DispatchQueue::main()->async(
      [completion = std::move(completion), opened = opens] { completion(opened); });
}

std::vector<std::string> RecordingURLOpening::probed() {
  std::lock_guard lock(mutex);
  return probedURLs;
}

std::vector<std::string> RecordingURLOpening::opened() {
  std::lock_guard lock(mutex);
  return openedURLs;
}

void MemoryPasteboard::setItems(std::vector<PasteboardItem> items,
                                std::optional<Clock::time_point>) {
  std::lock_guard lock(mutex_);
  items_ = std::move(items);
}

std::vector<PasteboardItem> MemoryPasteboard::items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

void MemoryPasteboard::setString(std::string text) {
  std::lock_guard lock(mutex_);
  items_ = {PasteboardItem{{"public.utf8-plain-text", std::move(text)}}};
}

std::optional<std::string> MemoryPasteboard::string() const {
  std::lock_guard lock(mutex_);
  if (items_.empty()) return std::nullopt;
  const auto found = items_.front().find("public.utf8-plain-text");
  if (found == items_.front().end()) return std::nullopt;
  return std::get<std::string>(found->second);
}

void MemoryPasteboard::setData(std::shared_ptr<const Data> data, std::string pasteboardType) {
  std::lock_guard lock(mutex_);
  if (items_.empty()) items_.emplace_back();
  items_.front()[std::move(pasteboardType)] = std::move(data);
}

Result<void> RecordingMessaging::send(const std::string& body,
                                      const std::vector<MessageAttachment>&) {
  sentBodies.push_back(body);
  if (!starts) return failure(Error::posix(ENOENT, "no mail handler"));
  return {};
}

std::vector<DesktopApplication> RecordingApplicationCatalog::applicationsOpening(
    const std::string&) {
  return {DesktopApplication{"player.desktop", "Player", std::nullopt}};
}

Result<void> RecordingApplicationCatalog::launch(const DesktopApplication&,
                                                 const std::vector<URL>& urls) {
  launched.push_back(urls);
  return {};
}

ScopedOutletServices::ScopedOutletServices() {
  auto services = std::make_shared<SystemServices>(*SystemServices::current());
  services->urlOpener = urlOpener;
  services->generalPasteboard = pasteboard;
  services->messaging = messaging;
  services->applicationCatalog = catalog;
  replaced_ = SystemServices::replace(std::move(services));
}

ScopedOutletServices::~ScopedOutletServices() {
  SystemServices::replace(replaced_);
}

namespace {

std::string joined(const std::vector<ShareStretegyType>& types) {
  std::string text;
  for (ShareStretegyType type : types) {
    if (!text.empty()) text += ",";
    text += type == ShareStretegyType::raw ? "raw" : "linkPreview";
  }
  return text;
}

}  // namespace

void RecordingOutletDelegate::success(ShareOutletProtocol&,
                                      std::vector<ShareStretegyType> strategiesUsed) {
  std::lock_guard lock(mutex_);
  outcomes_.push_back("success " + joined(strategiesUsed));
}

void RecordingOutletDelegate::failure(ShareOutletProtocol&, std::string error) {
  std::lock_guard lock(mutex_);
  outcomes_.push_back("failure " + error);
}

void RecordingOutletDelegate::cancelled(ShareOutletProtocol&) {
  std::lock_guard lock(mutex_);
  outcomes_.push_back("cancelled");
}

std::vector<std::string> RecordingOutletDelegate::outcomes() {
  std::lock_guard lock(mutex_);
  return outcomes_;
}

VideoContentMaker::VideoContentMaker() : videoPath_(directory_.path() / "clip.mp4") {
  std::ofstream(videoPath_, std::ios::binary) << "mp4 bytes";
}

VideoContentMaker::~VideoContentMaker() {
  render_->forget();
}

std::shared_ptr<VideoContent> VideoContentMaker::make(const std::string& title, bool linkLive) {
  auto content =
      VideoContent::create(URL::fileURL(videoPath_), title,
                           VideoContentProviders{std::make_shared<ApplicationDatastore>(),
                                                 {network_, network_, render_}})
          .value();
  if (linkLive) {
    content->linkPreviewStrategyDidUpdate(std::make_shared<LinkPreviewShareStrategy>(kLink));
    content->linkPreviewConfidenceDidUpdate(LinkPreviewConfidence::succeeded);
  }
  return content;
}

Data VideoContentMaker::videoBytes() const {
  return Data({'m', 'p', '4', ' ', 'b', 'y', 't', 'e', 's'});
}

}  // namespace velmoradine::testing
