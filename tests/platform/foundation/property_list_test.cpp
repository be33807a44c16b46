#include "velmoradine/platform/foundation/property_list.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace velmoradine
