#pragma once

// The analytics collector's wire records: what the observing code reports
// (`AnalyticsEvent`, `ObservabilityEvent`), what the engine queues and uploads
// (`WrappedAnalyticsEvent`) and the body of an upload (`BatchEvents`).
//
// JSON rules, shared by every record: keys are the field names; an optional
// field without a value is left out (never written as null) and reads back as
// absent from a missing key or a null; a required field is always written, and
// decoding (`decode`, with the strict JSONReader) fails when it is missing or a
// value has the wrong type.
//
// Encoding never fails: text that is not valid UTF-8 (an error description
// from some library, say) is written with U+FFFD in place of the bad bytes,
// so one odd event can never make a whole batch unsendable.

#include <chrono>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"

namespace velmoradine {

class JSONReader;

struct AnalyticsEvent {
  std::string event_name{};
  std::optional<std::string> error_string{};

  static Result<AnalyticsEvent> decode(const JSONReader& reader);

  friend bool operator==(const AnalyticsEvent&, const AnalyticsEvent&) = default;
};

// Diagnostics; the kit itself emits none.
struct ObservabilityEvent {
  std::optional<std::string> event_name{};
  std::optional<std::string> message{};

  static Result<ObservabilityEvent> decode(const JSONReader& reader);

  friend bool operator==(const ObservabilityEvent&, const ObservabilityEvent&) = default;
};

struct Contrib {
  std::optional<std::string> contrib_user_id{};

  static Result<Contrib> decode(const JSONReader& reader);

  friend bool operator==(const Contrib&, const Contrib&) = default;
};

struct Application {
  std::optional<std::string> application_slug{};

  static Result<Application> decode(const JSONReader& reader);

  friend bool operator==(const Application&, const Application&) = default;
};

// The device an event was logged on. A value the platform does not provide is
// the empty text, never absent.
struct Device {
  std::string app_version{};
  std::string os_version{};
  std::string platform{};
  std::string vendor_id{};

  static Result<Device> decode(const JSONReader& reader);

  friend bool operator==(const Device&, const Device&) = default;
};

// Identifies one share-sheet presentation, so the collector can group its
// events. Its JSON is {"uuid": "<upper-case canonical UUID>"}.
class Context {
 public:
  // A new random identifier: two contexts never share one.
  Context() = default;

  UUID uuid;

  static Result<Context> decode(const JSONReader& reader);

  friend bool operator==(const Context&, const Context&) = default;
};

// The unit that is queued and uploaded. Exactly one of `event` and
// `observability` is present in every record the engine makes. The context is
// a copy taken when the event was logged, so a queued record never changes
// under an upload that is encoding it.
struct WrappedAnalyticsEvent {
  std::string timestamp{};
  std::optional<AnalyticsEvent> event{};
  std::optional<ObservabilityEvent> observability{};
  Device device{};
  std::optional<Context> context{};
  Contrib contrib{};
  Application application{};

  static Result<WrappedAnalyticsEvent> decode(const JSONReader& reader);

  friend bool operator==(const WrappedAnalyticsEvent&, const WrappedAnalyticsEvent&) = default;
};

// The body of an upload: the events in queue order.
struct BatchEvents {
  std::vector<WrappedAnalyticsEvent> events{};

  static Result<BatchEvents> decode(const JSONReader& reader);

  friend bool operator==(const BatchEvents&, const BatchEvents&) = default;
};

void to_json(nlohmann::json& json, const AnalyticsEvent& value);
void to_json(nlohmann::json& json, const ObservabilityEvent& value);
void to_json(nlohmann::json& json, const Contrib& value);
void to_json(nlohmann::json& json, const Application& value);
void to_json(nlohmann::json& json, const Device& value);
void to_json(nlohmann::json& json, const Context& value);
void to_json(nlohmann::json& json, const WrappedAnalyticsEvent& value);
void to_json(nlohmann::json& json, const BatchEvents& value);

// Compact JSON text of a record (no indentation). Never fails: text that is
// not valid UTF-8 is replaced by U+FFFD, so that one odd event name cannot hold
// back a whole batch. The network's strict `json::encodeJSON` refuses instead.
std::string encodeReplacingInvalidUTF8(const nlohmann::json& json);
// The JSON text of `BatchEvents(events: events)`, without copying the events
// into a BatchEvents first; invalid text is replaced as above.
std::string encodeBatchEvents(std::span<const WrappedAnalyticsEvent> events);

// Formats instants as "yyyy-MM-dd'T'HH:mm:ss.SSSXXXXX" on the ISO 8601
// calendar in the POSIX locale at GMT, so the offset always reads "Z": for
// example 2021-03-04T05:06:07.089Z. The text is computed from the instant
// alone; the process's time zone, locale and calendar never enter it.
// Milliseconds are truncated, not rounded, so 23:59:59.9999 stays in its day.
class TimestampFormatter {
 public:
  std::string string(std::chrono::system_clock::time_point date) const;
};

}  // namespace velmoradine
