#include "velmoradine/platform/services/desktop_photo_library.hpp"

#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"
#include "velmoradine/platform/services/atomic_file_copy.hpp"
#include "velmoradine/platform/services/photo_authorization_prompt.hpp"
#include "velmoradine/platform/services/photo_authorization_store.hpp"
#include "velmoradine/platform/services/xdg_user_directories.hpp"

namespace velmoradine {
namespace {

// The form a phone gives its assets' identifiers.
constexpr std::string_view kIdentifierSuffix = "/L0/001";

using Completions = std::vector<std::function<void(PHAuthorizationStatus)>>;

Result<std::string> saveVideo(const URL& fileURL, const std::filesystem::path& library) {
  if (!fileURL.isFileURL()) {
    return failure(Error::posix(EINVAL, "not a local file: " + fileURL.absoluteString()));
  }
  std::error_code error;
  std::filesystem::create_directories(library, error);
  if (error) return failure(Error(error, "creating " + library.string()));
  const std::string uuid = UUID().uuidString();
  const std::string extension = fileURL.pathExtension();
  const auto path = library / (extension.empty() ? uuid : uuid + "." + extension);
  VELMORADINE_TRY(copyFileAtomically(fileURL.filePath(), path));
  return uuid + std::string(kIdentifierSuffix);
}

std::optional<std::string> fileStem(const std::string& localIdentifier) {
  std::string_view text = localIdentifier;
  if (!text.ends_with(kIdentifierSuffix)) return std::nullopt;
  auto uuid = UUID::parse(text.substr(0, text.size() - kIdentifierSuffix.size()));
  if (!uuid) return std::nullopt;
  return uuid->uuidString();
}

}  // namespace

struct DesktopPhotoLibrary::PendingRequests {
  std::mutex mutex;
  Completions completions;

  // Hands `status` to every waiting request, on `queue`.
  void answer(const std::shared_ptr<DispatchQueue>& queue, PHAuthorizationStatus status) {
    Completions waiting;
    {
      std::lock_guard lock(mutex);
      waiting.swap(completions);
    }
    queue->async([waiting = std::move(waiting), status] {
      for (const auto& completion : waiting) completion(status);
    });
  }
};

DesktopPhotoLibrary::Locations DesktopPhotoLibrary::Locations::desktop() {
  return {xdg_user_directories::videosDirectory() / kFolderName,
          file_locations::configurationDirectory()};
}

DesktopPhotoLibrary::DesktopPhotoLibrary(Locations locations)
    : locations_(std::move(locations)),
      store_(std::make_shared<PhotoAuthorizationStore>(locations_.settingsPath)),
      queue_(DispatchQueue::serial("DesktopPhotoLibrary")),
      pending_(std::make_shared<PendingRequests>()) {}

DesktopPhotoLibrary::~DesktopPhotoLibrary() = default;

PHAuthorizationStatus DesktopPhotoLibrary::authorizationStatus() {
  return store_->load();
}

void DesktopPhotoLibrary::requestAuthorization(
    std::function<void(PHAuthorizationStatus)> completion) {
  if (auto status = store_->load(); status != PHAuthorizationStatus::notDetermined) {
    queue_->async([completion = std::move(completion), status] { completion(status); });
    return;
  }
  {
    std::lock_guard lock(pending_->mutex);
    pending_->completions.push_back(std::move(completion));
    if (pending_->completions.size() > 1) return;
  }
  DispatchQueue::main()->async([store = store_, queue = queue_, pending = pending_] {
    // Another process of the same host may have asked meanwhile.
    if (auto status = store->load(); status != PHAuthorizationStatus::notDetermined) {
      pending->answer(queue, status);
      return;
    }
    PhotoAuthorizationPrompt::present([store, queue, pending](auto answer) {
      if (answer) {
        if (auto saved = store->save(*answer); !saved) {
          console::writeLine(
              "[PhotoLibrary] The answer could not be kept, it will be asked for "
              "again: " +
              saved.error().localizedDescription());
        }
      }
      pending->answer(queue, answer.value_or(PHAuthorizationStatus::notDetermined));
    });
  });
}

void DesktopPhotoLibrary::createVideoAsset(const URL& fileURL,
                                           std::function<void(Result<std::string>)> completion) {
  queue_->async([fileURL, library = locations_.libraryPath, completion = std::move(completion)] {
    completion(saveVideo(fileURL, library));
  });
}

std::optional<PHAsset> DesktopPhotoLibrary::fetchAsset(const std::string& localIdentifier) {
  auto stem = fileStem(localIdentifier);
  if (!stem) return std::nullopt;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(locations_.libraryPath, error)) {
    if (entry.path().stem() == *stem && entry.is_regular_file(error)) {
      return PHAsset{localIdentifier, entry.path()};
    }
  }
  return std::nullopt;
}

URL DesktopPhotoLibrary::settingsURL() {
  // The page must exist to be opened, answered or not.
  std::error_code error;
  std::filesystem::create_directories(locations_.settingsPath, error);
  return URL::fileURL(locations_.settingsPath);
}

}  // namespace velmoradine
