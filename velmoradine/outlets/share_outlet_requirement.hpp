#pragma once

// What the host's Info.plist must declare for an outlet to be offered. Kinds
// are public so a host can state the requirements of outlets of its own. A
// value of the wrong type makes a requirement unmet; nothing here fails.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/property_list.hpp"

namespace velmoradine {

using Plist = PropertyList::Dictionary;

class ShareOutletRequirementProtocol {
 public:
  virtual ~ShareOutletRequirementProtocol() = default;
  virtual bool met(const Plist& plist) const = 0;
  // What `plist` lacks, naming the key and the value the host must declare;
  // nothing when the requirement is met. For messages only: `met` decides.
  virtual std::optional<std::string> unmetReason(const Plist& plist) const;
};

// Every scheme is listed under "LSApplicationQueriesSchemes".
struct RequiredApplicationQuerySchemes : ShareOutletRequirementProtocol {
  explicit RequiredApplicationQuerySchemes(std::vector<std::string> requiredSchemes);
  bool met(const Plist& plist) const override;
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  std::vector<std::string> requiredSchemes;
};

// Every scheme is in the first "CFBundleURLTypes" entry that has
// "CFBundleURLSchemes"; later entries are not looked at.
struct RequiredCFBundleURLSchemes : ShareOutletRequirementProtocol {
  explicit RequiredCFBundleURLSchemes(std::vector<std::string> requiredSchemes);
  bool met(const Plist& plist) const override;
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  std::vector<std::string> requiredSchemes;
};

// The key holds exactly this text.
struct RequiredPlistValue : ShareOutletRequirementProtocol {
  RequiredPlistValue(std::string requiredKey, std::string requiredValue);
  bool met(const Plist& plist) const override;
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  std::string requiredKey;
  std::string requiredValue;
};

// The key is present, whatever it holds. `defaultValue` is kept for readers;
// the check does not use it.
class RequiredPlistNonNil : public ShareOutletRequirementProtocol {
 public:
  RequiredPlistNonNil(std::string requiredKey, std::optional<std::string> defaultValue);
  bool met(const Plist& plist) const override;
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  const std::string& requiredKey() const { return requiredKey_; }
  const std::optional<std::string>& defaultValue() const { return defaultValue_; }

 private:
  std::string requiredKey_;
  std::optional<std::string> defaultValue_;
};

// Names a configuration value the kit cannot consult yet, so it is never met.
class RequiredConfigurationValue : public ShareOutletRequirementProtocol {
 public:
  explicit RequiredConfigurationValue(std::string requiredConfigurationValue);
  bool met(const Plist& plist) const override;
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  const std::string& requiredConfigurationValue() const { return requiredConfigurationValue_; }

 private:
  std::string requiredConfigurationValue_;
};

// All members, in order; the first unmet one ends the check.
class Requirements : public ShareOutletRequirementProtocol {
 public:
  explicit Requirements(
      std::vector<std::shared_ptr<const ShareOutletRequirementProtocol>> requirements);
  bool met(const Plist& plist) const override;
  // The reason of the first unmet member.
  std::optional<std::string> unmetReason(const Plist& plist) const override;
  const std::vector<std::shared_ptr<const ShareOutletRequirementProtocol>>& requirements() const {
    return requirements_;
  }

 private:
  std::vector<std::shared_ptr<const ShareOutletRequirementProtocol>> requirements_;
};

class PhotoRequirement : public RequiredPlistNonNil {
 public:
  PhotoRequirement();
};

class InstagramFeedRequirements : public Requirements {
 public:
  InstagramFeedRequirements();
};

class InstgramStoriesRequirements : public Requirements {
 public:
  InstgramStoriesRequirements();
};

class TwitterRequirements : public Requirements {
 public:
  TwitterRequirements();
};

class NoRequirements : public Requirements {
 public:
  NoRequirements();
};

}  // namespace velmoradine
