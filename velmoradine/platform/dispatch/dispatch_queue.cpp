#include "velmoradine/platform/dispatch/dispatch_queue.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>

#include "velmoradine/platform/dispatch/run_loop.hpp"
#include "velmoradine/platform/dispatch/worker_pool.hpp"
#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {
namespace {

thread_local DispatchQueue* tCurrentQueue = nullptr;

// How many tasks a serial queue runs before it gives its worker back, so that
// a busy queue cannot monopolise the pool.
constexpr int kTasksPerTurn = 64;

class SerialQueue final : public DispatchQueue {
 public:
  explicit SerialQueue(std::string label) : DispatchQueue(std::move(label)) {}

  void async(Task task) override {
    bool schedule = false;
    {
      std::lock_guard lock(mutex_);
      tasks_.push_back(std::move(task));
      schedule = !scheduled_;
      scheduled_ = true;
    }
    if (schedule) scheduleTurn();
  }

 private:
  void scheduleTurn() {
    WorkerPool::shared().post(
        [self = std::static_pointer_cast<SerialQueue>(shared_from_this())] { self->runTurn(); });
  }

  void runTurn() {
    CurrentScope scope(this);
    for (int run = 0; run < kTasksPerTurn; ++run) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) {
          scheduled_ = false;
          return;
        }
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
    }
    std::unique_lock lock(mutex_);
    if (tasks_.empty()) {
      scheduled_ = false;
      return;
    }
    lock.unlock();
    scheduleTurn();
  }

  std::mutex mutex_;
  std::deque<Task> tasks_;
  bool scheduled_ = false;
};

class MainQueue final : public DispatchQueue {
 public:
  MainQueue() : DispatchQueue("main") {}
  void async(Task task) override { RunLoop::main().perform(std::move(task)); }
};

class GlobalQueue final : public DispatchQueue {
 public:
  GlobalQueue() : DispatchQueue("global") {}
  void async(Task task) override {
    WorkerPool::shared().post([this, task = std::move(task)]() mutable {
      CurrentScope scope(this);
      task();
    });
  }
};

}  // namespace

DispatchQueue::CurrentScope::CurrentScope(DispatchQueue* queue) : previous_(tCurrentQueue) {
  tCurrentQueue = queue;
}

DispatchQueue::CurrentScope::~CurrentScope() {
  tCurrentQueue = previous_;
}

std::shared_ptr<DispatchQueue> DispatchQueue::serial(std::string label) {
  return std::make_shared<SerialQueue>(std::move(label));
}

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
  static const std::shared_ptr<DispatchQueue> queue(new MainQueue, [](DispatchQueue*) {});
  return queue;
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
  static const std::shared_ptr<DispatchQueue> queue(new GlobalQueue, [](DispatchQueue*) {});
  return queue;
}

DispatchQueue* DispatchQueue::current() {
  if (tCurrentQueue) return tCurrentQueue;
  // Code running directly on the main run loop's thread (outside any task)
  // is on the main queue too.
  if (RunLoop::main().isCurrent()) return main().get();
  return nullptr;
}

void DispatchQueue::asyncAfter(Clock::Duration delay, Task task,
                               const std::shared_ptr<Clock>& clock) {
  auto shared = std::make_shared<Task>(std::move(task));
  clock->schedule(clock->uptime() + delay, [queue = shared_from_this(), shared] {
    queue->async([shared] { (*shared)(); });
  });
}

void DispatchQueue::sync(Task task) {
  if (isCurrent() && this != global().get()) {
    fatalError("sync called on queue \"" + label_ + "\" from one of its own tasks");
  }
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  async([&] {
    task();
    std::lock_guard lock(mutex);
    done = true;
    finished.notify_one();
  });
  std::unique_lock lock(mutex);
  finished.wait(lock, [&] { return done; });
}

void DispatchQueue::assertCurrent() const {
  if (!isCurrent()) fatalError("expected to run on queue \"" + label_ + "\"");
}

}  // namespace velmoradine
