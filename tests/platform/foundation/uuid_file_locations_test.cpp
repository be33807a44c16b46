#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/file_locations.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"

namespace velmoradine {
namespace {

TEST(UUID, TextIsUpperCaseCanonicalVersion4) {
  std::string text = UUID().uuidString();
  ASSERT_EQ(text.size(), 36u);
  for (std::size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(text[i], '-');
  EXPECT_EQ(text[14], '4');
  EXPECT_NE(std::string("89AB").find(text[19]), std::string::npos);
  for (char c : text) EXPECT_TRUE(c == '-' || std::isdigit(c) || (c >= 'A' && c <= 'F')) << text;
}

TEST(UUID, ParseAcceptsEitherCaseAndRejectsMalformedText) {
  auto parsed = UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
  EXPECT_FALSE(UUID::parse("E621E1F8C36C495A93FC0C247A3E6E5F").has_value());
  EXPECT_FALSE(UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5G").has_value());
  EXPECT_FALSE(UUID::parse("E621E1F-8C36C-495A-93FC-0C247A3E6E5F").has_value());
}

TEST(UUID, RandomIdentifiersDoNotRepeat) {
  std::set<std::string> seen;
  for (int i = 0; i < 10000; ++i) seen.insert(UUID().uuidString());
  EXPECT_EQ(seen.size(), 10000u);
}

class FileLocationsTest : public ::testing::Test {
 protected:
  void SetUp() override { bundle_.writeInfoPlist({{"CFBundleIdentifier", "dev.example.app"}}); }
  void TearDown() override {
    unsetenv("XDG_CACHE_HOME");
    unsetenv("XDG_DATA_HOME");
  }
  testing::TemporaryMainBundle bundle_;
};

TEST_F(FileLocationsTest, FollowTheXdgVariablesAndTheBundleIdentifier) {
  setenv("XDG_CACHE_HOME", "/var/cache-root", 1);
  setenv("XDG_DATA_HOME", "/var/data-root", 1);
  EXPECT_EQ(file_locations::cachesDirectory(), "/var/cache-root/dev.example.app");
  EXPECT_EQ(file_locations::documentsDirectory(), "/var/data-root/dev.example.app");
  EXPECT_EQ(file_locations::temporaryDirectory(), std::filesystem::temp_directory_path());
}

TEST_F(FileLocationsTest, RelativeXdgValuesAreIgnored) {
  setenv("XDG_CACHE_HOME", "relative/cache", 1);
  setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(file_locations::cachesDirectory(), "/home/tester/.cache/dev.example.app");
  EXPECT_EQ(file_locations::documentsDirectory(), "/home/tester/.local/share/dev.example.app");
}

}  // namespace
}  // namespace velmoradine
