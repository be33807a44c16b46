#include <gtest/gtest.h>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;

std::string errorCode(const httplib::Result& result) {
  if (!result) return "transport error " + httplib::to_string(result.error());
  auto body = json::parse(result->body, nullptr, false);
  if (!body.is_object() || !body.contains("error")) return "no error in " + result->body;
  return body["error"];
}

class DevServerUpload : public ::testing::Test {
 protected:
  explicit DevServerUpload(std::vector<std::string> extra = {})
      : server_(directory_.path(), withApplication(std::move(extra))), kit_(server_, "key") {}

  static std::vector<std::string> withApplication(std::vector<std::string> extra) {
    extra.insert(extra.end(), {"--api-key", "key", "--app-slug", "app"});
    return extra;
  }

  int temporaryFiles() const {
    int count = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(directory_.path() / "storage" / "tmp")) {
      count += entry.is_regular_file();
    }
    return count;
  }

  TemporaryDirectory directory_;
  DevServerProcess server_;
  Kit kit_;
};

// Replaces the text of one query parameter of an upload address.
std::string withParameter(const std::string& url, const std::string& name,
                          const std::string& value) {
  auto start = url.find(name + "=") + name.size() + 1;
  auto end = url.find('&', start);
  return url.substr(0, start) + value + (end == std::string::npos ? "" : url.substr(end));
}

TEST_F(DevServerUpload, StoresAVerifiedUploadWithoutLeavingTemporaryFiles) {
  ShareFiles files{randomBytes(2 * 1024 * 1024 + 7), randomBytes(50 * 1024)};
  auto share = kit_.createShare(files);
  auto video = kit_.upload(share.videoURL, share.videoHeaders, files.video);
  ASSERT_TRUE(video);
  EXPECT_EQ(video->status, 200) << video->body;
  auto preview = kit_.upload(share.previewURL, share.previewHeaders, files.preview);
  ASSERT_TRUE(preview);
  EXPECT_EQ(preview->status, 200) << preview->body;
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(DevServerUpload, AnEmptyFileIsAValidUpload) {
  ShareFiles files{"", randomBytes(10)};
  auto share = kit_.createShare(files);
  auto video = kit_.upload(share.videoURL, share.videoHeaders, "");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->status, 200) << video->body;
  EXPECT_EQ(kit_.activate(share.token, true, false)->status, 200);
}

TEST_F(DevServerUpload, TamperedAddressesAreForbidden) {
  ShareFiles files{randomBytes(3000), randomBytes(30)};
  auto share = kit_.createShare(files);
  auto previewKey = pathAndQuery(share.previewURL).substr(12, 32);
  auto videoKey = pathAndQuery(share.videoURL).substr(12, 32);
  std::string signature = share.videoURL.substr(share.videoURL.find("signature=") + 10);
  std::string flipped = signature;
  flipped[10] = flipped[10] == 'a' ? 'b' : 'a';
  auto expires = std::stoll(share.videoURL.substr(share.videoURL.find("expires=") + 8));

  const std::vector<std::pair<std::string, std::string>> tampered = {
      {"signature flipped", withParameter(share.videoURL, "signature", flipped)},
      {"signature cut", withParameter(share.videoURL, "signature", signature.substr(0, 63))},
      {"signature missing", share.videoURL.substr(0, share.videoURL.find("&signature"))},
      {"expiry extended", withParameter(share.videoURL, "expires", std::to_string(expires + 3600))},
      {"expiry padded", withParameter(share.videoURL, "expires", "0" + std::to_string(expires))},
      {"other key",
       std::string(share.videoURL).replace(share.videoURL.find(videoKey), 32, previewKey)},
  };
  for (const auto& [label, url] : tampered) {
    auto reply = kit_.upload(url, share.videoHeaders, files.video);
    ASSERT_TRUE(reply) << label;
    EXPECT_EQ(reply->status, 403) << label;
    EXPECT_EQ(errorCode(reply), "invalid_signature") << label;
  }
  // Nothing was stored by any of them.
  EXPECT_EQ(kit_.activate(share.token, true, false)->status, 409);
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(DevServerUpload, AChecksumMismatchIsRefusedAndKeepsTheEarlierGoodFile) {
  ShareFiles files{randomBytes(40000), randomBytes(400)};
  auto share = kit_.publish(files);
  std::string other = randomBytes(files.video.size());
  auto reply = kit_.upload(share.videoURL, share.videoHeaders, other);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 400);
  EXPECT_EQ(errorCode(reply), "checksum_mismatch");
  auto video = kit_.client().Get(pathAndQuery(share.link) + "/video");
  ASSERT_TRUE(video);
  EXPECT_EQ(video->body, files.video);
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(DevServerUpload, ALengthOtherThanPlannedIsRefused) {
  ShareFiles files{randomBytes(10000), randomBytes(100)};
  auto share = kit_.createShare(files);
  auto shorter = kit_.upload(share.videoURL, share.videoHeaders, files.video.substr(0, 9999));
  ASSERT_TRUE(shorter);
  EXPECT_EQ(shorter->status, 400);
  EXPECT_EQ(errorCode(shorter), "size_mismatch");
  auto longer = kit_.upload(share.videoURL, share.videoHeaders, files.video + "x");
  ASSERT_TRUE(longer);
  EXPECT_EQ(longer->status, 400);
  EXPECT_EQ(errorCode(longer), "size_mismatch");
  auto muchLonger =
      kit_.upload(share.previewURL, share.previewHeaders, randomBytes(3 * 1024 * 1024));
  ASSERT_TRUE(muchLonger);
  EXPECT_EQ(muchLonger->status, 400);
  EXPECT_EQ(kit_.activate(share.token, true, false)->status, 409);
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(DevServerUpload, TheHeadersOfThePlanAreRequired) {
  ShareFiles files{randomBytes(1000), randomBytes(100)};
  auto share = kit_.createShare(files);
  httplib::Headers noMd5 = {{"Content-Type", "video/mp4"}};
  auto missing = kit_.upload(share.videoURL, noMd5, files.video);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 400);
  EXPECT_EQ(errorCode(missing), "content_md5_mismatch");

  httplib::Headers wrongType = share.videoHeaders;
  wrongType.find("Content-Type")->second = "image/jpeg";
  auto type = kit_.upload(share.videoURL, wrongType, files.video);
  ASSERT_TRUE(type);
  EXPECT_EQ(type->status, 400);
  EXPECT_EQ(errorCode(type), "content_type_mismatch");

  // The plan's own headers for the other file do not fit this address.
  auto crossed = kit_.upload(share.videoURL, share.previewHeaders, files.video);
  ASSERT_TRUE(crossed);
  EXPECT_EQ(crossed->status, 400);
}

TEST_F(DevServerUpload, UploadsToADeletedShareAreNotFound) {
  ShareFiles files{randomBytes(1000), randomBytes(100)};
  auto share = kit_.createShare(files);
  ASSERT_EQ(
      kit_.send("DELETE", "/v1/api/sdk/share", {{"shareable_access_token", share.token}})->status,
      200);
  auto reply = kit_.upload(share.videoURL, share.videoHeaders, files.video);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 404);
  EXPECT_EQ(errorCode(reply), "unknown_upload");
}

TEST_F(DevServerUpload, StorageKeysComeFromTheServerNotFromThePath) {
  auto traversal = kit_.client().Put("/v1/storage/../../devserver.sqlite3?expires=1&signature=0",
                                     "x", "video/mp4");
  ASSERT_TRUE(traversal);
  EXPECT_EQ(traversal->status, 404);
  auto uppercase = kit_.client().Put(
      "/v1/storage/ABCDEF0123456789ABCDEF0123456789?expires=1&signature=0", "x", "video/mp4");
  ASSERT_TRUE(uppercase);
  EXPECT_EQ(uppercase->status, 404);
}

TEST_F(DevServerUpload, AClientThatAsksFirstIsRefusedBeforeSendingItsBody) {
  ShareFiles files{randomBytes(3000), randomBytes(30)};
  auto share = kit_.createShare(files);
  auto head = [&](const std::string& url, const std::string& md5) {
    return "PUT " + pathAndQuery(url) +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: video/mp4\r\nContent-MD5: " + md5 +
           "\r\nContent-Length: 3000\r\nExpect: 100-continue\r\nConnection: close\r\n\r\n";
  };
  // Refused on the headers alone: no body is ever sent.
  auto tampered = withParameter(share.videoURL, "expires", "1");
  auto refused = rawExchange(server_.port(), head(tampered, md5Base64(files.video)));
  EXPECT_TRUE(refused.starts_with("HTTP/1.1 403")) << refused;
  EXPECT_NE(refused.find("invalid_signature"), std::string::npos);
  auto wrongMd5 = rawExchange(server_.port(), head(share.videoURL, md5Base64("other")));
  EXPECT_TRUE(wrongMd5.starts_with("HTTP/1.1 400")) << wrongMd5;

  auto unbounded = rawExchange(server_.port(), "PUT " + pathAndQuery(share.videoURL) +
                                                   " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  EXPECT_TRUE(unbounded.starts_with("HTTP/1.1 411")) << unbounded;

  auto accepted =
      rawExchange(server_.port(), head(share.videoURL, md5Base64(files.video)), files.video);
  EXPECT_TRUE(accepted.starts_with("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200")) << accepted;
  EXPECT_EQ(kit_.activate(share.token, true, false)->status, 200);
}

class DevServerExpiredUpload : public DevServerUpload {
 protected:
  DevServerExpiredUpload() : DevServerUpload({"--upload-ttl", "0"}) {}
};

TEST_F(DevServerExpiredUpload, AnExpiredAddressIsForbidden) {
  ShareFiles files{randomBytes(1000), randomBytes(100)};
  auto share = kit_.createShare(files);
  auto reply = kit_.upload(share.videoURL, share.videoHeaders, files.video);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 403);
  EXPECT_EQ(errorCode(reply), "expired_signature");
  EXPECT_EQ(kit_.activate(share.token, true, false)->status, 409);
}

}  // namespace
}  // namespace velmoradine::testing
