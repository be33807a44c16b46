#include "tests/outlets/outlet_fakes.hpp"

#include <cerrno>
#include <fstream>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine::testing {

void Journal::write(std::string line) {
  std::lock_guard lock(mutex_);
  lines_.push_back(std::move(line));
}

std::vector<std::string> Journal::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void Journal::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

PHAuthorizationStatus FakePhotoLibrary::authorizationStatus() {
  ++statusReads;
  return status;
}

void FakePhotoLibrary::requestAuthorization(std::function<void(PHAuthorizationStatus)> completion) {
  journal_->write("authorize");
  DispatchQueue::main()->async([answer = promptAnswer, completion] { completion(answer); });
}

void FakePhotoLibrary::createVideoAsset(const URL& fileURL,
                                        std::function<void(Result<std::string>)> completion) {
  journal_->write("save " + fileURL.lastPathComponent());
  Result<std::string> created =
      saveError ? Result<std::string>(failure(*saveError)) : Result<std::string>(kLocalIdentifier);
  DispatchQueue::main()->async([created, completion] { completion(created); });
}

std::optional<PHAsset> FakePhotoLibrary::fetchAsset(const std::string& localIdentifier) {
  if (!assetFindable || localIdentifier != kLocalIdentifier) return std::nullopt;
  return PHAsset{localIdentifier, "/home/user/Videos/Velmoradine/saved.mp4"};
}

URL FakePhotoLibrary::settingsURL() {
  return *URL::parse(kSettingsURL);
}

bool RecordingURLOpening::canOpenURL(const URL& url) {
  std::lock_guard lock(mutex);
  probedURLs.push_back(url.absoluteString());
  return openable(url);
}

void RecordingURLOpening::open(const URL& url, std::function<void(bool)> completion) {
  std::lock_guard lock(mutex);
  openedURLs.push_back(url.absoluteString());
  journal_->write("open " + url.absoluteString());
  DispatchQueue::main()->async([completion = std::move(completion),
                                opened = opens && openable(url)] { completion(opened); });
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
  ++writes_;
  items_ = std::move(items);
}

std::vector<PasteboardItem> MemoryPasteboard::items() const {
  std::lock_guard lock(mutex_);
  return items_;
}

void MemoryPasteboard::setString(std::string text) {
  std::lock_guard lock(mutex_);
  ++writes_;
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
  ++writes_;
  if (items_.empty()) items_.emplace_back();
  items_.front()[std::move(pasteboardType)] = std::move(data);
}

int MemoryPasteboard::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
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
  services->photoLibrary = photoLibrary;
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
  journal_->write("success " + joined(strategiesUsed));
}

void RecordingOutletDelegate::failure(ShareOutletProtocol&, std::string error) {
  journal_->write("failure " + error);
}

void RecordingOutletDelegate::cancelled(ShareOutletProtocol&) {
  journal_->write("cancelled");
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
                           VideoContentProviders{datastore_, {network_, network_, render_}})
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
