// How much a hop between two serial queues costs against the plainest
// cross-thread hand-off: two threads passing a token through a mutex and a
// condition variable. Both do the same number of round trips.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "bench/support/figures.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

namespace {

using namespace velmoradine;

constexpr int kHops = 20000;

void condvarHandOff() {
  std::mutex mutex;
  std::condition_variable changed;
  int turn = 0;  // even: thread A's turn, odd: thread B's
  auto player = [&](int parity) {
    for (;;) {
      std::unique_lock lock(mutex);
      changed.wait(lock, [&] { return turn % 2 == parity || turn >= kHops; });
      if (turn >= kHops) return;
      ++turn;
      changed.notify_one();
    }
  };
  std::thread a(player, 0);
  std::thread b(player, 1);
  a.join();
  b.join();
}

void queueHops() {
  auto a = DispatchQueue::serial("bench.a");
  auto b = DispatchQueue::serial("bench.b");
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  std::function<void(int)> hop = [&](int remaining) {
    if (remaining == 0) {
      std::lock_guard lock(mutex);
      done = true;
      finished.notify_one();
      return;
    }
    auto& next = remaining % 2 == 0 ? b : a;
    next->async([&, remaining] { hop(remaining - 1); });
  };
  a->async([&] { hop(kHops); });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return done; });
}

}  // namespace

int main() {
  queueHops();  // warm the worker pool
  double condvar = bench::medianSeconds(7, condvarHandOff);
  double queue = bench::medianSeconds(7, queueHops);
  bench::printFigure("queue_hop_vs_condvar", queue / condvar);
  bench::printFigure("queue_hop_ns", queue / kHops * 1e9);
  bench::printFigure("condvar_handoff_ns", condvar / kHops * 1e9);
  return 0;
}
