// `velmoradine share VIDEO --title TEXT [--keep-link]`: shares a local video
// the way a host application does, showing each step of the pipeline as it
// happens, and prints the public link once the share is live.
//
// Progress is observed by handing the content providers that wrap the kit's
// own network client and renderer: every call passes through unchanged.

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "commands.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/share/video_content.hpp"

namespace velmoradine::cli {
namespace {

constexpr auto kPipelineTimeout = std::chrono::minutes(10);

void say(const std::string& line) {
  std::printf("* %s\n", line.c_str());
  std::fflush(stdout);
}

// Watches the pipeline through the providers it is given and remembers the
// outcome. Completions arrive on several threads; the main loop is woken on
// every change.
class PipelineObserver final : public NetworkShareProtocol,
                               public NetworkUploadProtocol,
                               public RenderProtocol {
 public:
  explicit PipelineObserver(ShareManagerProviders inner) : inner_(std::move(inner)) {}

  void renderThumbnailAndVideo(const std::filesystem::path& videoURL,
                               std::function<void(Result<ThumbnailAndVideo>)> completion) override {
    inner_.render->renderThumbnailAndVideo(
        videoURL, [this, completion = std::move(completion)](Result<ThumbnailAndVideo> result) {
          if (result) {
            say("preview rendered: " + std::to_string(result->thumbnail.size()) +
                " bytes of JPEG; video: " + std::to_string(result->video.size()) + " bytes");
          } else {
            fail(result.error());
          }
          completion(std::move(result));
        });
  }

  void shareRequest(const ShareRequest& share,
                    NetworkCompletion<ShareResponse> completion) override {
    inner_.shareNetwork->shareRequest(
        share, [this, completion = std::move(completion)](Result<ShareResponse> result) mutable {
          if (result) {
            say("share created: " + result->shareable.link);
          } else {
            fail(result.error());
          }
          completion(std::move(result));
        });
  }

  void activateShare(const ActivateRequest& activate,
                     NetworkCompletion<EmptyResponse> completion) override {
    std::string what = activate.video_content ? "video" : "preview image";
    inner_.shareNetwork->activateShare(activate, [this, what, completion = std::move(completion)](
                                                     Result<EmptyResponse> result) mutable {
      if (result) {
        say(what + " activated");
        activated();
      } else {
        fail(result.error());
      }
      completion(std::move(result));
    });
  }

  void deleteShare(const DeleteShareRequest& deleteRequest,
                   NetworkCompletion<EmptyResponse> completion) override {
    inner_.shareNetwork->deleteShare(deleteRequest, [this, completion = std::move(completion)](
                                                        Result<EmptyResponse> result) mutable {
      say(result ? "share deleted"
                 : "share deletion failed: " + result.error().localizedDescription());
      {
        std::lock_guard lock(mutex_);
        deleted_ = true;
      }
      wake();
      completion(std::move(result));
    });
  }

  void upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
              NetworkCompletion<void> completion) override {
    std::string what = std::to_string(data->size()) + " bytes";
    if (plan.configurable) {
      const auto& headers = plan.configurable->direct_upload.headers;
      if (auto type = headers.find("Content-Type"); type != headers.end()) {
        what += " of " + type->second;
      }
    }
    inner_.uploadNetwork->upload(
        plan, std::move(data),
        [this, what, completion = std::move(completion)](Result<void> result) mutable {
          if (result) {
            say("uploaded " + what);
          } else {
            fail(result.error());
          }
          completion(std::move(result));
        });
  }

  void uploadWithConfigurable(const Configurable& configurable, std::shared_ptr<const Data> data,
                              NetworkCompletion<void> completion) override {
    inner_.uploadNetwork->uploadWithConfigurable(configurable, std::move(data),
                                                 std::move(completion));
  }

  bool finished() const {
    std::lock_guard lock(mutex_);
    return error_ || activations_ == 2;
  }
  bool deleted() const {
    std::lock_guard lock(mutex_);
    return deleted_;
  }
  std::optional<Error> error() const {
    std::lock_guard lock(mutex_);
    return error_;
  }

 private:
  static void wake() {
    DispatchQueue::main()->async([] {});
  }

  void fail(const Error& error) {
    {
      std::lock_guard lock(mutex_);
      if (!error_) error_ = error;
    }
    wake();
  }

  void activated() {
    {
      std::lock_guard lock(mutex_);
      ++activations_;
    }
    wake();
  }

  const ShareManagerProviders inner_;
  mutable std::mutex mutex_;
  std::optional<Error> error_;
  int activations_ = 0;
  bool deleted_ = false;
};

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

}  // namespace

int shareCommand(const Arguments& arguments) {
  std::optional<ShareOptions> options = parse(arguments);
  if (!options) return usageError("share");
  VideoContentProviders providers = VideoContentProviders::defaults();
  auto observer = std::make_shared<PipelineObserver>(providers.videoManagerProviders);
  providers.videoManagerProviders = ShareManagerProviders{observer, observer, observer};

  auto content =
      VideoContent::create(URL::fileURL(options->video), options->title, std::move(providers));
  if (!content) {
    std::fprintf(stderr, "error: %s\n", content.error().localizedDescription().c_str());
    return 1;
  }
  say("sharing " + options->video);
  if (!RunLoop::main().runUntil([&] { return observer->finished(); }, kPipelineTimeout)) {
    std::fprintf(stderr, "error: the share did not complete in time\n");
    return 1;
  }
  if (auto error = observer->error()) {
    std::fprintf(stderr, "error: %s\n", error->localizedDescription().c_str());
    return 1;
  }
  // The share is live once both files are activated; the content hands out
  // its link from then on.
  RunLoop::main().runUntil([&] { return (*content)->linkPreviewAvailable(); });
  auto link = (*content)->linkPreviewStrategy();
  if (!link) {
    std::fprintf(stderr, "error: the share went live without a link\n");
    return 1;
  }
  std::printf("Public link: %s\n", link->link().c_str());
  std::fflush(stdout);

  if (options->keepLink) {
    (*content)->cleanupContent({ShareStretegyType::linkPreview});
    say("link kept");
    return 0;
  }
  (*content)->cleanupContent({});
  if (!RunLoop::main().runUntil([&] { return observer->deleted(); }, std::chrono::minutes(2))) {
    std::fprintf(stderr, "error: the share was not deleted in time\n");
    return 1;
  }
  return 0;
}

}  // namespace velmoradine::cli
