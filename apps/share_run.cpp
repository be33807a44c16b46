// Progress is observed by handing the content providers that wrap the given
// network client and renderer: every call passes through unchanged.
//
// Whatever happens, the command leaves no share behind unless its link is
// meant to stay: after a failure past the share's creation it deletes the
// share, as a host does, and when that deletion fails it says the link may
// still be live and exits non-zero. The link stays when asked (--keep-link)
// or when the outlet reports that it handed the link out.

#include "share_run.hpp"

#include <algorithm>
#include <cstdio>
#include <expected>

#include "outlet_availability.hpp"
#include "share_pipeline.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The whole command: rendering, uploads of up to a gigabyte, activation, and
// the outlet.
constexpr auto kCommandDeadline = std::chrono::minutes(10);
// The deletion is given this long even once the command's deadline has
// passed: a share must not be left behind for want of a minute. It is the
// API's own deadline for one request, with a margin.
constexpr auto kDeletionGrace = std::chrono::seconds(65);

std::optional<Answer> parseAnswer(const std::string& text) {
  if (text == "yes") return Answer::yes;
  if (text == "no") return Answer::no;
  return std::nullopt;
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

bool keepsLink(const std::vector<ShareStretegyType>& strategies) {
  return std::ranges::find(strategies, ShareStretegyType::linkPreview) != strategies.end();
}

class ShareRun {
 public:
  ShareRun(const ShareOptions& options, const CommandConsole& console)
      : options_(options), console_(console), deadline_(Clock::now() + kCommandDeadline) {}

  int run(VideoContentProviders providers, const std::function<void()>& startKit);

 private:
  void say(const std::string& line) const { console_.print("* " + line); }
  std::optional<std::shared_ptr<const ShareOutletType>> chosenOutlet() const;
  std::expected<std::string, std::string> publicLink() const;
  int performOutlet(const ShareOutletType& type);
  // Cleans up as a host does after an outlet reported `strategies`, and
  // waits for a deletion. True when nothing is left that should not be.
  bool cleanUp(const std::vector<ShareStretegyType>& strategies);

  const ShareOptions& options_;
  const CommandConsole& console_;
  const Clock::time_point deadline_;
  std::shared_ptr<PipelineObserver> observer_;
  std::shared_ptr<VideoContent> content_;
};

// The outlet named on the command line, checked before anything is sent:
// nothing (after a complaint) when there is none by that name or the host
// would not offer it; a null type when no outlet was named.
std::optional<std::shared_ptr<const ShareOutletType>> ShareRun::chosenOutlet() const {
  if (!options_.outlet) return nullptr;
  const ShareOutletTypeList& registry = ShareOutlets::availableOutlets();
  auto type = findOutlet(registry, *options_.outlet);
  if (!type) {
    console_.complain("there is no outlet named \"" + *options_.outlet +
                      "\" (\"velmoradine outlets\" lists them)");
    return std::nullopt;
  }
  const Plist* plist = Bundle::main().infoDictionary().dictionary();
  const auto availability = outletAvailability({type}, plist ? *plist : Plist{});
  if (const auto& reason = availability.front().notOfferedBecause) {
    console_.complain(type->canonicalOutletName() + " is not offered: " + *reason);
    return std::nullopt;
  }
  return type;
}

// The link to print once the pipeline has settled, or why there is none.
std::expected<std::string, std::string> ShareRun::publicLink() const {
  if (auto error = observer_->error()) return std::unexpected(errorText(*error));
  auto strategy = content_->linkPreviewStrategy();
  if (!strategy) return std::unexpected("the share went live without a link");
  std::optional<std::string> link = printableLink(strategy->link());
  if (!link) {
    return std::unexpected("the backend returned a link that is not http(s): " +
                           escapeControlCharacters(strategy->link()));
  }
  return *link;
}

bool ShareRun::cleanUp(const std::vector<ShareStretegyType>& strategies) {
  const bool created = observer_->shareCreated();
  content_->cleanupContent(strategies);
  if (keepsLink(strategies)) {
    say("link kept");
    return true;
  }
  if (!created) return true;
  const auto allowed = std::max(remaining(deadline_), Clock::duration(kDeletionGrace));
  RunLoop::main().runUntil([&] { return observer_->deletion().has_value(); }, allowed);
  std::optional<std::optional<Error>> deletion = observer_->deletion();
  if (deletion && !*deletion) return true;
  console_.complain("the share could not be deleted: its link may still be live");
  return false;
}

int ShareRun::performOutlet(const ShareOutletType& type) {
  const std::string name = type.canonicalOutletName();
  say("sharing to " + name);
  const OutletOutcome outcome = performHeadless(type, content_, options_.answer, deadline_);
  switch (outcome.kind) {
    case OutletOutcome::Kind::succeeded:
      console_.print("Shared to " + name +
                     " (strategies: " + describeStrategies(outcome.strategiesUsed) + ")");
      return cleanUp(outcome.strategiesUsed) ? 0 : 1;
    case OutletOutcome::Kind::failed:
      console_.print(outcome.detail);
      break;
    case OutletOutcome::Kind::cancelled:
      console_.print("Cancelled");
      break;
    case OutletOutcome::Kind::unanswered:
      console_.complain(name + " shows " + outcome.detail +
                        (options_.answer ? ", which has no button for the answer given"
                                         : "; answer it with --answer yes or --answer no"));
      break;
    case OutletOutcome::Kind::timedOut:
      console_.complain(name + " did not finish in time");
      break;
  }
  cleanUp({});
  return 1;
}

int ShareRun::run(VideoContentProviders providers, const std::function<void()>& startKit) {
  if (auto problem = videoProblem(options_.video)) {
    console_.complain(options_.video + " is not a video that can be shared: " + *problem);
    return 1;
  }
  const auto outlet = chosenOutlet();
  if (!outlet) return 1;
  if (*outlet && startKit) startKit();
  // The observer may outlive this run (the share manager holds it until its
  // last completion), so it narrates through a copy of the console.
  observer_ = std::make_shared<PipelineObserver>(
      providers.videoManagerProviders,
      [print = console_.print](const std::string& step) { print("* " + step); });
  providers.videoManagerProviders = ShareManagerProviders{observer_, observer_, observer_};
  auto content =
      VideoContent::create(URL::fileURL(options_.video), options_.title, std::move(providers));
  if (!content) {
    console_.complain(errorText(content.error()));
    return 1;
  }
  content_ = *content;
  say("sharing " + options_.video);
  if (!RunLoop::main().runUntil([&] { return observer_->settled(); }, remaining(deadline_))) {
    console_.complain("the share did not complete in time");
    cleanUp({});
    return 1;
  }
  std::expected<std::string, std::string> link = publicLink();
  if (!link) {
    console_.complain(link.error());
    cleanUp({});
    return 1;
  }
  console_.print("Public link: " + *link);
  if (*outlet) return performOutlet(**outlet);
  if (options_.keepLink) return cleanUp({ShareStretegyType::linkPreview}) ? 0 : 1;
  return cleanUp({}) ? 0 : 1;
}

}  // namespace

std::optional<ShareOptions> parseShareOptions(const Arguments& arguments) {
  ShareOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const bool hasValue = i + 1 < arguments.size();
    if (arguments[i] == "--title" && hasValue) {
      options.title = arguments[++i];
    } else if (arguments[i] == "--outlet" && hasValue) {
      options.outlet = arguments[++i];
    } else if (arguments[i] == "--answer" && hasValue) {
      options.answer = parseAnswer(arguments[++i]);
      if (!options.answer) return std::nullopt;
    } else if (arguments[i] == "--keep-link") {
      options.keepLink = true;
    } else if (options.video.empty() && !arguments[i].starts_with("--")) {
      options.video = arguments[i];
    } else {
      return std::nullopt;
    }
  }
  // With an outlet, what it reports decides whether the link stays.
  if (options.video.empty() || (options.outlet && options.keepLink) ||
      (options.answer && !options.outlet)) {
    return std::nullopt;
  }
  return options;
}

CommandConsole standardConsole() {
  return {[](const std::string& line) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
          },
          [](const std::string& line) { std::fprintf(stderr, "error: %s\n", line.c_str()); }};
}

int runShare(const ShareOptions& options, VideoContentProviders providers,
             const CommandConsole& console, const std::function<void()>& startKit) {
  return ShareRun(options, console).run(std::move(providers), startKit);
}

}  // namespace velmoradine::cli
