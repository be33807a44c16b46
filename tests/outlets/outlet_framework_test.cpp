#include <gtest/gtest.h>

#include "tests/outlets/outlet_fakes.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/core/logger.hpp"
#include "velmoradine/outlets/kit_outlets.hpp"
#include "velmoradine/outlets/share_outlets.hpp"
#include "velmoradine/outlets/twitter.hpp"
#include "velmoradine/platform/foundation/console.hpp"

namespace velmoradine {
namespace {

using Dictionary = PropertyList::Dictionary;
using Array = PropertyList::Array;

Plist querySchemes(Array schemes) {
  return {{"LSApplicationQueriesSchemes", schemes}};
}

Plist urlTypes(Array types) {
  return {{"CFBundleURLTypes", types}};
}

TEST(ShareOutletRequirements, AreMetByWhatThePlistHolds) {
  const Dictionary named{{"CFBundleURLName", "com.host"}};
  const Dictionary mine{{"CFBundleURLSchemes", Array{"myapp"}}};
  const Dictionary other{{"CFBundleURLSchemes", Array{"other"}}};
  const auto schemeOfFeed = InstagramFeedRequirements().requirements().at(1);
  struct Case {
    const char* name;
    std::shared_ptr<const ShareOutletRequirementProtocol> requirement;
    Plist plist;
    bool met;
  } cases[] = {
      {"both schemes listed", std::make_shared<TwitterRequirements>(),
       querySchemes({"twitter", "instagram"}), true},
      {"feed's scheme part", schemeOfFeed, querySchemes({"twitter", "instagram"}), true},
      {"schemes compare case-sensitively", std::make_shared<TwitterRequirements>(),
       querySchemes({"Twitter"}), false},
      {"a list holding a number", std::make_shared<TwitterRequirements>(),
       querySchemes({"twitter", 7}), false},
      {"schemes as one text",
       std::make_shared<TwitterRequirements>(),
       {{"LSApplicationQueriesSchemes", "twitter"}},
       false},
      {"feed without a photo usage text", std::make_shared<InstagramFeedRequirements>(),
       querySchemes({"instagram"}), false},
      {"URL scheme in the first entry that has schemes",
       std::make_shared<RequiredCFBundleURLSchemes>(std::vector<std::string>{"myapp"}),
       urlTypes({named, mine}), true},
      {"URL scheme only past the first entry that has schemes",
       std::make_shared<RequiredCFBundleURLSchemes>(std::vector<std::string>{"myapp"}),
       urlTypes({named, other, mine}), false},
      {"URL types holding a text",
       std::make_shared<RequiredCFBundleURLSchemes>(std::vector<std::string>{"myapp"}),
       urlTypes({"myapp", mine}), false},
      {"plist value as text",
       std::make_shared<RequiredPlistValue>("Mode", "7"),
       {{"Mode", "7"}},
       true},
      {"plist value as a number",
       std::make_shared<RequiredPlistValue>("Mode", "7"),
       {{"Mode", 7}},
       false},
      {"photo usage text present",
       std::make_shared<PhotoRequirement>(),
       {{"NSPhotoLibraryUsageDescription", ""}},
       true},
      {"no requirements on an empty plist", std::make_shared<NoRequirements>(), {}, true},
      {"configuration values are never met",
       std::make_shared<RequiredConfigurationValue>("Mode"),
       {{"Mode", "7"}},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.requirement->met(c.plist), c.met);
  }
}

class CountingRequirement final : public ShareOutletRequirementProtocol {
 public:
  bool met(const Plist&) const override {
    ++evaluations;
    return true;
  }
  mutable int evaluations = 0;
};

TEST(ShareOutletRequirements, StopAtTheFirstUnmetMember) {
  auto counting = std::make_shared<CountingRequirement>();
  Requirements requirements({std::make_shared<PhotoRequirement>(), counting});
  EXPECT_FALSE(requirements.met(querySchemes({"instagram"})));
  EXPECT_EQ(counting->evaluations, 0);
  EXPECT_TRUE(requirements.met({{"NSPhotoLibraryUsageDescription", "Saves your clips"}}));
  EXPECT_EQ(counting->evaluations, 1);

  const auto feed = InstagramFeedRequirements().requirements();
  ASSERT_EQ(feed.size(), 2u);
  EXPECT_NE(dynamic_cast<const PhotoRequirement*>(feed[0].get()), nullptr)
      << "the photo usage text is checked before the scheme";
}

class TestOutletType final : public ShareOutletType {
 public:
  TestOutletType(std::string name, std::shared_ptr<const ShareOutletRequirementProtocol> required)
      : name_(std::move(name)), required_(std::move(required)) {}
  std::string typeName() const override { return name_; }
  std::string imageName() const override { return name_; }
  std::string outletName() const override { return name_; }
  std::string canonicalOutletName() const override { return name_; }
  std::shared_ptr<const ShareOutletRequirementProtocol> requirements() const override {
    return required_;
  }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content>) const override {
    return nullptr;
  }

 private:
  std::string name_;
  std::shared_ptr<const ShareOutletRequirementProtocol> required_;
};

TEST(ShareOutletType, IsOfferedOnlyWhenTheMainBundlesPlistMeetsItsRequirements) {
  const auto download =
      std::make_shared<TestOutletType>("Download", std::make_shared<PhotoRequirement>());
  const std::string downloadLine =
      "[Velmoradine] Can't enable outlet Download please check plist - " +
      documentationLink(DocumentationIdentifier::plitRequirementsNotMet);
  const std::string twitterLine =
      "[Velmoradine] Can't enable outlet Twitter please check plist - " +
      documentationLink(DocumentationIdentifier::plitRequirementsNotMet);
  struct Case {
    const char* name;
    const ShareOutletType& type;
    Dictionary plist;
    bool offered;
    std::vector<std::string> lines;
  } cases[] = {
      {"download without a photo usage text",
       *download,
       {{"CFBundleName", "Host"}},
       false,
       {downloadLine}},
      {"download with it", *download, {{"NSPhotoLibraryUsageDescription", "Saves"}}, true, {}},
      {"twitter without its scheme",
       *Twitter::outletType(),
       querySchemes({"instagram"}),
       false,
       {twitterLine}},
      {"twitter with it", *Twitter::outletType(), querySchemes({"twitter"}), true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::TemporaryMainBundle bundle;
    bundle.writeInfoPlist(c.plist);
    console::Capture capture;
    EXPECT_EQ(c.type.canPerform(ContentType::video), c.offered);
    EXPECT_EQ(capture.lines(), c.lines);
  }
}

class ShareOutletsRegistry : public ::testing::Test {
 protected:
  ~ShareOutletsRegistry() override { ShareOutlets::setAvailableOutlets(saved_); }

  ShareOutletTypeList saved_ = ShareOutlets::availableOutlets();
  testing::TemporaryMainBundle bundle_;
};

TEST_F(ShareOutletsRegistry, ListsPerformingTypesInOrderAndDuplicatesTwice) {
  const auto first = std::make_shared<TestOutletType>("First", nullptr);
  const auto unmet =
      std::make_shared<TestOutletType>("Unmet", std::make_shared<PhotoRequirement>());
  const auto last = std::make_shared<TestOutletType>("Last", std::make_shared<NoRequirements>());
  ShareOutlets::setAvailableOutlets({first, unmet, last});
  ShareOutlets::registerOutlet(first);
  struct Case {
    ContentType contentType;
    ShareOutletTypeList expected;
  } cases[] = {
      {ContentType::video, {first, last, first}},
      {ContentType::unknown, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(rawValue(c.contentType));
    EXPECT_EQ(ShareOutlets::outlets(c.contentType), c.expected);
  }
  EXPECT_EQ(ShareOutlets::availableOutlets().size(), 4u);
}

TEST(ShareOutletsDefaults, ListTheKitsSevenOutletsInTheSheetsOrder) {
  // imageName, outletName, canonicalOutletName.
  using Row = std::tuple<std::string, std::string, std::string>;
  std::vector<Row> rows;
  for (const auto& type : kitShareOutletTypes()) {
    rows.push_back({type->imageName(), type->outletName(), type->canonicalOutletName()});
  }
  const std::vector<Row> expected = {
      {"IMessage", "SMS", "imessage"},
      {"InstagramStories", "Stories", "instagram-stories"},
      {"Download", "Download", "download"},
      {"Twitter", "Twitter", "twitter"},
      {"InstagramFeed", "Instagram", "instagram-feed"},
      {"More", "More", "more"},
      {"Copy", "Copy", "copy"},
  };
  EXPECT_EQ(rows, expected);
}

TEST(ShareOutletUtils, AsksThePlatformOncePerProcess) {
  testing::ScopedOutletServices services;
  services.urlOpener->openableSchemes = {"instagram"};
  EXPECT_TRUE(ShareOutletUtils::isInstagramAppInstalled());
  services.urlOpener->openableSchemes.clear();
  EXPECT_TRUE(ShareOutletUtils::isInstagramAppInstalled());
  EXPECT_EQ(services.urlOpener->probed(), std::vector<std::string>{"instagram://open"});
}

}  // namespace
}  // namespace velmoradine
