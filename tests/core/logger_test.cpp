#include "velmoradine/core/logger.hpp"

#include <gtest/gtest.h>

#include <regex>

#include "velmoradine/core/deployment.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

TEST(DocumentationIdentifier, RawValuesAndConstruction) {
  EXPECT_EQ(rawValue(DocumentationIdentifier::apiKeyNotSet), "api_key_not_set");
  EXPECT_EQ(rawValue(DocumentationIdentifier::unexpecteError), "unexpected_error");
  EXPECT_EQ(rawValue(DocumentationIdentifier::plitRequirementsNotMet), "plist_requirements");
  EXPECT_EQ(documentationIdentifier("plist_requirements"),
            DocumentationIdentifier::plitRequirementsNotMet);
  EXPECT_EQ(documentationIdentifier("plitRequirementsNotMet"), std::nullopt);
  EXPECT_EQ(documentationIdentifier(""), std::nullopt);
}

TEST(DocumentationIdentifier, LinkEndsInTheDocsQuery) {
  std::string link = documentationLink(DocumentationIdentifier::apiKeyNotSet);
  EXPECT_EQ(link, std::string(deployment::kDocumentationSiteURL) + "/docs?id=api_key_not_set");
}

TEST(Logger, LineFormats) {
  console::Capture capture;
  Logger::velmoradineDebug("plain");
  Logger::velmoradineDebug("with error", Error::domain("velmoradine", 1));
  Logger::velmoradineDebug("with link", std::nullopt, DocumentationIdentifier::unexpecteError);
  Logger::velmoradineDebug("both", Error::domain("velmoradine", 1),
                           DocumentationIdentifier::apiKeyNotSet);
  UGCLogger::log("scene ready");
  const std::string error = "The operation couldn\u2019t be completed. (velmoradine error 1.)";
  EXPECT_EQ(capture.lines(), (std::vector<std::string>{
                                 "[Velmoradine] plain",
                                 "[Velmoradine] with error - " + error,
                                 "[Velmoradine] with link - " +
                                     documentationLink(DocumentationIdentifier::unexpecteError),
                                 "[Velmoradine] both - " + error + " - " +
                                     documentationLink(DocumentationIdentifier::apiKeyNotSet),
                                 "[Velmoradine] [UGCGenerator] scene ready",
                             }));
}

TEST(Logger, MillisecondsAreShortestRoundTripDoubles) {
  using std::chrono::microseconds;
  EXPECT_EQ(formatMilliseconds(microseconds(1500)), "1.5");
  EXPECT_EQ(formatMilliseconds(microseconds(2000)), "2.0");
  EXPECT_EQ(formatMilliseconds(microseconds(0)), "0.0");
  // Seconds as a double times 1000, printed so that it reads back exactly.
  std::string text = formatMilliseconds(std::chrono::nanoseconds(123456));
  EXPECT_EQ(std::stod(text), 0.000123456 * 1000);
  EXPECT_EQ(text, "0.12345600000000001");
}

TEST(Logger, MillisecondsNeverTakeAnExponent) {
  using namespace std::chrono;
  const struct {
    steady_clock::duration elapsed;
    const char* text;
  } cases[] = {
      {seconds(100), "100000.0"},
      {hours(24 * 365), "31536000000.0"},
      {nanoseconds(10), "0.00001"},
  };
  for (const auto& [elapsed, text] : cases) {
    EXPECT_EQ(formatMilliseconds(elapsed), text) << elapsed.count() << " ns";
  }
}

TEST(DurationLogger, WritesBeginTraceAndFinishLines) {
  console::Capture capture;
  auto logger = DurationLogger::begin("[Export]");
  logger.trace("decoded");
  logger.finish();
  auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[Velmoradine] [Export] Beginning");
  EXPECT_TRUE(std::regex_match(
      lines[1], std::regex(R"(\[Velmoradine\] \[Export\] decoded Trace: [0-9.e-]+\))")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(
      lines[2],
      std::regex(R"(\[Velmoradine\] \[Export\] Finished: [0-9.e-]+ \( [0-9.e-]+ total\) )")))
      << lines[2];
}

TEST(UGCDurationLogger, WritesBeginningOperationAndFinished) {
  console::Capture capture;
  UGCDurationLogger::begin("[Scene]").finish();
  auto lines = capture.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[Velmoradine] [Scene] Beginning operation");
  EXPECT_TRUE(
      std::regex_match(lines[1], std::regex(R"(\[Velmoradine\] \[Scene\] Finished: [0-9.e-]+)")))
      << lines[1];
}

}  // namespace
}  // namespace velmoradine
