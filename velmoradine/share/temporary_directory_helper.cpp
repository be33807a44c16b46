#include "velmoradine/share/temporary_directory_helper.hpp"

#include <system_error>

#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"

namespace velmoradine {

std::optional<std::filesystem::path> TemporaryDirectoryHelper::createTempDirectory(
    const std::optional<std::string>& directoryName) {
  const std::string name = directoryName ? *directoryName : UUID().uuidString();
  const std::filesystem::path url = file_locations::temporaryDirectory() / name;
  std::error_code status;
  std::filesystem::create_directories(url, status);
  if (status || !std::filesystem::is_directory(url, status)) return std::nullopt;
  return url;
}

}  // namespace velmoradine
