#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace velmoradine {

struct TemporaryDirectoryHelper {
  // The process's temporary directory + `directoryName` (a fresh UUID text
  // when none), created with its parents; none when it cannot be created.
  static std::optional<std::filesystem::path> createTempDirectory(
      const std::optional<std::string>& directoryName = std::nullopt);
};

}  // namespace velmoradine
