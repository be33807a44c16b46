// `velmoradine outlets`: the registry's outlets in the share sheet's order,
// and for each whether the main bundle in use gets it offered, or which
// requirement keeps it off the sheet.

#include <cstdio>

#include "commands.hpp"
#include "outlet_availability.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::cli {

int outletsCommand(const Arguments& arguments) {
  if (!arguments.empty()) return usageError("outlets");
  Bundle main = Bundle::main();
  const Plist* plist = main.infoDictionary().dictionary();
  // Judged before anything is printed, so that the kit's log lines come
  // ahead of the report instead of between its lines.
  const std::string report = describeOutletAvailability(
      outletAvailability(ShareOutlets::availableOutlets(), plist ? *plist : Plist{}));
  std::printf("main bundle: %s\n%s", main.bundlePath().c_str(), report.c_str());
  return 0;
}

}  // namespace velmoradine::cli
