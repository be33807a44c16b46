#include <gtest/gtest.h>

#include "tests/outlets/outlet_fakes.hpp"
#include "tests/support/wait.hpp"
#include "velmoradine/outlets/copy.hpp"
#include "velmoradine/outlets/imessage.hpp"
#include "velmoradine/outlets/more.hpp"
#include "velmoradine/outlets/twitter.hpp"

namespace velmoradine {
namespace {

using testing::VideoContentMaker;

class LinkOutletsTest : public ::testing::Test {
 protected:
  // Shares and waits for the one outcome the outlet reports.
  std::vector<std::string> shareAndWait(ShareOutletProtocol& outlet) {
    outlet.setDelegate(delegate);
    outlet.share(nullptr);
    EXPECT_TRUE(testing::waitUntil([&] { return !delegate->outcomes().empty(); }));
    return delegate->outcomes();
  }

  testing::ScopedOutletServices services;
  VideoContentMaker maker;
  std::shared_ptr<testing::RecordingOutletDelegate> delegate =
      std::make_shared<testing::RecordingOutletDelegate>();
};

TEST_F(LinkOutletsTest, TypesNameTheirDestination) {
  struct Case {
    const ShareOutletType& type;
    const char* name;
    const char* outletName;
    const char* canonical;
  } cases[] = {
      {*Twitter::outletType(), "Twitter", "Twitter", "twitter"},
      {*Copy::outletType(), "Copy", "Copy", "copy"},
      {*IMessage::outletType(), "IMessage", "SMS", "imessage"},
      {*More::outletType(), "More", "More", "more"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.type.typeName(), c.name);
    EXPECT_EQ(c.type.imageName(), c.name);
    EXPECT_EQ(c.type.outletName(), c.outletName);
    EXPECT_EQ(c.type.canonicalOutletName(), c.canonical);
    EXPECT_EQ(&c.type.make(maker.make("Clip", false))->type(), &c.type);
  }
}

TEST_F(LinkOutletsTest, ContentThatIsNoVideoTouchesNothing) {
  const auto content = std::make_shared<testing::UnknownContent>();
  const std::shared_ptr<const ShareOutletType> types[] = {
      Twitter::outletType(), Copy::outletType(), IMessage::outletType(), More::outletType()};
  for (const auto& type : types) {
    SCOPED_TRACE(type->typeName());
    delegate = std::make_shared<testing::RecordingOutletDelegate>();
    EXPECT_EQ(shareAndWait(*type->make(content)),
              std::vector<std::string>{"failure Invalid content type"});
  }
  EXPECT_TRUE(services.urlOpener->probed().empty());
  EXPECT_TRUE(services.urlOpener->opened().empty());
  EXPECT_TRUE(services.pasteboard->items().empty());
}

TEST_F(LinkOutletsTest, TwitterOpensTheComposerOnlyForALiveLink) {
  const std::string link = "%20https://link.test/s/abc";
  struct Case {
    const char* name;
    std::string title;
    bool linkLive;
    bool appInstalled;
    std::set<std::string> openableSchemes;
    bool opens;
    std::vector<std::string> opened;
    std::string outcome;
  } cases[] = {
      {"link not live yet",
       "My clip",
       false,
       true,
       {"twitter", "https"},
       true,
       {},
       "failure Unable to share to Twitter right now."},
      {"app installed",
       "My clip",
       true,
       true,
       {"twitter"},
       true,
       {"twitter://post?message=My%20clip" + link},
       "success linkPreview"},
      {"web intent",
       "My clip",
       true,
       false,
       {"https"},
       true,
       {"https://twitter.com/intent/tweet?text=My%20clip" + link},
       "success linkPreview"},
      {"query delimiters in the title",
       "Tom & Jerry=1+1",
       true,
       true,
       {"twitter"},
       true,
       {"twitter://post?message=Tom%20%26%20Jerry%3D1%2B1" + link},
       "success linkPreview"},
      {"no handler for the URL",
       "My clip",
       true,
       true,
       {"https"},
       true,
       {},
       "failure Unable to open twitter"},
      {"handler did not start",
       "My clip",
       true,
       false,
       {"https"},
       false,
       {"https://twitter.com/intent/tweet?text=My%20clip" + link},
       "failure Unable to open twitter"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::ScopedOutletServices fakes;
    fakes.urlOpener->openableSchemes = c.openableSchemes;
    fakes.urlOpener->opens = c.opens;
    delegate = std::make_shared<testing::RecordingOutletDelegate>();
    Twitter::Providers installed{[&] { return c.appInstalled; }};
    auto twitter = std::make_shared<Twitter>(maker.make(c.title, c.linkLive), installed);
    EXPECT_EQ(shareAndWait(*twitter), std::vector<std::string>{c.outcome});
    EXPECT_EQ(fakes.urlOpener->opened(), c.opened);
  }
}

TEST_F(LinkOutletsTest, CopyPutsTextAndVideoOnThePasteboardAndKeepsTheShare) {
  struct Case {
    const char* name;
    bool linkLive;
    std::string text;
  } cases[] = {
      {"before the link is live", false, "My clip"},
      {"with the link", true, std::string("My clip ") + VideoContentMaker::kLink},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    delegate = std::make_shared<testing::RecordingOutletDelegate>();
    Copy copy(maker.make("My clip", c.linkLive));
    EXPECT_EQ(shareAndWait(copy), std::vector<std::string>{"success linkPreview,raw"});
    const auto items = services.pasteboard->items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(std::get<std::string>(items[0].at("public.utf8-plain-text")), c.text);
    EXPECT_EQ(*std::get<std::shared_ptr<const Data>>(items[0].at("public.mpeg-4")),
              maker.videoBytes());
  }
}

}  // namespace
}  // namespace velmoradine
