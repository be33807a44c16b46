// `velmoradine share VIDEO --title TEXT [--keep-link | --outlet NAME
// [--answer yes|no]]`: shares a local video the way a host application does,
// showing each step of the pipeline as it happens, prints the public link
// once the share is live, and with an outlet performs it headless.

#include "commands.hpp"
#include "share_run.hpp"
#include "velmoradine/facade/velmoradine.hpp"
#include "velmoradine/platform/services/ui_application.hpp"

namespace velmoradine::cli {

int shareCommand(const Arguments& arguments) {
  std::optional<ShareOptions> options = parseShareOptions(arguments);
  if (!options) return usageError("share");
  // Outlets read what a started kit holds (the application settings), and
  // hear the launch, as in a host application.
  const auto startKit = [] {
    Velmoradine& kit = Velmoradine::shared();
    kit.application(UIApplication::shared(), std::nullopt);
  };
  return runShare(*options, VideoContentProviders::defaults(), standardConsole(), startKit);
}

}  // namespace velmoradine::cli
