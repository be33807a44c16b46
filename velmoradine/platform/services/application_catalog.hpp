#pragma once

// The desktop applications that open a kind of file, and launching one.
//
// Threading: callable from any thread.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

struct DesktopApplication {
  std::string identifier;  // the .desktop file's name
  std::string name;
  std::optional<std::filesystem::path> iconPath;
};

class ApplicationCatalog {
 public:
  virtual ~ApplicationCatalog() = default;
  virtual std::vector<DesktopApplication> applicationsOpening(const std::string& mimeType) = 0;
  // Launches the application with the URLs (files or links).
  virtual Result<void> launch(const DesktopApplication& application,
                              const std::vector<URL>& urls) = 0;
};

}  // namespace velmoradine
