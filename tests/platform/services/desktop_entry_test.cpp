#include "velmoradine/platform/services/desktop_entry.hpp"

#include <gtest/gtest.h>

#include "velmoradine/platform/services/desktop_services_error.hpp"

namespace velmoradine {
namespace {

using Lines = std::vector<std::vector<std::string>>;

DesktopEntry entryWithExec(const std::string& exec) {
  // Through the file parser, so the general escapes are undone first, as in
  // a real entry.
  auto entry = parseDesktopEntry(
      "[Desktop Entry]\nType=Application\nName=My App\nIcon=my-icon\n"
      "Exec=" +
          exec + "\n",
      "my.desktop", "/apps/my.desktop");
  EXPECT_TRUE(entry.has_value());
  return *entry;
}

struct ExecCase {
  std::string exec;
  std::vector<std::string> uris;
  Lines expected;
};

void PrintTo(const ExecCase& example, std::ostream* out) {
  *out << example.exec;
}

class ExecExpansion : public ::testing::TestWithParam<ExecCase> {};

TEST_P(ExecExpansion, GivesTheCommandLines) {
  const auto& example = GetParam();
  const auto lines = commandLines(entryWithExec(example.exec), example.uris);
  ASSERT_TRUE(lines.has_value()) << lines.error().detail();
  EXPECT_EQ(*lines, example.expected);
}

INSTANTIATE_TEST_SUITE_P(
    FieldCodesAndQuoting, ExecExpansion,
    ::testing::Values(
        ExecCase{"app %u", {"twitter://post?message=a b"}, {{"app", "twitter://post?message=a b"}}},
        ExecCase{"app %U --end", {"a:1", "b:2"}, {{"app", "a:1", "b:2", "--end"}}},
        ExecCase{"app %f",
                 {"file:///tmp/a%20b.mp4", "file://localhost/c"},
                 {{"app", "/tmp/a b.mp4"}, {"app", "/c"}}},
        ExecCase{"app %F", {"file:///x", "https://h/y"}, {{"app", "/x", "https://h/y"}}},
        ExecCase{"app --open=%u", {"s:1"}, {{"app", "--open=s:1"}}},
        ExecCase{"app %u", {}, {{"app"}}}, ExecCase{"app", {"s:1"}, {{"app", "s:1"}}},
        ExecCase{"app %i %c %k", {}, {{"app", "--icon", "my-icon", "My App", "/apps/my.desktop"}}},
        ExecCase{"app %% %d 100%%", {}, {{"app", "%", "100%"}}},
        ExecCase{R"("/opt/my app/run" "" x\sy)", {}, {{"/opt/my app/run", "", "x", "y"}}},
        ExecCase{R"(app "say \"hi\" \$HOME \`id\`")", {}, {{"app", "say \"hi\" $HOME `id`"}}},
        ExecCase{R"(app "back\\\\slash")", {}, {{"app", "back\\slash"}}},
        // Inside quotes a field code is text: a URL never joins a script.
        ExecCase{R"(sh -c "open %u")", {"s:1"}, {{"sh", "-c", "open %u", "s:1"}}}));

class MalformedExec : public ::testing::TestWithParam<std::string> {};

TEST_P(MalformedExec, IsAnInvalidDesktopEntry) {
  const auto lines = commandLines(entryWithExec(GetParam()), {"s:1"});
  ASSERT_FALSE(lines.has_value());
  EXPECT_EQ(lines.error(), DesktopServicesError::invalidDesktopEntry);
}

INSTANTIATE_TEST_SUITE_P(Exec, MalformedExec,
                         ::testing::Values("", R"(app "open)", "app %z", "app 100%", "%u",
                                           "app --files=%F", "app x%i"));

}  // namespace
}  // namespace velmoradine
