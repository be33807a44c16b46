#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "velmoradine/model/application_response.hpp"
#include "velmoradine/model/json_coding.hpp"
#include "velmoradine/network/share_records.hpp"
#include "velmoradine/network/upload_plan.hpp"
#include "velmoradine/platform/foundation/data.hpp"

namespace velmoradine {
namespace {

template <typename T>
Result<T> decode(std::string_view text) {
  return decodeJSON<T>(text);
}

TEST(UploadPlanRequest, DescribesTheBytesWithTheirSizeAndBase64MD5) {
  const Data abc = {'a', 'b', 'c'};
  EXPECT_EQ(uploadPlan(abc, "video/mp4"),
            (UploadPlanRequest{3, "kAFQmDzST7DWlj99KOF/cg==", "video/mp4"}));
  EXPECT_EQ(uploadPlan(Data{}, "image/jpeg"),
            (UploadPlanRequest{0, "1B2M2Y8AsgTpgAmY7PhCfg==", "image/jpeg"}));
}

TEST(UploadPlanRequest, EncodesAndDecodesWithTheSameKeys) {
  UploadPlanRequest request{1 << 30, "abc==", "video/mp4"};
  auto text = json::encodeJSON(request);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(nlohmann::json::parse(*text),
            (nlohmann::json{
                {"byte_size", 1 << 30}, {"checksum", "abc=="}, {"content_type", "video/mp4"}}));
  EXPECT_EQ(decode<UploadPlanRequest>(*text), request);
}

TEST(UploadPlanRequest, ByteSizeMustBeAnInteger) {
  for (const char* size : {"\"3\"", "3.5", "true", "null", "9223372036854775808"}) {
    SCOPED_TRACE(size);
    auto decoded = decode<UploadPlanRequest>(std::string(R"({"byte_size": )") + size +
                                             R"(, "checksum": "x", "content_type": "y"})");
    ASSERT_FALSE(decoded.has_value());
    EXPECT_EQ(decoded.error().domainName(), "Velmoradine.Decoding");
  }
}

TEST(UploadPlan, StrategyTextsAreTheEmptyTextAndConfigurable) {
  auto unknown = decode<UploadPlan>(R"({"strategy": ""})");
  ASSERT_TRUE(unknown.has_value());
  EXPECT_EQ(unknown->strategy, UploadPlan::Strategy::unknown);
  EXPECT_FALSE(unknown->configurable.has_value());
  EXPECT_EQ(rawValue(UploadPlan::Strategy::unknown), "");
  EXPECT_EQ(rawValue(UploadPlan::Strategy::configurable), "configurable");
  EXPECT_EQ(decode<UploadPlan>(R"({"strategy": "unknown"})").error(), DecodingError::dataCorrupted);
  EXPECT_EQ(decode<UploadPlan>(R"({"strategy": 1})").error(), DecodingError::typeMismatch);
  EXPECT_EQ(decode<UploadPlan>(R"({"configurable": null})").error(), DecodingError::keyNotFound);
  EXPECT_EQ(decode<UploadPlan>(R"({"strategy": null})").error(), DecodingError::valueNotFound);
}

TEST(DirectUpload, DecodesAnAbsoluteAddressAndTextHeaders) {
  auto upload = decode<DirectUpload>(
      R"({"url": "https://s.test/b/k?sig=1", "headers": {"Content-MD5": "m", "X-Empty": ""}})");
  ASSERT_TRUE(upload.has_value());
  EXPECT_EQ(upload->url.absoluteString(), "https://s.test/b/k?sig=1");
  EXPECT_EQ(upload->headers,
            (std::map<std::string, std::string>{{"Content-MD5", "m"}, {"X-Empty", ""}}));
  auto again = json::encodeJSON(*upload);
  ASSERT_TRUE(again.has_value());
  EXPECT_EQ(decode<DirectUpload>(*again), *upload);
}

TEST(DirectUpload, RejectsAddressesThatAreNotURLsAndHeadersThatAreNotText) {
  for (const char* body :
       {R"({"url": "not a url", "headers": {}})", R"({"url": "/relative/path", "headers": {}})",
        R"({"url": "", "headers": {}})", R"({"url": "https://s.test/", "headers": {"A": 1}})",
        R"({"url": "https://s.test/", "headers": ["A"]})", R"({"url": "https://s.test/"})"}) {
    SCOPED_TRACE(body);
    EXPECT_FALSE(decode<DirectUpload>(body).has_value());
  }
}

TEST(ApplicationResponse, MissingAndNullKeysAreAbsentAndOtherTypesFail) {
  auto settings = decode<ApplicationResponse>(R"({"slug": "app", "cta_link": null, "other": 1})");
  ASSERT_TRUE(settings.has_value());
  EXPECT_EQ(*settings, (ApplicationResponse{std::nullopt, "app", std::nullopt, std::nullopt}));
  EXPECT_EQ(decode<ApplicationResponse>(R"({"brand_color": ["#fff"]})").error(),
            DecodingError::typeMismatch);
  EXPECT_EQ(decode<ApplicationResponse>(R"([])").error(), DecodingError::typeMismatch);
  EXPECT_EQ(decode<ApplicationResponse>("").error(), DecodingError::dataCorrupted);
}

TEST(ShareRecords, RequestsEncodeEveryFieldUnderItsName) {
  ActivateRequest activate{true, false, "tok"};
  EXPECT_EQ(
      nlohmann::json::parse(*json::encodeJSON(activate)),
      (nlohmann::json{
          {"video_content", true}, {"preview_image", false}, {"shareable_access_token", "tok"}}));
  ShareableRequest shareable{"T\u00eate", "video"};
  EXPECT_EQ(nlohmann::json::parse(*json::encodeJSON(shareable)),
            (nlohmann::json{{"title", "T\u00eate"}, {"shareable_type", "video"}}));
  EXPECT_EQ(json::encodeJSON(ShareableRequest{"\xc3", "video"}), std::nullopt);
}

TEST(ShareRecords, ShareableNeedsEveryKeyAsText) {
  EXPECT_TRUE(decode<Shareable>(R"({"title": "", "link": "l", "shareable_access_token": "t"})"));
  EXPECT_EQ(decode<Shareable>(R"({"title": "", "link": "l"})").error(), DecodingError::keyNotFound);
  EXPECT_EQ(decode<Shareable>(R"({"title": "", "link": 5, "shareable_access_token": "t"})").error(),
            DecodingError::typeMismatch);
}

TEST(EmptyResponse, DecodesFromAnyJSONDocumentButNotFromNothing) {
  for (const char* body : {"{}", "[]", "null", "1", "\"x\"", "{\"a\": [1]}"}) {
    EXPECT_TRUE(decode<EmptyResponse>(body).has_value()) << body;
  }
  EXPECT_FALSE(decode<EmptyResponse>("").has_value());
  EXPECT_FALSE(decode<EmptyResponse>("{").has_value());
}

}  // namespace
}  // namespace velmoradine
