#include "velmoradine/analytics/analytics.hpp"

#include <chrono>
#include <cmath>
#include <string>

#include "velmoradine/core/logger.hpp"

namespace velmoradine {
namespace {

// A timer's period is kept within what a clock can represent and above zero,
// so a repeating timer can neither overflow its deadline nor fire without
// end; a run loop's timers treat non-positive periods the same way.
Clock::Duration timerPeriod(double interval) {
  constexpr double kShortest = 0.0001;
  constexpr double kLongest = 1e9;
  if (!(interval >= kShortest)) interval = kShortest;
  if (interval > kLongest) interval = kLongest;
  return std::chrono::duration_cast<Clock::Duration>(std::chrono::duration<double>(interval));
}

std::string dump(const WrappedAnalyticsEvent& event) {
  return encodeReplacingInvalidUTF8(nlohmann::json(event));
}

}  // namespace

const std::shared_ptr<Analytics>& Analytics::shared() {
  static const auto& analytics = *new auto(std::make_shared<Analytics>());
  return analytics;
}

Analytics::Analytics(std::shared_ptr<AnalyticsDatastoreProtocol> datastore,
                     std::shared_ptr<ContribDatastoreProtocol> contribDatastore,
                     std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore,
                     std::shared_ptr<NetworkAnalyticsProtocol> network, double interval,
                     std::shared_ptr<DeviceHelper> deviceHelper)
    : dateFormatter(),
      deviceHelper_(std::move(deviceHelper)),
      datastore_(std::move(datastore)),
      contribDatastore_(std::move(contribDatastore)),
      applicationDatastore_(std::move(applicationDatastore)),
      network_(std::move(network)),
      interval_(interval) {}

Analytics::~Analytics() {
  // The run loop keeps a scheduled timer alive; without this its block would
  // reach a destroyed object. No final upload: only stop() makes one.
  if (timer_) timer_->invalidate();
}

void Analytics::addObservabilityEvent(const ObservabilityEvent& event,
                                      const std::shared_ptr<const Context>& context) {
  WrappedAnalyticsEvent wrapped = wrap(std::nullopt, event, context);
  std::string line = "[Analytics] logged observability event " +
                     event.event_name.value_or("(no event name)") + ": " + dump(wrapped);
  datastore()->addEvent(std::move(wrapped));
  Logger::velmoradineDebug(line);
}

void Analytics::addEvent(const AnalyticsEvent& event,
                         const std::shared_ptr<const Context>& context) {
  WrappedAnalyticsEvent wrapped = wrap(event, std::nullopt, context);
  std::string line =
      "[Analytics] logged analytics event " + event.event_name + ": " + dump(wrapped);
  datastore()->addEvent(std::move(wrapped));
  Logger::velmoradineDebug(line);
}

WrappedAnalyticsEvent Analytics::wrap(std::optional<AnalyticsEvent> event,
                                      std::optional<ObservabilityEvent> observability,
                                      const std::shared_ptr<const Context>& context) const {
  std::optional<std::string> userId = contribDatastore()->userId();
  std::optional<ApplicationResponse> application = applicationDatastore()->application();
  std::optional<std::string> slug = application ? application->slug : std::nullopt;
  return WrappedAnalyticsEvent{
      .timestamp = dateFormatter.string(Clock::current()->now()),
      .event = std::move(event),
      .observability = std::move(observability),
      .device = Device{.app_version = deviceHelper_->appVersion(),
                       .os_version = deviceHelper_->osVersion(),
                       .platform = deviceHelper_->platform(),
                       .vendor_id = deviceHelper_->vendorId()},
      .context = context ? std::optional<Context>(*context) : std::nullopt,
      .contrib = Contrib{.contrib_user_id = std::move(userId)},
      .application = Application{.application_slug = std::move(slug)},
  };
}

void Analytics::start() {
  Logger::velmoradineDebug("[Analytics] start");
  stop();
  auto timer = Timer::scheduledTimer(
      timerPeriod(interval()), true, [this](Timer&) { upload(); }, RunLoop::current(),
      Clock::current());
  std::lock_guard lock(mutex_);
  timer_ = std::move(timer);
}

void Analytics::stop() {
  Logger::velmoradineDebug("[Analytics] stop");
  std::shared_ptr<Timer> running = timer();
  if (!running) return;
  running->invalidate();
  upload();
  std::lock_guard lock(mutex_);
  timer_.reset();
}

void Analytics::upload() {
  Logger::velmoradineDebug("[Analytics] upload");
  std::shared_ptr<AnalyticsDatastoreProtocol> queue = datastore();
  // Taken in one step, so an event logged on another thread meanwhile is
  // either in this batch or left queued for the next one.
  auto events = std::make_shared<std::vector<WrappedAnalyticsEvent>>(queue->takeAllEvents());
  Logger::velmoradineDebug("[Analytics] upload events (" + std::to_string(events->size()) + ")");
  if (events->empty()) return;
  network()->batchUploadEvents(*events, [queue, events](Result<void> result) {
    if (!result) queue->requeueEvents(std::move(*events));
  });
}

std::shared_ptr<AnalyticsDatastoreProtocol> Analytics::datastore() const {
  std::lock_guard lock(mutex_);
  return datastore_;
}

void Analytics::setDatastore(std::shared_ptr<AnalyticsDatastoreProtocol> datastore) {
  std::lock_guard lock(mutex_);
  datastore_ = std::move(datastore);
}

std::shared_ptr<ContribDatastoreProtocol> Analytics::contribDatastore() const {
  std::lock_guard lock(mutex_);
  return contribDatastore_;
}

void Analytics::setContribDatastore(std::shared_ptr<ContribDatastoreProtocol> contribDatastore) {
  std::lock_guard lock(mutex_);
  contribDatastore_ = std::move(contribDatastore);
}

std::shared_ptr<ApplicationDatastoreProtocol> Analytics::applicationDatastore() const {
  std::lock_guard lock(mutex_);
  return applicationDatastore_;
}

void Analytics::setApplicationDatastore(
    std::shared_ptr<ApplicationDatastoreProtocol> applicationDatastore) {
  std::lock_guard lock(mutex_);
  applicationDatastore_ = std::move(applicationDatastore);
}

std::shared_ptr<NetworkAnalyticsProtocol> Analytics::network() const {
  std::lock_guard lock(mutex_);
  return network_;
}

void Analytics::setNetwork(std::shared_ptr<NetworkAnalyticsProtocol> network) {
  std::lock_guard lock(mutex_);
  network_ = std::move(network);
}

double Analytics::interval() const {
  std::lock_guard lock(mutex_);
  return interval_;
}

void Analytics::setInterval(double interval) {
  std::lock_guard lock(mutex_);
  interval_ = interval;
}

std::shared_ptr<Timer> Analytics::timer() const {
  std::lock_guard lock(mutex_);
  return timer_;
}

}  // namespace velmoradine
