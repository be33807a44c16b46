#include "velmoradine/facade/velmoradine.hpp"

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "tests/support/main_bundle_fixture.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/ui_application.hpp"

namespace velmoradine {
namespace {

class IdleLifecycle final : public LifecycleProtocol {
 public:
  void start() override { ++starts; }
  void stop() override {}
  int starts = 0;
};

// Counts the calls it hears, and answers false to show the answer is not
// passed on.
class CountingLifecycleDelegate final : public VelmoradineLifecycleDelegate {
 public:
  bool application(UIApplication&, const std::optional<PropertyList::Dictionary>&) override {
    ++launches;
    return false;
  }
  bool application(UIApplication&, const URL&, const PropertyList::Dictionary&) override {
    ++openedURLs;
    return false;
  }
  int launches = 0;
  int openedURLs = 0;
};

class NamedOutletType final : public ShareOutletType {
 public:
  explicit NamedOutletType(std::string name) : name_(std::move(name)) {}
  std::string typeName() const override { return name_; }
  std::string imageName() const override { return name_; }
  std::string outletName() const override { return name_; }
  std::string canonicalOutletName() const override { return name_; }
  std::shared_ptr<ShareOutletProtocol> make(std::shared_ptr<Content>) const override {
    return nullptr;
  }

 private:
  std::string name_;
};

std::shared_ptr<NamedOutletType> outletWith(std::shared_ptr<CountingLifecycleDelegate> delegate) {
  auto outlet = std::make_shared<NamedOutletType>("Counted");
  outlet->setOutletLifecycleDelegate(std::move(delegate));
  return outlet;
}

class VelmoradineTest : public ::testing::Test {
 protected:
  VelmoradineTest() { ShareOutlets::setAvailableOutlets({}); }
  ~VelmoradineTest() override { ShareOutlets::setAvailableOutlets(std::move(saved_)); }

  ShareOutletTypeList saved_ = ShareOutlets::availableOutlets();
  std::shared_ptr<IdleLifecycle> lifecycle_ = std::make_shared<IdleLifecycle>();
  std::shared_ptr<AuthenticationDatastore> authentication_ =
      std::make_shared<AuthenticationDatastore>();
  std::shared_ptr<ContribDatastore> contrib_ = std::make_shared<ContribDatastore>();
  Velmoradine kit_{lifecycle_, authentication_, contrib_};
};

TEST_F(VelmoradineTest, StartsItsLifecycleOnceAndReportsTheKitVersion) {
  EXPECT_EQ(lifecycle_->starts, 1);
  EXPECT_EQ(kit_.version(), "v0.0.3");
  EXPECT_STREQ(VelmoradineVersion, "v0.0.3");
}

TEST_F(VelmoradineTest, ConfigurationReplacesTheKeyAndClearsTheUser) {
  authentication_->setApiKey("from-info-plist");
  kit_.configureApiKey("from-host");
  kit_.configureUserId("user-1");
  EXPECT_EQ(authentication_->apiKey(), "from-host");
  EXPECT_EQ(contrib_->userId(), "user-1");
  kit_.configureUserId(std::nullopt);
  EXPECT_EQ(contrib_->userId(), std::nullopt);
}

TEST_F(VelmoradineTest, AnOutletRegisteredTwiceIsListedTwice) {
  auto first = std::make_shared<NamedOutletType>("First");
  auto second = std::make_shared<NamedOutletType>("Second");
  kit_.registerOutlet(first);
  kit_.registerOutlet(second);
  kit_.registerOutlet(first);
  EXPECT_EQ(ShareOutlets::availableOutlets(), (ShareOutletTypeList{first, second, first}));
}

struct ApplicationCallback {
  const char* name;
  bool (*call)(Velmoradine&);
  int CountingLifecycleDelegate::*count;
  friend void PrintTo(const ApplicationCallback& value, std::ostream* out) { *out << value.name; }
};

class VelmoradineCallbackTest : public VelmoradineTest,
                                public ::testing::WithParamInterface<ApplicationCallback> {};

// Every registration is told, a duplicate as often as it is listed, and the
// host always hears true, whatever the delegates say.
TEST_P(VelmoradineCallbackTest, ReachesEveryRegisteredDelegateAndReturnsTrue) {
  auto repeated = std::make_shared<CountingLifecycleDelegate>();
  auto single = std::make_shared<CountingLifecycleDelegate>();
  auto repeatedOutlet = outletWith(repeated);
  kit_.registerOutlet(repeatedOutlet);
  kit_.registerOutlet(std::make_shared<NamedOutletType>("WithoutDelegate"));
  kit_.registerOutlet(outletWith(single));
  kit_.registerOutlet(repeatedOutlet);

  EXPECT_TRUE(GetParam().call(kit_));
  EXPECT_EQ((*repeated).*GetParam().count, 2);
  EXPECT_EQ((*single).*GetParam().count, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Velmoradine, VelmoradineCallbackTest,
    ::testing::Values(ApplicationCallback{"Launch",
                                          [](Velmoradine& kit) {
                                            return kit.application(UIApplication::shared(),
                                                                   std::nullopt);
                                          },
                                          &CountingLifecycleDelegate::launches},
                      ApplicationCallback{"OpenURL",
                                          [](Velmoradine& kit) {
                                            return kit.application(
                                                UIApplication::shared(),
                                                *URL::parse("host-app://callback"), {});
                                          },
                                          &CountingLifecycleDelegate::openedURLs}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VelmoradineTest, WithNoDelegatesBothCallbacksStillReturnTrue) {
  kit_.registerOutlet(std::make_shared<NamedOutletType>("WithoutDelegate"));
  EXPECT_TRUE(kit_.application(UIApplication::shared(), std::nullopt));
  EXPECT_TRUE(kit_.application(UIApplication::shared(), *URL::parse("host-app://callback"), {}));
}

// Threads racing to the first use get one object, whose lifecycle starts on
// the main thread, where its observers and timer belong.
TEST(VelmoradineShared, IsOneObjectEvenWhenFirstUsedFromSeveralThreads) {
  // No API key: the start-up fetch fails at once instead of going anywhere.
  testing::TemporaryMainBundle bundle;
  bundle.writeInfoPlist({});
  console::Capture capture;
  constexpr int kThreads = 8;
  std::vector<const Velmoradine*> seen(kThreads);
  {
    std::vector<std::jthread> threads;
    for (int i = 0; i < kThreads; ++i) {
      threads.emplace_back([&seen, i] { seen[i] = &Velmoradine::shared(); });
    }
  }
  EXPECT_EQ(std::set<const Velmoradine*>(seen.begin(), seen.end()).size(), 1u);
  EXPECT_FALSE(capture.contains("[Velmoradine] [Lifecycle start]"));
  RunLoop::main().drain();
  EXPECT_TRUE(capture.contains("[Velmoradine] [Lifecycle start]"));
  EXPECT_EQ(&Velmoradine::shared(), seen.front());
}

}  // namespace
}  // namespace velmoradine
