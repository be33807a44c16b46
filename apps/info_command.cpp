#include <cstdio>

#include "commands.hpp"
#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/facade/velmoradine.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::cli {

namespace {

// Prints the address, or why the host's value for it is refused; true when
// the address is usable.
bool printServiceAddress(const char* label, const Result<std::string>& address) {
  if (address) {
    std::printf("%s: %s\n", label, address->c_str());
    return true;
  }
  std::printf("%s: invalid (%s)\n", label, address.error().detail().c_str());
  return false;
}

}  // namespace

// Prints the kit's version and what it found of the host's configuration;
// fails when the configuration keeps the kit from sending anything.
int infoCommand(const Arguments&) {
  Bundle main = Bundle::main();
  std::printf("version: %s\n", VelmoradineVersion);
  std::printf("main bundle: %s\n", main.bundlePath().c_str());
  std::printf("api key: %s\n", velmoradineClientId(main) ? "present" : "absent");
  const bool apiUsable = printServiceAddress("api base url", velmoradineAPIBaseURL(main));
  const bool eventsUsable = printServiceAddress("events url", velmoradineEventsURL(main));
  std::fflush(stdout);
  Bundle assets = Bundle::module();
  std::printf("asset bundle: %s\n", assets.bundlePath().c_str());
  return apiUsable && eventsUsable ? 0 : 1;
}

}  // namespace velmoradine::cli
