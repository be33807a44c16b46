#include "velmoradine/share/content_helper.hpp"

#include <filesystem>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"

namespace velmoradine {

std::optional<URL> ContentHelper::createFileURL(std::string_view filename,
                                                std::string_view filenameExt) {
  std::error_code error;
  std::filesystem::path caches = file_locations::cachesDirectory();
  std::filesystem::create_directories(caches, error);
  if (error) {
    UGCLogger::log("Cannot get cachesDirectoryUrl");
    return std::nullopt;
  }
  std::filesystem::path folder = caches / "Velmoradine";
  std::string name(filename);
  if (!filenameExt.empty()) {
    name += '.';
    name += filenameExt;
  }
  std::filesystem::path file = folder / name;
  if (std::filesystem::exists(file, error)) std::filesystem::remove(file, error);
  if (!error) std::filesystem::create_directories(folder, error);
  if (error) {
    UGCLogger::log("Cannot create Velmoradine Folder in caches directory. " +
                   Error(error, folder.string()).localizedDescription());
    return std::nullopt;
  }
  return URL::fileURL(file);
}

}  // namespace velmoradine
