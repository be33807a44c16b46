#include "velmoradine/core/bundle_readers.hpp"

#include <algorithm>

#include "velmoradine/core/deployment.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {
namespace {

// What is wrong with `text` as a service address, or nothing. The checks on
// the raw text come first: the URL parser would read some of these forms.
std::optional<std::string> serviceAddressProblem(const std::string& text) {
  if (text.empty()) return "it is empty";
  bool hasControl = std::ranges::any_of(
      text, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  if (hasControl) return "it holds control characters";
  auto url = URL::parse(text);
  if (!url) return "it is not an absolute URL";
  if (url->scheme() != "http" && url->scheme() != "https") return "it is not an http(s) URL";
  if (!url->host() || url->host()->empty()) return "it has no host";
  return std::nullopt;
}

Result<std::string> serviceAddress(const Bundle& bundle, std::string_view key,
                                   const char* fallback) {
  const PropertyList* value = bundle.infoDictionary().find(key);
  if (!value) return fallback;
  std::optional<std::string> problem =
      value->string() ? serviceAddressProblem(*value->string()) : "it is not text";
  if (problem) {
    return failure(Error(ConfigurationError::invalidServiceAddress,
                         std::string(key) + " is not a valid service address: " + *problem));
  }
  return *value->string();
}

}  // namespace

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

Result<std::string> velmoradineAPIBaseURL(const Bundle& bundle) {
  return serviceAddress(bundle, "VelmoradineAPIBaseURL", deployment::kDefaultAPIBaseURL);
}

Result<std::string> velmoradineEventsURL(const Bundle& bundle) {
  return serviceAddress(bundle, "VelmoradineEventsURL", deployment::kDefaultEventsURL);
}

VELMORADINE_DEFINE_ERROR_ENUMERATION(ConfigurationError, configurationErrorCategory,
                                     "Velmoradine.Configuration",
                                     {ConfigurationError::invalidServiceAddress,
                                      "The Info.plist holds an invalid service address.",
                                      DetailInDescription::inParentheses})

}  // namespace velmoradine
