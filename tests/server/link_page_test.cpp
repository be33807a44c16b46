// The link page as link previews and browsers read it: its head tags, the
// embeddable player, oEmbed, readable colours, the 404 page and the icon.

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <regex>

#include "server/page_colors.hpp"
#include "tests/server/devserver_process.hpp"
#include "tests/server/media_files.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;
using Attributes = std::map<std::string, std::string>;

std::string unescape(std::string text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : kEntities) {
    for (auto at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::string_view(entity).size(), character);
    }
  }
  return text;
}

// Every `<name ...>` tag of the document, as its attributes (a boolean one
// has an empty value).
std::vector<Attributes> tags(const std::string& html, const std::string& name) {
  static const std::regex kAttribute(R"re(([a-zA-Z:-]+)(="([^"]*)")?)re");
  std::vector<Attributes> found;
  std::regex tagPattern("<" + name + R"re(((\s+[a-zA-Z:-]+(="[^"]*")?)*)\s*/?>)re");
  for (std::sregex_iterator tag(html.begin(), html.end(), tagPattern), end; tag != end; ++tag) {
    Attributes attributes;
    std::string inside = (*tag)[1].str();
    for (std::sregex_iterator attribute(inside.begin(), inside.end(), kAttribute); attribute != end;
         ++attribute) {
      attributes[(*attribute)[1].str()] = unescape((*attribute)[3].str());
    }
    found.push_back(std::move(attributes));
  }
  return found;
}

// The head's meta tags by property or name, and its links by rel.
Attributes headValues(const std::string& html) {
  Attributes values;
  std::string head = html.substr(0, html.find("</head>"));
  for (auto& meta : tags(head, "meta")) {
    std::string key = meta.contains("property") ? meta["property"] : meta["name"];
    if (!key.empty()) values[key] = meta["content"];
  }
  for (auto& link : tags(head, "link")) values["link " + link["rel"]] = link["href"];
  return values;
}

// The declarations of the first CSS rule for `selector`.
std::map<std::string, std::string> cssRule(const std::string& html, const std::string& selector) {
  std::map<std::string, std::string> declarations;
  auto start = html.find("}" + selector + "{");
  if (start == std::string::npos) start = html.find(">" + selector + "{");
  if (start == std::string::npos) return declarations;
  start += selector.size() + 2;
  std::string body = html.substr(start, html.find('}', start) - start);
  static const std::regex kDeclaration(R"(([a-z-]+):([^;]+))");
  for (std::sregex_iterator it(body.begin(), body.end(), kDeclaration), end; it != end; ++it) {
    declarations[(*it)[1].str()] = (*it)[2].str();
  }
  return declarations;
}

std::string encoded(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

class DevServerLinkPage : public ::testing::Test {
 protected:
  DevServerLinkPage()
      : server_(directory_.path(),
                {"--api-key", "key", "--app-slug", "my-app", "--cta-link",
                 "https://example.com/get?a=1&b=2", "--api-key", "white", "--app-slug", "white-app",
                 "--cta-link", "https://example.com/white", "--brand-color", "#ffcc00",
                 "--background-color", "white"}),
        kit_(server_, "key") {}

  // The body of a page that must answer 200.
  std::string get(const std::string& url) {
    auto result = kit_.client().Get(pathAndQuery(url));
    EXPECT_TRUE(result && result->status == 200) << url;
    return result ? result->body : std::string();
  }

  TemporaryDirectory directory_;
  DevServerProcess server_;
  Kit kit_;
};

TEST(DevServerLinkPageHead, CarriesEveryTagALinkPreviewNeeds) {
  struct Case {
    const char* name;
    std::string video;
    std::optional<std::pair<int, int>> videoSize;
    bool https;
  };
  const Case cases[] = {
      {"portrait", mp4File({.width = 1920, .height = 1080, .quarterTurn = true}),
       std::pair{1080, 1920}, false},
      {"landscape", mp4File({.width = 1280, .height = 720, .movieAfterData = true}),
       std::pair{1280, 720}, false},
      {"unreadable video", randomBytes(3000), std::nullopt, false},
      {"https public address", mp4File({.width = 720, .height = 1280}), std::pair{720, 1280}, true},
  };
  for (const auto& [name, video, videoSize, https] : cases) {
    SCOPED_TRACE(name);
    TemporaryDirectory directory;
    std::vector<std::string> arguments = {"--api-key", "key", "--app-slug", "my-app"};
    if (https) arguments.insert(arguments.end(), {"--public-url", "https://share.example.com/"});
    DevServerProcess server(directory.path(), arguments);
    Kit kit(server, "key");
    auto share = kit.publish({video, jpegFile(540, 960)}, "Tom & \"Jerry\"");
    auto page = kit.client().Get(pathAndQuery(share.link));
    ASSERT_TRUE(page && page->status == 200);
    auto head = headValues(page->body);
    std::string base = https ? "https://share.example.com/" : server.baseURL();

    const std::map<std::string, std::string> expected = {
        {"og:type", "video.other"},
        {"og:site_name", "my-app"},
        {"og:title", "Tom & \"Jerry\""},
        {"og:description", "A video shared from my-app"},
        {"og:url", share.link},
        {"og:image", share.link + "/preview"},
        {"og:image:type", "image/jpeg"},
        {"og:image:width", "540"},
        {"og:image:height", "960"},
        {"og:image:alt", "A frame of the video: Tom & \"Jerry\""},
        {"og:video", share.link + "/video"},
        {"og:video:type", "video/mp4"},
        {"twitter:card", "player"},
        {"twitter:title", "Tom & \"Jerry\""},
        {"twitter:image", share.link + "/preview"},
        {"twitter:player", share.link + "/embed"},
        {"link canonical", share.link},
        {"link alternate", base + "oembed?url=" + encoded(share.link) + "&format=json"},
    };
    for (const auto& [key, value] : expected) EXPECT_EQ(head[key], value) << key;
    EXPECT_EQ(head.contains("og:video:secure_url"), https);
    if (https) {
      EXPECT_EQ(head["og:video:secure_url"], share.link + "/video");
    }

    auto videoTags = tags(page->body, "video");
    ASSERT_EQ(videoTags.size(), 1u);
    auto& player = videoTags[0];
    for (const char* flag : {"playsinline", "muted", "autoplay", "loop", "controls"}) {
      EXPECT_TRUE(player.contains(flag)) << flag;
    }
    EXPECT_EQ(player["poster"], share.link + "/preview");
    EXPECT_EQ(player["src"], share.link + "/video");
    // An unreadable video has no size at all rather than a wrong one.
    std::string width = videoSize ? std::to_string(videoSize->first) : "";
    std::string height = videoSize ? std::to_string(videoSize->second) : "";
    auto value = [](Attributes& from, const char* key) {
      return from.contains(key) ? from[key] : "";
    };
    for (auto [attributes, key, wanted] :
         {std::tuple{&head, "og:video:width", width}, std::tuple{&head, "og:video:height", height},
          std::tuple{&head, "twitter:player:width", width},
          std::tuple{&head, "twitter:player:height", height}, std::tuple{&player, "width", width},
          std::tuple{&player, "height", height}}) {
      EXPECT_EQ(value(*attributes, key), wanted) << key;
    }
    if (videoSize) {
      EXPECT_EQ(cssRule(page->body, ".player")["aspect-ratio"],
                std::to_string(videoSize->first) + "/" + std::to_string(videoSize->second));
    }
  }
}

TEST_F(DevServerLinkPage, TheOembedEndpointDescribesTheEmbeddablePlayer) {
  auto share =
      kit_.publish({mp4File({.width = 1080, .height = 1920}), jpegFile(540, 960)}, "<b>Tom</b>");
  auto reply = json::parse(get(server_.baseURL() + "oembed?url=" + encoded(share.link)));
  EXPECT_EQ(reply["version"], "1.0");
  EXPECT_EQ(reply["type"], "video");
  EXPECT_EQ(reply["title"], "<b>Tom</b>");
  EXPECT_EQ(reply["provider_name"], "my-app");
  EXPECT_EQ(reply["width"], 1080);
  EXPECT_EQ(reply["height"], 1920);
  EXPECT_EQ(reply["thumbnail_url"], share.link + "/preview");
  EXPECT_EQ(reply["thumbnail_width"], 540);
  EXPECT_EQ(reply["thumbnail_height"], 960);
  auto frames = tags(reply["html"].get<std::string>(), "iframe");
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0]["src"], share.link + "/embed");
  EXPECT_EQ(frames[0]["title"], "<b>Tom</b>");
  EXPECT_EQ(reply["html"].get<std::string>().find("<b>"), std::string::npos);

  auto fitted = json::parse(
      get(server_.baseURL() + "oembed?format=json&maxheight=960&url=" + encoded(share.link)));
  EXPECT_EQ(fitted["width"], 540);
  EXPECT_EQ(fitted["height"], 960);

  struct Refusal {
    std::string query;
    int status;
  };
  const Refusal refusals[] = {
      {"url=" + encoded(share.link) + "&format=xml", 501},
      {"url=" + encoded(share.link + "/"), 404},
      {"url=" + encoded(server_.baseURL() + "s/AAAAAAAAAAAAAAAAAAAAAA"), 404},
      {"url=" + encoded("http://elsewhere.example/s/" + share.link.substr(share.link.size() - 22)),
       404},
      {"format=json", 400},
  };
  for (const auto& [query, status] : refusals) {
    auto result = kit_.client().Get("/oembed?" + query);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, status) << query;
  }
}

TEST_F(DevServerLinkPage, TheEmbedPageIsOnlyTheFramedPlayer) {
  auto share = kit_.publish({mp4File({.width = 1280, .height = 720}), jpegFile(1280, 720)});
  auto result = kit_.client().Get(pathAndQuery(share.link) + "/embed");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_FALSE(result->has_header("X-Frame-Options"));
  auto players = tags(result->body, "video");
  ASSERT_EQ(players.size(), 1u);
  EXPECT_EQ(players[0]["src"], share.link + "/video");
  EXPECT_TRUE(players[0].contains("playsinline"));
  EXPECT_EQ(cssRule(result->body, ".player")["object-fit"], "contain");
  EXPECT_EQ(result->body.find("<h1"), std::string::npos);
}

TEST_F(DevServerLinkPage, TitlesWrapAlignByTheirScriptAndABlankOneGetsAFallback) {
  struct Case {
    std::string title;
    std::string shown;
  };
  const Case cases[] = {
      {std::string(300, 'W'), std::string(300, 'W')},
      {"\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d", "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d"},
      {"", "A video shared from my-app"},
      {"  \t ", "A video shared from my-app"},
  };
  for (const auto& [title, shown] : cases) {
    auto share = kit_.publish({mp4File({.width = 640, .height = 360}), jpegFile(640, 360)}, title);
    auto html = get(share.link);
    EXPECT_NE(html.find("<title>" + shown + "</title>"), std::string::npos) << title;
    EXPECT_NE(html.find("<h1 dir=\"auto\">" + shown + "</h1>"), std::string::npos) << title;
    EXPECT_EQ(headValues(html)["og:title"], shown);
    // A fallback title names the application; the page does not say it twice.
    EXPECT_EQ(html.find("Shared from") != std::string::npos, title == shown) << title;
    EXPECT_EQ(cssRule(html, "body")["overflow-wrap"], "anywhere");
  }
}

TEST_F(DevServerLinkPage, ThePagesKeepTheirTextReadableInTheApplicationsColours) {
  Kit white(server_, "white");
  auto share = white.publish({mp4File({.width = 640, .height = 360}), jpegFile(640, 360)});
  const std::string pages[] = {share.link, server_.baseURL() + "app-cta?ref=white-app",
                               server_.baseURL() + "app-cta?ref=my-app"};
  auto contrast = [](const std::string& first, const std::string& second) {
    constexpr devserver::Color kWhite{255, 255, 255};
    auto a = devserver::parseColor(first, kWhite);
    auto b = devserver::parseColor(second, kWhite);
    return a && b ? devserver::contrastRatio(*a, *b) : 0.0;
  };
  for (const auto& page : pages) {
    auto html = get(page);
    auto body = cssRule(html, "body");
    auto button = cssRule(html, ".cta");
    EXPECT_GE(contrast(body["color"], body["background"]), 4.5) << page;
    EXPECT_GE(contrast(cssRule(html, "a")["color"], body["background"]), 4.5) << page;
    EXPECT_GE(contrast(button["color"], button["background"]), 4.5) << page;
    EXPECT_EQ(tags(html, "a").size(), 1u) << page;
  }
  EXPECT_EQ(cssRule(get(share.link), "body")["background"], "#ffffff");
  EXPECT_EQ(tags(get(share.link), "a")[0]["href"], "https://example.com/white");
}

TEST_F(DevServerLinkPage, EveryMissUnderTheLinksIsTheHtmlNotFoundPage) {
  ShareFiles files{mp4File({.width = 640, .height = 360}), jpegFile(640, 360)};
  auto share = kit_.publish(files);
  auto deleted = kit_.publish(files);
  ASSERT_EQ(
      kit_.send("DELETE", "/v1/api/sdk/share", {{"shareable_access_token", deleted.token}})->status,
      200);
  std::string link = pathAndQuery(share.link);
  std::string gone = pathAndQuery(deleted.link);
  const std::string paths[] = {"/s",
                               "/s/",
                               link + "/",
                               link + "x",
                               "/s/abc",
                               link + "/nope",
                               link + "/embed/",
                               gone,
                               gone + "/video",
                               gone + "/preview",
                               gone + "/embed"};
  for (const auto& path : paths) {
    auto result = kit_.client().Get(path);
    ASSERT_TRUE(result) << path;
    EXPECT_EQ(result->status, 404) << path;
    EXPECT_EQ(result->get_header_value("Content-Type"), "text/html; charset=utf-8") << path;
    EXPECT_NE(result->body.find("<h1>Not found</h1>"), std::string::npos) << path;
  }
}

TEST_F(DevServerLinkPage, TheSiteIconIsAnIco) {
  auto result = kit_.client().Get("/favicon.ico");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_EQ(result->get_header_value("Content-Type"), "image/x-icon");
  const auto& ico = result->body;
  ASSERT_GE(ico.size(), 22u);
  auto little = [&ico](std::size_t at, int bytes) {
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
      value = value << 8 | static_cast<unsigned char>(ico[at + i]);
    return value;
  };
  EXPECT_EQ(little(0, 2), 0u);
  EXPECT_EQ(little(2, 2), 1u);
  EXPECT_EQ(little(4, 2), 1u);
  EXPECT_EQ(little(6, 1), 32u);
  EXPECT_EQ(little(7, 1), 32u);
  EXPECT_EQ(little(18, 4), 22u);
  EXPECT_EQ(little(14, 4) + 22, ico.size());
  EXPECT_EQ(little(22, 4), 40u);
}

}  // namespace
}  // namespace velmoradine::testing
