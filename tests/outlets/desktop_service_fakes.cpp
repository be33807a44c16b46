#include "tests/outlets/desktop_service_fakes.hpp"

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace velmoradine::testing {

PHAuthorizationStatus FakePhotoLibrary::authorizationStatus() {
  ++statusReads;
  return status;
}

void FakePhotoLibrary::requestAuthorization(std::function<void(PHAuthorizationStatus)> completion) {
  journal_->push_back("authorize");
  DispatchQueue::main()->async([answer = promptAnswer, completion] { completion(answer); });
}

void FakePhotoLibrary::createVideoAsset(const URL& fileURL,
                                        std::function<void(Result<std::string>)> completion) {
  journal_->push_back("save " + fileURL.lastPathComponent());
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

bool FakeURLOpener::canOpenURL(const URL& url) {
  return installedSchemes.contains(url.scheme());
}

void FakeURLOpener::open(const URL& url, std::function<void(bool)> completion) {
  journal_->push_back("open " + url.absoluteString());
  DispatchQueue::main()->async([opened = canOpenURL(url), completion] { completion(opened); });
}

void FakePasteboard::setItems(std::vector<PasteboardItem> items,
                              std::optional<Clock::time_point> expiration) {
  ++writes;
  items_ = std::move(items);
  expirationDate = expiration;
}

void FakePasteboard::setString(std::string text) {
  setItems({{{"public.utf8-plain-text", std::move(text)}}}, std::nullopt);
}

std::optional<std::string> FakePasteboard::string() const {
  if (items_.empty()) return std::nullopt;
  auto text = items_.front().find("public.utf8-plain-text");
  if (text == items_.front().end()) return std::nullopt;
  return std::get<std::string>(text->second);
}

void FakePasteboard::setData(std::shared_ptr<const Data> data, std::string pasteboardType) {
  ++writes;
  if (items_.empty()) items_.emplace_back();
  items_.front().insert_or_assign(std::move(pasteboardType), std::move(data));
}

ScopedFakeServices::ScopedFakeServices() {
  auto services = std::make_shared<SystemServices>();
  services->photoLibrary = photoLibrary;
  services->urlOpener = urlOpener;
  services->generalPasteboard = pasteboard;
  previous_ = SystemServices::replace(std::move(services));
}

ScopedFakeServices::~ScopedFakeServices() {
  SystemServices::replace(previous_);
}

}  // namespace velmoradine::testing
