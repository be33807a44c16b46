#include "tests/architecture/include_edges.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velmoradine::architecture {
namespace {

const std::filesystem::path kSourceDir = VELMORADINE_SOURCE_DIR;

EdgeTable documentedTable() {
  std::ifstream file(kSourceDir / "docs" / "architecture.md");
  std::stringstream text;
  text << file.rdbuf();
  return parseEdgeTable(text.str());
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

TEST(IncludeEdges, EveryIncludeOfTheTreeIsAnEdgeTheArchitectureAllows) {
  const auto table = documentedTable();
  ASSERT_TRUE(table.contains("core")) << "no edge table in docs/architecture.md";
  const auto violations = checkTree(table, kSourceDir);
  EXPECT_TRUE(violations.empty()) << joined(violations);
}

TEST(IncludeEdges, TheDocumentedAreasFormNoCycle) {
  const auto cycles = areasOnCycles(documentedTable());
  EXPECT_TRUE(cycles.empty()) << joined(cycles);
}

TEST(IncludeEdges, EveryAreaFolderHasARow) {
  const auto table = documentedTable();
  for (const auto& entry : std::filesystem::directory_iterator(kSourceDir / "velmoradine")) {
    if (!entry.is_directory()) continue;
    const auto name = entry.path().filename().string();
    if (name == "platform") continue;
    EXPECT_TRUE(table.contains(name)) << name;
  }
  for (const auto& entry :
       std::filesystem::directory_iterator(kSourceDir / "velmoradine" / "platform")) {
    if (entry.is_directory()) {
      EXPECT_TRUE(table.contains("platform/" + entry.path().filename().string())) << entry.path();
    }
  }
}

constexpr std::string_view kSmallTable = R"(
## Allowed include edges

| area | may include |
|---|---|
| platform/foundation | — |
| platform/http | platform/foundation |
| model | platform/* |
| network | model, platform/* |

## Areas
| share | network |
)";

struct IncludeCase {
  const char* name;
  const char* area;
  const char* line;
  bool allowed;
};

class IncludeRule : public testing::TestWithParam<IncludeCase> {};

TEST_P(IncludeRule, AllowsOnlyDocumentedEdgesAndKeepsCLibrariesInPlatform) {
  const auto table = parseEdgeTable(kSmallTable);
  const auto& param = GetParam();
  const auto problem = checkInclude(table, param.area, param.line);
  EXPECT_EQ(!problem.has_value(), param.allowed) << param.line << ": " << problem.value_or("");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IncludeRule,
    testing::Values(
        IncludeCase{"NetworkIncludesModel", "network",
                    R"(#include "velmoradine/model/ugc_error.hpp")", true},
        IncludeCase{"NetworkIncludesPlatformHttp", "network",
                    R"(#include "velmoradine/platform/http/url_request.hpp")", true},
        IncludeCase{"NetworkIncludesItself", "network",
                    R"(#include "velmoradine/network/hashing.hpp")", true},
        IncludeCase{"ModelIncludesNetwork", "model",
                    R"(#include "velmoradine/network/network.hpp")", false},
        IncludeCase{"FoundationIncludesHttp", "platform/foundation",
                    R"(  #  include "velmoradine/platform/http/x.hpp")", false},
        IncludeCase{"AreaWithoutARow", "share", R"(#include "velmoradine/model/x.hpp")", false},
        IncludeCase{"NetworkIncludesOpenSSL", "network", "#include <openssl/evp.h>", false},
        IncludeCase{"ModelIncludesFFmpeg", "model", "#include <libavcodec/avcodec.h>", false},
        IncludeCase{"HttpIncludesCurl", "platform/http", "#include <curl/curl.h>", true},
        IncludeCase{"ServerIncludesSQLite", "server", "#include <sqlite3.h>", true},
        IncludeCase{"NetworkIncludesJSON", "network", "#include <nlohmann/json.hpp>", true},
        IncludeCase{"CommentedInclude", "network",
                    R"(// #include "velmoradine/ui/sheet.hpp" is a comment)", true}),
    [](const testing::TestParamInfo<IncludeCase>& info) { return std::string(info.param.name); });

TEST(IncludeEdges, AFileBelongsToItsArea) {
  EXPECT_EQ(areaOfFile("velmoradine/platform/http/url_request.cpp"), "platform/http");
  EXPECT_EQ(areaOfFile("velmoradine/model/ugc_error.hpp"), "model");
  EXPECT_EQ(areaOfFile("apps/main.cpp"), "apps");
  EXPECT_EQ(areaOfFile("server/crypto.cpp"), "server");
  EXPECT_EQ(areaOfFile("tests/core/logger_test.cpp"), std::nullopt);
}

TEST(IncludeEdges, ACycleInTheTableIsFound) {
  const EdgeTable table = {{"state", {"network"}}, {"network", {"state"}}, {"core", {}}};
  EXPECT_EQ(areasOnCycles(table), (std::vector<std::string>{"network", "state"}));
}

}  // namespace
}  // namespace velmoradine::architecture
