#include <cstdio>

#include "commands.hpp"
#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/core/deployment.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine::cli {

std::string errorText(const Error& error) {
  std::string text = error.localizedDescription();
  if (!error.detail().empty()) text += " (" + error.detail() + ")";
  return text;
}

// Prints the kit's version and what it found of the host's configuration.
int infoCommand(const Arguments&) {
  Bundle main = Bundle::main();
  std::printf("version: %s\n", deployment::kVersion);
  std::printf("main bundle: %s\n", main.bundlePath().c_str());
  std::printf("api key: %s\n", velmoradineClientId(main) ? "present" : "absent");
  std::printf("api base url: %s\n", velmoradineAPIBaseURL(main).c_str());
  std::printf("events url: %s\n", velmoradineEventsURL(main).c_str());
  std::fflush(stdout);
  Bundle assets = Bundle::module();
  std::printf("asset bundle: %s\n", assets.bundlePath().c_str());
  return 0;
}

}  // namespace velmoradine::cli
