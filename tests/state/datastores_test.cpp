#include "velmoradine/state/datastores.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/core/documentation_identifier.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

const std::string kMissingKeyLine =
    "[Velmoradine] [AuthenticationDatastore VelmoradineClientId] VelmoradineClientId is not set, "
    "please update your Info.plist - " +
    documentationLink(DocumentationIdentifier::apiKeyNotSet);

TEST(AuthenticationDatastore, ReadsTheKeyFromTheInfoPlistSilently) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"VelmoradineClientId", "abc"}});
  console::Capture capture;
  EXPECT_EQ(AuthenticationDatastore::fromInfoPlist()->apiKey(), "abc");
  EXPECT_TRUE(capture.lines().empty());
}

TEST(AuthenticationDatastore, MissingOrMistypedKeyLogsTheDocumentedLine) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"VelmoradineClientId", 7}});
  console::Capture capture;
  EXPECT_EQ(AuthenticationDatastore::fromInfoPlist()->apiKey(), std::nullopt);
  EXPECT_EQ(capture.lines(), std::vector<std::string>{kMissingKeyLine});
}

TEST(AuthenticationDatastore, EmptyKeyIsStillAKey) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"VelmoradineClientId", ""}});
  console::Capture capture;
  EXPECT_EQ(AuthenticationDatastore::fromInfoPlist()->apiKey(), "");
  EXPECT_TRUE(capture.lines().empty());
}

TEST(Datastore, SharedBundleSeesTheSameStoresAsTheSharedInstances) {
  const Datastore& shared = Datastore::shared();
  EXPECT_EQ(shared.applicationDatastore.get(), ApplicationDatastore::shared().get());
  EXPECT_EQ(shared.authenticationDatastore.get(), AuthenticationDatastore::shared().get());
  EXPECT_EQ(shared.contribDatastore.get(), ContribDatastore::shared().get());
  ContribDatastore::shared()->setUserId("user-1");
  EXPECT_EQ(shared.contribDatastore->userId(), "user-1");
  shared.contribDatastore->setUserId(std::nullopt);
  EXPECT_EQ(ContribDatastore::shared()->userId(), std::nullopt);
}

TEST(Datastores, SetReplacesTheWholeValue) {
  ApplicationDatastore store;
  store.setApplication(ApplicationResponse{"https://cta", "slug", "#FFF", "#000"});
  store.setApplication(ApplicationResponse{std::nullopt, "other", std::nullopt, std::nullopt});
  EXPECT_EQ(store.application(),
            (ApplicationResponse{std::nullopt, "other", std::nullopt, std::nullopt}));
  store.setApplication(std::nullopt);
  EXPECT_EQ(store.application(), std::nullopt);
}

TEST(Datastores, ConcurrentWritersAndReadersAreSafe) {
  ContribDatastore store;
  std::thread writer([&] {
    for (int i = 0; i < 10000; ++i) store.setUserId("user-" + std::to_string(i));
  });
  std::thread reader([&] {
    for (int i = 0; i < 10000; ++i) {
      auto value = store.userId();
      if (value) {
        ASSERT_EQ(value->rfind("user-", 0), 0u);
      }
    }
  });
  writer.join();
  reader.join();
  EXPECT_EQ(store.userId(), "user-9999");
}

}  // namespace
}  // namespace velmoradine
