// `velmoradine compose`, run as a user runs it, against the real devserver:
// the whole main flow from a UGC description to a public link, and the ways
// it ends without sharing.

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

#include "tests/apps/command_line.hpp"
#include "tests/platform/media/test_videos.hpp"
#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine {
namespace {

using nlohmann::json;
using testing::CommandRun;

bool mentions(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Two scenes of a video, a text and an image each, at the full preset size,
// so that rendering takes longer than the sheet takes to slide in and the
// outlet is tapped before the video exists.
std::string description(const std::string& firstVideo = "first.mp4") {
  auto scene = [](const std::string& video, const std::string& text) {
    return json{{"layers",
                 {{{"video", video}, {"attributes", {{"frame", {0, 0, 540, 960}}}}},
                  {{"text", text}, {"attributes", {{"frame", {40, 80, 460, 120}}}}},
                  {{"image", "badge.png"}, {"attributes", {{"frame", {400, 820, 64, 64}}}}}}}};
  };
  return json{{"title", "Weekend"},
              {"options", {{{"size", {540, 960}}}}},
              {"scenes", {scene(firstVideo, "Day one"), scene("second.mp4", "Day two")}}}
      .dump();
}

class ComposeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    const testing::TestVideo clip{.width = 540, .height = 960, .frames = 30};
    ASSERT_TRUE(testing::writeTestVideo(folder() / "first.mp4", clip));
    ASSERT_TRUE(testing::writeTestVideo(folder() / "second.mp4", clip));
    std::ofstream(folder() / "notes.mp4") << "not a video";
    Bitmap badge(16, 16);
    badge.fill(*Color::fromHex("#FF8800"));
    auto png = Image(std::move(badge)).pngData();
    std::ofstream(folder() / "badge.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png->data()), std::streamsize(png->size()));
    server_ = std::make_unique<testing::DevServerProcess>(
        scratch_.path() / "server",
        std::vector<std::string>{"--api-key", "compose-key", "--app-slug", "compose-app"});
    ASSERT_TRUE(server_->running());
    bundle_.writeInfoPlist({{"VelmoradineClientId", "compose-key"},
                            {"VelmoradineAPIBaseURL", server_->baseURL() + "v1/api/sdk/"},
                            {"VelmoradineEventsURL", server_->baseURL() + "v1/events"}});
  }

  std::filesystem::path folder() const { return scratch_.path(); }

  CommandRun compose(const std::string& text, std::vector<std::string> options) {
    std::ofstream(folder() / "ugc.json") << text;
    std::vector<std::string> arguments{"compose", (folder() / "ugc.json").string()};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return testing::runHost(arguments);
  }

  // Every event the collector received, oldest first.
  json events() {
    testing::Kit kit(*server_, "compose-key");
    auto reply = kit.get("/v1/events?limit=1000");
    EXPECT_TRUE(reply && reply->status == 200);
    return reply ? json::parse(reply->body)["events"] : json::array();
  }

  // How many shares the server holds, live or not: the server has no API
  // that lists them, so its database is read beside it.
  int sharesOnTheServer() {
    sqlite3* database = nullptr;
    const auto file = scratch_.path() / "server" / "devserver.sqlite3";
    int count = -1;
    if (sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* statement = nullptr;
      if (sqlite3_prepare_v2(database, "SELECT count(*) FROM shares", -1, &statement, nullptr) ==
              SQLITE_OK &&
          sqlite3_step(statement) == SQLITE_ROW) {
        count = sqlite3_column_int(statement, 0);
      }
      sqlite3_finalize(statement);
    }
    sqlite3_close(database);
    return count;
  }

  testing::TemporaryMainBundle bundle_;
  testing::TemporaryDirectory scratch_;
  std::unique_ptr<testing::DevServerProcess> server_;
};

TEST_F(ComposeCommand, SharesTheComposedVideoWithCopyAndItsLinkPageServesIt) {
  const auto screens = folder() / "screens";
  CommandRun run = compose(description(), {"--outlet", "copy", "--screens", screens.string()});
  ASSERT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_TRUE(mentions(run.output, "\nPresentation result: shared(destination: copy)\n"))
      << run.output;
  const auto linkAt = run.output.find("Public link: ");
  ASSERT_NE(linkAt, std::string::npos) << run.output;
  const std::string link =
      run.output.substr(linkAt + 13, run.output.find('\n', linkAt) - linkAt - 13);

  // The page's video is the rendered one: both scenes, one after the other.
  auto client = server_->client();
  auto page = client.Get(testing::pathAndQuery(link));
  ASSERT_TRUE(page && page->status == 200);
  const auto srcAt = page->body.find("<video class=\"player\" src=\"");
  ASSERT_NE(srcAt, std::string::npos) << page->body;
  const auto srcStart = srcAt + std::string("<video class=\"player\" src=\"").size();
  const std::string source = page->body.substr(srcStart, page->body.find('"', srcStart) - srcStart);
  auto video = client.Get(testing::pathAndQuery(source));
  ASSERT_TRUE(video && video->status == 200) << source;
  std::ofstream(folder() / "served.mp4", std::ios::binary) << video->body;
  auto served = URLAsset::make(folder() / "served.mp4");
  EXPECT_NEAR(served->duration().seconds(), 2.0, 0.05);
  const auto tracks = served->tracksWithMediaType(MediaType::video);
  ASSERT_EQ(tracks.size(), 1U);
  EXPECT_EQ(tracks[0].naturalSize, (Size{540, 960}));

  // One context for the whole sheet, and the hurried user's story in order.
  std::vector<std::string> names;
  std::set<std::string> contexts;
  for (const auto& event : events()) {
    const auto& wrapped = event["event"];
    const std::string name = wrapped["event"]["event_name"];
    if (!name.starts_with("share_")) continue;
    names.push_back(name);
    contexts.insert(wrapped["context"]["uuid"]);
  }
  // The render's end is told from the exporter's thread, so it may be
  // queued before the tap's events, which the sheet adds on the main thread.
  auto rest = names;
  std::erase(rest, "share_sheet.rendering_completed");
  EXPECT_EQ(rest, (std::vector<std::string>{"share_sheet.loaded", "share_outlet.copy.started",
                                            "share_sheet.rendering_incomplete_on_tap",
                                            "share_outlet.copy.succeeded"}))
      << ::testing::PrintToString(names);
  EXPECT_EQ(std::ranges::count(names, "share_sheet.rendering_completed"), 1);
  EXPECT_EQ(contexts.size(), 1U);

  // The preview-playing screen is left out: whether the preview shows a
  // frame before the share is done depends on how fast this machine decodes.
  for (const char* screen : {"1-sheet-loaded.png", "2-spinner.png", "5-outcome.png"}) {
    EXPECT_TRUE(std::filesystem::is_regular_file(screens / screen)) << screen;
  }
}

// Each ends with a clear line, status 1, nothing left running, and no share
// left on the server: a video that is made after the user left the sheet has
// its share withdrawn before the process ends.
TEST_F(ComposeCommand, EndsWithoutSharingWhenThereIsNothingToShare) {
  struct Case {
    std::string name;
    std::string description;
    std::vector<std::string> options;
    std::string error;
    std::string result;  // the result line, or none when nothing was presented
  } cases[] = {
      {"every scene fails",
       json{{"scenes",
             {{{"layers",
                {{{"video", "notes.mp4"}, {"attributes", {{"frame", {0, 0, 540, 960}}}}}}}}}}}
           .dump(),
       {"--outlet", "copy", "--answer", "no"},
       "compose: the video could not be made: ",
       "Presentation result: cancelled"},
      {"no such outlet",
       description(),
       {"--outlet", "fax"},
       "compose: the sheet offers no outlet \"fax\"",
       "Presentation result: cancelled"},
      {"an invalid description", "{\"scenes\": []}", {}, "The UGC description is invalid", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CommandRun run = compose(c.description, c.options);
    EXPECT_EQ(run.status, 1) << run.output << run.errors;
    EXPECT_TRUE(mentions(run.errors, c.error)) << run.errors;
    EXPECT_EQ(mentions(run.output, "Presentation result: "), !c.result.empty()) << run.output;
    if (!c.result.empty()) {
      EXPECT_TRUE(mentions(run.output, c.result + "\n")) << run.output;
    }
    EXPECT_FALSE(mentions(run.output, "Public link")) << run.output;
    EXPECT_EQ(sharesOnTheServer(), 0);
  }
}

}  // namespace
}  // namespace velmoradine
