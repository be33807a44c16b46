#include <gtest/gtest.h>

#include <regex>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;

TEST(DevServerStartup, PrintsExactlyItsBaseURLAndStopsCleanlyOnSigterm) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path());
  ASSERT_TRUE(server.running());
  EXPECT_TRUE(std::regex_match(server.baseURL(), std::regex(R"(http://127\.0\.0\.1:[0-9]{2,5}/)")))
      << server.baseURL();
  auto reply = server.client().Get("/go");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);

  EXPECT_EQ(server.stop(SIGTERM), 0);
  EXPECT_EQ(server.standardOutput(), server.baseURL() + "\n");
}

TEST(DevServerStartup, StopsCleanlyOnSigintWhileAClientHoldsAConnection) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path());
  ASSERT_TRUE(server.running());
  auto client = server.client();
  client.set_keep_alive(true);
  ASSERT_TRUE(client.Get("/go"));
  EXPECT_EQ(server.stop(SIGINT), 0);
}

TEST(DevServerStartup, CreatesTheDatabaseAndStorageUnderTheDataDirectory) {
  TemporaryDirectory directory;
  auto data = directory.path() / "nested" / "data";
  DevServerProcess server(data);
  ASSERT_TRUE(server.running());
  EXPECT_TRUE(std::filesystem::exists(data / "devserver.sqlite3"));
  EXPECT_TRUE(std::filesystem::is_directory(data / "storage" / "files"));
}

TEST(DevServerStartup, WithoutDataDirectoryExplainsAndFails) {
  auto run = runDevServer({"--port", "0"});
  EXPECT_EQ(run.exitStatus, 2);
  EXPECT_NE(run.standardError.find("--data-dir is required"), std::string::npos)
      << run.standardError;
  EXPECT_EQ(run.standardOutput, "");
}

TEST(DevServerStartup, RefusesUnknownOptionsAndBadValues) {
  TemporaryDirectory directory;
  auto dir = directory.path().string();
  EXPECT_EQ(runDevServer({"--data-dir", dir, "--colour", "red"}).exitStatus, 2);
  EXPECT_EQ(runDevServer({"--data-dir", dir, "--port", "70000"}).exitStatus, 2);
  EXPECT_EQ(runDevServer({"--data-dir", dir, "--api-key", "k"}).exitStatus, 2);
  EXPECT_EQ(runDevServer({"--data-dir", dir, "--fault-rate", "0.5"}).exitStatus, 2);
  EXPECT_EQ(runDevServer({"--data-dir", dir, "--app-slug", "s"}).exitStatus, 2);
}

TEST(DevServerStartup, HelpPrintsUsageAndSucceeds) {
  auto run = runDevServer({"--help"});
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_NE(run.standardOutput.find("--fault-drop-rate"), std::string::npos);
}

TEST(DevServerStartup, ASecondServerOnTheSameDirectoryIsRefused) {
  TemporaryDirectory directory;
  DevServerProcess first(directory.path());
  ASSERT_TRUE(first.running());
  auto second = runDevServer({"--data-dir", directory.path().string(), "--port", "0"});
  EXPECT_EQ(second.exitStatus, 1);
  EXPECT_NE(second.standardError.find("another devserver"), std::string::npos)
      << second.standardError;
}

TEST(DevServerStartup, ABusyPortIsAStartupError) {
  TemporaryDirectory first;
  TemporaryDirectory second;
  DevServerProcess server(first.path());
  ASSERT_TRUE(server.running());
  auto port = server.baseURL().substr(17, server.baseURL().size() - 18);
  auto run = runDevServer({"--data-dir", second.path().string(), "--port", port});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.standardError.find("cannot listen"), std::string::npos) << run.standardError;
}

TEST(DevServerStartup, RegisteringAnExistingKeyUpdatesTheApplication) {
  TemporaryDirectory directory;
  {
    DevServerProcess server(directory.path(),
                            {"--api-key", "key", "--app-slug", "first", "--brand-color", "#123456",
                             "--cta-link", "https://example.com/app"});
    ASSERT_TRUE(server.running());
    Kit kit(server, "key");
    auto reply = kit.get("/v1/api/sdk/application");
    ASSERT_TRUE(reply);
    EXPECT_EQ(json::parse(reply->body), json({{"slug", "first"},
                                              {"brand_color", "#123456"},
                                              {"cta_link", "https://example.com/app"}}));
    EXPECT_EQ(server.stop(), 0);
  }
  DevServerProcess server(directory.path(), {"--api-key", "key", "--app-slug", "second",
                                             "--background-color", "black"});
  ASSERT_TRUE(server.running());
  Kit kit(server, "key");
  auto reply = kit.get("/v1/api/sdk/application");
  ASSERT_TRUE(reply);
  EXPECT_EQ(json::parse(reply->body), json({{"slug", "second"}, {"background_color", "black"}}));
}

TEST(DevServerStartup, ASlugHeldByAnotherKeyIsRefused) {
  TemporaryDirectory directory;
  {
    DevServerProcess server(directory.path(), {"--api-key", "one", "--app-slug", "taken"});
    ASSERT_TRUE(server.running());
  }
  auto run = runDevServer(
      {"--data-dir", directory.path().string(), "--api-key", "two", "--app-slug", "taken"});
  EXPECT_EQ(run.exitStatus, 1);
  EXPECT_NE(run.standardError.find("taken"), std::string::npos) << run.standardError;
}

TEST(DevServerStartup, RestartKeepsApplicationsSharesFilesAndEvents) {
  TemporaryDirectory directory;
  ShareFiles files{randomBytes(300000), randomBytes(4000)};
  CreatedShare published;
  CreatedShare pending;
  std::string eventsBefore;
  std::string contextCode;
  std::string firstBase;
  {
    DevServerProcess server(directory.path(), {"--api-key", "key", "--app-slug", "app"});
    ASSERT_TRUE(server.running());
    firstBase = server.baseURL();
    Kit kit(server, "key", "user-1");
    published = kit.publish(files, "Kept");
    pending = kit.createShare(files, "Pending");
    auto context =
        kit.send("PUT", "/v1/api/sdk/debug/context", {{"tag", "t"}, {"context", {{"a", 1}}}});
    ASSERT_TRUE(context);
    contextCode = json::parse(context->body)["code"];
    json event = {
        {"timestamp", "2021-03-04T05:06:07.089Z"},
        {"event", {{"event_name", "lifecycle.app_opened"}}},
        {"device",
         {{"app_version", "1"}, {"os_version", "2"}, {"platform", "p"}, {"vendor_id", "v"}}},
        {"contrib", json::object()},
        {"application", json::object()}};
    ASSERT_EQ(kit.send("POST", "/v1/events", {{"events", {event}}})->status, 200);
    eventsBefore = json::parse(kit.get("/v1/events")->body).dump();
    EXPECT_EQ(server.stop(), 0);
  }

  // The same directory without any --api-key: the application was kept.
  DevServerProcess server(directory.path());
  ASSERT_TRUE(server.running());
  Kit kit(server, "key");
  auto application = kit.get("/v1/api/sdk/application");
  ASSERT_TRUE(application);
  EXPECT_EQ(json::parse(application->body), json({{"slug", "app"}}));

  // Links are paths: the old link's path works under the new base.
  auto link = pathAndQuery(published.link);
  auto page = kit.client().Get(link);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find(server.baseURL() + link.substr(1) + "/video"), std::string::npos);
  auto video = kit.client().Get(link + "/video");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->body, files.video);

  // An upload address handed out before the restart is still valid.
  auto upload = kit.upload(pending.videoURL, pending.videoHeaders, files.video);
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->status, 200) << upload->body;

  EXPECT_EQ(json::parse(kit.get("/v1/events")->body).dump(), eventsBefore);
  auto context = kit.get("/v1/api/sdk/debug/context/" + contextCode);
  ASSERT_TRUE(context);
  EXPECT_EQ(json::parse(context->body), json({{"tag", "t"}, {"context", {{"a", 1}}}}));
}

}  // namespace
}  // namespace velmoradine::testing
