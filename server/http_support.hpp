#pragma once

// Helpers every route shares: JSON replies and errors, bounded body reading,
// JSON parsing with a nesting limit, and the base address of replies.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "server/options.hpp"

namespace velmoradine::devserver {

// The largest JSON body any route accepts.
inline constexpr std::size_t kMaxJsonBodyBytes = 1024 * 1024;
// How deeply JSON values may nest; deeper documents are refused before
// anything walks them recursively.
inline constexpr int kMaxJsonDepth = 64;

void replyJson(httplib::Response& response, int status, const nlohmann::json& body);
// Error replies carry {"error": code, "message": message}.
void replyError(httplib::Response& response, int status, std::string_view code,
                std::string_view message);
// The same, for a reply sent before the request's body was read: the
// connection is closed afterwards so leftover body bytes are never taken for
// the next request.
void replyErrorAndClose(httplib::Response& response, int status, std::string_view code,
                        std::string_view message);

// A request body read through a content reader, keeping at most `limit`
// bytes. A larger body is read to its end and dropped (so the connection
// stays usable), up to a hard bound beyond which reading stops.
struct BoundedBody {
  std::string bytes;
  bool tooLarge = false;
  bool complete = true;
};
// `expected`, the announced length when there is one, is reserved up front
// (within the limit), so a large body is not copied as it grows.
BoundedBody readBoundedBody(const httplib::ContentReader& reader, std::size_t limit,
                            std::size_t expected = 0);
// The request's Content-Length, or 0.
std::size_t announcedLength(const httplib::Request& request);

bool hasJsonContentType(const httplib::Request& request);

// Parses a JSON document; on failure `problem` says why.
std::optional<nlohmann::json> parseJson(std::string_view text, std::string& problem);

// The base address ("http://host:port/") that links and upload addresses in
// the reply to `request` are built on.
std::string baseURLFor(const httplib::Request& request, const Options& options,
                       const std::string& listenBaseURL);

std::string htmlEscape(std::string_view text);

// The connection layer hands a request's Range header to the routes under
// this name: the HTTP library would answer a Range it cannot parse with 416
// before any route sees it, where HTTP says to ignore it.
inline constexpr const char* kDeferredRangeHeader = "Velmoradine-Deferred-Range";

// Replies 200 with `body`, which caches for `maxAge` and is then revalidated
// by its content: a weak entity tag (the library compresses text for
// clients that accept it, so the bytes sent differ by Accept-Encoding, hence
// also "Vary: Accept-Encoding"), and 304 to a request that names the tag.
void replyRevalidated(const httplib::Request& request, httplib::Response& response,
                      std::string body, const std::string& contentType,
                      std::chrono::seconds maxAge);

}  // namespace velmoradine::devserver
