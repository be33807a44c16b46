#include "velmoradine/platform/dispatch/run_loop.hpp"

#include <sys/syscall.h>
#include <unistd.h>

#include <memory>

#include "velmoradine/platform/foundation/fatal.hpp"

namespace velmoradine {
namespace {

// Both ids are asked of the kernel once: every toolkit call checks the
// thread it runs on, and a system call each time was a tenth of a frame's
// work. The kit never goes on running in a forked child, where the cached
// ids would be its parent's.
long currentThreadId() {
  thread_local const long id = static_cast<long>(syscall(SYS_gettid));
  return id;
}

long processId() {
  static const long id = static_cast<long>(getpid());
  return id;
}

}  // namespace

// The main thread is the process's first thread, whose kernel thread id equals
// the process id, so any thread may reach the main loop first.
bool RunLoop::isMainThread() {
  return currentThreadId() == processId();
}

RunLoop& RunLoop::main() {
  static const std::shared_ptr<RunLoop> loop(new RunLoop(processId()), [](RunLoop*) {});
  return *loop;
}

RunLoop& RunLoop::current() {
  if (isMainThread()) return main();
  thread_local const std::shared_ptr<RunLoop> loop(new RunLoop(currentThreadId()));
  return *loop;
}

bool RunLoop::isCurrent() const {
  return currentThreadId() == ownerThread_;
}

void RunLoop::perform(Task task) {
  std::function<void()> wakeUp;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
    wakeUp = wakeUpHandler_;
  }
  arrived_.notify_one();
  if (wakeUp) wakeUp();
}

bool RunLoop::runOne() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    if (tasks_.empty()) return false;
    task = std::move(tasks_.front());
    tasks_.pop_front();
  }
  task();
  return true;
}

std::size_t RunLoop::drain() {
  if (!isCurrent()) fatalError("a run loop was driven from a thread other than its own");
  std::size_t ran = 0;
  while (runOne()) ++ran;
  return ran;
}

void RunLoop::run() {
  if (!isCurrent()) fatalError("a run loop was driven from a thread other than its own");
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      arrived_.wait(lock, [this] { return stopRequested_ || !tasks_.empty(); });
      if (stopRequested_) {
        stopRequested_ = false;
        return;
      }
    }
    runOne();
  }
}

void RunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  arrived_.notify_one();
}

bool RunLoop::runUntil(const std::function<bool()>& done,
                       std::chrono::steady_clock::duration timeout) {
  if (!isCurrent()) fatalError("a run loop was driven from a thread other than its own");
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (runOne()) continue;
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) {
      lock.unlock();
      return done();
    }
  }
}

void RunLoop::setWakeUpHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  wakeUpHandler_ = std::move(handler);
}

}  // namespace velmoradine
