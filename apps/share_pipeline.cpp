#include "share_pipeline.hpp"

#include <cctype>
#include <cstdio>

#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine::cli {
namespace {

std::string failureText(const Error& error) {
  std::string text = error.localizedDescription();
  if (!error.detail().empty()) text += " (" + escapeControlCharacters(error.detail()) + ")";
  return text;
}

}  // namespace

PipelineObserver::PipelineObserver(ShareManagerProviders inner, Narrator say)
    : inner_(std::move(inner)), say_(std::move(say)) {}

template <typename T, typename Completion>
auto PipelineObserver::tracked(Step step, std::function<void(const Result<T>&)> tell,
                               Completion completion) {
  {
    std::lock_guard lock(mutex_);
    ++inFlight_;
  }
  return [self = shared_from_this(), step, tell = std::move(tell),
          completion = std::move(completion)](Result<T> result) mutable {
    tell(result);
    std::optional<Error> failed;
    if (!result) failed = result.error();
    completion(std::move(result));
    self->record(step, failed);
  };
}

void PipelineObserver::record(Step step, const std::optional<Error>& failure) {
  {
    std::lock_guard lock(mutex_);
    --inFlight_;
    if (step == Step::deletion) {
      deletion_ = failure;
    } else if (failure) {
      if (!error_) error_ = failure;
    } else if (step == Step::share) {
      shareCreated_ = true;
    } else if (step == Step::activation) {
      ++activations_;
    }
  }
  RunLoop::main().perform([] {});
}

void PipelineObserver::renderThumbnailAndVideo(
    const std::filesystem::path& videoURL,
    std::function<void(Result<ThumbnailAndVideo>)> completion) {
  std::function<void(const Result<ThumbnailAndVideo>&)> tell =
      [say = say_](const Result<ThumbnailAndVideo>& result) {
        if (result) {
          say("preview rendered: " + std::to_string(result->thumbnail.size()) +
              " bytes of JPEG; video: " + std::to_string(result->video.size()) + " bytes");
        } else {
          say("rendering failed: " + failureText(result.error()));
        }
      };
  inner_.render->renderThumbnailAndVideo(
      videoURL, tracked<ThumbnailAndVideo>(Step::render, std::move(tell), std::move(completion)));
}

void PipelineObserver::shareRequest(const ShareRequest& share,
                                    NetworkCompletion<ShareResponse> completion) {
  std::function<void(const Result<ShareResponse>&)> tell =
      [say = say_](const Result<ShareResponse>& result) {
        say(result ? "share created: " + escapeControlCharacters(result->shareable.link)
                   : "share creation failed: " + failureText(result.error()));
      };
  inner_.shareNetwork->shareRequest(
      share, tracked<ShareResponse>(Step::share, std::move(tell), std::move(completion)));
}

void PipelineObserver::activateShare(const ActivateRequest& activate,
                                     NetworkCompletion<EmptyResponse> completion) {
  std::string what = activate.video_content ? "video" : "preview image";
  std::function<void(const Result<EmptyResponse>&)> tell =
      [say = say_, what](const Result<EmptyResponse>& result) {
        say(result ? what + " activated"
                   : what + " activation failed: " + failureText(result.error()));
      };
  inner_.shareNetwork->activateShare(
      activate, tracked<EmptyResponse>(Step::activation, std::move(tell), std::move(completion)));
}

void PipelineObserver::deleteShare(const DeleteShareRequest& deleteRequest,
                                   NetworkCompletion<EmptyResponse> completion) {
  std::function<void(const Result<EmptyResponse>&)> tell =
      [say = say_](const Result<EmptyResponse>& result) {
        say(result ? "share deleted" : "share deletion failed: " + failureText(result.error()));
      };
  inner_.shareNetwork->deleteShare(
      deleteRequest,
      tracked<EmptyResponse>(Step::deletion, std::move(tell), std::move(completion)));
}

void PipelineObserver::upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
                              NetworkCompletion<void> completion) {
  std::string what = std::to_string(data ? data->size() : 0) + " bytes";
  if (plan.configurable) {
    const auto& headers = plan.configurable->direct_upload.headers;
    if (auto type = headers.find("Content-Type"); type != headers.end()) {
      what += " of " + escapeControlCharacters(type->second);
    }
  }
  std::function<void(const Result<void>&)> tell = [say = say_, what](const Result<void>& result) {
    say(result ? "uploaded " + what
               : "upload of " + what + " failed: " + failureText(result.error()));
  };
  inner_.uploadNetwork->upload(plan, std::move(data),
                               tracked<void>(Step::upload, std::move(tell), std::move(completion)));
}

void PipelineObserver::uploadWithConfigurable(const Configurable& configurable,
                                              std::shared_ptr<const Data> data,
                                              NetworkCompletion<void> completion) {
  std::function<void(const Result<void>&)> tell = [](const Result<void>&) {};
  inner_.uploadNetwork->uploadWithConfigurable(
      configurable, std::move(data),
      tracked<void>(Step::upload, std::move(tell), std::move(completion)));
}

bool PipelineObserver::settled() const {
  std::lock_guard lock(mutex_);
  return inFlight_ == 0 && (error_ || activations_ == 2);
}

std::optional<Error> PipelineObserver::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

bool PipelineObserver::shareCreated() const {
  std::lock_guard lock(mutex_);
  return shareCreated_;
}

std::optional<std::optional<Error>> PipelineObserver::deletion() const {
  std::lock_guard lock(mutex_);
  return deletion_;
}

std::string escapeControlCharacters(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      char code[5];
      std::snprintf(code, sizeof code, "\\x%02X", byte);
      escaped += code;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::optional<std::string> printableLink(std::string_view link) {
  // The scheme, in any case, then the first character of a host.
  auto startsWith = [&](std::string_view scheme) {
    if (link.size() <= scheme.size()) return false;
    for (std::size_t i = 0; i < scheme.size(); ++i) {
      if (std::tolower(static_cast<unsigned char>(link[i])) != scheme[i]) return false;
    }
    const char first = link[scheme.size()];
    return std::isalnum(static_cast<unsigned char>(first)) != 0 || first == '[';
  };
  if (!startsWith("http://") && !startsWith("https://")) return std::nullopt;
  return escapeControlCharacters(link);
}

}  // namespace velmoradine::cli
