#include <gtest/gtest.h>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;

json wrappedEvent(const std::string& name) {
  return {
      {"timestamp", "2021-03-04T05:06:07.089Z"},
      {"event", {{"event_name", name}}},
      {"device",
       {{"app_version", "1.0"}, {"os_version", "12"}, {"platform", "linux"}, {"vendor_id", "v"}}},
      {"context", {{"uuid", "0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9"}}},
      {"contrib", {{"contrib_user_id", "user"}}},
      {"application", {{"application_slug", "app"}}}};
}

class DevServerCollector : public ::testing::Test {
 protected:
  DevServerCollector()
      : server_(directory_.path(), {"--api-key", "key", "--app-slug", "app", "--api-key", "other",
                                    "--app-slug", "b"}) {}

  // One page of the listing, as sent.
  json page(Kit& kit, const std::string& query) {
    auto reply = kit.get("/v1/events" + query);
    if (!reply || reply->status != 200) {
      ADD_FAILURE() << "listing failed";
      return {{"events", json::array()}};
    }
    return json::parse(reply->body);
  }

  // Every event after `after`, following the pages.
  json listed(Kit& kit, std::int64_t after = 0) {
    json all = json::array();
    for (;;) {
      json reply = page(kit, "?limit=250&after=" + std::to_string(after));
      for (auto& event : reply["events"]) all.push_back(event);
      if (!reply.contains("next_after")) return all;
      after = reply["next_after"].get<std::int64_t>();
    }
  }

  TemporaryDirectory directory_;
  DevServerProcess server_;
};

TEST_F(DevServerCollector, StoresEveryEventOfABatchAndListsThemNewestLast) {
  Kit kit(server_, "key", "user-9");
  json first = wrappedEvent("share_sheet.loaded");
  json observability = wrappedEvent("ignored");
  observability.erase("event");
  observability.erase("context");
  observability["observability"] = {{"message", "hello"}};
  auto reply = kit.send("POST", "/v1/events", {{"events", {first, observability}}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->body, "{}");
  ASSERT_EQ(
      kit.send("POST", "/v1/events", {{"events", {wrappedEvent("share_sheet.cancelled")}}})->status,
      200);
  ASSERT_EQ(kit.send("POST", "/v1/events", {{"events", json::array()}})->status, 200);

  auto events = listed(kit);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["event"], first);
  EXPECT_EQ(events[1]["event"], observability);
  EXPECT_EQ(events[2]["event"]["event"]["event_name"], "share_sheet.cancelled");
  EXPECT_EQ(events[2]["user_id"], "user-9");
  EXPECT_LT(events[0]["id"].get<int64_t>(), events[2]["id"].get<int64_t>());

  auto later = listed(kit, events[1]["id"].get<int64_t>());
  ASSERT_EQ(later.size(), 1u);
  EXPECT_EQ(later[0]["id"], events[2]["id"]);
}

TEST_F(DevServerCollector, TheListingComesInPagesThatFollowOnFromEachOther) {
  Kit kit(server_, "key");
  json batch = json::array();
  for (int i = 0; i < 7; ++i) batch.push_back(wrappedEvent("e" + std::to_string(i)));
  ASSERT_EQ(kit.send("POST", "/v1/events", {{"events", batch}})->status, 200);
  auto ids = [](const json& events) {
    std::vector<std::string> names;
    for (const auto& event : events) names.push_back(event["event"]["event"]["event_name"]);
    return names;
  };

  json first = page(kit, "?limit=3");
  EXPECT_EQ(ids(first["events"]), std::vector<std::string>({"e0", "e1", "e2"}));
  ASSERT_EQ(first["next_after"], first["events"][2]["id"]);
  json second = page(kit, "?limit=3&after=" + first["next_after"].dump());
  EXPECT_EQ(ids(second["events"]), std::vector<std::string>({"e3", "e4", "e5"}));
  json last = page(kit, "?limit=3&after=" + second["next_after"].dump());
  EXPECT_EQ(ids(last["events"]), std::vector<std::string>({"e6"}));
  EXPECT_FALSE(last.contains("next_after"));
  EXPECT_EQ(page(kit, "")["events"].size(), 7u);

  for (const char* query : {"?after=x", "?after=-1", "?limit=0", "?limit=1001", "?limit=2x"}) {
    auto reply = kit.get(std::string("/v1/events") + query);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400) << query;
  }
}

TEST_F(DevServerCollector, ABacklogOverTheAPIsBodyLimitIsTakenInOneBatch) {
  Kit kit(server_, "key", "user");
  json events = json::array();
  const std::string padding(3000, 'x');
  for (int i = 0; i < 600; ++i) events.push_back(wrappedEvent(padding + std::to_string(i)));
  const json batch = {{"events", events}};
  ASSERT_GT(batch.dump().size(), 1536u * 1024);
  auto reply = kit.send("POST", "/v1/events", batch);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200) << reply->body;
  auto stored = listed(kit);
  ASSERT_EQ(stored.size(), 600u);
  EXPECT_EQ(stored[599]["event"]["event"]["event_name"], padding + "599");
}

TEST_F(DevServerCollector, BothDirectionsNeedAKnownKey) {
  auto client = server_.client();
  auto post =
      client.Post("/v1/events", json({{"events", json::array()}}).dump(), "application/json");
  ASSERT_TRUE(post);
  EXPECT_EQ(post->status, 401);
  auto get = client.Get("/v1/events", {{"Authorization", "Bearer nobody"}});
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 401);
}

TEST_F(DevServerCollector, EachApplicationSeesOnlyItsOwnEvents) {
  Kit app(server_, "key");
  Kit other(server_, "other");
  ASSERT_EQ(app.send("POST", "/v1/events", {{"events", {wrappedEvent("a")}}})->status, 200);
  ASSERT_EQ(other.send("POST", "/v1/events", {{"events", {wrappedEvent("b")}}})->status, 200);
  auto mine = listed(app);
  ASSERT_EQ(mine.size(), 1u);
  EXPECT_EQ(mine[0]["event"]["event"]["event_name"], "a");
  auto theirs = listed(other);
  ASSERT_EQ(theirs.size(), 1u);
  EXPECT_EQ(theirs[0]["event"]["event"]["event_name"], "b");
}

TEST_F(DevServerCollector, ABatchWithAnyInvalidEventIsRefusedWhole) {
  Kit kit(server_, "key");
  struct Case {
    std::string label;
    std::function<void(json&)> change;
    std::string field;
  };
  const std::vector<Case> cases = {
      {"no timestamp", [](json& e) { e.erase("timestamp"); }, "events[1].timestamp"},
      {"bad timestamp", [](json& e) { e["timestamp"] = "yesterday"; }, "events[1].timestamp"},
      {"no device", [](json& e) { e.erase("device"); }, "events[1].device"},
      {"no vendor id", [](json& e) { e["device"].erase("vendor_id"); },
       "events[1].device.vendor_id"},
      {"numeric platform", [](json& e) { e["device"]["platform"] = 3; },
       "events[1].device.platform"},
      {"no event name", [](json& e) { e["event"].erase("event_name"); },
       "events[1].event.event_name"},
      {"error not text", [](json& e) { e["event"]["error_string"] = 1; },
       "events[1].event.error_string"},
      {"neither kind", [](json& e) { e.erase("event"); }, "events[1].event"},
      {"both kinds", [](json& e) { e["observability"] = json::object(); }, "events[1].event"},
      {"bad uuid", [](json& e) { e["context"]["uuid"] = "nope"; }, "events[1].context.uuid"},
      {"no contrib", [](json& e) { e.erase("contrib"); }, "events[1].contrib"},
      {"no application", [](json& e) { e.erase("application"); }, "events[1].application"},
      {"slug not text", [](json& e) { e["application"]["application_slug"] = false; },
       "events[1].application.application_slug"},
      {"not an object", [](json& e) { e = "event"; }, "events[1]"},
  };
  for (const auto& test : cases) {
    json broken = wrappedEvent("broken");
    test.change(broken);
    auto reply = kit.send("POST", "/v1/events", {{"events", {wrappedEvent("fine"), broken}}});
    ASSERT_TRUE(reply) << test.label;
    EXPECT_EQ(reply->status, 400) << test.label;
    std::string message = json::parse(reply->body)["message"];
    EXPECT_TRUE(message.starts_with(test.field)) << test.label << ": " << message;
  }
  for (const auto& body : {json::object(), json({{"events", "x"}}), json::array()}) {
    auto reply = kit.send("POST", "/v1/events", body);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400) << body.dump();
  }
  EXPECT_EQ(listed(kit).size(), 0u);
}

TEST_F(DevServerCollector, NullOptionalFieldsReadAsAbsent) {
  Kit kit(server_, "key");
  json event = wrappedEvent("share_sheet.loaded");
  event["context"] = nullptr;
  event["observability"] = nullptr;
  event["event"]["error_string"] = nullptr;
  auto reply = kit.send("POST", "/v1/events", {{"events", {event}}});
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200) << reply->body;
}

}  // namespace
}  // namespace velmoradine::testing
