#include "velmoradine/analytics/device_helper.hpp"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "velmoradine/core/bundle_readers.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"

namespace velmoradine {
namespace {

struct ModelRow {
  std::initializer_list<std::string_view> identifiers;
  std::string_view name;
};

// In lookup order: the first row listing an identifier names it. The
// simulator's identifiers ("i386", "x86_64") are handled by their own rule.
const ModelRow kNamedModels[] = {
    {{"iPod5,1"}, "iPod touch (5th generation)"},
    {{"iPod7,1"}, "iPod touch (6th generation)"},
    {{"iPod9,1"}, "iPod touch (7th generation)"},
    {{"iPhone3,1", "iPhone3,2", "iPhone3,3"}, "iPhone 4"},
    {{"iPhone4,1"}, "iPhone 4s"},
    {{"iPhone5,1", "iPhone5,2"}, "iPhone 5"},
    {{"iPhone5,3", "iPhone5,4"}, "iPhone 5c"},
    {{"iPhone6,1", "iPhone6,2"}, "iPhone 5s"},
    {{"iPhone7,2"}, "iPhone 6"},
    {{"iPhone7,1"}, "iPhone 6 Plus"},
    {{"iPhone8,1"}, "iPhone 6s"},
    {{"iPhone8,2"}, "iPhone 6s Plus"},
    {{"iPhone8,4"}, "iPhone SE"},
    {{"iPhone9,1", "iPhone9,3"}, "iPhone 7"},
    {{"iPhone9,2", "iPhone9,4"}, "iPhone 7 Plus"},
    {{"iPhone10,1", "iPhone10,4"}, "iPhone 8"},
    {{"iPhone10,2", "iPhone10,5"}, "iPhone 8 Plus"},
    {{"iPhone10,3", "iPhone10,6"}, "iPhone X"},
    {{"iPhone11,2"}, "iPhone XS"},
    {{"iPhone11,4", "iPhone11,6"}, "iPhone XS Max"},
    {{"iPhone11,8"}, "iPhone XR"},
    {{"iPhone12,1"}, "iPhone 11"},
    {{"iPhone12,3"}, "iPhone 11 Pro"},
    {{"iPhone12,5"}, "iPhone 11 Pro Max"},
    {{"iPhone12,8"}, "iPhone SE (2nd generation)"},
    {{"iPhone13,1"}, "iPhone 12 mini"},
    {{"iPhone13,2"}, "iPhone 12"},
    {{"iPhone13,3"}, "iPhone 12 Pro"},
    {{"iPhone13,4"}, "iPhone 12 Pro Max"},
    {{"iPad2,1", "iPad2,2", "iPad2,3", "iPad2,4"}, "iPad 2"},
    {{"iPad3,1", "iPad3,2", "iPad3,3"}, "iPad (3rd generation)"},
    {{"iPad3,4", "iPad3,5", "iPad3,6"}, "iPad (4th generation)"},
    {{"iPad6,11", "iPad6,12"}, "iPad (5th generation)"},
    {{"iPad7,5", "iPad7,6"}, "iPad (6th generation)"},
    {{"iPad7,11", "iPad7,12"}, "iPad (7th generation)"},
    {{"iPad11,6", "iPad11,7"}, "iPad (8th generation)"},
    {{"iPad4,1", "iPad4,2", "iPad4,3"}, "iPad Air"},
    {{"iPad5,3", "iPad5,4"}, "iPad Air 2"},
    {{"iPad11,3", "iPad11,4"}, "iPad Air (3rd generation)"},
    {{"iPad13,1", "iPad13,2"}, "iPad Air (4th generation)"},
    {{"iPad2,5", "iPad2,6", "iPad2,7"}, "iPad mini"},
    {{"iPad4,4", "iPad4,5", "iPad4,6"}, "iPad mini 2"},
    {{"iPad4,7", "iPad4,8", "iPad4,9"}, "iPad mini 3"},
    {{"iPad5,1", "iPad5,2"}, "iPad mini 4"},
    {{"iPad11,1", "iPad11,2"}, "iPad mini (5th generation)"},
    {{"iPad6,3", "iPad6,4"}, "iPad Pro (9.7-inch)"},
    {{"iPad7,3", "iPad7,4"}, "iPad Pro (10.5-inch)"},
    {{"iPad8,1", "iPad8,2", "iPad8,3", "iPad8,4"}, "iPad Pro (11-inch) (1st generation)"},
    {{"iPad8,9", "iPad8,10"}, "iPad Pro (11-inch) (2nd generation)"},
    {{"iPad6,7", "iPad6,8"}, "iPad Pro (12.9-inch) (1st generation)"},
    {{"iPad7,1", "iPad7,2"}, "iPad Pro (12.9-inch) (2nd generation)"},
    {{"iPad8,5", "iPad8,6", "iPad8,7", "iPad8,8"}, "iPad Pro (12.9-inch) (3rd generation)"},
    {{"iPad8,11", "iPad8,12"}, "iPad Pro (12.9-inch) (4th generation)"},
    {{"AppleTV5,3"}, "Apple TV"},
    {{"AppleTV6,2"}, "Apple TV 4K"},
    {{"AudioAccessory1,1"}, "HomePod"},
    {{"AudioAccessory5,1"}, "HomePod mini"},
};

std::optional<std::string_view> namedModel(std::string_view identifier) {
  for (const ModelRow& row : kNamedModels) {
    for (std::string_view candidate : row.identifiers) {
      if (candidate == identifier) return row.name;
    }
  }
  return std::nullopt;
}

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

}  // namespace

DeviceHelper::Sources DeviceHelper::Sources::system() {
  return Sources{
      .releaseVersionNumber = [] { return velmoradine::releaseVersionNumber(Bundle::main()); },
      .operatingSystemVersion = [] { return device_facts::operatingSystemVersion(); },
      .machineIdentifier = [] { return device_facts::machineIdentifier(); },
      .simulatorModelIdentifier = [] { return environmentValue("SIMULATOR_MODEL_IDENTIFIER"); },
      .identifierForVendor =
          [] { return device_facts::identifierForVendor(Bundle::main().bundleIdentifier()); },
  };
}

std::shared_ptr<DeviceHelper> DeviceHelper::shared() {
  static const auto& helper = *new auto(std::make_shared<DeviceHelper>());
  return helper;
}

Device DeviceHelper::device() {
  DeviceHelper& helper = *shared();
  return Device{.app_version = helper.appVersion(),
                .os_version = helper.osVersion(),
                .platform = helper.platform(),
                .vendor_id = helper.vendorId()};
}

const std::string& DeviceHelper::modelName() {
  static const std::string name =
      modelName(device_facts::machineIdentifier(), environmentValue("SIMULATOR_MODEL_IDENTIFIER"));
  return name;
}

std::string DeviceHelper::modelName(std::string_view machineIdentifier,
                                    const std::optional<std::string>& simulatorModelIdentifier) {
  if (machineIdentifier == "i386" || machineIdentifier == "x86_64") {
    const std::string simulated = simulatorModelIdentifier.value_or("iOS");
    return "Simulator " + std::string(namedModel(simulated).value_or(simulated));
  }
  return std::string(namedModel(machineIdentifier).value_or(machineIdentifier));
}

DeviceHelper::DeviceHelper(Sources sources)
    : sources_(std::move(sources)),
      appVersionOnce(
          [](const DeviceHelper& helper) { return helper.sources_.releaseVersionNumber(); }),
      osVersionOnce([](const DeviceHelper& helper) -> std::optional<std::string> {
        std::optional<OperatingSystemVersion> version = helper.sources_.operatingSystemVersion();
        if (!version) return std::nullopt;
        char text[64];
        std::snprintf(text, sizeof text, "%ld.%ld.%ld", version->majorVersion,
                      version->minorVersion, version->patchVersion);
        return std::string(text);
      }),
      platformOnce([](const DeviceHelper& helper) -> std::optional<std::string> {
        return modelName(helper.sources_.machineIdentifier(),
                         helper.sources_.simulatorModelIdentifier());
      }),
      vendorIdOnce([](const DeviceHelper& helper) -> std::optional<std::string> {
        std::optional<UUID> identifier = helper.sources_.identifierForVendor();
        if (!identifier) return std::nullopt;
        return identifier->uuidString();
      }) {}

}  // namespace velmoradine
