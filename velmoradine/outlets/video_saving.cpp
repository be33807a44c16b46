#include "velmoradine/outlets/video_saving.hpp"

#include <filesystem>
#include <system_error>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/services/system_services.hpp"

namespace velmoradine {
namespace {

void logFailure(const std::string& outlet, const std::string& why,
                const std::optional<Error>& error = {}) {
  Logger::velmoradineDebug("[" + outlet + "] Unable to save video: " + why, error);
}

}  // namespace

void saveVideoToPhotoLibrary(const URL& videoURL, const std::string& outlet,
                             std::function<void(std::optional<PHAsset>)> completion) {
  // A library handed a missing file may still create an empty asset; the
  // user would find a broken video where the outlet promised a saved one.
  std::error_code error;
  if (!std::filesystem::is_regular_file(videoURL.path(), error)) {
    logFailure(outlet, "the video is gone: " + videoURL.path());
    return completion(std::nullopt);
  }
  auto library = SystemServices::current()->photoLibrary;
  library->createVideoAsset(
      videoURL, [library, outlet, completion = std::move(completion)](Result<std::string> created) {
        if (!created) {
          logFailure(outlet, "the library refused the change", created.error());
          return completion(std::nullopt);
        }
        auto asset = library->fetchAsset(*created);
        if (!asset) logFailure(outlet, "no asset has the identifier " + *created);
        completion(std::move(asset));
      });
}

}  // namespace velmoradine
