#pragma once

// Validators of a representation (entity tag, modification time) and the
// conditional requests of HTTP that use them: 304 Not Modified, 412
// Precondition Failed, and If-Range for range requests.

#include <httplib.h>

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace velmoradine::devserver {

// "Sun, 06 Nov 1994 08:49:37 GMT", the only date format HTTP senders use.
std::string httpDate(std::time_t time);
// The same format back; nothing for any other text.
std::optional<std::time_t> parseHttpDate(std::string_view text);

struct Validators {
  // Quoted, with "W/" in front when weak.
  std::string entityTag;
  std::optional<std::time_t> lastModified;
};

// Sets ETag and Last-Modified.
void setValidators(httplib::Response& response, const Validators& validators);

enum class Precondition { proceed, notModified, failed };

// Evaluates If-Match, If-Unmodified-Since, If-None-Match and
// If-Modified-Since in the order and with the precedence HTTP gives them,
// for a GET or HEAD of the representation with `validators`.
Precondition evaluatePreconditions(const httplib::Request& request, const Validators& validators);

// Whether a range request's If-Range (when it has one) names the current
// representation: a strong entity tag equal to it, or its exact
// modification date. When not, the whole representation is sent.
bool ifRangeHolds(const httplib::Request& request, const Validators& validators);

}  // namespace velmoradine::devserver
