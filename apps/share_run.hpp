#pragma once

// `velmoradine share`: a local video shared the way a host application
// shares it, from the first request to the cleanup, and optionally performed
// with one outlet once its link is live. Lives apart from the command-line
// host so that tests run it in their own process, with outlets of their own
// in the registry and providers of their choosing.
//
// Threading: main thread; drives the main run loop until the share has
// settled.

#include <functional>
#include <optional>
#include <string>

#include "commands.hpp"
#include "headless_outlet.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine::cli {

struct ShareOptions {
  std::string video;
  std::string title;
  bool keepLink = false;
  // The outlet to perform, by its canonical or type name.
  std::optional<std::string> outlet;
  std::optional<Answer> answer;
};

// Nothing when the arguments are not a valid share command line.
std::optional<ShareOptions> parseShareOptions(const Arguments& arguments);

// Where the command's lines go: the product on standard output, problems on
// standard error.
struct CommandConsole {
  std::function<void(const std::string& line)> print;
  std::function<void(const std::string& line)> complain;
};
CommandConsole standardConsole();

// The exit status: 0 only when the share (and the outlet, when one was
// named) succeeded and nothing is left behind that should not be. With an
// outlet, `startKit` (when given) runs once the video and the outlet have
// been accepted, before anything of the share is sent.
int runShare(const ShareOptions& options, VideoContentProviders providers,
             const CommandConsole& console, const std::function<void()>& startKit = {});

}  // namespace velmoradine::cli
