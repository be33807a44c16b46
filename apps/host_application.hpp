#pragma once

// The command-line host's side of the application lifecycle: the kit starts
// with the command, and the application goes to the background before the
// process exits, which is when the kit uploads its queued analytics events.
// A process that exits right after would cut that upload short, so the host
// watches the kit's analytics uploads and waits for them.
//
// Threading: main thread.

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

#include "velmoradine/network/network_analytics_protocol.hpp"

namespace velmoradine::cli {

// Passes every upload through to the kit's own client, counting those in
// flight; the main run loop is woken once each has been answered.
class AnalyticsUploads final : public NetworkAnalyticsProtocol {
 public:
  explicit AnalyticsUploads(std::shared_ptr<NetworkAnalyticsProtocol> inner)
      : inner_(std::move(inner)) {}

  void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                         NetworkCompletion<void> completion) override;

  bool idle() const;
  // The last upload's failure, if it failed.
  std::optional<Error> lastError() const;

 private:
  const std::shared_ptr<NetworkAnalyticsProtocol> inner_;
  mutable std::mutex mutex_;
  int inFlight_ = 0;                // guarded by mutex_
  std::optional<Error> lastError_;  // guarded by mutex_
};

class HostApplication {
 public:
  // Starts the kit (`Velmoradine::shared()` and the launch callback), with
  // its analytics uploads watched.
  HostApplication();
  // Sends the application to the background and waits, at most `timeout`,
  // for the analytics upload that follows. Says on standard error when the
  // events could not be uploaded.
  void enterBackground(std::chrono::steady_clock::duration timeout);

 private:
  std::shared_ptr<AnalyticsUploads> uploads_;
};

}  // namespace velmoradine::cli
