#pragma once

// The narrow interfaces through which the rest of the kit reaches the
// backend. `Network` implements them all; tests and hosts may substitute any.
//
// Completions receive exactly one result. They run on the URL session's
// delegate queue, except the failures an operation documents as immediate,
// which run on the caller's thread before the operation returns.

#include <functional>
#include <memory>

#include "velmoradine/model/application_response.hpp"
#include "velmoradine/network/share_records.hpp"
#include "velmoradine/network/upload_plan.hpp"
#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

class UGCContext;

template <typename T>
using NetworkCompletion = std::move_only_function<void(Result<T>)>;

class NetworkApplicationProtocol {
 public:
  virtual ~NetworkApplicationProtocol() = default;
  // GET "application": the host application's settings.
  virtual void application(NetworkCompletion<ApplicationResponse> completion) = 0;
};

class NetworkDebugProtocol {
 public:
  virtual ~NetworkDebugProtocol() = default;
  // PUT "debug/context": stores `context` and answers with its code.
  virtual void uploadContext(const UGCContext& context,
                             NetworkCompletion<ContextResponse> completion) = 0;
};

class NetworkShareProtocol {
 public:
  virtual ~NetworkShareProtocol() = default;
  // POST "share".
  virtual void shareRequest(const ShareRequest& share,
                            NetworkCompletion<ShareResponse> completion) = 0;
  // POST "share/activate".
  virtual void activateShare(const ActivateRequest& activate,
                             NetworkCompletion<EmptyResponse> completion) = 0;
  // DELETE "share".
  virtual void deleteShare(const DeleteShareRequest& deleteRequest,
                           NetworkCompletion<EmptyResponse> completion) = 0;
};

class NetworkUploadProtocol {
 public:
  virtual ~NetworkUploadProtocol() = default;
  // The direct upload `plan` describes, of `data`. A plan that is not
  // "configurable" or has no parameters fails at once with
  // Network::Error::unknown.
  virtual void upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
                      NetworkCompletion<void> completion) = 0;
  // A PUT of `data` to the plan's address carrying exactly the plan's
  // headers. Succeeds when storage answers 2xx.
  virtual void uploadWithConfigurable(const Configurable& configurable,
                                      std::shared_ptr<const Data> data,
                                      NetworkCompletion<void> completion) = 0;
};

}  // namespace velmoradine
