#pragma once

#include <filesystem>

#include "velmoradine/platform/foundation/property_list.hpp"

namespace velmoradine::testing {

// A temporary main bundle for one test: a fresh directory named by
// $VELMORADINE_MAIN_BUNDLE while the object lives, removed afterwards.
class TemporaryMainBundle {
 public:
  TemporaryMainBundle();
  ~TemporaryMainBundle();
  TemporaryMainBundle(const TemporaryMainBundle&) = delete;
  TemporaryMainBundle& operator=(const TemporaryMainBundle&) = delete;

  const std::filesystem::path& path() const { return path_; }
  void writeInfoPlist(const PropertyList::Dictionary& entries) const;
  void writeFile(const std::string& name, const std::string& contents) const;

 private:
  std::filesystem::path path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// A fresh temporary directory, removed with the object.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace velmoradine::testing
