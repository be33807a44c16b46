// The analytics collector at "/v1/events".

#include <charconv>
#include <chrono>
#include <cstdint>
#include <optional>

#include "server/auth.hpp"
#include "server/context.hpp"
#include "server/event_batch.hpp"
#include "server/http_support.hpp"
#include "server/wire.hpp"

namespace velmoradine::devserver {
namespace {

// The kit sends its whole queue as one batch, however long it was offline;
// API bodies stay at the smaller general limit.
constexpr std::size_t kMaxEventBatchBytes = std::size_t{64} << 20;
// The default and the largest page of the event listing.
constexpr std::int64_t kDefaultEventPage = 100;
constexpr std::int64_t kMaxEventPage = 1000;

std::optional<std::int64_t> integerParameter(const httplib::Request& request, const char* name,
                                             std::int64_t fallback, std::int64_t lowest,
                                             std::int64_t highest) {
  if (!request.has_param(name)) return fallback;
  std::string text = request.get_param_value(name);
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (value < lowest || value > highest) return std::nullopt;
  return value;
}

void storeBatch(const httplib::Request& request, httplib::Response& response,
                const httplib::ContentReader& reader, Database& database) {
  auto accepted = acceptJsonBody(request, response, reader, database, kMaxEventBatchBytes);
  if (!accepted) return;
  auto events = readEventBatch(accepted->body);
  // The events are read out of the body; it is not needed while they are stored.
  std::string().swap(accepted->body);
  if (!events) {
    replyError(response, 400, events.error().code, events.error().message);
    return;
  }
  auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::system_clock::now().time_since_epoch())
                 .count();
  database.insertEvents(accepted->application.id, contribUserId(request), now, *events);
  replyJson(response, 200, nlohmann::json::object());
}

void listEvents(const httplib::Request& request, httplib::Response& response, Database& database) {
  auto application = authenticate(request, response, database);
  if (!application) return;
  auto after = integerParameter(request, "after", 0, 0, INT64_MAX);
  if (!after) {
    replyError(response, 400, "invalid_request", "after must be an event id");
    return;
  }
  auto limit = integerParameter(request, "limit", kDefaultEventPage, 1, kMaxEventPage);
  if (!limit) {
    replyError(response, 400, "invalid_request",
               "limit must be a count from 1 to " + std::to_string(kMaxEventPage));
    return;
  }
  // One more than the page tells whether another page follows.
  auto stored = database.events(application->id, *after, *limit + 1);
  bool more = static_cast<std::int64_t>(stored.size()) > *limit;
  if (more) stored.pop_back();
  nlohmann::json list = nlohmann::json::array();
  for (const auto& event : stored) {
    nlohmann::json entry = {{"id", event.id},
                            {"received_at_ms", event.receivedAt},
                            {"event", nlohmann::json::parse(event.body)}};
    if (event.userId) entry["user_id"] = *event.userId;
    list.push_back(std::move(entry));
  }
  nlohmann::json body = {{"events", std::move(list)}};
  if (more) body["next_after"] = stored.back().id;
  replyJson(response, 200, body);
}

}  // namespace

void registerCollectorRoutes(httplib::Server& server, ServerContext& context) {
  server.Post("/v1/events", [&context](const httplib::Request& request, httplib::Response& response,
                                       const httplib::ContentReader& reader) {
    storeBatch(request, response, reader, context.database);
  });

  // For inspection and tests: the application's events, oldest first, a page
  // at a time; "?after=ID" starts after the event with that id.
  server.Get("/v1/events",
             [&context](const httplib::Request& request, httplib::Response& response) {
               listEvents(request, response, context.database);
             });
}

}  // namespace velmoradine::devserver
