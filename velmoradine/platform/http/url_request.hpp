#pragma once

// A request for the URL loading system: address, method, headers, body, cache
// policy and time-out. A plain value; copies share the body bytes.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

// How a request may use the session's URL cache.
enum class URLRequestCachePolicy {
  // HTTP's own rules: fresh responses come from the cache, stale ones with a
  // validator are revalidated, everything else is loaded.
  useProtocolCachePolicy,
  // Always load; the response may still be stored.
  reloadIgnoringLocalCacheData,
  // A cached response, however old; else load.
  returnCacheDataElseLoad,
  // A cached response, however old; else fail without loading.
  returnCacheDataDontLoad,
};

// Header fields in the order they were first set. Names compare without
// regard to case.
using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

// The value of `name` in `fields`, compared without regard to case.
std::optional<std::string> headerValue(const HTTPHeaderFields& fields, std::string_view name);
// Whether header names compare equal (ASCII case-insensitively).
bool headerNameEquals(std::string_view a, std::string_view b);

class URLRequest {
 public:
  using TimeInterval = std::chrono::milliseconds;
  static constexpr TimeInterval kDefaultTimeoutInterval = std::chrono::seconds(60);

  explicit URLRequest(
      URL url, URLRequestCachePolicy cachePolicy = URLRequestCachePolicy::useProtocolCachePolicy,
      TimeInterval timeoutInterval = kDefaultTimeoutInterval)
      : url_(std::move(url)), cachePolicy_(cachePolicy), timeoutInterval_(timeoutInterval) {}

  const URL& url() const { return url_; }
  void setURL(URL url) { url_ = std::move(url); }

  // "GET" unless set.
  const std::string& httpMethod() const { return httpMethod_; }
  void setHTTPMethod(std::string method) { httpMethod_ = std::move(method); }

  const HTTPHeaderFields& allHTTPHeaderFields() const { return headers_; }
  std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
    return headerValue(headers_, name);
  }
  // Replaces the field's value; nothing removes the field.
  void setValue(std::optional<std::string> value, std::string_view field);
  // Adds the field, or appends ", " and `value` to the value it already has.
  void addValue(std::string_view value, std::string_view field);

  // The body bytes, or null without a body.
  const std::shared_ptr<const Data>& httpBody() const { return httpBody_; }
  void setHTTPBody(Data body) { httpBody_ = std::make_shared<const Data>(std::move(body)); }
  void setHTTPBody(std::shared_ptr<const Data> body) { httpBody_ = std::move(body); }

  URLRequestCachePolicy cachePolicy() const { return cachePolicy_; }
  void setCachePolicy(URLRequestCachePolicy policy) { cachePolicy_ = policy; }

  // The longest the request may wait for the connection or between two
  // pieces of data.
  TimeInterval timeoutInterval() const { return timeoutInterval_; }
  void setTimeoutInterval(TimeInterval interval) { timeoutInterval_ = interval; }

  // When set, the longest the whole exchange may take, from connecting to
  // the reply's last byte: a peer that trickles data keeps a request within
  // its time-out above but not past this. The session's resource time-out
  // still applies when it is shorter.
  std::optional<TimeInterval> totalTimeoutInterval() const { return totalTimeoutInterval_; }
  void setTotalTimeoutInterval(std::optional<TimeInterval> interval) {
    totalTimeoutInterval_ = interval;
  }

  // When set, a reply body larger than this many bytes fails the task with
  // URLError::dataLengthExceedsMaximum (with the reply's status and headers)
  // instead of being buffered.
  std::optional<std::size_t> maximumResponseSize() const { return maximumResponseSize_; }
  void setMaximumResponseSize(std::optional<std::size_t> size) { maximumResponseSize_ = size; }

 private:
  URL url_;
  std::string httpMethod_ = "GET";
  HTTPHeaderFields headers_;
  std::shared_ptr<const Data> httpBody_;
  URLRequestCachePolicy cachePolicy_;
  TimeInterval timeoutInterval_;
  std::optional<TimeInterval> totalTimeoutInterval_;
  std::optional<std::size_t> maximumResponseSize_;
};

// The reply of an HTTP server: the URL that answered (after redirects), the
// status code and the header fields of the final response.
struct HTTPURLResponse {
  URL url;
  int statusCode = 0;
  HTTPHeaderFields allHeaderFields;

  std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const {
    return headerValue(allHeaderFields, name);
  }
  // The "Content-Length" value, or -1 when the reply announces none.
  long long expectedContentLength() const;
  // The media type of "Content-Type", without parameters, in lower case.
  std::optional<std::string> mimeType() const;
};

}  // namespace velmoradine
