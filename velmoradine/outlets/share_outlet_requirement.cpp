#include "velmoradine/outlets/share_outlet_requirement.hpp"

#include <algorithm>

namespace velmoradine {
namespace {

// The texts of a list, or nothing when it is not a list of texts.
std::optional<std::vector<std::string>> textList(const PropertyList* value) {
  if (!value || !value->array()) return std::nullopt;
  std::vector<std::string> texts;
  for (const PropertyList& item : *value->array()) {
    if (!item.string()) return std::nullopt;
    texts.push_back(*item.string());
  }
  return texts;
}

const PropertyList* lookUp(const Plist& plist, std::string_view key) {
  const auto found = plist.find(key);
  return found == plist.end() ? nullptr : &found->second;
}

bool containsAll(const std::vector<std::string>& listed, const std::vector<std::string>& required) {
  return std::ranges::all_of(required, [&](const std::string& scheme) {
    return std::ranges::find(listed, scheme) != listed.end();
  });
}

// The first map of "CFBundleURLTypes" that has "CFBundleURLSchemes", or
// nothing when the value is not a list of maps or none has the key.
const PropertyList* firstURLSchemes(const Plist& plist) {
  const PropertyList* types = lookUp(plist, "CFBundleURLTypes");
  if (!types || !types->array()) return nullptr;
  if (!std::ranges::all_of(*types->array(),
                           [](const PropertyList& item) { return item.dictionary(); })) {
    return nullptr;
  }
  for (const PropertyList& type : *types->array()) {
    if (const PropertyList* schemes = lookUp(*type.dictionary(), "CFBundleURLSchemes")) {
      return schemes;
    }
  }
  return nullptr;
}

// The first of `required` that `listed` lacks, as a reason naming `key`; or
// why `listed` could not be read at all.
std::optional<std::string> missingScheme(const std::optional<std::vector<std::string>>& listed,
                                         const std::vector<std::string>& required,
                                         const std::string& key) {
  if (!listed) return key + " is missing or is not a list of texts";
  for (const std::string& scheme : required) {
    if (std::ranges::find(*listed, scheme) == listed->end()) {
      return key + " does not list \"" + scheme + "\"";
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> ShareOutletRequirementProtocol::unmetReason(const Plist& plist) const {
  if (met(plist)) return std::nullopt;
  return "the Info.plist does not meet the outlet's requirements";
}

RequiredApplicationQuerySchemes::RequiredApplicationQuerySchemes(
    std::vector<std::string> requiredSchemes)
    : requiredSchemes(std::move(requiredSchemes)) {}

bool RequiredApplicationQuerySchemes::met(const Plist& plist) const {
  const auto listed = textList(lookUp(plist, "LSApplicationQueriesSchemes"));
  return listed && containsAll(*listed, requiredSchemes);
}

std::optional<std::string> RequiredApplicationQuerySchemes::unmetReason(const Plist& plist) const {
  return missingScheme(textList(lookUp(plist, "LSApplicationQueriesSchemes")), requiredSchemes,
                       "LSApplicationQueriesSchemes");
}

RequiredCFBundleURLSchemes::RequiredCFBundleURLSchemes(std::vector<std::string> requiredSchemes)
    : requiredSchemes(std::move(requiredSchemes)) {}

bool RequiredCFBundleURLSchemes::met(const Plist& plist) const {
  const auto listed = textList(firstURLSchemes(plist));
  return listed && containsAll(*listed, requiredSchemes);
}

std::optional<std::string> RequiredCFBundleURLSchemes::unmetReason(const Plist& plist) const {
  return missingScheme(textList(firstURLSchemes(plist)), requiredSchemes,
                       "CFBundleURLTypes' first CFBundleURLSchemes");
}

RequiredPlistValue::RequiredPlistValue(std::string requiredKey, std::string requiredValue)
    : requiredKey(std::move(requiredKey)), requiredValue(std::move(requiredValue)) {}

bool RequiredPlistValue::met(const Plist& plist) const {
  const PropertyList* value = lookUp(plist, requiredKey);
  return value && value->string() && *value->string() == requiredValue;
}

std::optional<std::string> RequiredPlistValue::unmetReason(const Plist& plist) const {
  if (met(plist)) return std::nullopt;
  return requiredKey + " is not \"" + requiredValue + "\"";
}

RequiredPlistNonNil::RequiredPlistNonNil(std::string requiredKey,
                                         std::optional<std::string> defaultValue)
    : requiredKey_(std::move(requiredKey)), defaultValue_(std::move(defaultValue)) {}

bool RequiredPlistNonNil::met(const Plist& plist) const {
  return lookUp(plist, requiredKey_) != nullptr;
}

std::optional<std::string> RequiredPlistNonNil::unmetReason(const Plist& plist) const {
  if (met(plist)) return std::nullopt;
  return requiredKey_ + " is not set";
}

RequiredConfigurationValue::RequiredConfigurationValue(std::string requiredConfigurationValue)
    : requiredConfigurationValue_(std::move(requiredConfigurationValue)) {}

bool RequiredConfigurationValue::met(const Plist&) const {
  return false;
}

std::optional<std::string> RequiredConfigurationValue::unmetReason(const Plist&) const {
  return "the configuration value " + requiredConfigurationValue_ + " cannot be consulted";
}

Requirements::Requirements(
    std::vector<std::shared_ptr<const ShareOutletRequirementProtocol>> requirements)
    : requirements_(std::move(requirements)) {}

bool Requirements::met(const Plist& plist) const {
  return std::ranges::all_of(requirements_, [&](const auto& member) { return member->met(plist); });
}

std::optional<std::string> Requirements::unmetReason(const Plist& plist) const {
  for (const auto& member : requirements_) {
    if (auto reason = member->unmetReason(plist)) return reason;
  }
  return std::nullopt;
}

PhotoRequirement::PhotoRequirement()
    : RequiredPlistNonNil("NSPhotoLibraryUsageDescription", std::nullopt) {}

InstagramFeedRequirements::InstagramFeedRequirements()
    : Requirements(
          {std::make_shared<PhotoRequirement>(), std::make_shared<RequiredApplicationQuerySchemes>(
                                                     std::vector<std::string>{"instagram"})}) {}

InstgramStoriesRequirements::InstgramStoriesRequirements()
    : Requirements({std::make_shared<RequiredApplicationQuerySchemes>(
          std::vector<std::string>{"instagram-stories"})}) {}

TwitterRequirements::TwitterRequirements()
    : Requirements({std::make_shared<RequiredApplicationQuerySchemes>(
          std::vector<std::string>{"twitter"})}) {}

NoRequirements::NoRequirements() : Requirements({}) {}

}  // namespace velmoradine
