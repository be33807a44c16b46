#include "velmoradine/model/analytics_records.hpp"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <locale>
#include <set>
#include <string>

#include "velmoradine/platform/foundation/json_reader.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;
using namespace std::chrono;

template <typename T>
T decodedAs(const json& value) {
  return T::decode(JSONReader(value)).value();
}

template <typename T>
::testing::AssertionResult decodingFails(const json& value) {
  Result<T> decoded = T::decode(JSONReader(value));
  if (decoded) return ::testing::AssertionFailure() << value.dump() << " decoded";
  if (decoded.error().code().category() != decodingErrorCategory()) {
    return ::testing::AssertionFailure() << "not a decoding error: " << decoded.error().detail();
  }
  return ::testing::AssertionSuccess();
}

std::set<std::string> keysOf(const json& object) {
  std::set<std::string> keys;
  for (const auto& item : object.items()) keys.insert(item.key());
  return keys;
}

WrappedAnalyticsEvent minimalWrapped() {
  return WrappedAnalyticsEvent{
      .timestamp = "2021-03-04T05:06:07.089Z",
      .event = AnalyticsEvent{.event_name = "lifecycle.app_opened"},
      .device =
          Device{.app_version = "1.2", .os_version = "6.1.0", .platform = "x", .vendor_id = ""},
  };
}

json wrappedJSON() {
  return json(minimalWrapped());
}

TEST(AnalyticsEventJSON, WithoutErrorTextHasOnlyTheEventName) {
  json encoded = AnalyticsEvent{.event_name = "share_sheet.loaded"};
  EXPECT_EQ(encoded.dump(), R"({"event_name":"share_sheet.loaded"})");
}

TEST(AnalyticsEventJSON, WithErrorTextCarriesIt) {
  json encoded = AnalyticsEvent{.event_name = "share_outlet.copy.failed", .error_string = "boom"};
  EXPECT_EQ(keysOf(encoded), (std::set<std::string>{"event_name", "error_string"}));
  EXPECT_EQ(encoded["error_string"], "boom");
}

TEST(AnalyticsEventJSON, DecodingRequiresTheEventNameAsText) {
  EXPECT_TRUE(decodingFails<AnalyticsEvent>(json::parse(R"({"error_string":"x"})")));
  EXPECT_TRUE(decodingFails<AnalyticsEvent>(json::parse(R"({"event_name":7})")));
  EXPECT_TRUE(decodingFails<AnalyticsEvent>(json::parse(R"(["event_name"])")));
}

TEST(AnalyticsEventJSON, NullErrorTextDecodesAsAbsentButAWrongTypeFails) {
  auto decoded =
      decodedAs<AnalyticsEvent>(json::parse(R"({"event_name":"a","error_string":null})"));
  EXPECT_EQ(decoded, AnalyticsEvent{.event_name = "a"});
  EXPECT_TRUE(
      decodingFails<AnalyticsEvent>(json::parse(R"({"event_name":"a","error_string":false})")));
}

TEST(ObservabilityEventJSON, EveryFieldIsOptional) {
  EXPECT_EQ(json(ObservabilityEvent{}).dump(), "{}");
  json full = ObservabilityEvent{.event_name = "n", .message = "m"};
  EXPECT_EQ(keysOf(full), (std::set<std::string>{"event_name", "message"}));
  EXPECT_EQ(decodedAs<ObservabilityEvent>(json::parse("{}")), ObservabilityEvent{});
  EXPECT_EQ(decodedAs<ObservabilityEvent>(full),
            (ObservabilityEvent{.event_name = "n", .message = "m"}));
}

TEST(ContribAndApplicationJSON, WithoutValuesAreEmptyObjects) {
  EXPECT_EQ(json(Contrib{}).dump(), "{}");
  EXPECT_EQ(json(Application{}).dump(), "{}");
  EXPECT_EQ(json(Contrib{.contrib_user_id = "u-1"}).dump(), R"({"contrib_user_id":"u-1"})");
  EXPECT_EQ(json(Application{.application_slug = "acme"}).dump(), R"({"application_slug":"acme"})");
}

TEST(DeviceJSON, WritesAllFourKeysEvenWhenEmpty) {
  json encoded = Device{};
  EXPECT_EQ(keysOf(encoded),
            (std::set<std::string>{"app_version", "os_version", "platform", "vendor_id"}));
  for (const auto& item : encoded.items()) EXPECT_EQ(item.value(), "") << item.key();
}

TEST(DeviceJSON, DecodingFailsWithoutAnyOfItsKeys) {
  for (const char* key : {"app_version", "os_version", "platform", "vendor_id"}) {
    json encoded = Device{.app_version = "a", .os_version = "b", .platform = "c", .vendor_id = "d"};
    encoded.erase(key);
    EXPECT_TRUE(decodingFails<Device>(encoded)) << key;
  }
}

TEST(ContextJSON, IsOneUpperCaseUuidKey) {
  Context context;
  json encoded = context;
  EXPECT_EQ(keysOf(encoded), (std::set<std::string>{"uuid"}));
  const std::string text = encoded["uuid"];
  ASSERT_EQ(text.size(), 36u);
  for (char c : text) EXPECT_TRUE(c == '-' || std::isdigit(c) || (c >= 'A' && c <= 'F')) << text;
  EXPECT_EQ(text, context.uuid.uuidString());
}

TEST(ContextJSON, TwoContextsNeverShareAUuid) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) seen.insert(Context().uuid.uuidString());
  EXPECT_EQ(seen.size(), 1000u);
}

TEST(ContextJSON, DecodesEitherCaseAndRejectsWhatIsNotAUuid) {
  auto decoded =
      decodedAs<Context>(json::parse(R"({"uuid":"5b0e6c1a-3d7f-4e29-9a41-c8d2f7b36e15"})"));
  EXPECT_EQ(decoded.uuid.uuidString(), "5B0E6C1A-3D7F-4E29-9A41-C8D2F7B36E15");
  EXPECT_TRUE(decodingFails<Context>(json::parse("{}")));
  EXPECT_TRUE(decodingFails<Context>(json::parse(R"({"uuid":"not-a-uuid"})")));
  EXPECT_TRUE(
      decodingFails<Context>(json::parse(R"({"uuid":"5B0E6C1A3D7F4E299A41C8D2F7B36E15"})")));
  EXPECT_TRUE(decodingFails<Context>(json::parse(R"({"uuid":42})")));
}

TEST(WrappedAnalyticsEventJSON, WithoutContextUserOrSlugOmitsContextAndKeepsEmptyObjects) {
  json encoded = wrappedJSON();
  EXPECT_EQ(keysOf(encoded),
            (std::set<std::string>{"timestamp", "event", "device", "contrib", "application"}));
  EXPECT_EQ(encoded["contrib"].dump(), "{}");
  EXPECT_EQ(encoded["application"].dump(), "{}");
  EXPECT_EQ(keysOf(encoded["device"]),
            (std::set<std::string>{"app_version", "os_version", "platform", "vendor_id"}));
  EXPECT_EQ(encoded.dump().find("null"), std::string::npos);
}

TEST(WrappedAnalyticsEventJSON, RoundTripsEveryField) {
  WrappedAnalyticsEvent full = minimalWrapped();
  full.event->error_string = "Decoding error.";
  full.context = Context();
  full.contrib.contrib_user_id = "user-7";
  full.application.application_slug = "acme";
  json encoded = full;
  EXPECT_EQ(keysOf(encoded), (std::set<std::string>{"timestamp", "event", "device", "context",
                                                    "contrib", "application"}));
  EXPECT_EQ(decodedAs<WrappedAnalyticsEvent>(encoded), full);

  WrappedAnalyticsEvent observed = minimalWrapped();
  observed.event.reset();
  observed.observability = ObservabilityEvent{.message = "m"};
  json observedJSON = observed;
  EXPECT_FALSE(observedJSON.contains("event"));
  EXPECT_EQ(decodedAs<WrappedAnalyticsEvent>(observedJSON), observed);
}

TEST(WrappedAnalyticsEventJSON, DecodingFailsWhenTheDeviceLacksVendorId) {
  json encoded = wrappedJSON();
  encoded["device"].erase("vendor_id");
  EXPECT_TRUE(decodingFails<WrappedAnalyticsEvent>(encoded));
}

TEST(WrappedAnalyticsEventJSON, MissingEventDecodesWithNoEvent) {
  json encoded = wrappedJSON();
  encoded.erase("event");
  WrappedAnalyticsEvent decoded = decodedAs<WrappedAnalyticsEvent>(encoded);
  EXPECT_FALSE(decoded.event.has_value());
  EXPECT_FALSE(decoded.observability.has_value());
}

TEST(WrappedAnalyticsEventJSON, RequiredKeysMustBePresent) {
  for (const char* key : {"timestamp", "device", "contrib", "application"}) {
    json encoded = wrappedJSON();
    encoded.erase(key);
    EXPECT_TRUE(decodingFails<WrappedAnalyticsEvent>(encoded)) << key;
  }
}

TEST(WrappedAnalyticsEventJSON, NullOptionalsAreAbsentAndWrongTypesFail) {
  json encoded = wrappedJSON();
  encoded["context"] = nullptr;
  encoded["observability"] = nullptr;
  WrappedAnalyticsEvent decoded = decodedAs<WrappedAnalyticsEvent>(encoded);
  EXPECT_FALSE(decoded.context.has_value());
  EXPECT_FALSE(decoded.observability.has_value());

  json numeric = wrappedJSON();
  numeric["timestamp"] = 1614834367;
  EXPECT_TRUE(decodingFails<WrappedAnalyticsEvent>(numeric));
  json listed = wrappedJSON();
  listed["contrib"] = json::array();
  EXPECT_TRUE(decodingFails<WrappedAnalyticsEvent>(listed));
}

TEST(BatchEventsJSON, KeepsQueueOrderAndMatchesTheRecordEncoding) {
  std::vector<WrappedAnalyticsEvent> events;
  for (int i = 0; i < 5; ++i) {
    WrappedAnalyticsEvent event = minimalWrapped();
    event.event->event_name = "event." + std::to_string(i);
    events.push_back(event);
  }
  const std::string body = encodeBatchEvents(events);
  EXPECT_EQ(body, json(BatchEvents{.events = events}).dump());
  json parsed = json::parse(body);
  EXPECT_EQ(keysOf(parsed), (std::set<std::string>{"events"}));
  EXPECT_EQ(decodedAs<BatchEvents>(parsed).events, events);
  EXPECT_EQ(encodeBatchEvents({}), R"({"events":[]})");
}

TEST(BatchEventsJSON, DecodingRequiresAnEventsList) {
  EXPECT_TRUE(decodingFails<BatchEvents>(json::parse("{}")));
  EXPECT_TRUE(decodingFails<BatchEvents>(json::parse(R"({"events":{}})")));
  EXPECT_TRUE(decodingFails<BatchEvents>(json::parse(R"({"events":[{}]})")));
}

TEST(BatchEvents, ADecodingErrorNamesThePathOfTheValue) {
  const struct {
    const char* document;
    Error error;
  } cases[] = {
      {R"({"events":[{}]})", Error(DecodingError::keyNotFound, "$.events[0].timestamp: missing")},
      {R"({"events":7})",
       Error(DecodingError::typeMismatch, "$.events: expected an array, found number")},
      {R"({"events":[{"timestamp":"t","device":{"app_version":null}}]})",
       Error(DecodingError::valueNotFound, "$.events[0].device.app_version: null")},
  };
  for (const auto& [document, error] : cases) {
    SCOPED_TRACE(document);
    EXPECT_EQ(decodeJSON<BatchEvents>(document).error(), error);
  }
}

TEST(BatchEventsJSON, InvalidUtf8IsReplacedSoTheBatchStillEncodes) {
  WrappedAnalyticsEvent event = minimalWrapped();
  event.event->error_string = std::string("bad \xC3\x28 byte");
  const std::string body = encodeBatchEvents(std::vector{event, minimalWrapped()});
  json parsed = json::parse(body);
  EXPECT_EQ(parsed["events"].size(), 2u);
  EXPECT_EQ(parsed["events"][0]["event"]["error_string"], "bad \xEF\xBF\xBD( byte");
}

class TimestampFormatterTest : public ::testing::Test {
 protected:
  static system_clock::time_point at(int y, unsigned m, unsigned d, int h, int min, int s, int ms) {
    return sys_days{year{y} / month{m} / day{d}} + hours{h} + minutes{min} + seconds{s} +
           milliseconds{ms};
  }
  TimestampFormatter formatter;
};

TEST_F(TimestampFormatterTest, WritesMillisecondsAndZ) {
  EXPECT_EQ(formatter.string(at(2021, 3, 4, 5, 6, 7, 89)), "2021-03-04T05:06:07.089Z");
  EXPECT_EQ(formatter.string(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(formatter.string(at(2262, 4, 11, 23, 47, 16, 854)), "2262-04-11T23:47:16.854Z");
}

TEST_F(TimestampFormatterTest, LastMillisecondOfTheYearStaysInItsDay) {
  EXPECT_EQ(formatter.string(at(2020, 12, 31, 23, 59, 59, 999)), "2020-12-31T23:59:59.999Z");
  EXPECT_EQ(formatter.string(at(2020, 12, 31, 23, 59, 59, 999) + microseconds(999)),
            "2020-12-31T23:59:59.999Z");
}

TEST_F(TimestampFormatterTest, BeforeTheEpochCountsBackwards) {
  EXPECT_EQ(formatter.string(system_clock::time_point{} - milliseconds(1)),
            "1969-12-31T23:59:59.999Z");
}

TEST_F(TimestampFormatterTest, IgnoresTheProcessTimeZoneAndLocale) {
  const char* previousTZ = std::getenv("TZ");
  const std::string savedTZ = previousTZ ? previousTZ : "";
  // A half-hour offset east of GMT and a locale that writes numbers with a
  // comma and digit grouping.
  setenv("TZ", "IST-05:30", 1);
  tzset();
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\1"; }
  };
  const std::locale previousLocale =
      std::locale::global(std::locale(std::locale::classic(), new Comma));
  std::setlocale(LC_ALL, "C.UTF-8");

  const std::string text = formatter.string(at(2020, 12, 31, 23, 59, 59, 999));

  std::locale::global(previousLocale);
  std::setlocale(LC_ALL, "C");
  if (previousTZ) {
    setenv("TZ", savedTZ.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
  EXPECT_EQ(text, "2020-12-31T23:59:59.999Z");
}

}  // namespace
}  // namespace velmoradine
