#pragma once

// Substitutes for the desktop services the outlets hand content to. Each
// writes what it was asked into one shared journal, in order, so a test can
// compare the whole conversation; answers arrive on the main queue, as the
// real services deliver them off the caller's stack.
//
// Threading: main thread only (tests drive the main run loop).

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "velmoradine/platform/services/system_services.hpp"

namespace velmoradine::testing {

using Journal = std::vector<std::string>;

class FakePhotoLibrary final : public PhotoLibrary {
 public:
  static constexpr auto kLocalIdentifier = "5C1D8F0A/L0/001";
  static constexpr auto kSettingsURL = "file:///home/user/.config/velmoradine/photos";

  explicit FakePhotoLibrary(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

  PHAuthorizationStatus authorizationStatus() override;
  // Journals "authorize"; answers `promptAnswer`.
  void requestAuthorization(std::function<void(PHAuthorizationStatus)> completion) override;
  // Journals "save " and the file's name; answers `saveError` or the identifier.
  void createVideoAsset(const URL& fileURL,
                        std::function<void(Result<std::string>)> completion) override;
  std::optional<PHAsset> fetchAsset(const std::string& localIdentifier) override;
  URL settingsURL() override;

  PHAuthorizationStatus status = PHAuthorizationStatus::authorized;
  PHAuthorizationStatus promptAnswer = PHAuthorizationStatus::authorized;
  std::optional<Error> saveError;
  bool assetFindable = true;
  int statusReads = 0;

 private:
  std::shared_ptr<Journal> journal_;
};

class FakeURLOpener final : public URLOpening {
 public:
  explicit FakeURLOpener(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

  bool canOpenURL(const URL& url) override;
  // Journals "open " and the URL; opens it when its scheme is installed.
  void open(const URL& url, std::function<void(bool)> completion) override;

  std::set<std::string> installedSchemes = {"instagram", "instagram-stories", "file"};

 private:
  std::shared_ptr<Journal> journal_;
};

class FakePasteboard final : public Pasteboard {
 public:
  void setItems(std::vector<PasteboardItem> items,
                std::optional<Clock::time_point> expirationDate) override;
  std::vector<PasteboardItem> items() const override { return items_; }
  void setString(std::string text) override;
  std::optional<std::string> string() const override;
  void setData(std::shared_ptr<const Data> data, std::string pasteboardType) override;

  int writes = 0;
  std::optional<Clock::time_point> expirationDate;

 private:
  std::vector<PasteboardItem> items_;
};

// Installs the fakes while alive and puts the previous services back.
class ScopedFakeServices {
 public:
  ScopedFakeServices();
  ~ScopedFakeServices();
  ScopedFakeServices(const ScopedFakeServices&) = delete;
  ScopedFakeServices& operator=(const ScopedFakeServices&) = delete;

  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
  std::shared_ptr<FakePhotoLibrary> photoLibrary = std::make_shared<FakePhotoLibrary>(journal);
  std::shared_ptr<FakeURLOpener> urlOpener = std::make_shared<FakeURLOpener>(journal);
  std::shared_ptr<FakePasteboard> pasteboard = std::make_shared<FakePasteboard>();

 private:
  std::shared_ptr<const SystemServices> previous_;
};

}  // namespace velmoradine::testing
