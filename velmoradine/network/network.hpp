#pragma once

// The kit's one client of its backend. Every API endpoint builds its request
// by one rule (address relative to `baseURL`, 60-second time-out, both
// between two pieces of data and for the whole exchange,
// "Content-Type: application/json" on every method, a JSON body where the
// endpoint has one) and hands it to `send`, which adds the credentials, runs
// it on `urlSession` and turns the reply into a decoded record or an error.
//
// Threading: every operation may be called from any thread. Completions run
// on the session's delegate queue, except the immediate failures (no API key,
// an invalid configuration, a body that does not encode, an unusable upload
// plan), which run on the caller's thread before the operation returns.
// Network holds no mutable state; the credentials are read afresh for every
// request.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "velmoradine/core/documentation_identifier.hpp"
#include "velmoradine/core/logger.hpp"
#include "velmoradine/core/type_name.hpp"
#include "velmoradine/model/json_coding.hpp"
#include "velmoradine/network/network_analytics_protocol.hpp"
#include "velmoradine/network/network_protocols.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/http/url_session.hpp"
#include "velmoradine/state/datastores.hpp"

namespace velmoradine {

class Network : public NetworkApplicationProtocol,
                public NetworkDebugProtocol,
                public NetworkShareProtocol,
                public NetworkUploadProtocol,
                public NetworkAnalyticsProtocol {
 public:
  enum class Error { unknown = 1, notAuthenticated, decoding };

  // API replies larger than this fail with `decoding` rather than fill memory
  // (after the status check: a long 401 is still `notAuthenticated`).
  static constexpr std::size_t kMaximumResponseSize = 16 * 1024 * 1024;
  // Storage replies are not read, only their status; one longer than this
  // fails the upload with the session's error rather than fill memory.
  static constexpr std::size_t kMaximumStorageReplySize = 1024 * 1024;

  explicit Network(std::shared_ptr<URLSession> urlSession = defaultURLSession(),
                   std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore =
                       Datastore::shared().authenticationDatastore,
                   std::shared_ptr<ContribDatastoreProtocol> contribDatastore =
                       Datastore::shared().contribDatastore,
                   Result<URL> baseURL = defaultBaseURL(),
                   Result<URL> analyticsBaseURL = defaultAnalyticsBaseURL());

  // Created on first use with every default.
  static const std::shared_ptr<Network>& shared();

  // A new session with the ephemeral configuration.
  static std::shared_ptr<URLSession> defaultURLSession();
  // The host's "VelmoradineAPIBaseURL", else the build's default; a value
  // that is present but not an http(s) URL is a configuration error.
  static Result<URL> defaultBaseURL();
  // The host's "VelmoradineEventsURL", likewise.
  static Result<URL> defaultAnalyticsBaseURL();

  const Result<URL>& baseURL() const { return baseURL_; }
  const Result<URL>& analyticsBaseURL() const { return analyticsBaseURL_; }
  // Set when either base address is a configuration error: then every
  // request fails with it at once and nothing is sent anywhere, not even to
  // the address that is valid, since the host's setup is not what it meant.
  const std::optional<velmoradine::Error>& configurationError() const {
    return configurationError_;
  }
  const std::shared_ptr<URLSession>& urlSession() const { return urlSession_; }
  const std::shared_ptr<AuthenticationDatastoreProtocol>& authenticationDatastore() const {
    return authenticationDatastore_;
  }
  const std::shared_ptr<ContribDatastoreProtocol>& contribDatastore() const {
    return contribDatastore_;
  }

  // Adds "Authorization" and, when a user id is known, "X-Contrib-UserId" to
  // `request`, runs it and decodes a 2xx reply as T. Failures: no API key
  // (`notAuthenticated`, immediately, nothing sent), the session's transport
  // error unchanged, 401 (`notAuthenticated`), any other status outside
  // 200-299 (`unknown`), a body that does not decode as T (`decoding`).
  template <typename T>
  void send(URLRequest request, NetworkCompletion<T> completion) const;

  void application(NetworkCompletion<ApplicationResponse> completion) override;
  void uploadContext(const UGCContext& context,
                     NetworkCompletion<ContextResponse> completion) override;
  void shareRequest(const ShareRequest& share,
                    NetworkCompletion<ShareResponse> completion) override;
  void activateShare(const ActivateRequest& activate,
                     NetworkCompletion<EmptyResponse> completion) override;
  void deleteShare(const DeleteShareRequest& deleteRequest,
                   NetworkCompletion<EmptyResponse> completion) override;
  void upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
              NetworkCompletion<void> completion) override;
  void uploadWithConfigurable(const Configurable& configurable, std::shared_ptr<const Data> data,
                              NetworkCompletion<void> completion) override;
  // POST "/v1/events" against `analyticsBaseURL`. Failures are written as
  // "[network POST /events] - failure" and passed on.
  void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                         NetworkCompletion<void> completion) override;

 private:
  // The common request rule: `path` resolved against `base`, the method,
  // "Content-Type: application/json" and a 60-second time-out.
  static URLRequest makeRequest(const URL& base, std::string_view path, std::string method);
  // makeRequest() against `base`, unless the configuration forbids sending.
  Result<URLRequest> endpointRequest(const Result<URL>& base, std::string_view path,
                                     std::string method) const;
  // Sets `body`'s JSON form as the request's body; false when it has none.
  template <typename Body>
  static bool setJSONBody(URLRequest& request, const Body& body);
  // Sends `request` and writes `failureLine` (with the error and
  // `documentation`) before passing a failure on.
  template <typename Response>
  void call(URLRequest request, std::string failureLine,
            std::optional<DocumentationIdentifier> documentation,
            NetworkCompletion<Response> completion) const;

  // What `send` does before decoding: credentials, transport and status.
  void transmit(URLRequest request, std::string typeName,
                std::move_only_function<void(Result<Data>)> completion) const;
  static velmoradine::Error decodingFailure(const std::string& typeName,
                                            const velmoradine::Error& cause);

  const Result<URL> baseURL_;
  const Result<URL> analyticsBaseURL_;
  const std::optional<velmoradine::Error> configurationError_;
  const std::shared_ptr<URLSession> urlSession_;
  const std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore_;
  const std::shared_ptr<ContribDatastoreProtocol> contribDatastore_;
};

const ErrorCategory& networkErrorCategory();
std::error_code make_error_code(Network::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::Network::Error> : std::true_type {};

namespace velmoradine {

template <typename T>
void Network::send(URLRequest request, NetworkCompletion<T> completion) const {
  static const std::string typeName = unqualifiedTypeName<T>();
  transmit(std::move(request), typeName,
           [completion = std::move(completion)](Result<Data> body) mutable {
             if (!body) {
               completion(failure(std::move(body.error())));
               return;
             }
             std::string_view text(reinterpret_cast<const char*>(body->data()), body->size());
             Result<T> decoded = decodeJSON<T>(text);
             if (!decoded) {
               completion(failure(decodingFailure(typeName, decoded.error())));
               return;
             }
             completion(std::move(decoded));
           });
}

template <typename Body>
bool Network::setJSONBody(URLRequest& request, const Body& body) {
  std::optional<std::string> encoded = json::encodeJSON(body);
  if (!encoded) return false;
  request.setHTTPBody(Data(encoded->begin(), encoded->end()));
  return true;
}

template <typename Response>
void Network::call(URLRequest request, std::string failureLine,
                   std::optional<DocumentationIdentifier> documentation,
                   NetworkCompletion<Response> completion) const {
  send<Response>(std::move(request),
                 [failureLine = std::move(failureLine), documentation,
                  completion = std::move(completion)](Result<Response> result) mutable {
                   if (!result)
                     Logger::velmoradineDebug(failureLine, result.error(), documentation);
                   completion(std::move(result));
                 });
}

}  // namespace velmoradine
