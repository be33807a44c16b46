// The devserver's parts, checked directly.

#include <gtest/gtest.h>

#include "server/crypto.hpp"
#include "server/database.hpp"
#include "server/fault_injection.hpp"
#include "server/options.hpp"
#include "server/signing.hpp"
#include "server/storage.hpp"
#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine::devserver {
namespace {

using namespace std::chrono_literals;

std::expected<Options, std::string> parse(std::vector<std::string_view> arguments) {
  return parseOptions(arguments);
}

TEST(DevServerOptions, ReadsEveryFlag) {
  auto options = parse({"--data-dir",
                        "/d",
                        "--host",
                        "0.0.0.0",
                        "--port",
                        "8080",
                        "--api-key",
                        "k1",
                        "--app-slug",
                        "s1",
                        "--cta-link",
                        "https://x",
                        "--api-key",
                        "k2",
                        "--app-slug",
                        "s2",
                        "--brand-color",
                        "red",
                        "--public-url",
                        "https://p.example",
                        "--upload-ttl",
                        "5",
                        "--fault-seed",
                        "9",
                        "--fault-status",
                        "503",
                        "--fault-rate",
                        "0.25",
                        "--fault-drop-rate",
                        "0.5",
                        "--fault-route",
                        "/v1/*",
                        "--fault-delay-ms",
                        "7",
                        "--max-connections",
                        "50",
                        "--max-media-streams",
                        "4",
                        "--header-timeout-ms",
                        "11",
                        "--body-timeout-ms",
                        "12",
                        "--write-timeout-ms",
                        "13"});
  ASSERT_TRUE(options) << options.error();
  EXPECT_EQ(options->dataDirectory, "/d");
  EXPECT_EQ(options->host, "0.0.0.0");
  EXPECT_EQ(options->port, 8080);
  ASSERT_EQ(options->applications.size(), 2u);
  EXPECT_EQ(options->applications[0].ctaLink, "https://x");
  EXPECT_EQ(options->applications[0].brandColor, std::nullopt);
  EXPECT_EQ(options->applications[1].slug, "s2");
  EXPECT_EQ(options->applications[1].brandColor, "red");
  EXPECT_EQ(options->publicURL, "https://p.example/");
  EXPECT_EQ(options->uploadTimeToLiveSeconds, 5);
  EXPECT_EQ(options->faults.seed, 9u);
  EXPECT_EQ(options->faults.status, 503);
  EXPECT_EQ(options->faults.rate, 0.25);
  EXPECT_EQ(options->faults.dropRate, 0.5);
  EXPECT_EQ(options->faults.route, "/v1/*");
  EXPECT_EQ(options->faults.delayMilliseconds, 7);
  EXPECT_EQ(options->connections.maxConnections, 50);
  EXPECT_EQ(options->connections.maxMediaStreams, 4);
  EXPECT_EQ(options->connections.headerTimeout, std::chrono::milliseconds(11));
  EXPECT_EQ(options->connections.bodyTimeout, std::chrono::milliseconds(12));
  EXPECT_EQ(options->connections.writeTimeout, std::chrono::milliseconds(13));
}

TEST(DevServerOptions, ExplainsWhatIsWrong) {
  const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
      {{}, "--data-dir is required"},
      {{"--data-dir"}, "--data-dir needs a value"},
      {{"--data-dir", "d", "--port", "x"}, "--port takes a port between 0 and 65535"},
      {{"--data-dir", "d", "--app-slug", "s"}, "--app-slug must follow --api-key"},
      {{"--data-dir", "d", "--api-key", "k"}, "every --api-key needs an --app-slug"},
      {{"--data-dir", "d", "--api-key", "k", "--app-slug", "a b"},
       "--app-slug takes 1 to 64 letters, digits, '-', '_' or '.', not \"a b\""},
      {{"--data-dir", "d", "--fault-rate", "0.5"}, "--fault-rate needs --fault-status"},
      {{"--data-dir", "d", "--fault-rate", "1.5"},
       "--fault-rate takes a number between 0 and 1, not \"1.5\""},
      {{"--data-dir", "d", "--fault-status", "500", "--fault-rate", "0.6", "--fault-drop-rate",
        "0.6"},
       "--fault-rate and --fault-drop-rate add up to more than 1"},
      {{"--data-dir", "d", "--public-url", "ftp://x"},
       "--public-url takes an http:// or https:// address"},
      {{"--data-dir", "d", "--verbose"}, "unknown option \"--verbose\""},
      {{"--data-dir", "d", "--max-connections", "0"},
       "--max-connections takes a count between 1 and 65536"},
      {{"--data-dir", "d", "--header-timeout-ms", "0"},
       "--header-timeout-ms takes milliseconds between 1 and 3600000"},
  };
  for (const auto& [arguments, message] : cases) {
    auto options = parse(arguments);
    ASSERT_FALSE(options) << message;
    EXPECT_EQ(options.error(), message);
  }
}

TEST(DevServerSigning, AcceptsOnlyItsOwnUnexpiredSignatures) {
  UploadSigner signer("secret");
  auto now = UploadSigner::Clock::from_time_t(1000);
  auto signature = signer.signature("key", 1001);
  EXPECT_EQ(signature.size(), 64u);
  EXPECT_EQ(signer.verify("key", "1001", signature, now), UploadSigner::Verdict::valid);
  EXPECT_EQ(signer.verify("key", "1001", signature, now + 1s), UploadSigner::Verdict::expired);
  EXPECT_EQ(signer.verify("kez", "1001", signature, now), UploadSigner::Verdict::badSignature);
  EXPECT_EQ(signer.verify("key", "1002", signature, now), UploadSigner::Verdict::badSignature);
  EXPECT_EQ(signer.verify("key", "+1001", signature, now), UploadSigner::Verdict::badSignature);
  EXPECT_EQ(signer.verify("key", "", signature, now), UploadSigner::Verdict::badSignature);
  EXPECT_EQ(UploadSigner("other").verify("key", "1001", signature, now),
            UploadSigner::Verdict::badSignature);
  // An expired address with a bad signature reads as a bad signature.
  EXPECT_EQ(signer.verify("key", "1", signature, now), UploadSigner::Verdict::badSignature);
}

TEST(DevServerCrypto, EncodesAndDigestsLikeTheKit) {
  EXPECT_EQ(md5Base64(""), "1B2M2Y8AsgTpgAmY7PhCfg==");
  EXPECT_EQ(md5Base64("abc"), "kAFQmDzST7DWlj99KOF/cg==");
  EXPECT_EQ(base64Decode("kAFQmDzST7DWlj99KOF/cg==")->size(), 16u);
  EXPECT_EQ(base64Decode("YQ=="), "a");
  EXPECT_EQ(base64Decode("YWI="), "ab");
  EXPECT_FALSE(base64Decode("YQ="));
  EXPECT_FALSE(base64Decode("Y==="));
  EXPECT_FALSE(base64Decode("YQ==YQ=="));
  EXPECT_FALSE(base64Decode("YQ-_"));
  EXPECT_EQ(base64UrlEncode("\xfb\xff"), "-_8");
  EXPECT_EQ(hexEncode("\x01\xab"), "01ab");
  EXPECT_TRUE(constantTimeEquals("abc", "abc"));
  EXPECT_FALSE(constantTimeEquals("abc", "abd"));
  EXPECT_FALSE(constantTimeEquals("abc", "abcd"));
}

TEST(DevServerFaultInjector, DecisionsFollowTheSeedAndTheRates) {
  FaultOptions options{
      .seed = 3, .delayMilliseconds = 5, .rate = 0.3, .status = 503, .dropRate = 0.2, .route = ""};
  FaultInjector injector(options);
  FaultInjector same(options);
  int responds = 0;
  int drops = 0;
  for (std::uint64_t i = 0; i < 10000; ++i) {
    auto decision = injector.decisionAt(i);
    EXPECT_EQ(decision.action, same.decisionAt(i).action);
    EXPECT_EQ(decision.delay, 5ms);
    responds += decision.action == FaultInjector::Action::respond;
    drops += decision.action == FaultInjector::Action::drop;
  }
  EXPECT_NEAR(responds / 10000.0, 0.3, 0.03);
  EXPECT_NEAR(drops / 10000.0, 0.2, 0.03);
}

TEST(DevServerFaultInjector, RoutesMatchMethodAndPathOrPrefix) {
  FaultInjector exact(FaultOptions{.rate = 1, .status = 500, .route = "POST /v1/api/sdk/share"});
  EXPECT_TRUE(exact.matches("POST", "/v1/api/sdk/share"));
  EXPECT_FALSE(exact.matches("DELETE", "/v1/api/sdk/share"));
  EXPECT_FALSE(exact.matches("POST", "/v1/api/sdk/share/activate"));
  FaultInjector prefix(FaultOptions{.rate = 1, .status = 500, .route = "/v1/storage/*"});
  EXPECT_TRUE(prefix.matches("PUT", "/v1/storage/abc"));
  EXPECT_FALSE(prefix.matches("PUT", "/v1/events"));
  FaultInjector everything(FaultOptions{.rate = 1, .status = 500, .route = ""});
  EXPECT_TRUE(everything.matches("GET", "/anything"));
  // Requests outside the route do not use up decisions.
  FaultInjector counted(FaultOptions{.rate = 1, .status = 500, .route = "/a"});
  EXPECT_EQ(counted.decide("GET", "/b").action, FaultInjector::Action::none);
  EXPECT_EQ(counted.decide("GET", "/a").action, FaultInjector::Action::respond);
}

class DevServerStorage : public ::testing::Test {
 protected:
  DevServerStorage()
      : database_(Database::open(directory_.path() / "db.sqlite3")),
        storage_(directory_.path() / "storage", *database_) {
    ApplicationRegistration registration;
    registration.apiKey = "key";
    registration.slug = "app";
    database_->registerApplication(registration);
    applicationId_ = database_->applicationByKey("key")->id;
  }

  NewShare share(const std::string& video, const std::string& preview) {
    NewShare share;
    share.applicationId = applicationId_;
    share.accessToken = base64UrlEncode(randomBytes(32));
    share.linkId = base64UrlEncode(randomBytes(16));
    share.title = "t";
    share.shareableType = "video";
    share.video = {hexEncode(randomBytes(16)), FileRole::videoContent,
                   static_cast<std::int64_t>(video.size()), md5Base64(video), "video/mp4"};
    share.preview = {hexEncode(randomBytes(16)), FileRole::previewImage,
                     static_cast<std::int64_t>(preview.size()), md5Base64(preview), "image/jpeg"};
    database_->insertShare(share);
    return share;
  }

  static BodyReader bodyOf(const std::string& bytes, std::size_t piece = 1000,
                           bool endsEarly = false) {
    return [=](const std::function<bool(const char*, std::size_t)>& sink) {
      for (std::size_t offset = 0; offset < bytes.size(); offset += piece) {
        if (!sink(bytes.data() + offset, std::min(piece, bytes.size() - offset))) return false;
      }
      return !endsEarly;
    };
  }

  velmoradine::testing::TemporaryDirectory directory_;
  std::unique_ptr<Database> database_;
  Storage storage_;
  std::int64_t applicationId_ = 0;
};

TEST_F(DevServerStorage, AnUploadThatEndsEarlyStoresNothing) {
  std::string video = randomBytes(3'000'000);
  auto created = share(video, "p");
  EXPECT_EQ(storage_.receive(created.video, bodyOf(video.substr(0, 2'000'000), 1000, true)),
            UploadResult::incomplete);
  EXPECT_FALSE(std::filesystem::exists(storage_.pathFor(created.video.storageKey)));
  EXPECT_EQ(storage_.receive(created.video, bodyOf(video, 65536)), UploadResult::stored);
  EXPECT_TRUE(database_->fileByStorageKey(created.video.storageKey)->stored);
  EXPECT_EQ(std::filesystem::file_size(storage_.pathFor(created.video.storageKey)), video.size());
  EXPECT_TRUE(std::filesystem::is_empty(directory_.path() / "storage" / "tmp"));
}

TEST_F(DevServerStorage, AShareDeletedDuringItsUploadLeavesNoFile) {
  std::string video = randomBytes(10000);
  auto created = share(video, "p");
  auto reader = [&](const std::function<bool(const char*, std::size_t)>& sink) {
    bool ok = sink(video.data(), 5000);
    EXPECT_TRUE(storage_.withdraw(applicationId_, created.accessToken));
    return ok && sink(video.data() + 5000, 5000);
  };
  EXPECT_EQ(storage_.receive(created.video, reader), UploadResult::shareGone);
  EXPECT_FALSE(std::filesystem::exists(storage_.pathFor(created.video.storageKey)));
  EXPECT_FALSE(storage_.withdraw(applicationId_, created.accessToken));
}

TEST_F(DevServerStorage, LeftoverTemporaryFilesAreRemovedAtStart) {
  auto leftover = directory_.path() / "storage" / "tmp" / "old.part";
  std::ofstream(leftover) << "partial";
  Storage again(directory_.path() / "storage", *database_);
  EXPECT_FALSE(std::filesystem::exists(leftover));
}

TEST_F(DevServerStorage, ActivationIsAllOrNothingAndPerApplication) {
  auto created = share("v", "p");
  ASSERT_EQ(storage_.receive(created.video, bodyOf("v")), UploadResult::stored);
  EXPECT_EQ(database_->activate(applicationId_, created.accessToken, true, true),
            ActivationResult::notUploaded);
  EXPECT_FALSE(database_->publicShare(created.linkId));
  EXPECT_EQ(database_->activate(applicationId_ + 1, created.accessToken, true, false),
            ActivationResult::unknownShare);
  EXPECT_EQ(database_->activate(applicationId_, created.accessToken, true, false),
            ActivationResult::activated);
  ASSERT_EQ(storage_.receive(created.preview, bodyOf("p")), UploadResult::stored);
  EXPECT_EQ(database_->activate(applicationId_, created.accessToken, false, true),
            ActivationResult::activated);
  auto shown = database_->publicShare(created.linkId);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown->video.storageKey, created.video.storageKey);
  EXPECT_EQ(shown->preview.storageKey, created.preview.storageKey);
}

}  // namespace
}  // namespace velmoradine::devserver
