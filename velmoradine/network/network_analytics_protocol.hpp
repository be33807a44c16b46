#pragma once

#include <vector>

#include "velmoradine/model/analytics_records.hpp"
#include "velmoradine/network/network_protocols.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

// The analytics collector's side of the backend client: what the analytics
// engine uploads through, so that tests and hosts can stand in for it.
class NetworkAnalyticsProtocol {
 public:
  virtual ~NetworkAnalyticsProtocol() = default;

  // Sends `events` in one `BatchEvents` body. The events are encoded before
  // the call returns, so the caller's list may change right after. The
  // completion runs exactly once: on the network's callback queue, or on the
  // calling thread before returning for failures found without sending.
  virtual void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                                 NetworkCompletion<void> completion) = 0;
};

}  // namespace velmoradine
