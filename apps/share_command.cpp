// `velmoradine share VIDEO --title TEXT [--keep-link]`: shares a local video
// the way a host application does, showing each step of the pipeline as it
// happens, and prints the public link once the share is live.
//
// Progress is observed by handing the content providers that wrap the kit's
// own network client and renderer: every call passes through unchanged.
//
// Whatever happens, the command leaves no share behind unless asked to keep
// the link: after a failure past the share's creation it deletes the share,
// as a host does, and when that deletion fails it says the link may still be
// live and exits non-zero.

#include <cstdio>
#include <expected>
#include <optional>
#include <string>

#include "commands.hpp"
#include "share_pipeline.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The whole command: rendering, uploads of up to a gigabyte, activation.
constexpr auto kCommandDeadline = std::chrono::minutes(10);
// The deletion is given this long even once the command's deadline has
// passed: a share must not be left behind for want of a minute. It is the
// API's own deadline for one request, with a margin.
constexpr auto kDeletionGrace = std::chrono::seconds(65);

void say(const std::string& line) {
  std::printf("* %s\n", line.c_str());
  std::fflush(stdout);
}

void complain(const std::string& line) {
  std::fprintf(stderr, "error: %s\n", line.c_str());
}

struct ShareOptions {
  std::string video;
  std::string title;
  bool keepLink = false;
};

std::optional<ShareOptions> parse(const Arguments& arguments) {
  ShareOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--title" && i + 1 < arguments.size()) {
      options.title = arguments[++i];
    } else if (arguments[i] == "--keep-link") {
      options.keepLink = true;
    } else if (options.video.empty() && !arguments[i].starts_with("--")) {
      options.video = arguments[i];
    } else {
      return std::nullopt;
    }
  }
  if (options.video.empty()) return std::nullopt;
  return options;
}

// Why `path` is not a video that can be shared, judged from the file's index
// without reading its media data: a regular file that opens as media with a
// video track and a duration. Nothing when it is one.
std::optional<std::string> videoProblem(const std::filesystem::path& path) {
  std::error_code code;
  const auto status = std::filesystem::status(path, code);
  if (code) return code.message();
  if (!std::filesystem::is_regular_file(status)) return "it is not a regular file";
  auto asset = URLAsset::make(path);
  if (auto error = asset->loadError()) return errorText(*error);
  if (asset->tracksWithMediaType(MediaType::video).empty()) return "it has no video track";
  if (asset->duration() <= MediaTime::zero()) return "it has no duration";
  return std::nullopt;
}

Clock::duration remaining(Clock::time_point deadline) {
  return std::max(deadline - Clock::now(), Clock::duration::zero());
}

// Deletes the share, as a host does when its link is not to be kept, and
// waits for the answer. True when no share is left behind.
bool withdraw(VideoContent& content, const PipelineObserver& observer, Clock::time_point deadline) {
  const bool created = observer.shareCreated();
  content.cleanupContent({});
  if (!created) return true;
  const auto allowed = std::max(remaining(deadline), Clock::duration(kDeletionGrace));
  RunLoop::main().runUntil([&] { return observer.deletion().has_value(); }, allowed);
  std::optional<std::optional<Error>> deletion = observer.deletion();
  if (deletion && !*deletion) return true;
  complain("the share could not be deleted: its link may still be live");
  return false;
}

// The link to print once the pipeline has settled, or why there is none.
std::expected<std::string, std::string> publicLink(const VideoContent& content,
                                                   const PipelineObserver& observer) {
  if (auto error = observer.error()) return std::unexpected(errorText(*error));
  auto strategy = content.linkPreviewStrategy();
  if (!strategy) return std::unexpected("the share went live without a link");
  std::optional<std::string> link = printableLink(strategy->link());
  if (!link) {
    return std::unexpected("the backend returned a link that is not http(s): " +
                           escapeControlCharacters(strategy->link()));
  }
  return *link;
}

int share(const ShareOptions& options) {
  const auto deadline = Clock::now() + kCommandDeadline;
  if (auto problem = videoProblem(options.video)) {
    complain(options.video + " is not a video that can be shared: " + *problem);
    return 1;
  }
  VideoContentProviders providers = VideoContentProviders::defaults();
  auto observer = std::make_shared<PipelineObserver>(providers.videoManagerProviders, say);
  providers.videoManagerProviders = ShareManagerProviders{observer, observer, observer};
  auto content =
      VideoContent::create(URL::fileURL(options.video), options.title, std::move(providers));
  if (!content) {
    complain(errorText(content.error()));
    return 1;
  }
  say("sharing " + options.video);
  if (!RunLoop::main().runUntil([&] { return observer->settled(); }, remaining(deadline))) {
    complain("the share did not complete in time");
    withdraw(**content, *observer, deadline);
    return 1;
  }
  std::expected<std::string, std::string> link = publicLink(**content, *observer);
  if (!link) {
    complain(link.error());
    withdraw(**content, *observer, deadline);
    return 1;
  }
  std::printf("Public link: %s\n", link->c_str());
  std::fflush(stdout);
  if (options.keepLink) {
    (*content)->cleanupContent({ShareStretegyType::linkPreview});
    say("link kept");
    return 0;
  }
  return withdraw(**content, *observer, deadline) ? 0 : 1;
}

}  // namespace

int shareCommand(const Arguments& arguments) {
  std::optional<ShareOptions> options = parse(arguments);
  if (!options) return usageError("share");
  return share(*options);
}

}  // namespace velmoradine::cli
