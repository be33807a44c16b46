#include "velmoradine/platform/foundation/property_list.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

TEST(PropertyList, XmlRoundTripKeepsEveryType) {
  PropertyList::Dictionary entries{
      {"text", "hello"},
      {"number", 42},
      {"real", 2.5},
      {"flag", true},
      {"data", PropertyList::Data{0, 1, 255}},
      {"list", PropertyList::Array{"a", 7}},
      {"nested", PropertyList::Dictionary{{"inner", "x"}}},
  };
  auto parsed = PropertyList::parse(PropertyList(entries).xml());
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(*parsed, PropertyList(entries));
  EXPECT_EQ(parsed->stringFor("text"), "hello");
  EXPECT_EQ(parsed->find("number")->integer(), 42);
  EXPECT_EQ(parsed->find("real")->real(), 2.5);
  EXPECT_EQ(parsed->find("flag")->boolean(), true);
  EXPECT_EQ(parsed->find("nested")->stringFor("inner"), "x");
}

TEST(PropertyList, ReadsTheBinaryForm) {
  PropertyList written(PropertyList::Dictionary{{"VelmoradineClientId", "key"}, {"n", 7}});
  std::string bytes = written.binary();
  ASSERT_EQ(bytes.rfind("bplist00", 0), 0u);
  auto parsed = PropertyList::parse(bytes);
  ASSERT_TRUE(parsed.has_value()) << parsed.error().localizedDescription();
  EXPECT_EQ(*parsed, written);
}

TEST(PropertyList, MistypedValuesReadAsNothing) {
  PropertyList list(PropertyList::Dictionary{{"number", 3}});
  EXPECT_EQ(list.stringFor("number"), std::nullopt);
  EXPECT_EQ(list.stringFor("missing"), std::nullopt);
  EXPECT_EQ(list.find("number")->boolean(), std::nullopt);
  EXPECT_EQ(PropertyList("text").find("anything"), nullptr);
}

TEST(PropertyList, GarbageAndMissingFilesAreErrors) {
  EXPECT_FALSE(PropertyList::parse("this is not a property list").has_value());
  EXPECT_FALSE(PropertyList::parse("bplist00\x01\x02").has_value());
  auto missing = PropertyList::read("/nonexistent/Info.plist");
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().code(), std::errc::no_such_file_or_directory);
}

// An XML document of `depth` nested arrays around one text.
std::string nestedArrays(int depth) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">";
  for (int i = 0; i < depth; ++i) xml += "<array>";
  xml += "<string>x</string>";
  for (int i = 0; i < depth; ++i) xml += "</array>";
  return xml + "</plist>";
}

TEST(PropertyList, NestingIsLimitedSoADeepDocumentIsAnErrorNotACrash) {
  EXPECT_TRUE(PropertyList::parse(nestedArrays(100)).has_value());
  auto deep = PropertyList::parse(nestedArrays(20000));
  ASSERT_FALSE(deep.has_value());
  EXPECT_NE(deep.error().detail().find("nests deeper"), std::string::npos);
}

TEST(PropertyList, OnlyRegularFilesOfSaneSizeAreRead) {
  testing::TemporaryDirectory directory;
  auto pipe = directory.path() / "Info.plist";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EXPECT_EQ(PropertyList::read(pipe).error().code(), std::errc::invalid_argument);
  EXPECT_EQ(PropertyList::read(directory.path()).error().code(), std::errc::is_a_directory);
  auto huge = directory.path() / "huge.plist";
  std::ofstream{huge};
  std::filesystem::resize_file(huge, std::size_t{64} << 20);
  EXPECT_EQ(PropertyList::read(huge).error().code(), std::errc::file_too_large);
}

}  // namespace
}  // namespace velmoradine
