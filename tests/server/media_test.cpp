// The share files and the link page as a strict HTTP client sees them: byte
// ranges, validators, conditional requests and caching headers, checked on
// the bytes the server sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "server/validators.hpp"
#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

// A reply as sent: header names lower-cased, the body exactly as framed by
// its Content-Length (absent for replies without a body).
struct RawReply {
  int status = 0;
  std::map<std::string, std::string> headers;
  std::string body;

  bool has(const std::string& name) const { return headers.contains(name); }
  std::string header(const std::string& name) const {
    auto found = headers.find(name);
    return found == headers.end() ? "" : found->second;
  }
};

RawReply parseReply(const std::string& bytes) {
  RawReply reply;
  auto headEnd = bytes.find("\r\n\r\n");
  if (bytes.size() < 12 || headEnd == std::string::npos) return reply;
  reply.status = std::stoi(bytes.substr(9, 3));
  std::size_t line = bytes.find("\r\n") + 2;
  while (line < headEnd) {
    auto end = bytes.find("\r\n", line);
    std::string text = bytes.substr(line, end - line);
    auto colon = text.find(':');
    std::string name = text.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    EXPECT_FALSE(reply.headers.contains(name)) << "repeated header " << name;
    reply.headers[name] = text.substr(text.find_first_not_of(' ', colon + 1));
    line = end + 2;
  }
  reply.body = bytes.substr(headEnd + 4);
  if (reply.has("content-length")) {
    EXPECT_EQ(reply.body.size(), std::stoull(reply.header("content-length")));
  }
  return reply;
}

class DevServerMedia : public ::testing::Test {
 protected:
  DevServerMedia() : server_(directory_.path(), {"--api-key", "key", "--app-slug", "app"}) {
    Kit kit(server_, "key");
    share_ = kit.publish(files_);
    link_ = pathAndQuery(share_.link);
  }

  // GET `path` with `headers` (each ending in CRLF) on its own connection.
  RawReply get(const std::string& path, const std::string& headers = "") {
    return parseReply(rawExchange(server_.port(), "GET " + path +
                                                      " HTTP/1.1\r\nHost: localhost\r\n" + headers +
                                                      "Connection: close\r\n\r\n"));
  }

  TemporaryDirectory directory_;
  DevServerProcess server_;
  ShareFiles files_{randomBytes(1000), randomBytes(300)};
  CreatedShare share_;
  std::string link_;
};

struct RangeCase {
  std::string range;
  int status;
  // The parts sent, as "first-last" pairs of the file; none for a whole
  // file or a 416.
  std::vector<std::pair<int, int>> parts;
};

TEST_F(DevServerMedia, RangesAreFittedMergedAndLimited) {
  std::string manyWholeFiles = "bytes=0-999";
  for (int i = 0; i < 700; ++i) manyWholeFiles += ",0-999";
  std::string manyMerged = "bytes=0-";
  for (int i = 0; i < 40; ++i)
    manyMerged += "," + std::to_string(i * 10) + "-" + std::to_string(i * 10 + 9);
  std::string tooManyParts = "bytes=0-0";
  for (int i = 1; i < 10; ++i)
    tooManyParts += "," + std::to_string(i * 100) + "-" + std::to_string(i * 100);

  const std::vector<RangeCase> cases = {
      {"bytes=0-9", 206, {{0, 9}}},
      {"bytes=990-", 206, {{990, 999}}},
      {"bytes=-5", 206, {{995, 999}}},
      {"bytes=-5000", 206, {{0, 999}}},
      {"bytes=995-2000", 206, {{995, 999}}},
      {"BYTES = 1-2", 200, {}},
      {"bytes=1-2", 206, {{1, 2}}},
      {"bytes=0-9,100-109", 206, {{0, 9}, {100, 109}}},
      {"bytes=100-109, 0-9", 206, {{0, 9}, {100, 109}}},
      {"bytes=0-9,999999-", 206, {{0, 9}}},
      {"bytes=0-499,400-999", 206, {{0, 999}}},
      {"bytes=0-9,20-29", 206, {{0, 29}}},
      {manyMerged, 206, {{0, 999}}},
      {manyWholeFiles, 200, {}},
      {tooManyParts, 200, {}},
      {"bytes=5000-", 416, {}},
      {"bytes=5000-6000,-0", 416, {}},
      {"items=0-5", 200, {}},
      {"bytes=abc", 200, {}},
      {"bytes=100-50", 200, {}},
      {"bytes=", 200, {}},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.range.substr(0, 60));
    auto reply = get(link_ + "/video", "Range: " + test.range + "\r\n");
    ASSERT_EQ(reply.status, test.status);
    EXPECT_EQ(reply.header("accept-ranges"), "bytes");
    if (test.status == 416) {
      EXPECT_EQ(reply.header("content-range"), "bytes */1000");
      EXPECT_FALSE(reply.has("cache-control"));
      continue;
    }
    EXPECT_EQ(reply.header("cache-control"), "public, max-age=31536000, immutable");
    if (test.status == 200) {
      EXPECT_EQ(reply.header("content-type"), "video/mp4");
      EXPECT_FALSE(reply.has("content-range"));
      EXPECT_EQ(reply.body, files_.video);
      continue;
    }
    auto range = [&](std::pair<int, int> part) {
      return "bytes " + std::to_string(part.first) + "-" + std::to_string(part.second) + "/1000";
    };
    auto bytes = [&](std::pair<int, int> part) {
      return files_.video.substr(part.first, part.second - part.first + 1);
    };
    if (test.parts.size() == 1) {
      EXPECT_EQ(reply.header("content-type"), "video/mp4");
      EXPECT_EQ(reply.header("content-range"), range(test.parts[0]));
      EXPECT_EQ(reply.body, bytes(test.parts[0]));
      continue;
    }
    std::string type = reply.header("content-type");
    std::string prefix = "multipart/byteranges; boundary=";
    ASSERT_TRUE(type.starts_with(prefix)) << type;
    std::string boundary = type.substr(prefix.size());
    std::string expected;
    for (const auto& part : test.parts) {
      expected += (expected.empty() ? "--" : "\r\n--") + boundary +
                  "\r\nContent-Type: video/mp4\r\nContent-Range: " + range(part) + "\r\n\r\n" +
                  bytes(part);
    }
    expected += "\r\n--" + boundary + "--\r\n";
    EXPECT_EQ(reply.body, expected);
    EXPECT_FALSE(reply.has("content-range"));
  }
}

struct ConditionCase {
  std::string name;
  std::string headers;
  int status;
};

TEST_F(DevServerMedia, ValidatorsAnswerConditionalRequestsInHttpsOrder) {
  auto plain = get(link_ + "/video");
  ASSERT_EQ(plain.status, 200);
  std::string tag = plain.header("etag");
  ASSERT_TRUE(tag.starts_with('"') && tag.ends_with('"')) << "a strong tag: " << tag;
  auto modified = devserver::parseHttpDate(plain.header("last-modified"));
  ASSERT_TRUE(modified);
  std::string date = plain.header("last-modified");
  std::string before = devserver::httpDate(*modified - 86400);
  std::string after = devserver::httpDate(*modified + 86400);

  const std::vector<ConditionCase> cases = {
      {"matching tag", "If-None-Match: " + tag, 304},
      {"weak form of the tag", "If-None-Match: W/" + tag, 304},
      {"tag in a list", "If-None-Match: \"other\", " + tag, 304},
      {"any tag", "If-None-Match: *", 304},
      {"other tag", "If-None-Match: \"other\"", 200},
      {"not modified since", "If-Modified-Since: " + date, 304},
      {"modified since", "If-Modified-Since: " + before, 200},
      {"tag decides over date", "If-None-Match: \"other\"\r\nIf-Modified-Since: " + after, 200},
      {"unreadable date", "If-Modified-Since: yesterday", 200},
      {"If-Match other", "If-Match: \"other\"", 412},
      {"If-Match weak", "If-Match: W/" + tag, 412},
      {"If-Match tag", "If-Match: " + tag, 200},
      {"unmodified since earlier", "If-Unmodified-Since: " + before, 412},
      {"If-Match decides over unmodified",
       "If-Match: " + tag + "\r\nIf-Unmodified-Since: " + before, 200},
      {"range with current tag", "Range: bytes=0-9\r\nIf-Range: " + tag, 206},
      {"range with current date", "Range: bytes=0-9\r\nIf-Range: " + date, 206},
      {"range with other tag", "Range: bytes=0-9\r\nIf-Range: \"other\"", 200},
      {"range with weak tag", "Range: bytes=0-9\r\nIf-Range: W/" + tag, 200},
      {"range with other date", "Range: bytes=0-9\r\nIf-Range: " + before, 200},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    auto reply = get(link_ + "/video", test.headers + "\r\n");
    ASSERT_EQ(reply.status, test.status);
    if (test.status == 412) continue;
    EXPECT_EQ(reply.header("etag"), tag);
    EXPECT_EQ(reply.header("last-modified"), date);
    EXPECT_EQ(reply.header("cache-control"), "public, max-age=31536000, immutable");
    EXPECT_TRUE(reply.has("date"));
    if (test.status == 304) {
      EXPECT_FALSE(reply.has("content-length"));
      EXPECT_EQ(reply.body, "");
    } else {
      EXPECT_EQ(reply.body, test.status == 200 ? files_.video : files_.video.substr(0, 10));
    }
  }

  auto preview = get(link_ + "/preview");
  EXPECT_EQ(preview.body, files_.preview);
  EXPECT_NE(preview.header("etag"), tag);
  EXPECT_EQ(get(link_ + "/preview", "If-None-Match: " + preview.header("etag") + "\r\n").status,
            304);
}

TEST_F(DevServerMedia, TheLinkPageIsRevalidatedByItsContent) {
  for (std::string encoding : {"", "Accept-Encoding: gzip\r\n"}) {
    SCOPED_TRACE(encoding);
    auto page = get(link_, encoding);
    ASSERT_EQ(page.status, 200);
    EXPECT_EQ(page.header("cache-control"), "public, max-age=60");
    EXPECT_EQ(page.header("vary"), "Accept-Encoding");
    std::string tag = page.header("etag");
    EXPECT_TRUE(tag.starts_with("W/\"")) << tag;
    auto again = get(link_, encoding + "If-None-Match: " + tag + "\r\n");
    EXPECT_EQ(again.status, 304);
    EXPECT_EQ(again.header("etag"), tag);
    EXPECT_EQ(again.header("vary"), "Accept-Encoding");
    EXPECT_EQ(again.body, "");
    EXPECT_EQ(get(link_, encoding + "If-None-Match: W/\"other\"\r\n").status, 200);
  }
}

}  // namespace
}  // namespace velmoradine::testing
