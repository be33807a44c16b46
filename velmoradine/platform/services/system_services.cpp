#include "velmoradine/platform/services/system_services.hpp"

#include <atomic>
#include <tuple>

namespace velmoradine {
namespace {

// Every feature the sheet and the outlets test for (up to 13) exists here.
constexpr std::tuple<int, int, int> kProvidedFeatureLevel{13, 0, 0};

std::atomic<std::shared_ptr<const SystemServices>>& installed() {
  static auto* services = new std::atomic<std::shared_ptr<const SystemServices>>();
  return *services;
}

}  // namespace

std::shared_ptr<const SystemServices> SystemServices::current() {
  if (auto services = installed().load()) return services;
  std::shared_ptr<const SystemServices> expected;
  installed().compare_exchange_strong(expected, desktop());
  return installed().load();
}

std::shared_ptr<const SystemServices> SystemServices::replace(
    std::shared_ptr<const SystemServices> services) {
  return installed().exchange(std::move(services));
}

bool PlatformFeatures::isAtLeast(int major, int minor, int patch) {
  return std::tuple{major, minor, patch} <= kProvidedFeatureLevel;
}

}  // namespace velmoradine
