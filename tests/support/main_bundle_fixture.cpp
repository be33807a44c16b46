#include "tests/support/main_bundle_fixture.hpp"

#include <cstdlib>
#include <fstream>

#include "velmoradine/platform/foundation/uuid.hpp"

namespace velmoradine::testing {

TemporaryDirectory::TemporaryDirectory()
    : path_(std::filesystem::temp_directory_path() / ("velmoradine-test-" + UUID().uuidString())) {
  std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

TemporaryMainBundle::TemporaryMainBundle()
    : path_(std::filesystem::temp_directory_path() /
            ("velmoradine-bundle-" + UUID().uuidString())) {
  std::filesystem::create_directories(path_);
  if (const char* previous = std::getenv("VELMORADINE_MAIN_BUNDLE")) {
    previous_ = previous;
    hadPrevious_ = true;
  }
  setenv("VELMORADINE_MAIN_BUNDLE", path_.c_str(), 1);
}

TemporaryMainBundle::~TemporaryMainBundle() {
  if (hadPrevious_) {
    setenv("VELMORADINE_MAIN_BUNDLE", previous_.c_str(), 1);
  } else {
    unsetenv("VELMORADINE_MAIN_BUNDLE");
  }
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void TemporaryMainBundle::writeInfoPlist(const PropertyList::Dictionary& entries) const {
  writeFile("Info.plist", PropertyList(entries).xml());
}

void TemporaryMainBundle::writeFile(const std::string& name, const std::string& contents) const {
  std::ofstream(path_ / name, std::ios::binary) << contents;
}

}  // namespace velmoradine::testing
