#include "velmoradine/platform/services/xdg_base_directories.hpp"

#include <gtest/gtest.h>

#include "tests/support/temporary_directory.hpp"

namespace velmoradine {
namespace {

using testing::ScopedEnvironmentVariable;
using Paths = std::vector<std::filesystem::path>;

struct DirectoriesCase {
  std::string name;
  std::string dataDirs;
  std::string dataHome;
  Paths expectedSearchPath;
};

void PrintTo(const DirectoriesCase& example, std::ostream* out) {
  *out << example.name;
}

class XDGDirectories : public ::testing::TestWithParam<DirectoriesCase> {};

TEST_P(XDGDirectories, IgnoreRelativeAndEmptyValues) {
  const auto& example = GetParam();
  ScopedEnvironmentVariable home("HOME", "/home/user");
  ScopedEnvironmentVariable dataHome("XDG_DATA_HOME", example.dataHome);
  ScopedEnvironmentVariable dataDirs("XDG_DATA_DIRS", example.dataDirs);

  EXPECT_EQ(xdg::dataSearchPath(), example.expectedSearchPath);
}

INSTANTIATE_TEST_SUITE_P(
    Variables, XDGDirectories,
    ::testing::Values(
        DirectoriesCase{
            "Unset", "", "", {"/home/user/.local/share", "/usr/local/share/", "/usr/share/"}},
        DirectoriesCase{"Absolute", "/a::/b", "/data", {"/data", "/a", "/b"}},
        DirectoriesCase{"Relative", "share:/b", "data", {"/home/user/.local/share", "/b"}},
        DirectoriesCase{
            "OnlyRelative", "share", "/data", {"/data", "/usr/local/share/", "/usr/share/"}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmoradine
