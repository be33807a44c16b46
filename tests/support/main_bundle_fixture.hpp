#pragma once

#include <filesystem>

#include "tests/support/temporary_directory.hpp"
#include "velmoradine/platform/foundation/property_list.hpp"

namespace velmoradine::testing {

// A temporary main bundle for one test: a fresh directory named by
// $VELMORADINE_MAIN_BUNDLE while the object lives, removed afterwards.
class TemporaryMainBundle {
 public:
  TemporaryMainBundle();

  const std::filesystem::path& path() const { return directory_.path(); }
  void writeInfoPlist(const PropertyList::Dictionary& entries) const;
  void writeFile(const std::string& name, const std::string& contents) const;

 private:
  TemporaryDirectory directory_;
  ScopedEnvironmentVariable mainBundle_;
};

}  // namespace velmoradine::testing
