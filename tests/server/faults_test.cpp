#include <gtest/gtest.h>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

// The statuses of `count` GET application requests sent one after another.
std::vector<int> statuses(const DevServerProcess& server, int count) {
  Kit kit(server, "key");
  std::vector<int> result;
  for (int i = 0; i < count; ++i) {
    auto reply = kit.get("/v1/api/sdk/application");
    result.push_back(reply ? reply->status : -1);
  }
  return result;
}

std::vector<std::string> faultArguments(const std::vector<std::string>& faults) {
  std::vector<std::string> arguments = {"--api-key", "key", "--app-slug", "app"};
  arguments.insert(arguments.end(), faults.begin(), faults.end());
  return arguments;
}

TEST(DevServerFaults, TheSameSeedGivesTheSameFaults) {
  std::vector<std::string> faults = {"--fault-seed", "42",           "--fault-status",
                                     "503",          "--fault-rate", "0.5"};
  TemporaryDirectory first;
  TemporaryDirectory second;
  DevServerProcess a(first.path(), faultArguments(faults));
  DevServerProcess b(second.path(), faultArguments(faults));
  auto fromA = statuses(a, 40);
  auto fromB = statuses(b, 40);
  EXPECT_EQ(fromA, fromB);
  EXPECT_NE(std::count(fromA.begin(), fromA.end(), 503), 0);
  EXPECT_NE(std::count(fromA.begin(), fromA.end(), 200), 0);
  EXPECT_EQ(
      std::count(fromA.begin(), fromA.end(), 503) + std::count(fromA.begin(), fromA.end(), 200),
      40);
}

TEST(DevServerFaults, AnotherSeedGivesOtherFaults) {
  TemporaryDirectory first;
  TemporaryDirectory second;
  DevServerProcess a(first.path(), faultArguments({"--fault-seed", "1", "--fault-status", "500",
                                                   "--fault-rate", "0.5"}));
  DevServerProcess b(second.path(), faultArguments({"--fault-seed", "2", "--fault-status", "500",
                                                    "--fault-rate", "0.5"}));
  EXPECT_NE(statuses(a, 40), statuses(b, 40));
}

TEST(DevServerFaults, ARouteLimitsTheFaultsToIt) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(),
                          faultArguments({"--fault-status", "502", "--fault-rate", "1",
                                          "--fault-route", "GET /v1/api/sdk/application"}));
  auto faulty = statuses(server, 3);
  EXPECT_EQ(faulty, std::vector<int>({502, 502, 502}));
  auto reply = server.client().Get("/go");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  Kit kit(server, "key");
  auto body = nlohmann::json::parse(kit.get("/v1/api/sdk/application")->body);
  EXPECT_EQ(body["error"], "injected_fault");
}

TEST(DevServerFaults, APrefixRouteCoversUploadsAndTheirBodiesAreNotTakenForRequests) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(),
                          faultArguments({"--fault-status", "500", "--fault-rate", "1",
                                          "--fault-route", "/v1/storage/*"}));
  Kit kit(server, "key");
  ShareFiles files{randomBytes(200000), randomBytes(10)};
  auto share = kit.createShare(files);
  auto upload = kit.upload(share.videoURL, share.videoHeaders, files.video);
  ASSERT_TRUE(upload);
  EXPECT_EQ(upload->status, 500);
  auto activation = kit.activate(share.token, true, false);
  ASSERT_TRUE(activation);
  EXPECT_EQ(activation->status, 409);
}

TEST(DevServerFaults, ADroppedConnectionGetsNoReply) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(), faultArguments({"--fault-drop-rate", "1"}));
  Kit kit(server, "key");
  auto reply = kit.get("/v1/api/sdk/application");
  EXPECT_FALSE(reply);
  // The server itself carries on.
  EXPECT_FALSE(kit.get("/v1/api/sdk/application"));
  EXPECT_EQ(server.stop(), 0);
}

TEST(DevServerFaults, DelayedRepliesStillArrive) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(), faultArguments({"--fault-delay-ms", "20"}));
  EXPECT_EQ(statuses(server, 3), std::vector<int>({200, 200, 200}));
}

}  // namespace
}  // namespace velmoradine::testing
