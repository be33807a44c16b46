#include "velmoradine/network/network.hpp"

#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/model/ugc_context.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {
namespace {

constexpr auto kRequestTimeout = std::chrono::seconds(60);
constexpr auto kDirectUploadTimeout = std::chrono::seconds(30);

// `Network::Error::unknown` stands for several causes; its detail names the
// one that happened, for logs and for callers that treat them differently.
constexpr const char* kUnencodableBody = "the request body has no JSON form";

std::string httpStatusDetail(int status) {
  return "HTTP status " + std::to_string(status);
}

// Plan headers come from a server: a line break in one would let it add
// fields (or a whole request) of its choosing.
bool isSafeHeader(const std::string& name, const std::string& value) {
  constexpr std::string_view kBreaks("\r\n\0", 3);
  return !name.empty() && name.find_first_of(kBreaks) == std::string::npos &&
         value.find_first_of(kBreaks) == std::string::npos;
}

Result<URL> deploymentURL(const Result<std::string>& text) {
  VELMORADINE_TRY(text);
  auto url = URL::parse(*text);
  if (!url) fatalError("the build's service address is not a valid URL: " + *text);
  return *url;
}

std::optional<Error> firstError(const Result<URL>& a, const Result<URL>& b) {
  if (!a) return a.error();
  if (!b) return b.error();
  return std::nullopt;
}

}  // namespace

VELMORADINE_DEFINE_ERROR_ENUMERATION(Network::Error, networkErrorCategory, "Velmoradine.Network",
                                     {Network::Error::unknown, "An unknown error occurred."},
                                     {Network::Error::notAuthenticated, "Unauthorized."},
                                     {Network::Error::decoding, "Decoding error."})

Network::Network(std::shared_ptr<URLSession> urlSession,
                 std::shared_ptr<AuthenticationDatastoreProtocol> authenticationDatastore,
                 std::shared_ptr<ContribDatastoreProtocol> contribDatastore, Result<URL> baseURL,
                 Result<URL> analyticsBaseURL)
    : baseURL_(std::move(baseURL)),
      analyticsBaseURL_(std::move(analyticsBaseURL)),
      configurationError_(firstError(baseURL_, analyticsBaseURL_)),
      urlSession_(std::move(urlSession)),
      authenticationDatastore_(std::move(authenticationDatastore)),
      contribDatastore_(std::move(contribDatastore)) {
  if (configurationError_) {
    Logger::velmoradineDebug("Nothing will be sent: " + configurationError_->detail(), std::nullopt,
                             DocumentationIdentifier::plitRequirementsNotMet);
  }
}

const std::shared_ptr<Network>& Network::shared() {
  // Never destroyed: requests in flight on the network thread use it while
  // the process exits.
  static const auto& network = *new std::shared_ptr<Network>(std::make_shared<Network>());
  return network;
}

std::shared_ptr<URLSession> Network::defaultURLSession() {
  return URLSession::make(URLSessionConfiguration::ephemeral());
}

Result<URL> Network::defaultBaseURL() {
  Result<std::string> text = velmoradineAPIBaseURL();
  // Endpoint paths resolve relative to the base, which drops a last path
  // segment without its slash: "…/sdk" would send "share" to "…/share".
  if (auto url = text ? URL::parse(*text) : std::nullopt;
      url && !url->query() && !url->fragment() && !url->percentEncodedPath().ends_with('/')) {
    *text += '/';
  }
  return deploymentURL(text);
}

Result<URL> Network::defaultAnalyticsBaseURL() {
  return deploymentURL(velmoradineEventsURL());
}

URLRequest Network::makeRequest(const URL& base, std::string_view path, std::string method) {
  auto url = URL::parse(path, base);
  if (!url) fatalError("endpoint path does not resolve: " + std::string(path));
  URLRequest request(*url, URLRequestCachePolicy::useProtocolCachePolicy, kRequestTimeout);
  request.setTotalTimeoutInterval(kRequestTimeout);
  request.setHTTPMethod(std::move(method));
  request.setValue("application/json", "Content-Type");
  return request;
}

Result<URLRequest> Network::endpointRequest(const Result<URL>& base, std::string_view path,
                                            std::string method) const {
  if (configurationError_) return failure(*configurationError_);
  return makeRequest(*base, path, std::move(method));
}

velmoradine::Error Network::decodingFailure(const std::string& typeName,
                                            const velmoradine::Error& cause) {
  Logger::velmoradineDebug("Unable to decode response to type " + typeName, cause,
                           DocumentationIdentifier::unexpecteError);
  return Error::decoding;
}

void Network::transmit(URLRequest request, std::string typeName,
                       std::move_only_function<void(Result<Data>)> completion) const {
  std::optional<std::string> apiKey = authenticationDatastore_->apiKey();
  if (!apiKey) {
    completion(failure(Error::notAuthenticated));
    return;
  }
  request.setValue("Bearer " + *apiKey, "Authorization");
  if (std::optional<std::string> userId = contribDatastore_->userId()) {
    request.setValue(*userId, "X-Contrib-UserId");
  }
  request.setMaximumResponseSize(kMaximumResponseSize);
  auto task = urlSession_->dataTask(
      std::move(request), [typeName = std::move(typeName), completion = std::move(completion)](
                              std::optional<Data> data, std::optional<HTTPURLResponse> response,
                              std::optional<velmoradine::Error> error) mutable {
        // A reply too long to keep still has its status, which is judged
        // before its body.
        const bool tooLong = error && *error == URLError::dataLengthExceedsMaximum;
        if (!data && !(tooLong && response)) {
          completion(failure(
              error ? std::move(*error)
                    : velmoradine::Error(Error::unknown, "no reply and no transport error")));
          return;
        }
        int status = response ? response->statusCode : 0;
        if (status == 401) {
          Logger::velmoradineDebug(
              "Unable to authenticate, please make sure your VelmoradineClientId is correct.",
              std::nullopt, DocumentationIdentifier::apiKeyNotSet);
          completion(failure(Error::notAuthenticated));
          return;
        }
        if (status < 200 || status > 299) {
          Logger::velmoradineDebug("Unexpected HTTP status " + std::to_string(status) + " from " +
                                       (response ? response->url.absoluteString() : ""),
                                   std::nullopt, DocumentationIdentifier::unexpecteError);
          completion(failure(velmoradine::Error(Error::unknown, httpStatusDetail(status))));
          return;
        }
        if (tooLong) {
          completion(failure(decodingFailure(typeName, *error)));
          return;
        }
        completion(std::move(*data));
      });
  task->resume();
}

void Network::application(NetworkCompletion<ApplicationResponse> completion) {
  Result<URLRequest> request = endpointRequest(baseURL_, "application", "GET");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  call<ApplicationResponse>(std::move(*request), "[network GET /application] - failure",
                            std::nullopt, std::move(completion));
}

void Network::uploadContext(const UGCContext& context,
                            NetworkCompletion<ContextResponse> completion) {
  Result<URLRequest> request = endpointRequest(baseURL_, "debug/context", "PUT");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  if (!setJSONBody(*request, context)) {
    completion(failure(velmoradine::Error(Error::unknown, kUnencodableBody)));
    return;
  }
  call<ContextResponse>(std::move(*request), "[network POST /debug/context] - failure",
                        DocumentationIdentifier::unexpecteError, std::move(completion));
}

void Network::shareRequest(const ShareRequest& share, NetworkCompletion<ShareResponse> completion) {
  Result<URLRequest> request = endpointRequest(baseURL_, "share", "POST");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  if (!setJSONBody(*request, share)) {
    completion(failure(velmoradine::Error(Error::unknown, kUnencodableBody)));
    return;
  }
  call<ShareResponse>(std::move(*request), "[network POST /share] - failure",
                      DocumentationIdentifier::unexpecteError, std::move(completion));
}

void Network::activateShare(const ActivateRequest& activate,
                            NetworkCompletion<EmptyResponse> completion) {
  Result<URLRequest> request = endpointRequest(baseURL_, "share/activate", "POST");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  if (!setJSONBody(*request, activate)) {
    completion(failure(velmoradine::Error(Error::unknown, kUnencodableBody)));
    return;
  }
  call<EmptyResponse>(std::move(*request), "[network POST /share/activate] - failure",
                      DocumentationIdentifier::unexpecteError, std::move(completion));
}

void Network::deleteShare(const DeleteShareRequest& deleteRequest,
                          NetworkCompletion<EmptyResponse> completion) {
  Result<URLRequest> request = endpointRequest(baseURL_, "share", "DELETE");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  if (!setJSONBody(*request, deleteRequest)) {
    completion(failure(velmoradine::Error(Error::unknown, kUnencodableBody)));
    return;
  }
  call<EmptyResponse>(std::move(*request), "[network DELETE /share/activate] - failure",
                      DocumentationIdentifier::unexpecteError, std::move(completion));
}

void Network::batchUploadEvents(const std::vector<WrappedAnalyticsEvent>& events,
                                NetworkCompletion<void> completion) {
  Result<URLRequest> request = endpointRequest(analyticsBaseURL_, "/v1/events", "POST");
  if (!request) {
    completion(failure(request.error()));
    return;
  }
  // Encoding cannot fail (text that is not UTF-8 is replaced), so the
  // body-encoding failure of the other endpoints has no counterpart here.
  const std::string body = encodeBatchEvents(events);
  request->setHTTPBody(Data(body.begin(), body.end()));
  call<EmptyResponse>(std::move(*request), "[network POST /events] - failure",
                      DocumentationIdentifier::unexpecteError,
                      [completion = std::move(completion)](Result<EmptyResponse> result) mutable {
                        if (!result) {
                          completion(failure(std::move(result.error())));
                          return;
                        }
                        completion({});
                      });
}

void Network::upload(const UploadPlan& plan, std::shared_ptr<const Data> data,
                     NetworkCompletion<void> completion) {
  if (plan.strategy == UploadPlan::Strategy::configurable && plan.configurable) {
    uploadWithConfigurable(*plan.configurable, std::move(data), std::move(completion));
    return;
  }
  completion(failure(
      velmoradine::Error(Error::unknown, "the upload plan has no configurable direct upload")));
}

void Network::uploadWithConfigurable(const Configurable& configurable,
                                     std::shared_ptr<const Data> data,
                                     NetworkCompletion<void> completion) {
  if (configurationError_) {
    completion(failure(*configurationError_));
    return;
  }
  const DirectUpload& direct = configurable.direct_upload;
  for (const auto& [name, value] : direct.headers) {
    if (!isSafeHeader(name, value)) {
      completion(failure(
          velmoradine::Error(Error::unknown, "a header of the upload plan holds a line break")));
      return;
    }
  }
  URLRequest request(direct.url, URLRequestCachePolicy::useProtocolCachePolicy, kRequestTimeout);
  request.setHTTPMethod("PUT");
  request.setTimeoutInterval(kDirectUploadTimeout);
  request.setMaximumResponseSize(kMaximumStorageReplySize);
  for (const auto& [name, value] : direct.headers) request.addValue(value, name);
  request.setHTTPBody(data ? std::move(data) : std::make_shared<const Data>());
  auto task = urlSession_->dataTask(
      std::move(request), [completion = std::move(completion)](
                              std::optional<Data>, std::optional<HTTPURLResponse> response,
                              std::optional<velmoradine::Error> error) mutable {
        if (error) {
          completion(failure(std::move(*error)));
        } else if (!response) {
          completion(
              failure(velmoradine::Error(Error::unknown, "no reply and no transport error")));
        } else if (response->statusCode < 200 || response->statusCode > 299) {
          completion(
              failure(velmoradine::Error(Error::unknown, httpStatusDetail(response->statusCode))));
        } else {
          completion({});
        }
      });
  task->resume();
}

}  // namespace velmoradine
