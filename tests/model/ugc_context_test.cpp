#include "velmoradine/model/ugc_context.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

struct Size {
  int width;
  int height;
  nlohmann::json toJSON() const { return {{"width", width}, {"height", height}}; }
};

struct Opaque {
  int value;
};

TEST(UGCContext, ContextGivesExactlyTheStoredEntries) {
  UGCContext context("builder");
  context.set(1, "a");
  context.set("x", "b");
  EXPECT_EQ(context.context(), (nlohmann::json{{"a", 1}, {"b", "x"}}));
}

TEST(UGCContext, ValuesOfEverySupportedKindEncode) {
  UGCContext context("kinds");
  context.set(true, "flag");
  context.set(2.5, "ratio");
  context.set(0.5f, "half");
  context.set(std::uint8_t{7}, "small");
  context.set(std::int64_t{-9000000000}, "large");
  context.set(std::vector<int>{1, 2}, "list");
  context.set(Size{540, 960}, "size");
  EXPECT_EQ(context.context(),
            nlohmann::json::parse(R"({"flag": true, "ratio": 2.5, "half": 0.5, "small": 7,
                                      "large": -9000000000, "list": [1, 2],
                                      "size": {"width": 540, "height": 960}})"));
}

TEST(UGCContext, AValueWithoutAJSONFormIsLeftOutWithALine) {
  console::Capture capture;
  UGCContext context("t");
  context.set(Opaque{1}, "opaque");
  context.set(1, "a");
  EXPECT_EQ(context.context(), (nlohmann::json{{"a", 1}}));
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Type Opaque not supported"}));
}

TEST(UGCContext, ASecondValueReplacesTheFirst) {
  UGCContext context("t");
  context.set(1, "a");
  context.set("later", "a");
  EXPECT_EQ(context.context(), (nlohmann::json{{"a", "later"}}));
  EXPECT_EQ(context.encodableSource().size(), 1u);
}

TEST(UGCContext, AnEmptyContextEncodesItsTagAndAnEmptyObject) {
  UGCContext context("empty");
  EXPECT_EQ(context.toJSON().dump(), R"({"context":{},"tag":"empty"})");
  EXPECT_EQ(context.context(), nlohmann::json::object());
}

TEST(UGCContext, AContextThatCannotBeEncodedGivesAnEmptyDictionaryAndALine) {
  console::Capture capture;
  UGCContext context("t");
  context.set(std::numeric_limits<double>::infinity(), "ratio");
  context.set(1, "a");
  EXPECT_EQ(context.context(), nlohmann::json::object());
  EXPECT_EQ(capture.lines().size(), 1u);

  UGCContext invalidText("t");
  invalidText.set(std::string("\xff"), "name");
  EXPECT_EQ(invalidText.context(), nlohmann::json::object());
  EXPECT_EQ(capture.lines().size(), 2u);
}

TEST(JSONHelpers, DictionariesTakeTheFirstKindThatFits) {
  auto document = nlohmann::json::parse(
      R"({"b": true, "s": "x", "i": 3, "d": 2.5, "o": {"n": null, "k": 1}, "l": [1, null, "y"], "z": null})");
  json::AnyDictionary decoded = json::decodeDictionary(JSONReader(document)).value();
  EXPECT_EQ(decoded.size(), 6u);
  EXPECT_EQ(std::any_cast<bool>(decoded.at("b")), true);
  EXPECT_EQ(std::any_cast<std::string>(decoded.at("s")), "x");
  EXPECT_EQ(std::any_cast<std::int64_t>(decoded.at("i")), 3);
  EXPECT_EQ(std::any_cast<double>(decoded.at("d")), 2.5);
  auto nested = std::any_cast<json::AnyDictionary>(decoded.at("o"));
  EXPECT_EQ(nested.size(), 1u);
  EXPECT_EQ(std::any_cast<std::int64_t>(nested.at("k")), 1);
  // Lists skip nulls and read every number as a double.
  auto list = std::any_cast<json::AnyList>(decoded.at("l"));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(std::any_cast<double>(list[0]), 1.0);
  EXPECT_EQ(std::any_cast<std::string>(list[1]), "y");
}

TEST(JSONHelpers, KeyedAndIfPresentForms) {
  auto document = nlohmann::json::parse(R"({"d": {"a": 1}, "l": [true], "n": 5})");
  const JSONReader reader(document);
  EXPECT_EQ(json::decodeDictionary(reader, "d")->size(), 1u);
  EXPECT_EQ(json::decodeList(reader, "l")->size(), 1u);
  EXPECT_FALSE(json::decodeDictionaryIfPresent(reader, "missing").value().has_value());
  EXPECT_FALSE(json::decodeListIfPresent(reader, "missing").value().has_value());
  EXPECT_EQ(json::decodeListIfPresent(reader, "l").value()->size(), 1u);
  EXPECT_EQ(json::decodeDictionary(reader, "missing").error(),
            Error(DecodingError::keyNotFound, "$.missing: missing"));
  EXPECT_EQ(json::decodeDictionary(reader, "n").error(),
            Error(DecodingError::typeMismatch, "$.n: expected an object, found number"));
  EXPECT_EQ(json::decodeList(reader, "d").error(),
            Error(DecodingError::typeMismatch, "$.d: expected an array, found object"));
}

TEST(JSONHelpers, EncodeDynamicKeyValuesWritesSupportedValuesOnly) {
  console::Capture capture;
  nlohmann::json container = nlohmann::json::object();
  json::encodeDynamicKeyValues(
      container,
      {{"i", 1}, {"t", std::string("x")}, {"w", EncodableWrapper(Size{1, 2})}, {"o", Opaque{3}}});
  EXPECT_EQ(container,
            nlohmann::json::parse(R"({"i": 1, "t": "x", "w": {"width": 1, "height": 2}})"));
  EXPECT_TRUE(capture.contains("Type Opaque not supported"));
}

}  // namespace
}  // namespace velmoradine
