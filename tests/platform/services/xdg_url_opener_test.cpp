#include "velmoradine/platform/services/xdg_url_opener.hpp"

#include <gtest/gtest.h>

#include "tests/platform/services/temporary_desktop.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using testing::TemporaryDesktop;

std::string handlerEntry(const std::string& mimeTypes, const std::string& extra = "") {
  return "[Desktop Entry]\nType=Application\nName=Handler\nExec=/bin/true %u\nMimeType=" +
         mimeTypes + "\n" + extra;
}

struct ProbeCase {
  std::string name;
  std::vector<std::pair<std::string, std::string>> entries;  // id, contents
  std::string mimeappsList;
  std::string url;
  bool expected;
  PropertyList declared = PropertyList::Array{"twitter", "instagram"};
};

void PrintTo(const ProbeCase& example, std::ostream* out) {
  *out << example.name;
}

class CanOpenURL : public ::testing::TestWithParam<ProbeCase> {};

TEST_P(CanOpenURL, AnswersFromTheXDGDatabaseForDeclaredSchemes) {
  const auto& example = GetParam();
  TemporaryDesktop desktop;
  desktop.declareQuerySchemes(example.declared);
  for (const auto& [id, contents] : example.entries) desktop.writeDesktopEntry(id, contents);
  desktop.writeMimeappsList(example.mimeappsList);

  EXPECT_EQ(XDGURLOpener().canOpenURL(*URL::parse(example.url)), example.expected);
}

const std::string kTwitterDefault = "[Default Applications]\nx-scheme-handler/twitter=tw.desktop\n";

INSTANTIATE_TEST_SUITE_P(
    Probes, CanOpenURL,
    ::testing::Values(
        ProbeCase{"DefaultApplication",
                  {{"tw.desktop", handlerEntry("")}},
                  kTwitterDefault,
                  "twitter://post",
                  true},
        ProbeCase{"EntryListingTheScheme",
                  {{"tw.desktop", handlerEntry("x-scheme-handler/twitter;")}},
                  "",
                  "twitter://post",
                  true},
        ProbeCase{"NoHandler",
                  {{"tw.desktop", handlerEntry("x-scheme-handler/other;")}},
                  "",
                  "twitter://post",
                  false},
        ProbeCase{"DefaultWithoutItsDesktopFile", {}, kTwitterDefault, "twitter://post", false},
        ProbeCase{"HiddenEntry",
                  {{"tw.desktop", handlerEntry("", "Hidden=true\n")}},
                  kTwitterDefault,
                  "twitter://post",
                  false},
        ProbeCase{"TryExecMissing",
                  {{"tw.desktop", handlerEntry("", "TryExec=/nonexistent/program\n")}},
                  kTwitterDefault,
                  "twitter://post",
                  false},
        ProbeCase{"RemovedAssociation",
                  {{"tw.desktop", handlerEntry("x-scheme-handler/twitter;")}},
                  "[Removed Associations]\nx-scheme-handler/twitter=tw.desktop;\n",
                  "twitter://post",
                  false},
        ProbeCase{"UndeclaredScheme",
                  {{"fb.desktop", handlerEntry("x-scheme-handler/fb;")}},
                  "",
                  "fb://profile",
                  false},
        ProbeCase{"DeclarationThatIsNotAList",
                  {{"tw.desktop", handlerEntry("x-scheme-handler/twitter;")}},
                  "",
                  "twitter://post",
                  false,
                  "twitter"},
        ProbeCase{"WebLinksFallBackToTheHTMLViewer",
                  {{"viewer.desktop", handlerEntry("text/html;")}},
                  "",
                  "https://example.com/a",
                  true}),
    [](const auto& info) { return info.param.name; });

TEST(CanOpenURL, UndeclaredSchemeSaysWhyInTheLog) {
  TemporaryDesktop desktop;
  desktop.declareQuerySchemes(PropertyList::Array{"twitter"});
  console::Capture capture;

  EXPECT_FALSE(XDGURLOpener().canOpenURL(*URL::parse("fb://profile")));
  EXPECT_TRUE(capture.contains(
      "-canOpenURL: failed for URL: \"fb://profile\" - error: \"This app is not allowed to query "
      "for scheme fb\""));
}

struct OpenCase {
  std::string name;
  bool registered;
  bool expectedOpened;
};

void PrintTo(const OpenCase& example, std::ostream* out) {
  *out << example.name;
}

class OpenURL : public ::testing::TestWithParam<OpenCase> {};

TEST_P(OpenURL, StartsTheRegisteredHandlerWithTheURL) {
  const auto& example = GetParam();
  TemporaryDesktop desktop;
  const auto handler = desktop.writeRecordingScript("handler", "received");
  if (example.registered) {
    desktop.writeDesktopEntry("tw.desktop", "[Desktop Entry]\nType=Application\nName=Tw\nExec=\"" +
                                                handler.string() +
                                                "\" %u\nMimeType=x-scheme-handler/twitter;\n");
  }
  const std::string url = "twitter://post?message=Hello%20there";
  std::optional<bool> opened;
  bool onMainThread = false;

  XDGURLOpener().open(*URL::parse(url), [&](bool started) {
    onMainThread = RunLoop::isMainThread();
    opened = started;
  });

  ASSERT_TRUE(testing::waitUntil([&] { return opened.has_value(); }));
  EXPECT_EQ(*opened, example.expectedOpened);
  EXPECT_TRUE(onMainThread);
  if (example.registered) {
    EXPECT_EQ(desktop.waitForRecord("received"), std::vector<std::string>{url});
    EXPECT_TRUE(desktop.waitUntilRecorderIsReaped("received"));
  }
}

INSTANTIATE_TEST_SUITE_P(Handlers, OpenURL,
                         ::testing::Values(OpenCase{"Registered", true, true},
                                           OpenCase{"Unregistered", false, false}),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace velmoradine
