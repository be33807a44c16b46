#include "velmoradine/core/bundle_readers.hpp"

#include <gtest/gtest.h>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/core/deployment.hpp"

namespace velmoradine {
namespace {

TEST(BundleReaders, ReadTextsFromTheMainBundle) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"CFBundleShortVersionString", "2.1"},
                         {"CFBundleVersion", "210"},
                         {"VelmoradineClientId", "key-123"},
                         {"LSApplicationQueriesSchemes", PropertyList::Array{"instagram", "sms"}}});
  EXPECT_EQ(releaseVersionNumber(), "2.1");
  EXPECT_EQ(buildVersionNumber(), "210");
  EXPECT_EQ(velmoradineClientId(), "key-123");
  EXPECT_EQ(applicationQuerySchemes(), (std::vector<std::string>{"instagram", "sms"}));
}

TEST(BundleReaders, MistypedOrMissingValuesReadAsNothing) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"VelmoradineClientId", 12345},
                         {"CFBundleVersion", true},
                         {"LSApplicationQueriesSchemes", PropertyList::Array{"ok", 3}}});
  EXPECT_EQ(velmoradineClientId(), std::nullopt);
  EXPECT_EQ(buildVersionNumber(), std::nullopt);
  EXPECT_EQ(releaseVersionNumber(), std::nullopt);
  EXPECT_TRUE(applicationQuerySchemes().empty());
}

TEST(BundleReaders, SchemesThatAreNotAListReadAsEmpty) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"LSApplicationQueriesSchemes", "instagram"}});
  EXPECT_TRUE(applicationQuerySchemes().empty());
}

TEST(BundleReaders, ServiceAddressesFallBackToTheBuildDefaults) {
  testing::TemporaryMainBundle bundle;
  EXPECT_EQ(velmoradineAPIBaseURL(), deployment::kDefaultAPIBaseURL);
  EXPECT_EQ(velmoradineEventsURL(), deployment::kDefaultEventsURL);
  testing::TemporaryMainBundle configured;
  configured.writeInfoPlist({{"VelmoradineAPIBaseURL", "http://127.0.0.1:9/v1/api/sdk/"},
                             {"VelmoradineEventsURL", "http://127.0.0.1:9/v1/events"}});
  EXPECT_EQ(velmoradineAPIBaseURL(), "http://127.0.0.1:9/v1/api/sdk/");
  EXPECT_EQ(velmoradineEventsURL(), "http://127.0.0.1:9/v1/events");
}

struct InvalidAddress {
  const char* name;
  PropertyList value;
  // Test names and failure messages show the case by its name.
  friend void PrintTo(const InvalidAddress& value, std::ostream* out) { *out << value.name; }
};

class InvalidServiceAddress : public ::testing::TestWithParam<InvalidAddress> {};

TEST_P(InvalidServiceAddress, IsAConfigurationErrorNamingTheKeyNeverTheDefault) {
  for (const char* key : {"VelmoradineAPIBaseURL", "VelmoradineEventsURL"}) {
    testing::TemporaryMainBundle bundle;
    bundle.writeInfoPlist({{key, GetParam().value}});
    Result<std::string> address = std::string_view(key) == "VelmoradineAPIBaseURL"
                                      ? velmoradineAPIBaseURL()
                                      : velmoradineEventsURL();
    ASSERT_FALSE(address.has_value()) << key << " = " << *address;
    EXPECT_EQ(address.error(), ConfigurationError::invalidServiceAddress);
    EXPECT_TRUE(address.error().detail().starts_with(key)) << address.error().detail();
  }
}

INSTANTIATE_TEST_SUITE_P(
    BundleReaders, InvalidServiceAddress,
    ::testing::Values(InvalidAddress{"Empty", ""}, InvalidAddress{"Relative", "/v1/api/sdk/"},
                      InvalidAddress{"LineBreak", "http://h.test/\r\nX-Injected: 1"},
                      InvalidAddress{"Script", "javascript:alert(1)"},
                      InvalidAddress{"OtherScheme", "ftp://h.test/"},
                      InvalidAddress{"Array", PropertyList::Array{"http://h.test/"}},
                      InvalidAddress{"Boolean", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmoradine
