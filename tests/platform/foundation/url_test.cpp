#include "velmoradine/platform/foundation/url.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

namespace velmoradine {
namespace {

TEST(URL, ParsesAbsoluteURLsIntoComponentsAndKeepsTheirText) {
  auto url = URL::parse("https://Api.Example.test:8443/v1/a%20b/clip.MP4?x=1&y=%2F#top");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->absoluteString(), "https://Api.Example.test:8443/v1/a%20b/clip.MP4?x=1&y=%2F#top");
  EXPECT_EQ(url->scheme(), "https");
  EXPECT_EQ(url->host(), "Api.Example.test");
  EXPECT_EQ(url->port(), 8443);
  EXPECT_EQ(url->path(), "/v1/a b/clip.MP4");
  EXPECT_EQ(url->percentEncodedPath(), "/v1/a%20b/clip.MP4");
  EXPECT_EQ(url->query(), "x=1&y=%2F");
  EXPECT_EQ(url->fragment(), "top");
  EXPECT_EQ(url->lastPathComponent(), "clip.MP4");
  EXPECT_EQ(url->pathExtension(), "MP4");
  EXPECT_FALSE(url->isFileURL());
}

TEST(URL, RefusesTextThatIsNotAnAbsoluteURL) {
  for (const char* text :
       {"", "not a url", "/just/a/path", "relative/path", "http://h/a b", "https://host:99999/",
        "http://", " http://h/", "http://h/\n", "http://h/caf\xc3\xa9"}) {
    EXPECT_FALSE(URL::parse(text).has_value()) << text;
  }
}

TEST(URL, ResolvesRelativeReferencesAgainstABase) {
  auto base = URL::parse("https://api.example.test/v1/api/sdk/");
  ASSERT_TRUE(base.has_value());
  EXPECT_EQ(URL::parse("share/activate", *base)->absoluteString(),
            "https://api.example.test/v1/api/sdk/share/activate");
  EXPECT_EQ(URL::parse("application", *base)->path(), "/v1/api/sdk/application");
  EXPECT_EQ(URL::parse("/v1/events", *base)->absoluteString(),
            "https://api.example.test/v1/events");
  EXPECT_EQ(URL::parse("../up", *base)->absoluteString(), "https://api.example.test/v1/api/up");
  EXPECT_EQ(URL::parse("https://other.test/x", *base)->absoluteString(), "https://other.test/x");
  // Without the trailing slash the last segment is replaced, as for any URL.
  EXPECT_EQ(URL::parse("share", *URL::parse("https://h.test/v1/sdk"))->absoluteString(),
            "https://h.test/v1/share");
  EXPECT_FALSE(URL::parse("a b", *base).has_value());
}

TEST(URL, FileURLsEscapeTheirPathAndGiveItBack) {
  URL url = URL::fileURL("/tmp/My Videos/clip #1.mp4");
  EXPECT_TRUE(url.isFileURL());
  EXPECT_EQ(url.absoluteString(), "file:///tmp/My%20Videos/clip%20%231.mp4");
  EXPECT_EQ(url.filePath(), std::filesystem::path("/tmp/My Videos/clip #1.mp4"));
  EXPECT_EQ(url.lastPathComponent(), "clip #1.mp4");
  EXPECT_EQ(url.pathExtension(), "mp4");
  EXPECT_EQ(URL::fileURL("relative.txt").filePath(),
            std::filesystem::current_path() / "relative.txt");
}

TEST(URL, LastComponentAndExtensionFollowThePath) {
  EXPECT_EQ(URL::parse("https://h.test/a/b/")->lastPathComponent(), "b");
  EXPECT_EQ(URL::parse("https://h.test/")->lastPathComponent(), "/");
  EXPECT_EQ(URL::parse("https://h.test/archive.tar.gz")->pathExtension(), "gz");
  EXPECT_EQ(URL::parse("https://h.test/noextension")->pathExtension(), "");
  EXPECT_EQ(URL::parse("https://h.test/.hidden")->pathExtension(), "");
  EXPECT_EQ(URL::parse("https://h.test/image.png?size=2.5")->pathExtension(), "png");
}

TEST(URL, AppendingAPathComponentEscapesItAsOneSegment) {
  auto base = URL::parse("https://h.test/root?q=1");
  EXPECT_EQ(base->appendingPathComponent("a b/c").absoluteString(),
            "https://h.test/root/a%20b%2Fc?q=1");
  EXPECT_EQ(URL::parse("https://h.test/root/")->appendingPathComponent("x").absoluteString(),
            "https://h.test/root/x");
  EXPECT_EQ(URL::fileURL("/tmp/cache").appendingPathComponent("clips").filePath(),
            std::filesystem::path("/tmp/cache/clips"));
}

TEST(URL, EqualityAndHashingFollowTheText) {
  EXPECT_EQ(*URL::parse("https://h.test/a"), *URL::parse("https://h.test/a"));
  EXPECT_NE(*URL::parse("https://h.test/a"), *URL::parse("https://h.test/A"));
  std::unordered_set<URL> set = {*URL::parse("https://h.test/a"), *URL::parse("https://h.test/a")};
  EXPECT_EQ(set.size(), 1u);
}

TEST(URL, CustomSchemesAreURLs) {
  auto url = URL::parse("instagram-stories://share?source_application=app");
  ASSERT_TRUE(url.has_value());
  EXPECT_EQ(url->scheme(), "instagram-stories");
  EXPECT_EQ(url->host(), "share");
  EXPECT_EQ(url->absoluteString(), "instagram-stories://share?source_application=app");
}

TEST(PercentEncoding, QueryAllowedKeepsTheQuerySeparatorsAndEscapesTheRest) {
  EXPECT_EQ(addingPercentEncoding("a b&c=d/e?f#g%h+i~", URLCharacterSet::urlQueryAllowed),
            "a%20b&c=d/e?f%23g%25h+i~");
  EXPECT_EQ(addingPercentEncoding("caf\u00e9 \"x\"", URLCharacterSet::urlQueryAllowed),
            "caf%C3%A9%20%22x%22");
  EXPECT_EQ(addingPercentEncoding("a/b?c", URLCharacterSet::urlPathSegmentAllowed), "a%2Fb%3Fc");
  EXPECT_EQ(addingPercentEncoding("", URLCharacterSet::urlQueryAllowed), "");
}

TEST(PercentEncoding, DecodingReversesEncodingAndRefusesBrokenEscapes) {
  std::string text = "x=\u00e9 & y/z?#%";
  EXPECT_EQ(removingPercentEncoding(addingPercentEncoding(text, URLCharacterSet::urlQueryAllowed)),
            text);
  EXPECT_EQ(removingPercentEncoding("%4"), std::nullopt);
  EXPECT_EQ(removingPercentEncoding("%zz"), std::nullopt);
  EXPECT_EQ(removingPercentEncoding("100%"), std::nullopt);
}

}  // namespace
}  // namespace velmoradine
