#include "velmoradine/platform/foundation/bundle.hpp"

#include <gtest/gtest.h>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

TEST(Bundle, MainBundleFollowsTheEnvironmentElseTheExecutableDirectory) {
  {
    testing::TemporaryMainBundle bundle;
    bundle.writeInfoPlist({{"CFBundleIdentifier", "dev.example.host"}});
    EXPECT_EQ(Bundle::main().bundlePath(), bundle.path());
    EXPECT_EQ(Bundle::main().bundleIdentifier(), "dev.example.host");
  }
  EXPECT_EQ(Bundle::main().bundlePath(), executableDirectory());
}

TEST(Bundle, MissingOrCorruptInfoPlistIsAnEmptyDictionary) {
  testing::TemporaryMainBundle bundle;
  EXPECT_TRUE(Bundle::main().infoDictionary().dictionary()->empty());
  testing::TemporaryMainBundle corrupt;
  corrupt.writeFile("Info.plist", "<plist><dict><key>broken");
  ASSERT_NE(Bundle::main().infoDictionary().dictionary(), nullptr);
  EXPECT_TRUE(Bundle::main().infoDictionary().dictionary()->empty());
}

TEST(Bundle, OpenRefusesFilesAndMissingPaths) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("file.txt", "x");
  EXPECT_FALSE(Bundle::open(bundle.path() / "file.txt").has_value());
  EXPECT_FALSE(Bundle::open(bundle.path() / "missing").has_value());
  ASSERT_TRUE(Bundle::open(bundle.path()).has_value());
  EXPECT_EQ(Bundle::open(bundle.path())->pathForResource("file", "txt"),
            bundle.path() / "file.txt");
  EXPECT_EQ(Bundle::open(bundle.path())->pathForResource("file", "png"), std::nullopt);
}

// The lookup runs once per process, so each scenario runs in a child.
TEST(BundleModuleDeathTest, FoundNextToTheCodeWritingOneLinePerCandidateTried) {
  EXPECT_EXIT(
      {
        testing::TemporaryMainBundle bundle;
        console::Capture capture;
        Bundle module = Bundle::module();
        auto lines = capture.lines();
        bool ok =
            module.bundlePath() == kitCodeDirectory() / "Velmoradine_VelmoradineAssets.bundle" &&
            lines.size() == 2 &&
            lines[0] == "BundlePath: " +
                            (bundle.path() / "Velmoradine_VelmoradineAssets.bundle").string() &&
            lines[1] == "BundlePath: " + module.bundlePath().string();
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(BundleModuleDeathTest, MainBundleResourcesComeFirst) {
  EXPECT_EXIT(
      {
        testing::TemporaryMainBundle bundle;
        std::filesystem::create_directories(bundle.path() / "Velmoradine_VelmoradineAssets.bundle");
        console::Capture capture;
        bool ok = Bundle::module().bundlePath() ==
                      bundle.path() / "Velmoradine_VelmoradineAssets.bundle" &&
                  capture.lines().size() == 1;
        std::exit(ok ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(BundleModule, LookupTriesCandidatesInOrderAndSkipsAbsentOnes) {
  testing::TemporaryDirectory first;
  testing::TemporaryDirectory second;
  std::filesystem::create_directories(second.path() / "Velmoradine_VelmoradineAssets.bundle");
  console::Capture capture;
  Bundle found = Bundle::findModule({first.path(), std::nullopt, second.path()});
  EXPECT_EQ(found.bundlePath(), second.path() / "Velmoradine_VelmoradineAssets.bundle");
  EXPECT_EQ(
      capture.lines(),
      (std::vector<std::string>{
          "BundlePath: " + (first.path() / "Velmoradine_VelmoradineAssets.bundle").string(),
          "BundlePath: nil",
          "BundlePath: " + (second.path() / "Velmoradine_VelmoradineAssets.bundle").string()}));
}

TEST(BundleModuleDeathTest, MissingEverywhereStopsWithTheFatalMessage) {
  EXPECT_DEATH(
      {
        testing::TemporaryDirectory empty;
        Bundle::findModule({empty.path(), std::nullopt});
      },
      "unable to find bundle named Velmoradine_Velmoradine");
}

TEST(BundleModule, AssignmentReplacesTheLookup) {
  testing::TemporaryMainBundle bundle;
  Bundle::setModule(*Bundle::open(bundle.path()));
  EXPECT_EQ(Bundle::module().bundlePath(), bundle.path());
}

}  // namespace
}  // namespace velmoradine
