#pragma once

// Substitutes for what outlets hand content to, installed as the process's
// system services for one test, and a delegate that writes every outcome
// down as one line. The photo library, the URL opener and the delegate write
// into one journal, in order, so a test can compare the whole conversation;
// answers arrive on the main queue, as the real services deliver them off
// the caller's stack.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tests/share/share_manager_fakes.hpp"
#include "tests/support/temporary_directory.hpp"
#include "velmoradine/outlets/share_outlet_protocol.hpp"
#include "velmoradine/platform/services/system_services.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine::testing {

// Lines written from any thread, kept in the order they came.
class Journal {
 public:
  void write(std::string line);
  std::vector<std::string> lines() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;  // guarded by mutex_
};

// Main thread only (tests drive the main run loop).
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

// Answers `canOpenURL` from a set of schemes; `open` journals "open " and
// the URL and answers whether the scheme is openable and `opens` holds.
class RecordingURLOpening final : public URLOpening {
 public:
  explicit RecordingURLOpening(std::shared_ptr<Journal> journal) : journal_(std::move(journal)) {}

  bool canOpenURL(const URL& url) override;
  void open(const URL& url, std::function<void(bool)> completion) override;
  std::vector<std::string> probed();
  std::vector<std::string> opened();

  std::mutex mutex;
  std::set<std::string> openableSchemes;
  bool opens = true;
  std::vector<std::string> probedURLs;
  std::vector<std::string> openedURLs;

 private:
  bool openable(const URL& url) const { return openableSchemes.contains(url.scheme()); }

  std::shared_ptr<Journal> journal_;
};

class MemoryPasteboard final : public Pasteboard {
 public:
  void setItems(std::vector<PasteboardItem> items,
                std::optional<Clock::time_point> expirationDate) override;
  std::vector<PasteboardItem> items() const override;
  void setString(std::string text) override;
  std::optional<std::string> string() const override;
  void setData(std::shared_ptr<const Data> data, std::string pasteboardType) override;
  // How many times anything was written.
  int writes() const;

 private:
  mutable std::mutex mutex_;
  std::vector<PasteboardItem> items_;  // guarded by mutex_
  int writes_ = 0;                     // guarded by mutex_
};

class RecordingMessaging final : public Messaging {
 public:
  bool canSendText() override { return sendsText; }
  bool canSendAttachments() override { return sendsAttachments; }
  Result<void> send(const std::string& body,
                    const std::vector<MessageAttachment>& attachments) override;

  bool sendsText = true;
  bool sendsAttachments = true;
  // Whether the mail handler starts.
  bool starts = true;
  std::vector<std::string> sentBodies;
};

class RecordingApplicationCatalog final : public ApplicationCatalog {
 public:
  std::vector<DesktopApplication> applicationsOpening(const std::string& mimeType) override;
  Result<void> launch(const DesktopApplication& application, const std::vector<URL>& urls) override;

  std::vector<std::vector<URL>> launched;
};

// Installs the fakes above as the system services while alive.
class ScopedOutletServices {
 public:
  ScopedOutletServices();
  ~ScopedOutletServices();
  ScopedOutletServices(const ScopedOutletServices&) = delete;
  ScopedOutletServices& operator=(const ScopedOutletServices&) = delete;

  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
  std::shared_ptr<FakePhotoLibrary> photoLibrary = std::make_shared<FakePhotoLibrary>(journal);
  std::shared_ptr<RecordingURLOpening> urlOpener = std::make_shared<RecordingURLOpening>(journal);
  std::shared_ptr<MemoryPasteboard> pasteboard = std::make_shared<MemoryPasteboard>();
  std::shared_ptr<RecordingMessaging> messaging = std::make_shared<RecordingMessaging>();
  std::shared_ptr<RecordingApplicationCatalog> catalog =
      std::make_shared<RecordingApplicationCatalog>();

 private:
  std::shared_ptr<const SystemServices> replaced_;
};

// Writes "success raw,linkPreview", "failure TEXT" or "cancelled" into its
// journal.
class RecordingOutletDelegate final : public ShareOutletDelegate {
 public:
  explicit RecordingOutletDelegate(std::shared_ptr<Journal> journal = std::make_shared<Journal>())
      : journal_(std::move(journal)) {}

  void success(ShareOutletProtocol&, std::vector<ShareStretegyType> strategiesUsed) override;
  void failure(ShareOutletProtocol&, std::string error) override;
  void cancelled(ShareOutletProtocol&) override;
  std::vector<std::string> outcomes() const { return journal_->lines(); }

 private:
  std::shared_ptr<Journal> journal_;
};

// Content that is no video.
class UnknownContent final : public Content {
 public:
  ContentType contentType() const override { return ContentType::unknown; }
};

// A real video content over a small file, with a share manager whose
// collaborators never answer on their own; `makeLive` plays the pipeline's
// success so the link becomes usable.
class VideoContentMaker {
 public:
  VideoContentMaker();
  ~VideoContentMaker();
  std::shared_ptr<VideoContent> make(const std::string& title, bool linkLive);

  static constexpr const char* kLink = "https://link.test/s/abc";
  const std::filesystem::path& videoPath() const { return videoPath_; }
  Data videoBytes() const;
  // The application settings the contents read (the call-to-action link).
  const std::shared_ptr<ApplicationDatastore>& datastore() const { return datastore_; }

 private:
  TemporaryDirectory directory_;
  std::filesystem::path videoPath_;
  std::shared_ptr<ApplicationDatastore> datastore_ = std::make_shared<ApplicationDatastore>();
  std::shared_ptr<RecordingNetwork> network_ = std::make_shared<RecordingNetwork>();
  std::shared_ptr<RecordingRender> render_ = std::make_shared<RecordingRender>();
};

}  // namespace velmoradine::testing
