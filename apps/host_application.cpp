#include "host_application.hpp"

#include <cstdio>

#include "commands.hpp"
#include "velmoradine/analytics/analytics.hpp"
#include "velmoradine/facade/velmoradine.hpp"
#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/services/ui_application.hpp"

namespace velmoradine::cli {

void AnalyticsUploads::batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                                         NetworkCompletion<void> completion) {
  {
    std::lock_guard lock(mutex_);
    ++inFlight_;
  }
  inner_->batchUploadEvents(
      events, [this, completion = std::move(completion)](Result<void> result) mutable {
        std::optional<Error> error;
        if (!result) error = result.error();
        completion(std::move(result));
        {
          std::lock_guard lock(mutex_);
          --inFlight_;
          lastError_ = error;
        }
        // Woken after the kit's completion returned: the queue holds the
        // batch again if it failed.
        RunLoop::main().perform([] {});
      });
}

bool AnalyticsUploads::idle() const {
  std::lock_guard lock(mutex_);
  return inFlight_ == 0;
}

std::optional<Error> AnalyticsUploads::lastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}

HostApplication::HostApplication()
    : uploads_(std::make_shared<AnalyticsUploads>(Network::shared())) {
  // Before the kit starts, so that its first upload is watched too.
  Analytics::shared()->setNetwork(uploads_);
  Velmoradine& kit = Velmoradine::shared();
  kit.application(UIApplication::shared(), std::nullopt);
}

void HostApplication::enterBackground(std::chrono::steady_clock::duration timeout) {
  Velmoradine::shared().applicationDidEnterBackground();
  if (!RunLoop::main().runUntil([this] { return uploads_->idle(); }, timeout)) {
    std::fprintf(stderr, "compose: the analytics events were not uploaded in time\n");
  } else if (auto error = uploads_->lastError()) {
    std::fprintf(stderr, "compose: the analytics events could not be uploaded: %s\n",
                 errorText(*error).c_str());
  }
}

}  // namespace velmoradine::cli
