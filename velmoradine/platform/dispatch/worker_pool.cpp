#include "velmoradine/platform/dispatch/worker_pool.hpp"

#include <algorithm>
#include <thread>

namespace velmoradine {
namespace {

constexpr auto kExtraThreadIdleTime = std::chrono::seconds(5);
constexpr auto kStarvationDelay = std::chrono::milliseconds(5);

}  // namespace

WorkerPool& WorkerPool::shared() {
  static WorkerPool* pool = [] {
    std::size_t cores = std::max<std::size_t>(2, std::thread::hardware_concurrency());
    return new WorkerPool(cores, 64);
  }();
  return *pool;
}

WorkerPool::WorkerPool(std::size_t coreThreads, std::size_t maxThreads)
    : coreThreads_(coreThreads), maxThreads_(std::max(coreThreads, maxThreads)) {}

void WorkerPool::post(Task task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back({std::chrono::steady_clock::now(), std::move(task)});
  if (idle_ > 0) {
    --idle_;
    ++wakeUps_;
    available_.notify_one();
  } else if (threads_ < coreThreads_) {
    spawnLocked();
  } else if (!watchdogStarted_) {
    watchdogStarted_ = true;
    std::thread([this] { watchdogLoop(); }).detach();
  } else {
    watchdogWake_.notify_one();
  }
}

std::size_t WorkerPool::threadCount() const {
  std::lock_guard lock(mutex_);
  return threads_;
}

void WorkerPool::spawnLocked() {
  ++threads_;
  std::thread([this] { workerLoop(); }).detach();
}

void WorkerPool::workerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (tasks_.empty()) {
      ++idle_;
      if (available_.wait_for(lock, kExtraThreadIdleTime, [this] { return wakeUps_ > 0; })) {
        --wakeUps_;
        continue;
      }
      --idle_;
      if (threads_ > coreThreads_) {
        --threads_;
        return;
      }
      continue;
    }
    Task task = std::move(tasks_.front().task);
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;
    lock.lock();
  }
}

void WorkerPool::watchdogLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    if (tasks_.empty()) {
      watchdogWake_.wait(lock);
      continue;
    }
    auto waited = std::chrono::steady_clock::now() - tasks_.front().posted;
    if (waited >= kStarvationDelay && idle_ == 0 && threads_ < maxThreads_) {
      spawnLocked();
      // Give the new thread time to take the work before judging again.
      watchdogWake_.wait_for(lock, kStarvationDelay);
      continue;
    }
    watchdogWake_.wait_for(lock, kStarvationDelay);
  }
}

}  // namespace velmoradine
