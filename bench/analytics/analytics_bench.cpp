// Analytics figures:
//   add_event_ns_q10, add_event_ns_q100000  the cost of one Analytics::addEvent
//       (wrap, queue, log line) with 10 and with 100,000 events already
//       queued; appending is O(1), so the two must stay level.
//   batch_encode_vs_json  the time to encode a 10,000-event upload body,
//       divided by the time to build and write the same JSON with the JSON
//       library directly (goal: at most 1.2).

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "velmoradine/analytics/analytics.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;

class IdleCollector final : public NetworkAnalyticsProtocol {
 public:
  void batchUploadEvents(const std::vector<WrappedAnalyticsEvent>&,
                         NetworkCompletion<void> completion) override {
    completion({});
  }
};

// CPU time of the calling thread: on a shared machine, time spent waiting
// for a core would otherwise swamp the figure.
double threadCpuNanoseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

std::shared_ptr<DeviceHelper> benchDevice() {
  return std::make_shared<DeviceHelper>(DeviceHelper::Sources{
      .releaseVersionNumber = [] { return std::optional<std::string>("3.1.4"); },
      .operatingSystemVersion =
          [] {
            return std::optional(OperatingSystemVersion{6, 1, 0});
          },
      .machineIdentifier = [] { return std::string("iPhone13,2"); },
      .simulatorModelIdentifier = [] { return std::optional<std::string>(); },
      .identifierForVendor = [] { return std::optional(UUID()); },
  });
}

// Nanoseconds per addEvent with `queued` events waiting. After each timed
// burst the burst's events are taken off again (untimed), so every burst
// starts from the same queue and reuses the memory the previous one freed:
// a queue that only grows would measure the kernel handing out fresh pages,
// whatever its length.
double addEventNanoseconds(std::size_t queued) {
  auto store = std::make_shared<AnalyticsDatastore>();
  auto contrib = std::make_shared<ContribDatastore>();
  contrib->setUserId("user-1234");
  auto application = std::make_shared<ApplicationDatastore>();
  ApplicationResponse settings;
  settings.slug = "acme";
  application->setApplication(settings);
  Analytics analytics(store, contrib, application, std::make_shared<IdleCollector>(), 120,
                      benchDevice());
  auto context = std::make_shared<const Context>();
  const AnalyticsEvent event{.event_name = "share_outlet.instagram-stories.started"};

  console::Capture capture;
  constexpr int kBurst = 500;
  constexpr int kRounds = 40;
  std::vector<double> samples;
  analytics.addEvent(event, context);
  const WrappedAnalyticsEvent filler = store->takeAllEvents().front();
  for (std::size_t i = 0; i < queued; ++i) store->addEvent(filler);
  for (int round = 0; round < kRounds; ++round) {
    capture.clear();
    const double start = threadCpuNanoseconds();
    for (int i = 0; i < kBurst; ++i) analytics.addEvent(event, context);
    samples.push_back((threadCpuNanoseconds() - start) / kBurst);
    std::vector<WrappedAnalyticsEvent> all = store->takeAllEvents();
    all.resize(queued);
    store->requeueEvents(std::move(all));
  }
  return median(samples);
}

std::vector<WrappedAnalyticsEvent> sampleBatch(std::size_t count) {
  std::vector<WrappedAnalyticsEvent> events;
  events.reserve(count);
  const Device device{.app_version = "3.1.4",
                      .os_version = "6.1.0",
                      .platform = "iPhone 12",
                      .vendor_id = UUID().uuidString()};
  for (std::size_t i = 0; i < count; ++i) {
    WrappedAnalyticsEvent event{.timestamp = "2026-01-01T00:00:00.000Z", .device = device};
    event.event = AnalyticsEvent{.event_name = "share_outlet.copy.failed"};
    if (i % 3 == 0) event.event->error_string = "The network connection was lost.";
    if (i % 2 == 0) event.context = Context();
    event.contrib.contrib_user_id = "user-" + std::to_string(i % 17);
    event.application.application_slug = "acme";
    events.push_back(std::move(event));
  }
  return events;
}

// The same JSON, written by hand with the library.
std::string encodeDirectly(const std::vector<WrappedAnalyticsEvent>& events) {
  json list = json::array();
  for (const WrappedAnalyticsEvent& e : events) {
    json record;
    record["timestamp"] = e.timestamp;
    if (e.event) {
      json inner;
      inner["event_name"] = e.event->event_name;
      if (e.event->error_string) inner["error_string"] = *e.event->error_string;
      record["event"] = std::move(inner);
    }
    json device;
    device["app_version"] = e.device.app_version;
    device["os_version"] = e.device.os_version;
    device["platform"] = e.device.platform;
    device["vendor_id"] = e.device.vendor_id;
    record["device"] = std::move(device);
    if (e.context) record["context"] = json{{"uuid", e.context->uuid.uuidString()}};
    json contrib = json::object();
    if (e.contrib.contrib_user_id) contrib["contrib_user_id"] = *e.contrib.contrib_user_id;
    record["contrib"] = std::move(contrib);
    json application = json::object();
    if (e.application.application_slug) {
      application["application_slug"] = *e.application.application_slug;
    }
    record["application"] = std::move(application);
    list.push_back(std::move(record));
  }
  json body;
  body["events"] = std::move(list);
  return body.dump();
}

template <typename F>
double nanosecondsOf(F&& run) {
  const double start = threadCpuNanoseconds();
  run();
  return threadCpuNanoseconds() - start;
}

double batchEncodeRatio() {
  const std::vector<WrappedAnalyticsEvent> events = sampleBatch(10'000);
  if (encodeBatchEvents(events) != encodeDirectly(events)) {
    std::fprintf(stderr, "the two encodings differ\n");
    return -1;
  }
  std::vector<double> ratios;
  std::size_t sink = 0;
  for (int round = 0; round < 15; ++round) {
    const double ours = nanosecondsOf([&] { sink += encodeBatchEvents(events).size(); });
    const double direct = nanosecondsOf([&] { sink += encodeDirectly(events).size(); });
    ratios.push_back(ours / direct);
  }
  if (sink == 0) return -1;
  return median(ratios);
}

}  // namespace
}  // namespace velmoradine

int main() {
  using namespace velmoradine;
  std::printf("figure add_event_ns_q10 %.0f\n", addEventNanoseconds(10));
  std::printf("figure add_event_ns_q100000 %.0f\n", addEventNanoseconds(100'000));
  const double ratio = batchEncodeRatio();
  if (ratio < 0) return 1;
  std::printf("figure batch_encode_vs_json %.3f\n", ratio);
  return 0;
}
