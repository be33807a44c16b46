#pragma once

// The device description attached to every analytics event. Each value is
// computed at most once per helper and then handed out on every event; a
// value the platform cannot give reads as the empty text, and that answer is
// remembered too.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "velmoradine/core/once.hpp"
#include "velmoradine/model/analytics_records.hpp"
#include "velmoradine/platform/services/device_facts.hpp"

namespace velmoradine {

class DeviceHelper {
 public:
  // Where the four values come from; `system()` reads this machine and the
  // host's main bundle. Tests substitute their own.
  struct Sources {
    // The host's "CFBundleShortVersionString".
    std::function<std::optional<std::string>()> releaseVersionNumber;
    std::function<std::optional<OperatingSystemVersion>()> operatingSystemVersion;
    // The hardware identifier the model-name table is keyed by.
    std::function<std::string()> machineIdentifier;
    // The environment's "SIMULATOR_MODEL_IDENTIFIER".
    std::function<std::optional<std::string>()> simulatorModelIdentifier;
    std::function<std::optional<UUID>()> identifierForVendor;

    static Sources system();
  };

  static std::shared_ptr<DeviceHelper> shared();
  // The description made of `shared()`'s four values.
  static Device device();
  // The model name of this machine (the value behind `platform`), computed
  // once per process.
  static const std::string& modelName();
  // Maps a machine identifier to its marketing name by exact, case-sensitive
  // lookup; an unknown identifier is returned unchanged. "i386" and "x86_64"
  // are the simulator, named "Simulator " + the name of the simulated model
  // (`simulatorModelIdentifier`, "iOS" when there is none).
  static std::string modelName(std::string_view machineIdentifier,
                               const std::optional<std::string>& simulatorModelIdentifier);

  explicit DeviceHelper(Sources sources = Sources::system());

  std::string appVersion() { return appVersionOnce.once(*this, ""); }
  std::string osVersion() { return osVersionOnce.once(*this, ""); }
  std::string platform() { return platformOnce.once(*this, ""); }
  std::string vendorId() { return vendorIdOnce.once(*this, ""); }

 private:
  const Sources sources_;
  Once<DeviceHelper, std::string> appVersionOnce;
  Once<DeviceHelper, std::string> osVersionOnce;
  Once<DeviceHelper, std::string> platformOnce;
  Once<DeviceHelper, std::string> vendorIdOnce;
};

}  // namespace velmoradine
