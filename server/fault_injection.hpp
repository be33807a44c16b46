#pragma once

// Faults for reliability tests: delayed replies, replies with a chosen
// status, and connections dropped without a reply. Whether the n-th matching
// request fails is a pure function of the seed and n, so a client that sends
// its requests one after another sees the same faults on every run.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string_view>

#include "server/options.hpp"

namespace velmoradine::devserver {

class FaultInjector {
 public:
  explicit FaultInjector(FaultOptions options) : options_(std::move(options)) {}

  enum class Action { none, respond, drop };
  struct Decision {
    std::chrono::milliseconds delay{0};
    Action action = Action::none;
  };

  bool matches(std::string_view method, std::string_view path) const;
  // The decision for the next matching request (counting from zero).
  Decision decide(std::string_view method, std::string_view path);
  // The decision for the `index`-th matching request.
  Decision decisionAt(std::uint64_t index) const;

  // Applies the decision for `request`: sleeps, then answers with the fault
  // status or drops the connection. True when the request was answered.
  bool apply(const httplib::Request& request, httplib::Response& response);

 private:
  FaultOptions options_;
  std::atomic<std::uint64_t> counter_{0};
};

}  // namespace velmoradine::devserver
