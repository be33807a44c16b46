#include "server/connections.hpp"

#include <sys/socket.h>

#include <algorithm>

namespace velmoradine::devserver {

ConnectionRegistry::Entry::Entry(ConnectionRegistry& registry, int socket)
    : registry_(registry), socket_(socket) {
  std::lock_guard lock(registry_.mutex_);
  registry_.connections_.emplace(socket_, false);
}

ConnectionRegistry::Entry::~Entry() {
  registry_.remove(socket_);
}

bool ConnectionRegistry::stopping() const {
  std::lock_guard lock(mutex_);
  return stopping_;
}

bool ConnectionRegistry::mark(int socket, bool busy) {
  std::lock_guard lock(mutex_);
  connections_[socket] = busy;
  if (!busy) changed_.notify_all();
  return !stopping_;
}

void ConnectionRegistry::remove(int socket) {
  std::lock_guard lock(mutex_);
  connections_.erase(socket);
  changed_.notify_all();
}

void ConnectionRegistry::shutDown(bool busyToo) {
  for (const auto& [socket, busy] : connections_) {
    if (busyToo || !busy) ::shutdown(socket, SHUT_RDWR);
  }
}

void ConnectionRegistry::stop(std::chrono::steady_clock::duration grace) {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  shutDown(false);
  auto allIdle = [this] {
    for (const auto& [socket, busy] : connections_) {
      if (busy) return false;
    }
    return true;
  };
  changed_.wait_for(lock, grace, allIdle);
  shutDown(true);
}

ConnectionPool::ConnectionPool(std::size_t initialThreads, std::size_t maxThreads,
                               std::function<void()> beforeJoin)
    : maxThreads_(std::max(initialThreads, maxThreads)), beforeJoin_(std::move(beforeJoin)) {
  std::lock_guard lock(mutex_);
  for (std::size_t i = 0; i < initialThreads; ++i) threads_.emplace_back([this] { work(); });
}

ConnectionPool::~ConnectionPool() {
  shutdown();
}

void ConnectionPool::enqueue(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  tasks_.push_back(std::move(task));
  if (idle_ < tasks_.size() && threads_.size() < maxThreads_) {
    threads_.emplace_back([this] { work(); });
  }
  available_.notify_one();
}

void ConnectionPool::shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  if (beforeJoin_) beforeJoin_();
  available_.notify_all();
  // No thread starts once stopping: the list is stable.
  for (auto& thread : threads_) thread.join();
}

void ConnectionPool::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    available_.wait(lock, [this] { return !tasks_.empty() || stopping_; });
    --idle_;
    if (tasks_.empty()) return;
    auto task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace velmoradine::devserver
