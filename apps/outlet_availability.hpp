#pragma once

// Which outlets of the registry a host would offer on the share sheet, and
// why the others are not offered, judged against the host's Info.plist as
// the sheet judges it.
//
// Threading: main thread, like the registry.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "velmoradine/outlets/share_outlets.hpp"

namespace velmoradine::cli {

struct OutletAvailability {
  std::shared_ptr<const ShareOutletType> type;
  // Nothing when the outlet is offered.
  std::optional<std::string> notOfferedBecause;
};

// The registry's outlets, in order, for video content. Judging them writes
// the kit's log lines for outlets whose requirements are unmet.
std::vector<OutletAvailability> outletAvailability(const ShareOutletTypeList& outlets,
                                                   const Plist& infoPlist);
// One line per outlet: "<canonical name> (<label>): offered", or
// "...: not offered: <reason>".
std::string describeOutletAvailability(const std::vector<OutletAvailability>& outlets);
// The outlet whose canonical name or type name is `name` (letter case
// ignored), or nothing.
std::shared_ptr<const ShareOutletType> findOutlet(const ShareOutletTypeList& outlets,
                                                  std::string_view name);

}  // namespace velmoradine::cli
