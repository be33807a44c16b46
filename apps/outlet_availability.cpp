#include "outlet_availability.hpp"

#include <algorithm>
#include <cctype>

namespace velmoradine::cli {
namespace {

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// The requirements are checked first so that an unmet one is named, and so
// that the outlet's own check does not log the generic line as well.
std::optional<std::string> whyNotOffered(const ShareOutletType& type, const Plist& infoPlist) {
  if (const auto requirements = type.requirements()) {
    if (auto reason = requirements->unmetReason(infoPlist)) return reason;
  }
  if (!type.canPerform(ContentType::video)) return "it cannot share a video";
  return std::nullopt;
}

}  // namespace

std::vector<OutletAvailability> outletAvailability(const ShareOutletTypeList& outlets,
                                                   const Plist& infoPlist) {
  std::vector<OutletAvailability> availability;
  for (const auto& type : outlets) {
    availability.push_back({type, whyNotOffered(*type, infoPlist)});
  }
  return availability;
}

std::string describeOutletAvailability(const std::vector<OutletAvailability>& outlets) {
  std::string text;
  for (const auto& outlet : outlets) {
    text += outlet.type->canonicalOutletName() + " (" + outlet.type->outletName() + "): ";
    text += outlet.notOfferedBecause ? "not offered: " + *outlet.notOfferedBecause : "offered";
    text += "\n";
  }
  return text;
}

std::shared_ptr<const ShareOutletType> findOutlet(const ShareOutletTypeList& outlets,
                                                  std::string_view name) {
  const auto found = std::ranges::find_if(outlets, [&](const auto& type) {
    return equalIgnoringCase(type->canonicalOutletName(), name) ||
           equalIgnoringCase(type->typeName(), name);
  });
  return found == outlets.end() ? nullptr : *found;
}

}  // namespace velmoradine::cli
