#include "velmoradine/platform/services/device_facts.hpp"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

using device_facts::identifierForVendor;
using device_facts::parseKernelRelease;

TEST(KernelRelease, ReadsMajorMinorPatch) {
  EXPECT_EQ(parseKernelRelease("6.1.0-18-amd64"), (OperatingSystemVersion{6, 1, 0}));
  EXPECT_EQ(parseKernelRelease("4.19.112+"), (OperatingSystemVersion{4, 19, 112}));
  EXPECT_EQ(parseKernelRelease("5.15.0.1-custom"), (OperatingSystemVersion{5, 15, 0}));
}

TEST(KernelRelease, MissingPartsReadZero) {
  EXPECT_EQ(parseKernelRelease("5.15"), (OperatingSystemVersion{5, 15, 0}));
  EXPECT_EQ(parseKernelRelease("6"), (OperatingSystemVersion{6, 0, 0}));
  EXPECT_EQ(parseKernelRelease("6.rc1"), (OperatingSystemVersion{6, 0, 0}));
  EXPECT_EQ(parseKernelRelease("6.2-rc3"), (OperatingSystemVersion{6, 2, 0}));
  EXPECT_EQ(parseKernelRelease("6."), (OperatingSystemVersion{6, 0, 0}));
}

TEST(KernelRelease, TextWithoutALeadingNumberIsNoVersion) {
  EXPECT_EQ(parseKernelRelease(""), std::nullopt);
  EXPECT_EQ(parseKernelRelease("linux-6.1"), std::nullopt);
  EXPECT_EQ(parseKernelRelease("-6.1"), std::nullopt);
  EXPECT_EQ(parseKernelRelease("99999999999999999999999.1"), std::nullopt);
}

TEST(MachineIdentifier, IsThePlatformsHardwareName) {
  const std::string machine = device_facts::machineIdentifier();
  EXPECT_FALSE(machine.empty());
  EXPECT_EQ(machine.find('\0'), std::string::npos);
  EXPECT_TRUE(device_facts::operatingSystemVersion().has_value());
}

TEST(NameBasedUUID, MatchesTheVersion5Derivation) {
  // The DNS namespace of RFC 4122 and a well-known name.
  const UUID dns = *UUID::parse("6ba7b810-9dad-11d1-80b4-00c04fd430c8");
  EXPECT_EQ(device_facts::nameBasedUUID(dns, "python.org").uuidString(),
            "886313E1-3B8A-5372-9B90-0C9AEE199E5D");
}

class VendorIdentifier : public ::testing::Test {
 protected:
  std::filesystem::path writeMachineId(const std::string& name, const std::string& contents) {
    std::filesystem::path file = directory.path() / name;
    std::ofstream(file) << contents;
    return file;
  }
  testing::TemporaryDirectory directory;
};

TEST_F(VendorIdentifier, IsStableAndPerVendorAndMachine) {
  auto machineA = writeMachineId("a", "0123456789abcdef0123456789abcdef\n");
  auto machineB = writeMachineId("b", "fedcba9876543210fedcba9876543210\n");
  std::optional<UUID> first = identifierForVendor("dev.host.app", machineA);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first, identifierForVendor("dev.host.app", machineA));
  EXPECT_NE(first, identifierForVendor("dev.host.other", machineA));
  EXPECT_NE(first, identifierForVendor("dev.host.app", machineB));
  const std::string text = first->uuidString();
  EXPECT_EQ(text[14], '5') << text;
  EXPECT_NE(text.find("0123456789ABCDEF"), 0u);
}

TEST_F(VendorIdentifier, MachineIdCaseAndTrailingSpaceDoNotMatter) {
  auto lower = writeMachineId("lower", "0123456789abcdef0123456789abcdef\n");
  auto upper = writeMachineId("upper", "0123456789ABCDEF0123456789ABCDEF \n");
  EXPECT_EQ(identifierForVendor("dev.host.app", lower), identifierForVendor("dev.host.app", upper));
}

TEST_F(VendorIdentifier, AbsentWithoutAUsableMachineIdOrBundleIdentifier) {
  auto good = writeMachineId("good", "0123456789abcdef0123456789abcdef\n");
  EXPECT_EQ(identifierForVendor(std::nullopt, good), std::nullopt);
  EXPECT_EQ(identifierForVendor("", good), std::nullopt);
  EXPECT_EQ(identifierForVendor("dev.host.app", directory.path() / "missing"), std::nullopt);
  EXPECT_EQ(identifierForVendor("dev.host.app", writeMachineId("empty", "")), std::nullopt);
  EXPECT_EQ(identifierForVendor("dev.host.app", writeMachineId("first-boot", "uninitialized\n")),
            std::nullopt);
  EXPECT_EQ(identifierForVendor("dev.host.app",
                                writeMachineId("short", "0123456789abcdef0123456789abcde\n")),
            std::nullopt);
  EXPECT_EQ(identifierForVendor("dev.host.app",
                                writeMachineId("not-hex", "0123456789abcdef0123456789abcdeg\n")),
            std::nullopt);
}

}  // namespace
}  // namespace velmoradine
