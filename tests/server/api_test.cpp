#include <gtest/gtest.h>
#include <sqlite3.h>

#include <regex>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::testing {
namespace {

using nlohmann::json;

class DevServerApi : public ::testing::Test {
 protected:
  DevServerApi()
      : server_(directory_.path(),
                {"--api-key", "key-one", "--app-slug", "one", "--cta-link",
                 "https://example.com/one", "--api-key", "key-two", "--app-slug", "two"}) {}

  static std::string errorCode(const httplib::Result& result) {
    if (!result) return "transport error " + httplib::to_string(result.error());
    auto body = json::parse(result->body, nullptr, false);
    if (!body.is_object() || !body.contains("error")) return "no error in " + result->body;
    return body["error"];
  }

  TemporaryDirectory directory_;
  DevServerProcess server_;
};

TEST_F(DevServerApi, ApplicationRequiresAKnownBearerKey) {
  auto client = server_.client();
  auto missing = client.Get("/v1/api/sdk/application");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 401);
  EXPECT_EQ(errorCode(missing), "unauthorized");
  EXPECT_EQ(missing->get_header_value("Content-Type"), "application/json");

  for (const auto& credential : {"Bearer unknown", "Basic a2V5LW9uZQ==", "Bearer ", "key-one"}) {
    auto reply = client.Get("/v1/api/sdk/application", {{"Authorization", credential}});
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 401) << credential;
    EXPECT_EQ(errorCode(reply), "unauthorized") << credential;
  }
}

TEST_F(DevServerApi, ApplicationRepliesItsSettingsWithoutAbsentOnes) {
  Kit one(server_, "key-one");
  auto reply = one.get("/v1/api/sdk/application");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(json::parse(reply->body),
            json({{"slug", "one"}, {"cta_link", "https://example.com/one"}}));
  Kit two(server_, "key-two");
  EXPECT_EQ(json::parse(two.get("/v1/api/sdk/application")->body), json({{"slug", "two"}}));
}

TEST_F(DevServerApi, DebugContextGivesShortUniqueReadableCodes) {
  Kit kit(server_, "key-one", "user-7");
  std::set<std::string> codes;
  for (int i = 0; i < 20; ++i) {
    json context = {{"tag", "t"}, {"context", {{"index", i}}}};
    auto reply = kit.send("PUT", "/v1/api/sdk/debug/context", context);
    ASSERT_TRUE(reply);
    ASSERT_EQ(reply->status, 200) << reply->body;
    std::string code = json::parse(reply->body)["code"];
    EXPECT_TRUE(std::regex_match(code, std::regex("[2-9A-Z]{4}-[2-9A-Z]{4}"))) << code;
    codes.insert(code);
    auto stored = kit.get("/v1/api/sdk/debug/context/" + code);
    ASSERT_TRUE(stored);
    EXPECT_EQ(json::parse(stored->body), context);
  }
  EXPECT_EQ(codes.size(), 20u);

  // Another application cannot read it.
  Kit two(server_, "key-two");
  auto foreign = two.get("/v1/api/sdk/debug/context/" + *codes.begin());
  ASSERT_TRUE(foreign);
  EXPECT_EQ(foreign->status, 404);
}

TEST_F(DevServerApi, DebugContextRefusesWhatIsNotAJsonObject) {
  Kit kit(server_, "key-one");
  auto array = kit.send("PUT", "/v1/api/sdk/debug/context", json::array({1, 2}));
  ASSERT_TRUE(array);
  EXPECT_EQ(array->status, 400);
  EXPECT_EQ(errorCode(array), "invalid_request");
  auto unauthenticated =
      server_.client().Put("/v1/api/sdk/debug/context", "{}", "application/json");
  ASSERT_TRUE(unauthenticated);
  EXPECT_EQ(unauthenticated->status, 401);
}

TEST_F(DevServerApi, ShareCreationRepliesSignedConfigurablePlansAndAPublicLink) {
  Kit kit(server_, "key-one", "user-1");
  ShareFiles files{randomBytes(1000), randomBytes(100)};
  auto share = kit.createShare(files, "Title");
  const auto& reply = share.reply;
  for (const auto& [key, file, type] :
       {std::tuple{"video_content", &files.video, "video/mp4"},
        std::tuple{"preview_image", &files.preview, "image/jpeg"}}) {
    EXPECT_EQ(reply[key]["strategy"], "configurable");
    const auto& upload = reply[key]["configurable"]["direct_upload"];
    EXPECT_EQ(upload["headers"], json({{"Content-Type", type}, {"Content-MD5", md5Base64(*file)}}));
    std::string url = upload["url"];
    EXPECT_TRUE(std::regex_match(
        url, std::regex(server_.baseURL() +
                        R"(v1/storage/[0-9a-f]{32}\?expires=[0-9]+&signature=[0-9a-f]{64})")))
        << url;
  }
  EXPECT_NE(share.videoURL, share.previewURL);
  EXPECT_EQ(reply["shareable"]["title"], "Title");
  EXPECT_TRUE(std::regex_match(share.link, std::regex(server_.baseURL() + "s/[A-Za-z0-9_-]{22}")))
      << share.link;
  EXPECT_GE(share.token.size(), 40u);
  EXPECT_EQ(share.link.find(share.token), std::string::npos);

  auto again = kit.createShare(files, "Title");
  EXPECT_NE(again.token, share.token);
  EXPECT_NE(again.link, share.link);
}

TEST_F(DevServerApi, ShareRequestsWithWrongFieldsAreRefusedNamingTheField) {
  Kit kit(server_, "key-one");
  ShareFiles files{"video", "image"};
  const json valid = shareRequestBody(files);
  struct Case {
    std::string label;
    json::json_pointer pointer;
    json value;
    std::string field;
  };
  const std::vector<Case> cases = {
      {"size missing", json::json_pointer("/video_content/byte_size"), nullptr,
       "video_content.byte_size"},
      {"size negative", json::json_pointer("/video_content/byte_size"), -1,
       "video_content.byte_size"},
      {"size fractional", json::json_pointer("/preview_image/byte_size"), 1.5,
       "preview_image.byte_size"},
      {"size as text", json::json_pointer("/preview_image/byte_size"), "5",
       "preview_image.byte_size"},
      {"size too large", json::json_pointer("/video_content/byte_size"), int64_t{1} << 40,
       "video_content.byte_size"},
      {"checksum short", json::json_pointer("/video_content/checksum"),
       "abc==", "video_content.checksum"},
      {"checksum not base64", json::json_pointer("/video_content/checksum"),
       "!!!!!!!!!!!!!!!!!!!!!!==", "video_content.checksum"},
      {"checksum of 18 bytes", json::json_pointer("/preview_image/checksum"),
       "AAAAAAAAAAAAAAAAAAAAAAAA", "preview_image.checksum"},
      {"checksum number", json::json_pointer("/preview_image/checksum"), 5,
       "preview_image.checksum"},
      {"video type", json::json_pointer("/video_content/content_type"), "video/quicktime",
       "video_content.content_type"},
      {"preview type", json::json_pointer("/preview_image/content_type"), "video/mp4",
       "preview_image.content_type"},
      {"plan not object", json::json_pointer("/video_content"), "x", "video_content"},
      {"plan missing", json::json_pointer("/preview_image"), nullptr, "preview_image"},
      {"title number", json::json_pointer("/shareable/title"), 3, "shareable.title"},
      {"title too long", json::json_pointer("/shareable/title"), std::string(2000, 'a'),
       "shareable.title"},
      {"kind", json::json_pointer("/shareable/shareable_type"), "image",
       "shareable.shareable_type"},
      {"shareable missing", json::json_pointer("/shareable"), nullptr, "shareable"},
  };
  for (const auto& test : cases) {
    json body = valid;
    if (test.value.is_null()) {
      body[test.pointer.parent_pointer()].erase(test.pointer.back());
    } else {
      body[test.pointer] = test.value;
    }
    auto reply = kit.send("POST", "/v1/api/sdk/share", body);
    ASSERT_TRUE(reply) << test.label;
    EXPECT_EQ(reply->status, 400) << test.label;
    EXPECT_EQ(errorCode(reply), "invalid_request") << test.label;
    auto message = json::parse(reply->body)["message"].get<std::string>();
    EXPECT_TRUE(message.starts_with(test.field)) << test.label << ": " << message;
  }
  auto accepted = kit.send("POST", "/v1/api/sdk/share", valid);
  ASSERT_TRUE(accepted);
  EXPECT_EQ(accepted->status, 200);
}

TEST_F(DevServerApi, BodiesThatAreMalformedOversizedOrOfTheWrongTypeAreRefused) {
  Kit kit(server_, "key-one");
  auto headers = kit.headers();
  auto& client = kit.client();

  auto malformed =
      client.Post("/v1/api/sdk/share", headers, "{\"video_content\":", "application/json");
  ASSERT_TRUE(malformed);
  EXPECT_EQ(malformed->status, 400);
  EXPECT_EQ(errorCode(malformed), "malformed_json");

  auto notJson = client.Post("/v1/api/sdk/share", headers, "video_content=1",
                             "application/x-www-form-urlencoded");
  ASSERT_TRUE(notJson);
  EXPECT_EQ(notJson->status, 415);
  EXPECT_EQ(errorCode(notJson), "unsupported_media_type");

  auto array = client.Post("/v1/api/sdk/share", headers, "[1,2,3]", "application/json");
  ASSERT_TRUE(array);
  EXPECT_EQ(array->status, 400);
  EXPECT_EQ(errorCode(array), "invalid_request");

  std::string huge = "{\"pad\":\"" + std::string(1024 * 1024, 'x') + "\"}";
  auto oversized = client.Post("/v1/api/sdk/share", headers, huge, "application/json");
  ASSERT_TRUE(oversized);
  EXPECT_EQ(oversized->status, 413);
  EXPECT_EQ(errorCode(oversized), "body_too_large");

  std::string deep = std::string(5000, '[') + std::string(5000, ']');
  auto nested = client.Post("/v1/api/sdk/share", headers, deep, "application/json");
  ASSERT_TRUE(nested);
  EXPECT_EQ(nested->status, 400);
  EXPECT_EQ(errorCode(nested), "malformed_json");

  std::string invalidUtf8 = "{\"title\":\"\xff\xfe\"}";
  auto badText = client.Put("/v1/api/sdk/debug/context", headers, invalidUtf8, "application/json");
  ASSERT_TRUE(badText);
  EXPECT_EQ(badText->status, 400);

  // The server is still answering after all of that.
  auto application = kit.get("/v1/api/sdk/application");
  ASSERT_TRUE(application);
  EXPECT_EQ(application->status, 200);
}

TEST_F(DevServerApi, ActivationNeedsAStoredVerifiedUpload) {
  Kit kit(server_, "key-one");
  ShareFiles files{randomBytes(5000), randomBytes(500)};
  auto share = kit.createShare(files);

  auto early = kit.activate(share.token, true, false);
  ASSERT_TRUE(early);
  EXPECT_EQ(early->status, 409);
  EXPECT_EQ(errorCode(early), "upload_missing");

  ASSERT_EQ(kit.upload(share.videoURL, share.videoHeaders, files.video)->status, 200);
  auto video = kit.activate(share.token, true, false);
  ASSERT_TRUE(video);
  EXPECT_EQ(video->status, 200);
  EXPECT_EQ(video->body, "{}");

  // Both at once is all or nothing: the preview is not there yet.
  auto both = kit.activate(share.token, true, true);
  ASSERT_TRUE(both);
  EXPECT_EQ(both->status, 409);

  auto again = kit.activate(share.token, true, false);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);

  auto neither = kit.activate(share.token, false, false);
  ASSERT_TRUE(neither);
  EXPECT_EQ(neither->status, 400);

  auto unknown = kit.activate("no-such-token", true, false);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->status, 404);
  EXPECT_EQ(errorCode(unknown), "unknown_share");

  auto missingToken = kit.send("POST", "/v1/api/sdk/share/activate",
                               {{"video_content", true}, {"preview_image", false}});
  ASSERT_TRUE(missingToken);
  EXPECT_EQ(missingToken->status, 400);
  auto flagAsText = kit.send("POST", "/v1/api/sdk/share/activate",
                             {{"video_content", "true"},
                              {"preview_image", false},
                              {"shareable_access_token", share.token}});
  ASSERT_TRUE(flagAsText);
  EXPECT_EQ(flagAsText->status, 400);
}

TEST_F(DevServerApi, DeletionWithdrawsTheShareAndDeletesItsFiles) {
  Kit kit(server_, "key-one");
  ShareFiles files{randomBytes(20000), randomBytes(300)};
  auto share = kit.publish(files);
  ASSERT_EQ(kit.client().Get(pathAndQuery(share.link))->status, 200);
  auto stored = directory_.path() / "storage" / "files";
  auto countFiles = [&] {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(stored)) {
      count += entry.is_regular_file();
    }
    return count;
  };
  EXPECT_EQ(countFiles(), 2);

  auto deleted = kit.send("DELETE", "/v1/api/sdk/share", {{"shareable_access_token", share.token}});
  ASSERT_TRUE(deleted);
  EXPECT_EQ(deleted->status, 200);
  EXPECT_EQ(deleted->body, "{}");
  EXPECT_EQ(countFiles(), 0);
  EXPECT_EQ(kit.client().Get(pathAndQuery(share.link))->status, 404);
  EXPECT_EQ(kit.client().Get(pathAndQuery(share.link) + "/video")->status, 404);

  auto twice = kit.send("DELETE", "/v1/api/sdk/share", {{"shareable_access_token", share.token}});
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->status, 404);
  auto activate = kit.activate(share.token, true, false);
  ASSERT_TRUE(activate);
  EXPECT_EQ(activate->status, 404);

  auto noToken = kit.send("DELETE", "/v1/api/sdk/share", json::object());
  ASSERT_TRUE(noToken);
  EXPECT_EQ(noToken->status, 400);
}

TEST_F(DevServerApi, ApplicationsCannotTouchEachOthersShares) {
  Kit one(server_, "key-one");
  Kit two(server_, "key-two");
  ShareFiles files{randomBytes(4000), randomBytes(400)};
  auto share = one.createShare(files);
  ASSERT_EQ(one.upload(share.videoURL, share.videoHeaders, files.video)->status, 200);
  ASSERT_EQ(one.upload(share.previewURL, share.previewHeaders, files.preview)->status, 200);

  auto foreignActivation = two.activate(share.token, true, false);
  ASSERT_TRUE(foreignActivation);
  EXPECT_EQ(foreignActivation->status, 404);
  auto foreignDeletion =
      two.send("DELETE", "/v1/api/sdk/share", {{"shareable_access_token", share.token}});
  ASSERT_TRUE(foreignDeletion);
  EXPECT_EQ(foreignDeletion->status, 404);

  // The owner's share is untouched by both attempts.
  EXPECT_EQ(one.activate(share.token, true, true)->status, 200);
  EXPECT_EQ(one.client().Get(pathAndQuery(share.link))->status, 200);
}

TEST_F(DevServerApi, ABodyWithoutAnyLengthIsRefused) {
  auto reply = rawExchange(server_.port(),
                           "POST /v1/api/sdk/share HTTP/1.1\r\nHost: 127.0.0.1\r\n"
                           "Authorization: Bearer key-one\r\nContent-Type: application/json\r\n"
                           "Connection: close\r\n\r\n");
  EXPECT_TRUE(reply.starts_with("HTTP/1.1 411")) << reply;
  EXPECT_NE(reply.find("length_required"), std::string::npos);
}

TEST_F(DevServerApi, UserIdsAreRecordedWithSharesContextsAndEvents) {
  Kit kit(server_, "key-one", "user-42");
  kit.createShare({randomBytes(10), randomBytes(10)});
  ASSERT_EQ(kit.send("PUT", "/v1/api/sdk/debug/context", {{"tag", "t"}})->status, 200);
  Kit anonymous(server_, "key-one");
  anonymous.createShare({randomBytes(10), randomBytes(10)});
  ASSERT_EQ(server_.stop(), 0);

  sqlite3* database = nullptr;
  auto file = directory_.path() / "devserver.sqlite3";
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &database, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  auto column = [&](const char* sql) {
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(database, sql, -1, &statement, nullptr), SQLITE_OK);
    while (sqlite3_step(statement) == SQLITE_ROW) {
      auto text = sqlite3_column_text(statement, 0);
      values.push_back(text ? reinterpret_cast<const char*>(text) : "(null)");
    }
    sqlite3_finalize(statement);
    return values;
  };
  EXPECT_EQ(column("SELECT user_id FROM shares ORDER BY id"),
            std::vector<std::string>({"user-42", "(null)"}));
  EXPECT_EQ(column("SELECT user_id FROM debug_contexts"), std::vector<std::string>({"user-42"}));
  sqlite3_close(database);
}

TEST_F(DevServerApi, UnknownRoutesAnswer404WithAJsonError) {
  auto reply = server_.client().Get("/v1/api/sdk/nothing");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 404);
  EXPECT_EQ(errorCode(reply), "not_found");
}

TEST_F(DevServerApi, ConcurrentShareCyclesAllSucceed) {
  constexpr int kClients = 4;
  constexpr int kCycles = 5;
  std::vector<std::thread> threads;
  std::vector<std::string> links(kClients * kCycles);
  std::atomic<int> failures{0};
  for (int client = 0; client < kClients; ++client) {
    threads.emplace_back([&, client] {
      Kit kit(server_, client % 2 ? "key-one" : "key-two");
      for (int cycle = 0; cycle < kCycles; ++cycle) {
        ShareFiles files{randomBytes(100000 + cycle), randomBytes(1000 + client)};
        auto share = kit.publish(files);
        links[client * kCycles + cycle] = share.link;
        auto video = kit.client().Get(pathAndQuery(share.link) + "/video");
        if (!video || video->body != files.video) ++failures;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(std::set<std::string>(links.begin(), links.end()).size(), links.size());
}

}  // namespace
}  // namespace velmoradine::testing
