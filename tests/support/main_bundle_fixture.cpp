#include "tests/support/main_bundle_fixture.hpp"

#include <fstream>

namespace velmoradine::testing {

TemporaryMainBundle::TemporaryMainBundle()
    : mainBundle_("VELMORADINE_MAIN_BUNDLE", directory_.path().string()) {}

void TemporaryMainBundle::writeInfoPlist(const PropertyList::Dictionary& entries) const {
  writeFile("Info.plist", PropertyList(entries).xml());
}

void TemporaryMainBundle::writeFile(const std::string& name, const std::string& contents) const {
  std::ofstream(path() / name, std::ios::binary) << contents;
}

}  // namespace velmoradine::testing
