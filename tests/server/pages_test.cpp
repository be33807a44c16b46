#include <gtest/gtest.h>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;

class DevServerPages : public ::testing::Test {
 protected:
  DevServerPages()
      : server_(
            directory_.path(),
            {"--api-key", "key", "--app-slug", "my-app", "--cta-link", "https://example.com/get",
             "--brand-color", "#ff8800", "--background-color", "red;}</style><script>x()</script>",
             "--api-key", "plain", "--app-slug", "plain-app", "--cta-link", "javascript:alert(1)"}),
        kit_(server_, "key") {}

  TemporaryDirectory directory_;
  DevServerProcess server_;
  Kit kit_;
};

TEST_F(DevServerPages, TheLinkIsNotFoundUntilBothFilesAreActive) {
  ShareFiles files{randomBytes(5000), randomBytes(500)};
  auto share = kit_.createShare(files);
  auto path = pathAndQuery(share.link);
  EXPECT_EQ(kit_.client().Get(path)->status, 404);
  ASSERT_EQ(kit_.upload(share.videoURL, share.videoHeaders, files.video)->status, 200);
  ASSERT_EQ(kit_.upload(share.previewURL, share.previewHeaders, files.preview)->status, 200);
  EXPECT_EQ(kit_.client().Get(path)->status, 404);
  ASSERT_EQ(kit_.activate(share.token, true, false)->status, 200);
  EXPECT_EQ(kit_.client().Get(path)->status, 404);
  EXPECT_EQ(kit_.client().Get(path + "/video")->status, 404);
  ASSERT_EQ(kit_.activate(share.token, false, true)->status, 200);
  EXPECT_EQ(kit_.client().Get(path)->status, 200);
}

TEST_F(DevServerPages, TheLinkPageShowsTheVideoWithOpenGraphTags) {
  ShareFiles files{randomBytes(5000), randomBytes(500)};
  auto share = kit_.publish(files, "Tom & \"Jerry\" <3");
  auto page = kit_.client().Get(pathAndQuery(share.link));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const auto& html = page->body;
  std::string title = "Tom &amp; &quot;Jerry&quot; &lt;3";
  EXPECT_NE(html.find("<title>" + title + "</title>"), std::string::npos) << html;
  EXPECT_NE(html.find("<meta property=\"og:title\" content=\"" + title + "\">"), std::string::npos);
  EXPECT_NE(html.find("<meta property=\"og:video\" content=\"" + share.link + "/video\">"),
            std::string::npos);
  EXPECT_NE(html.find("<meta property=\"og:image\" content=\"" + share.link + "/preview\">"),
            std::string::npos);
  EXPECT_NE(html.find("<video "), std::string::npos);
  EXPECT_NE(html.find("src=\"" + share.link + "/video\""), std::string::npos);
  EXPECT_EQ(html.find("<3"), std::string::npos);

  auto preview = kit_.client().Get(pathAndQuery(share.link) + "/preview");
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->status, 200);
  EXPECT_EQ(preview->get_header_value("Content-Type"), "image/jpeg");
  EXPECT_EQ(preview->body, files.preview);
}

TEST_F(DevServerPages, TheFilesAnswerRangeRequests) {
  ShareFiles files{randomBytes(300000), randomBytes(500)};
  auto share = kit_.publish(files);
  auto path = pathAndQuery(share.link) + "/video";

  auto whole = kit_.client().Get(path);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->status, 200);
  EXPECT_EQ(whole->get_header_value("Accept-Ranges"), "bytes");
  EXPECT_EQ(whole->get_header_value("Content-Type"), "video/mp4");
  EXPECT_EQ(whole->body, files.video);

  auto middle = kit_.client().Get(path, {{"Range", "bytes=1000-1999"}});
  ASSERT_TRUE(middle);
  EXPECT_EQ(middle->status, 206);
  EXPECT_EQ(middle->get_header_value("Content-Range"), "bytes 1000-1999/300000");
  EXPECT_EQ(middle->body, files.video.substr(1000, 1000));

  auto open = kit_.client().Get(path, {{"Range", "bytes=299990-"}});
  ASSERT_TRUE(open);
  EXPECT_EQ(open->status, 206);
  EXPECT_EQ(open->body, files.video.substr(299990));

  auto suffix = kit_.client().Get(path, {{"Range", "bytes=-16"}});
  ASSERT_TRUE(suffix);
  EXPECT_EQ(suffix->status, 206);
  EXPECT_EQ(suffix->body, files.video.substr(300000 - 16));

  auto pastTheEnd = kit_.client().Get(path, {{"Range", "bytes=299995-400000"}});
  ASSERT_TRUE(pastTheEnd);
  EXPECT_EQ(pastTheEnd->status, 206);
  EXPECT_EQ(pastTheEnd->get_header_value("Content-Range"), "bytes 299995-299999/300000");
  EXPECT_EQ(pastTheEnd->body, files.video.substr(299995));

  auto beyond = kit_.client().Get(path, {{"Range", "bytes=400000-400010"}});
  ASSERT_TRUE(beyond);
  EXPECT_EQ(beyond->status, 416);
  EXPECT_EQ(beyond->get_header_value("Content-Range"), "bytes */300000");

  // The connection is still good after the refusal.
  auto after = kit_.client().Get(path, {{"Range", "bytes=0-3"}});
  ASSERT_TRUE(after);
  EXPECT_EQ(after->body, files.video.substr(0, 4));
}

TEST_F(DevServerPages, TheCallToActionPageBelongsToTheSlug) {
  auto page = kit_.client().Get("/app-cta?ref=my-app");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("my-app"), std::string::npos);
  EXPECT_NE(page->body.find("href=\"https://example.com/get\""), std::string::npos);
  EXPECT_NE(page->body.find("#ff8800"), std::string::npos);
  // A colour that is not a plain colour never reaches the page.
  EXPECT_EQ(page->body.find("<script>"), std::string::npos);

  auto plain = kit_.client().Get("/app-cta?ref=plain-app");
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->status, 200);
  EXPECT_EQ(plain->body.find("javascript:"), std::string::npos);

  EXPECT_EQ(kit_.client().Get("/app-cta?ref=nobody")->status, 404);
  EXPECT_EQ(kit_.client().Get("/app-cta")->status, 400);
}

TEST_F(DevServerPages, EachDocumentationIdentifierHasAPage) {
  for (const auto& identifier : {"api_key_not_set", "unexpected_error", "plist_requirements"}) {
    auto page = kit_.client().Get(std::string("/docs?id=") + identifier);
    ASSERT_TRUE(page) << identifier;
    EXPECT_EQ(page->status, 200) << identifier;
    EXPECT_NE(page->body.find("<h1>"), std::string::npos);
  }
  EXPECT_EQ(kit_.client().Get("/docs?id=plitRequirementsNotMet")->status, 404);
  EXPECT_EQ(kit_.client().Get("/docs")->status, 404);
}

TEST_F(DevServerPages, TheGettingStartedPageNamesThisServersAddresses) {
  auto page = kit_.client().Get("/go");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find(server_.baseURL() + "v1/api/sdk/"), std::string::npos);
  EXPECT_NE(page->body.find(server_.baseURL() + "v1/events"), std::string::npos);
}

TEST(DevServerPublicURL, LinksAndUploadAddressesUseThePublicURL) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(), {"--api-key", "key", "--app-slug", "app",
                                             "--public-url", "https://share.example.com"});
  ASSERT_TRUE(server.running());
  Kit kit(server, "key");
  auto share = kit.createShare({randomBytes(10), randomBytes(10)});
  EXPECT_TRUE(share.link.starts_with("https://share.example.com/s/")) << share.link;
  EXPECT_TRUE(share.videoURL.starts_with("https://share.example.com/v1/storage/"))
      << share.videoURL;
}

}  // namespace
}  // namespace velmoradine::testing
