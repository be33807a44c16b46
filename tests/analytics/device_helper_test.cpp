#include "velmoradine/analytics/device_helper.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

struct Row {
  std::vector<std::string> identifiers;
  std::string name;
};

// The published model table, row for row.
const std::vector<Row> kTable = {
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

std::string lowerCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

TEST(DeviceHelperModelName, TableCoversItsRowsAndIdentifiers) {
  std::set<std::string> identifiers;
  for (const Row& row : kTable) identifiers.insert(row.identifiers.begin(), row.identifiers.end());
  // 58 rows and 106 identifiers with the simulator's row ("i386", "x86_64").
  EXPECT_EQ(kTable.size() + 1, 58u);
  EXPECT_EQ(identifiers.size() + 2, 106u);
}

TEST(DeviceHelperModelName, EveryIdentifierGivesItsRowsName) {
  for (const Row& row : kTable) {
    for (const std::string& identifier : row.identifiers) {
      EXPECT_EQ(DeviceHelper::modelName(identifier, std::nullopt), row.name) << identifier;
      EXPECT_EQ(DeviceHelper::modelName(identifier, "iPhone13,2"), row.name)
          << identifier << ": the simulator variable matters only to the simulator";
    }
  }
}

TEST(DeviceHelperModelName, MatchingIsExactAndCaseSensitive) {
  for (const Row& row : kTable) {
    for (const std::string& identifier : row.identifiers) {
      const std::string lower = lowerCased(identifier);
      if (lower == identifier) continue;
      EXPECT_EQ(DeviceHelper::modelName(lower, std::nullopt), lower);
    }
  }
  EXPECT_EQ(DeviceHelper::modelName("iPhone12,8 ", std::nullopt), "iPhone12,8 ");
  EXPECT_EQ(DeviceHelper::modelName("iPhone12", std::nullopt), "iPhone12");
}

TEST(DeviceHelperModelName, SpotChecks) {
  EXPECT_EQ(DeviceHelper::modelName("iPhone12,8", std::nullopt), "iPhone SE (2nd generation)");
  EXPECT_EQ(DeviceHelper::modelName("iPhone8,4", std::nullopt), "iPhone SE");
  for (const char* identifier : {"iPad8,1", "iPad8,2", "iPad8,3", "iPad8,4"}) {
    EXPECT_EQ(DeviceHelper::modelName(identifier, std::nullopt),
              "iPad Pro (11-inch) (1st generation)");
  }
}

TEST(DeviceHelperModelName, UnknownIdentifiersAreReturnedUnchanged) {
  EXPECT_EQ(DeviceHelper::modelName("iPhone14,2", std::nullopt), "iPhone14,2");
  EXPECT_EQ(DeviceHelper::modelName("aarch64", std::nullopt), "aarch64");
  EXPECT_EQ(DeviceHelper::modelName("", std::nullopt), "");
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
