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

// The outlet's own check decides, as on the share sheet (some outlets do
// not consult their requirements at all); the requirements only explain a
// refusal.
std::optional<std::string> whyNotOffered(const ShareOutletType& type, const Plist& infoPlist) {
  if (type.canPerform(ContentType::video)) return std::nullopt;
  if (const auto requirements = type.requirements()) {
    if (auto reason = requirements->unmetReason(infoPlist)) return reason;
  }
  return "the outlet declines video content here (the app it hands over to may be missing)";
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
