#include "velmoradine/analytics/device_helper.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <utility>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

// Identifiers from across the model table (its first and last rows, rows of
// one and of several identifiers, every position within a row) and texts
// that only resemble one, which come back unchanged.
const std::vector<std::pair<std::string, std::string>> kModelNames = {
    {"iPod5,1", "iPod touch (5th generation)"},
    {"iPhone3,2", "iPhone 4"},
    {"iPhone7,1", "iPhone 6 Plus"},
    {"iPhone8,4", "iPhone SE"},
    {"iPhone12,8", "iPhone SE (2nd generation)"},
    {"iPhone13,2", "iPhone 12"},
    {"iPad8,1", "iPad Pro (11-inch) (1st generation)"},
    {"iPad8,4", "iPad Pro (11-inch) (1st generation)"},
    {"iPad8,10", "iPad Pro (11-inch) (2nd generation)"},
    {"iPad13,2", "iPad Air (4th generation)"},
    {"AudioAccessory5,1", "HomePod mini"},
    {"iphone13,2", "iphone13,2"},
    {"IPAD8,1", "IPAD8,1"},
    {"iPhone12,8 ", "iPhone12,8 "},
    {"iPhone12", "iPhone12"},
    {"iPhone14,2", "iPhone14,2"},
    {"aarch64", "aarch64"},
    {"", ""},
};

TEST(DeviceHelperModelName, KnownIdentifiersAreNamedAndOthersReturnedUnchanged) {
  for (const auto& [identifier, name] : kModelNames) {
    EXPECT_EQ(DeviceHelper::modelName(identifier, std::nullopt), name) << identifier;
    EXPECT_EQ(DeviceHelper::modelName(identifier, "iPhone13,2"), name)
        << identifier << ": the simulator variable matters only to the simulator";
  }
}

TEST(DeviceHelperModelName, SimulatorNamesTheSimulatedModel) {
  EXPECT_EQ(DeviceHelper::modelName("x86_64", "iPad13,1"), "Simulator iPad Air (4th generation)");
  EXPECT_EQ(DeviceHelper::modelName("i386", "iPhone13,2"), "Simulator iPhone 12");
  EXPECT_EQ(DeviceHelper::modelName("x86_64", std::nullopt), "Simulator iOS");
  EXPECT_EQ(DeviceHelper::modelName("i386", std::nullopt), "Simulator iOS");
  EXPECT_EQ(DeviceHelper::modelName("x86_64", "Watch9,9"), "Simulator Watch9,9");
  EXPECT_EQ(DeviceHelper::modelName("x86_64", "ipad13,1"), "Simulator ipad13,1");
  EXPECT_EQ(DeviceHelper::modelName("x86_64", "x86_64"), "Simulator x86_64");
  EXPECT_EQ(DeviceHelper::modelName("X86_64", std::nullopt), "X86_64");
}

TEST(DeviceHelperModelName, ProcessWideNameReadsTheSimulatorVariable) {
  // The process-wide name is computed once; whatever the variable held then
  // is what the rule saw, and every later read gives the same text.
  const std::string& first = DeviceHelper::modelName();
  setenv("SIMULATOR_MODEL_IDENTIFIER", "iPad13,1", 1);
  EXPECT_EQ(&DeviceHelper::modelName(), &first);
  unsetenv("SIMULATOR_MODEL_IDENTIFIER");
  EXPECT_EQ(first, DeviceHelper::modelName(device_facts::machineIdentifier(), std::nullopt));
}

TEST(DeviceHelperSources, SystemSourcesReadTheSimulatorVariable) {
  setenv("SIMULATOR_MODEL_IDENTIFIER", "iPad13,1", 1);
  EXPECT_EQ(DeviceHelper::Sources::system().simulatorModelIdentifier(), "iPad13,1");
  unsetenv("SIMULATOR_MODEL_IDENTIFIER");
  EXPECT_EQ(DeviceHelper::Sources::system().simulatorModelIdentifier(), std::nullopt);
}

struct Counted {
  std::atomic<int> appVersion = 0;
  std::atomic<int> osVersion = 0;
  std::atomic<int> machine = 0;
  std::atomic<int> vendor = 0;
};

DeviceHelper::Sources countedSources(Counted& counted, std::optional<std::string> appVersion,
                                     std::optional<OperatingSystemVersion> osVersion,
                                     std::optional<UUID> vendor) {
  return DeviceHelper::Sources{
      .releaseVersionNumber =
          [&counted, appVersion] {
            ++counted.appVersion;
            return appVersion;
          },
      .operatingSystemVersion =
          [&counted, osVersion] {
            ++counted.osVersion;
            return osVersion;
          },
      .machineIdentifier =
          [&counted] {
            ++counted.machine;
            return std::string("x86_64");
          },
      .simulatorModelIdentifier = [] { return std::optional<std::string>("iPhone12,1"); },
      .identifierForVendor =
          [&counted, vendor] {
            ++counted.vendor;
            return vendor;
          },
  };
}

TEST(DeviceHelper, ComputesEachValueOnceAndFormatsThem) {
  Counted counted;
  const UUID vendor = *UUID::parse("5b0e6c1a-3d7f-4e29-9a41-c8d2f7b36e15");
  DeviceHelper helper(countedSources(counted, "2.4.1", OperatingSystemVersion{14, 4, 0}, vendor));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(helper.appVersion(), "2.4.1");
    EXPECT_EQ(helper.osVersion(), "14.4.0");
    EXPECT_EQ(helper.platform(), "Simulator iPhone 11");
    EXPECT_EQ(helper.vendorId(), "5B0E6C1A-3D7F-4E29-9A41-C8D2F7B36E15");
  }
  EXPECT_EQ(counted.appVersion, 1);
  EXPECT_EQ(counted.osVersion, 1);
  EXPECT_EQ(counted.machine, 1);
  EXPECT_EQ(counted.vendor, 1);
}

TEST(DeviceHelper, MissingValuesReadAsEmptyAndStayEmpty) {
  Counted counted;
  DeviceHelper helper(countedSources(counted, std::nullopt, std::nullopt, std::nullopt));
  EXPECT_EQ(helper.appVersion(), "");
  EXPECT_EQ(helper.osVersion(), "");
  EXPECT_EQ(helper.vendorId(), "");
  EXPECT_EQ(helper.vendorId(), "");
  EXPECT_EQ(counted.vendor, 1) << "a value missing at first is not looked for again";
}

TEST(DeviceHelper, LargeVersionNumbersAreWrittenInFull) {
  Counted counted;
  DeviceHelper helper(countedSources(counted, std::nullopt,
                                     OperatingSystemVersion{2147483648, 0, 12}, std::nullopt));
  EXPECT_EQ(helper.osVersion(), "2147483648.0.12");
}

TEST(DeviceHelper, ConcurrentFirstReadsComputeOnce) {
  Counted counted;
  DeviceHelper helper(
      countedSources(counted, "1.0", OperatingSystemVersion{1, 2, 3}, std::nullopt));
  std::vector<std::thread> readers;
  for (int i = 0; i < 4; ++i) {
    readers.emplace_back([&] {
      EXPECT_EQ(helper.osVersion(), "1.2.3");
      EXPECT_EQ(helper.platform(), "Simulator iPhone 11");
    });
  }
  for (auto& reader : readers) reader.join();
  EXPECT_EQ(counted.osVersion, 1);
  EXPECT_EQ(counted.machine, 1);
}

TEST(DeviceHelperSystem, AppVersionComesFromTheHostsInfoPlist) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist(
      {{"CFBundleShortVersionString", "5.6.7"}, {"CFBundleIdentifier", "dev.host"}});
  DeviceHelper helper;
  EXPECT_EQ(helper.appVersion(), "5.6.7");
}

TEST(DeviceHelperSystem, HostWithoutShortVersionReportsEmptyAppVersion) {
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({{"CFBundleVersion", "99"}});
  DeviceHelper helper;
  EXPECT_EQ(helper.appVersion(), "");
  EXPECT_EQ(helper.vendorId(), "") << "no bundle identifier, no vendor identifier";
}

TEST(DeviceHelperSystem, OsVersionIsTheKernelReleaseTriple) {
  DeviceHelper helper;
  std::optional<OperatingSystemVersion> version = device_facts::operatingSystemVersion();
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(helper.osVersion(), std::to_string(version->majorVersion) + "." +
                                    std::to_string(version->minorVersion) + "." +
                                    std::to_string(version->patchVersion));
}

TEST(DeviceHelperSystem, DeviceUsesTheSharedHelper) {
  Device device = DeviceHelper::device();
  std::shared_ptr<DeviceHelper> shared = DeviceHelper::shared();
  EXPECT_EQ(shared.get(), DeviceHelper::shared().get());
  EXPECT_EQ(device, (Device{.app_version = shared->appVersion(),
                            .os_version = shared->osVersion(),
                            .platform = shared->platform(),
                            .vendor_id = shared->vendorId()}));
  EXPECT_FALSE(device.platform.empty());
}

}  // namespace
}  // namespace velmoradine
