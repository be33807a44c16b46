#include "velmoradine/share/video_content_future.hpp"

namespace velmoradine {

std::shared_ptr<VideoContentFuture> VideoContentFuture::make(
    const std::shared_ptr<VideoContentFutureProvider>& futureProvider, std::string title,
    VideoContentProviders providers, Completion completion) {
  std::shared_ptr<VideoContentFuture> future(new VideoContentFuture());
  if (completion) future->completions_.push_back(std::move(completion));
  futureProvider->renderingComplete(
      [future, title = std::move(title),
       providers = std::move(providers)](Result<SuccessfulRenderingResult> result) mutable {
        future->videoContentComplete(std::move(result), title, std::move(providers));
      });
  return future;
}

void VideoContentFuture::videoContentComplete(Result<SuccessfulRenderingResult> result,
                                              const std::string& title,
                                              VideoContentProviders providers) {
  {
    // The future resolves once: a second delivery must not start a second
    // upload of the same content.
    std::lock_guard lock(mutex_);
    if (resolving_) return;
    resolving_ = true;
  }
  VideoContentResult outcome =
      result ? VideoContent::create(URL::fileURL(result->displayURL), title, std::move(providers))
             : VideoContentResult(std::unexpected(std::move(result.error())));
  std::vector<Completion> completions;
  {
    std::lock_guard lock(mutex_);
    videoContentResult_ = outcome;
    completions.swap(completions_);
  }
  for (Completion& completion : completions) completion(outcome);
}

void VideoContentFuture::addCompletion(Completion completion) {
  std::unique_lock lock(mutex_);
  if (!videoContentResult_) {
    completions_.push_back(std::move(completion));
    return;
  }
  VideoContentResult outcome = *videoContentResult_;
  lock.unlock();
  completion(std::move(outcome));
}

std::optional<VideoContentFuture::VideoContentResult> VideoContentFuture::videoContentResult()
    const {
  std::lock_guard lock(mutex_);
  return videoContentResult_;
}

}  // namespace velmoradine
