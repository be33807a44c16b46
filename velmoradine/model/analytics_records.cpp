#include "velmoradine/model/analytics_records.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;

void putOptional(json& object, const char* key, const std::optional<std::string>& value) {
  if (value) object[key] = *value;
}

// A missing key and a null both read as absent; any other non-text value is a
// decoding failure, as for required fields.
std::optional<std::string> optionalText(const json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || found->is_null()) return std::nullopt;
  return found->get<std::string>();
}

template <typename T>
std::optional<T> optionalRecord(const json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || found->is_null()) return std::nullopt;
  return found->get<T>();
}

void requireObject(const json& value) {
  if (!value.is_object()) {
    throw json::type_error::create(
        302, "type must be object, but is " + std::string(value.type_name()), &value);
  }
}

// Appends `value` as exactly `width` decimal digits (wider when it needs more).
void appendDigits(std::string& text, long long value, int width) {
  char digits[24];
  int count = 0;
  unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text += '-';
  for (int pad = count; pad < width; ++pad) text += '0';
  while (count > 0) text += digits[--count];
}

json batchJSON(std::span<const WrappedAnalyticsEvent> events) {
  json list = json::array();
  list.get_ref<json::array_t&>().reserve(events.size());
  for (const WrappedAnalyticsEvent& event : events) list.push_back(event);
  json body = json::object();
  body["events"] = std::move(list);
  return body;
}

}  // namespace

void to_json(json& j, const AnalyticsEvent& value) {
  j = json::object();
  j["event_name"] = value.event_name;
  putOptional(j, "error_string", value.error_string);
}

void from_json(const json& j, AnalyticsEvent& value) {
  requireObject(j);
  value.event_name = j.at("event_name").get<std::string>();
  value.error_string = optionalText(j, "error_string");
}

void to_json(json& j, const ObservabilityEvent& value) {
  j = json::object();
  putOptional(j, "event_name", value.event_name);
  putOptional(j, "message", value.message);
}

void from_json(const json& j, ObservabilityEvent& value) {
  requireObject(j);
  value.event_name = optionalText(j, "event_name");
  value.message = optionalText(j, "message");
}

void to_json(json& j, const Contrib& value) {
  j = json::object();
  putOptional(j, "contrib_user_id", value.contrib_user_id);
}

void from_json(const json& j, Contrib& value) {
  requireObject(j);
  value.contrib_user_id = optionalText(j, "contrib_user_id");
}

void to_json(json& j, const Application& value) {
  j = json::object();
  putOptional(j, "application_slug", value.application_slug);
}

void from_json(const json& j, Application& value) {
  requireObject(j);
  value.application_slug = optionalText(j, "application_slug");
}

void to_json(json& j, const Device& value) {
  j = json::object();
  j["app_version"] = value.app_version;
  j["os_version"] = value.os_version;
  j["platform"] = value.platform;
  j["vendor_id"] = value.vendor_id;
}

void from_json(const json& j, Device& value) {
  requireObject(j);
  value.app_version = j.at("app_version").get<std::string>();
  value.os_version = j.at("os_version").get<std::string>();
  value.platform = j.at("platform").get<std::string>();
  value.vendor_id = j.at("vendor_id").get<std::string>();
}

void to_json(json& j, const Context& value) {
  j = json::object();
  j["uuid"] = value.uuid.uuidString();
}

void from_json(const json& j, Context& value) {
  requireObject(j);
  const json& text = j.at("uuid");
  std::optional<UUID> uuid = UUID::parse(text.get<std::string>());
  if (!uuid) {
    throw json::other_error::create(501, "\"uuid\" is not a UUID: " + text.get<std::string>(),
                                    &text);
  }
  value.uuid = *uuid;
}

void to_json(json& j, const WrappedAnalyticsEvent& value) {
  j = json::object();
  j["timestamp"] = value.timestamp;
  if (value.event) j["event"] = *value.event;
  if (value.observability) j["observability"] = *value.observability;
  j["device"] = value.device;
  if (value.context) j["context"] = *value.context;
  j["contrib"] = value.contrib;
  j["application"] = value.application;
}

void from_json(const json& j, WrappedAnalyticsEvent& value) {
  requireObject(j);
  value.timestamp = j.at("timestamp").get<std::string>();
  value.event = optionalRecord<AnalyticsEvent>(j, "event");
  value.observability = optionalRecord<ObservabilityEvent>(j, "observability");
  value.device = j.at("device").get<Device>();
  value.context = optionalRecord<Context>(j, "context");
  value.contrib = j.at("contrib").get<Contrib>();
  value.application = j.at("application").get<Application>();
}

void to_json(json& j, const BatchEvents& value) {
  j = batchJSON(value.events);
}

void from_json(const json& j, BatchEvents& value) {
  requireObject(j);
  const json& events = j.at("events");
  if (!events.is_array()) {
    throw json::type_error::create(302, "\"events\" must be an array", &events);
  }
  value.events = events.get<std::vector<WrappedAnalyticsEvent>>();
}

std::string encodeJSON(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string encodeBatchEvents(std::span<const WrappedAnalyticsEvent> events) {
  return encodeJSON(batchJSON(events));
}

std::string TimestampFormatter::string(std::chrono::system_clock::time_point date) const {
  using namespace std::chrono;
  const auto milliseconds = floor<std::chrono::milliseconds>(date);
  const auto day = floor<days>(milliseconds);
  const year_month_day calendarDay{day};
  const hh_mm_ss time{milliseconds - day};

  std::string text;
  text.reserve(24);
  appendDigits(text, static_cast<int>(calendarDay.year()), 4);
  text += '-';
  appendDigits(text, static_cast<unsigned>(calendarDay.month()), 2);
  text += '-';
  appendDigits(text, static_cast<unsigned>(calendarDay.day()), 2);
  text += 'T';
  appendDigits(text, time.hours().count(), 2);
  text += ':';
  appendDigits(text, time.minutes().count(), 2);
  text += ':';
  appendDigits(text, time.seconds().count(), 2);
  text += '.';
  appendDigits(text, time.subseconds().count(), 3);
  text += 'Z';
  return text;
}

}  // namespace velmoradine
