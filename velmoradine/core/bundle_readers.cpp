#include "velmoradine/core/bundle_readers.hpp"

#include "velmoradine/core/deployment.hpp"

namespace velmoradine {

std::optional<std::string> releaseVersionNumber(const Bundle& bundle) {
  return bundle.infoDictionary().stringFor("CFBundleShortVersionString");
}

std::optional<std::string> buildVersionNumber(const Bundle& bundle) {
  return bundle.infoDictionary().stringFor("CFBundleVersion");
}

std::optional<std::string> velmoradineClientId(const Bundle& bundle) {
  return bundle.infoDictionary().stringFor("VelmoradineClientId");
}

std::vector<std::string> applicationQuerySchemes(const Bundle& bundle) {
  const PropertyList* value = bundle.infoDictionary().find("LSApplicationQueriesSchemes");
  if (!value || !value->array()) return {};
  std::vector<std::string> schemes;
  for (const PropertyList& item : *value->array()) {
    if (!item.string()) return {};
    schemes.push_back(*item.string());
  }
  return schemes;
}

std::string velmoradineAPIBaseURL(const Bundle& bundle) {
  return bundle.infoDictionary()
      .stringFor("VelmoradineAPIBaseURL")
      .value_or(deployment::kDefaultAPIBaseURL);
}

std::string velmoradineEventsURL(const Bundle& bundle) {
  return bundle.infoDictionary()
      .stringFor("VelmoradineEventsURL")
      .value_or(deployment::kDefaultEventsURL);
}

}  // namespace velmoradine
