// The analytics collector at "/v1/events".

#include <charconv>
#include <chrono>

#include "server/auth.hpp"
#include "server/context.hpp"
#include "server/http_support.hpp"
#include "server/wire.hpp"

namespace velmoradine::devserver {
namespace {

// The kit sends its whole queue as one batch, however long it was offline;
// API bodies stay at the smaller general limit.
constexpr std::size_t kMaxEventBatchBytes = std::size_t{64} << 20;

}  // namespace

void registerCollectorRoutes(httplib::Server& server, ServerContext& context) {
  server.Post("/v1/events", [&context](const httplib::Request& request, httplib::Response& response,
                                       const httplib::ContentReader& reader) {
    auto accepted =
        acceptJsonRequest(request, response, reader, context.database, kMaxEventBatchBytes);
    if (!accepted) return;
    auto events = parseBatchEvents(accepted->body);
    if (!events) {
      replyError(response, 400, "invalid_request", events.error());
      return;
    }
    std::vector<std::string> bodies;
    bodies.reserve(events->size());
    for (const auto& event : *events) bodies.push_back(event.dump());
    auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count();
    context.database.insertEvents(accepted->application.id, contribUserId(request), now, bodies);
    replyJson(response, 200, nlohmann::json::object());
  });

  // For inspection and tests: the application's events, oldest first;
  // "?after=ID" lists only those stored after the event with that id.
  server.Get("/v1/events",
             [&context](const httplib::Request& request, httplib::Response& response) {
               auto application = authenticate(request, response, context.database);
               if (!application) return;
               std::int64_t after = 0;
               if (request.has_param("after")) {
                 std::string text = request.get_param_value("after");
                 auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), after);
                 if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
                   replyError(response, 400, "invalid_request", "after must be an event id");
                   return;
                 }
               }
               nlohmann::json list = nlohmann::json::array();
               for (const auto& event : context.database.events(application->id, after)) {
                 nlohmann::json entry = {{"id", event.id},
                                         {"received_at_ms", event.receivedAt},
                                         {"event", nlohmann::json::parse(event.body)}};
                 if (event.userId) entry["user_id"] = *event.userId;
                 list.push_back(std::move(entry));
               }
               replyJson(response, 200, {{"events", std::move(list)}});
             });
}

}  // namespace velmoradine::devserver
