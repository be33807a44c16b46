#include "share_pipeline.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/run_loop.hpp"

namespace velmoradine::cli {
namespace {

// Answers each activation from a thread of its own, as the network thread
// does; nothing else is asked of it.
class ThreadedActivations final : public NetworkShareProtocol {
 public:
  void shareRequest(const ShareRequest&, NetworkCompletion<ShareResponse>) override {}
  void activateShare(const ActivateRequest&, NetworkCompletion<EmptyResponse> completion) override {
    threads_.emplace_back(
        [completion = std::move(completion)]() mutable { completion(EmptyResponse{}); });
  }
  void deleteShare(const DeleteShareRequest&, NetworkCompletion<EmptyResponse>) override {}
  void join() { threads_.clear(); }

 private:
  std::vector<std::jthread> threads_;
};

// The command reads what the kit's completions did (the content's link) as
// soon as the pipeline has settled, waiting on the main loop. Every such wait
// must end when the last completion returns: a waiter that missed its wake-up
// would sleep to the wait's bound. A wait longer than a second is one that
// slept (the work takes microseconds), and one is enough to fail.
TEST(PipelineObserver, TheMainLoopWakesOnceTheKitHasTakenTheLastActivation) {
  constexpr int kRuns = 300;
  constexpr auto kSlow = std::chrono::seconds(1);
  int slowWaits = 0;
  for (int run = 0; run < kRuns && slowWaits == 0; ++run) {
    auto network = std::make_shared<ThreadedActivations>();
    auto observer = std::make_shared<PipelineObserver>(
        ShareManagerProviders{network, nullptr, nullptr}, [](const std::string&) {});
    std::atomic<int> taken = 0;
    for (bool video : {false, true}) {
      observer->activateShare(ActivateRequest{video, !video, "token"},
                              [&taken](Result<EmptyResponse>) {
                                std::this_thread::yield();
                                ++taken;
                              });
    }
    const auto start = std::chrono::steady_clock::now();
    const bool done =
        RunLoop::main().runUntil([&] { return observer->settled() && taken == 2; }, 2 * kSlow);
    if (!done || std::chrono::steady_clock::now() - start >= kSlow) ++slowWaits;
    network->join();
  }
  EXPECT_EQ(slowWaits, 0) << "of " << kRuns << " waits";
}

// Holds each activation's completion for the test to answer.
class HeldActivations final : public NetworkShareProtocol {
 public:
  void shareRequest(const ShareRequest&, NetworkCompletion<ShareResponse>) override {}
  void activateShare(const ActivateRequest&, NetworkCompletion<EmptyResponse> completion) override {
    held.push_back(std::move(completion));
  }
  void deleteShare(const DeleteShareRequest&, NetworkCompletion<EmptyResponse>) override {}

  std::vector<NetworkCompletion<EmptyResponse>> held;
};

// The command returns only once the pipeline has settled: a failure with a
// request still in flight is not the end, whose reply would otherwise arrive
// while the process exits.
TEST(PipelineObserver, AFailureSettlesThePipelineOnlyOnceNothingIsInFlight) {
  auto network = std::make_shared<HeldActivations>();
  auto observer = std::make_shared<PipelineObserver>(
      ShareManagerProviders{network, nullptr, nullptr}, [](const std::string&) {});
  for (bool video : {false, true}) {
    observer->activateShare(ActivateRequest{video, !video, "token"}, [](Result<EmptyResponse>) {});
  }
  ASSERT_EQ(network->held.size(), 2u);
  network->held[0](failure(Error(Network::Error::unknown)));
  EXPECT_FALSE(observer->settled());
  ASSERT_TRUE(observer->error().has_value());
  EXPECT_EQ(*observer->error(), Network::Error::unknown);
  network->held[1](EmptyResponse{});
  EXPECT_TRUE(observer->settled());
  // The answered completions still hold the observer that holds the network.
  network->held.clear();
}

struct LinkCase {
  const char* name;
  const char* link;
  std::optional<std::string> printed;
  // Test names and failure messages show the case by its name.
  friend void PrintTo(const LinkCase& value, std::ostream* out) { *out << value.name; }
};

class PrintableLink : public ::testing::TestWithParam<LinkCase> {};

TEST_P(PrintableLink, OnlyHttpLinksArePrintedWithControlCharactersEscaped) {
  EXPECT_EQ(printableLink(GetParam().link), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    ShareCommand, PrintableLink,
    ::testing::Values(LinkCase{"Https", "https://h.test/s/abc", "https://h.test/s/abc"},
                      LinkCase{"UpperCaseHttp", "HTTP://h.test:8080/s/1", "HTTP://h.test:8080/s/1"},
                      LinkCase{"LineBreaks", "https://h.test/s\r\nInjected",
                               "https://h.test/s\\x0D\\x0AInjected"},
                      LinkCase{"Escape", "http://h.test/\x1b[2J", "http://h.test/\\x1B[2J"},
                      LinkCase{"Script", "javascript:alert(1)\r\nInjected", std::nullopt},
                      LinkCase{"Empty", "", std::nullopt},
                      LinkCase{"OtherScheme", "ftp://h.test/", std::nullopt},
                      LinkCase{"NoHost", "https://", std::nullopt},
                      LinkCase{"SchemeRelative", "//h.test/s/1", std::nullopt},
                      LinkCase{"LeadingSpace", " https://h.test/", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace velmoradine::cli
