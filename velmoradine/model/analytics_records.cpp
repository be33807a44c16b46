#include "velmoradine/model/analytics_records.hpp"

#include "velmoradine/platform/foundation/json_reader.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;

void putOptional(json& object, const char* key, const std::optional<std::string>& value) {
  if (value) object[key] = *value;
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

void to_json(json& j, const ObservabilityEvent& value) {
  j = json::object();
  putOptional(j, "event_name", value.event_name);
  putOptional(j, "message", value.message);
}

void to_json(json& j, const Contrib& value) {
  j = json::object();
  putOptional(j, "contrib_user_id", value.contrib_user_id);
}

void to_json(json& j, const Application& value) {
  j = json::object();
  putOptional(j, "application_slug", value.application_slug);
}

void to_json(json& j, const Device& value) {
  j = json::object();
  j["app_version"] = value.app_version;
  j["os_version"] = value.os_version;
  j["platform"] = value.platform;
  j["vendor_id"] = value.vendor_id;
}

void to_json(json& j, const Context& value) {
  j = json::object();
  j["uuid"] = value.uuid.uuidString();
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

void to_json(json& j, const BatchEvents& value) {
  j = batchJSON(value.events);
}

Result<AnalyticsEvent> AnalyticsEvent::decode(const JSONReader& reader) {
  AnalyticsEvent event;
  VELMORADINE_ASSIGN_OR_RETURN(event.event_name, reader.required<std::string>("event_name"));
  VELMORADINE_ASSIGN_OR_RETURN(event.error_string, reader.optional<std::string>("error_string"));
  return event;
}

Result<ObservabilityEvent> ObservabilityEvent::decode(const JSONReader& reader) {
  ObservabilityEvent event;
  VELMORADINE_ASSIGN_OR_RETURN(event.event_name, reader.optional<std::string>("event_name"));
  VELMORADINE_ASSIGN_OR_RETURN(event.message, reader.optional<std::string>("message"));
  return event;
}

Result<Contrib> Contrib::decode(const JSONReader& reader) {
  Contrib contrib;
  VELMORADINE_ASSIGN_OR_RETURN(contrib.contrib_user_id,
                               reader.optional<std::string>("contrib_user_id"));
  return contrib;
}

Result<Application> Application::decode(const JSONReader& reader) {
  Application application;
  VELMORADINE_ASSIGN_OR_RETURN(application.application_slug,
                               reader.optional<std::string>("application_slug"));
  return application;
}

Result<Device> Device::decode(const JSONReader& reader) {
  Device device;
  VELMORADINE_ASSIGN_OR_RETURN(device.app_version, reader.required<std::string>("app_version"));
  VELMORADINE_ASSIGN_OR_RETURN(device.os_version, reader.required<std::string>("os_version"));
  VELMORADINE_ASSIGN_OR_RETURN(device.platform, reader.required<std::string>("platform"));
  VELMORADINE_ASSIGN_OR_RETURN(device.vendor_id, reader.required<std::string>("vendor_id"));
  return device;
}

Result<Context> Context::decode(const JSONReader& reader) {
  VELMORADINE_ASSIGN_OR_RETURN(const std::string text, reader.required<std::string>("uuid"));
  std::optional<UUID> uuid = UUID::parse(text);
  if (!uuid) {
    return failure(reader.error(DecodingError::dataCorrupted, "\"uuid\" is not a UUID: " + text));
  }
  Context context;
  context.uuid = *uuid;
  return context;
}

Result<WrappedAnalyticsEvent> WrappedAnalyticsEvent::decode(const JSONReader& reader) {
  WrappedAnalyticsEvent wrapped;
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.timestamp, reader.required<std::string>("timestamp"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.event, reader.optional<AnalyticsEvent>("event"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.observability,
                               reader.optional<ObservabilityEvent>("observability"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.device, reader.required<Device>("device"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.context, reader.optional<Context>("context"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.contrib, reader.required<Contrib>("contrib"));
  VELMORADINE_ASSIGN_OR_RETURN(wrapped.application, reader.required<Application>("application"));
  return wrapped;
}

Result<BatchEvents> BatchEvents::decode(const JSONReader& reader) {
  BatchEvents batch;
  VELMORADINE_ASSIGN_OR_RETURN(batch.events,
                               reader.required<std::vector<WrappedAnalyticsEvent>>("events"));
  return batch;
}

std::string encodeReplacingInvalidUTF8(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string encodeBatchEvents(std::span<const WrappedAnalyticsEvent> events) {
  return encodeReplacingInvalidUTF8(batchJSON(events));
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
