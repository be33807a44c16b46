#include "tests/apps/command_line.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

using testing::runHost;

TEST(CommandLine, HelpPrintsUsageOnStandardOutputAndSucceeds) {
  const std::vector<std::vector<std::string>> asks = {
      {"--help"},
      {"-h"},
      {"help"},
      {"help", "probe"},
      {"info", "--help"},
      {"make-sample", "--help"},
      {"probe", "--help"},
      {"render-layers", "--help"},
      {"share", "--help"},
      {"thumbnail", "-h"},
  };
  for (const auto& arguments : asks) {
    const std::string shown = arguments.front() + " " + arguments.back();
    auto run = runHost(arguments);
    EXPECT_EQ(run.status, 0) << shown;
    EXPECT_TRUE(run.output.starts_with("usage: velmoradine")) << shown << ": " << run.output;
    EXPECT_EQ(run.errors, "") << shown;
  }
  EXPECT_NE(runHost({"probe", "--help"}).output.find("usage: velmoradine probe VIDEO"),
            std::string::npos);
}

TEST(CommandLine, WrongUsageGoesToStandardErrorWithStatusTwo) {
  const std::vector<std::vector<std::string>> wrong = {
      {}, {"no-such-command"}, {"probe"}, {"thumbnail", "only-one"}, {"share"},
  };
  for (const auto& arguments : wrong) {
    auto run = runHost(arguments);
    EXPECT_EQ(run.status, 2) << (arguments.empty() ? "" : arguments.front());
    EXPECT_EQ(run.output, "");
    EXPECT_NE(run.errors.find("usage: velmoradine"), std::string::npos) << run.errors;
  }
}

TEST(CommandLine, MakeSampleRefusesNumbersItCannotReadWhole) {
  testing::TemporaryDirectory directory;
  const std::string out = (directory.path() / "sample.mp4").string();
  const std::vector<std::vector<std::string>> refused = {
      {"--size", "16x16x"}, {"--size", "16x"},       {"--size", "x16"},    {"--size", "16x16 "},
      {"--size", "0x16"},   {"--size", "18x15"},     {"--size", "-16x16"}, {"--size", "99999x16"},
      {"--seconds", "4s"},  {"--seconds", "nan"},    {"--seconds", "inf"}, {"--seconds", "0"},
      {"--seconds", ""},    {"--seconds", "1e1000"}, {"--seconds", "601"},
  };
  for (const auto& option : refused) {
    auto run = runHost({"make-sample", out, option[0], option[1]});
    EXPECT_EQ(run.status, 2) << option[0] << " " << option[1];
    EXPECT_NE(run.errors.find(option[0] + " takes"), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(out)) << option[0] << " " << option[1];
  }
}

TEST(CommandLine, RenderLayersSaysWhyItCannotReadTheDescription) {
  testing::TemporaryDirectory directory;
  const std::string out = (directory.path() / "out.png").string();
  const struct {
    std::string description;
    std::string reason;
  } cases[] = {
      {(directory.path() / "missing.json").string(), "No such file or directory"},
      {directory.path().string(), "Is a directory"},
  };
  for (const auto& [description, reason] : cases) {
    auto run = runHost({"render-layers", description, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "render-layers: cannot read " + description + ": " + reason + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
}  // namespace velmoradine
