#pragma once

// The connections being served and the threads that serve them.
//
// Every connection has its own thread, so a slow client only ever holds its
// own; threads start on demand up to the connection limit and stay for
// later connections. Stopping closes the connections: those waiting for a
// request at once, those in the middle of one after a short grace.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace velmoradine::devserver {

// Requests in progress when the server stops get this long to finish.
inline constexpr std::chrono::seconds kStopGrace{2};

// Safe from any thread.
class ConnectionRegistry {
 public:
  // Tracks `socket` for the lifetime of the object (on the connection's
  // thread); closes nothing itself.
  class Entry {
   public:
    Entry(ConnectionRegistry& registry, int socket);
    ~Entry();
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;
    // Marks the connection as waiting for a request, or in one. False when
    // the server is stopping: the connection should end.
    bool waiting() { return registry_.mark(socket_, false); }
    bool busy() { return registry_.mark(socket_, true); }

   private:
    ConnectionRegistry& registry_;
    int socket_;
  };

  bool stopping() const;
  // Shuts down the sockets of waiting connections at once, of busy ones
  // once they are done or `grace` has passed; returns when every
  // connection has been shut down or ended.
  void stop(std::chrono::steady_clock::duration grace);

 private:
  bool mark(int socket, bool busy);
  void remove(int socket);
  void shutDown(bool busyToo);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  // Socket to whether it is in the middle of a request.
  std::unordered_map<int, bool> connections_;
  bool stopping_ = false;
};

// The HTTP library's task queue: a thread for each connection, started when
// none is free, up to `maxThreads`; further connections wait for one.
// enqueue() and shutdown() are called by the library's accepting thread.
class ConnectionPool final : public httplib::TaskQueue {
 public:
  // `beforeJoin` runs on shutdown, before the threads are joined: it must
  // make their connections end.
  ConnectionPool(std::size_t initialThreads, std::size_t maxThreads,
                 std::function<void()> beforeJoin);
  ~ConnectionPool() override;

  void enqueue(std::function<void()> task) override;
  void shutdown() override;

 private:
  void work();

  const std::size_t maxThreads_;
  std::function<void()> beforeJoin_;
  std::mutex mutex_;
  std::condition_variable available_;
  std::list<std::function<void()>> tasks_;
  std::list<std::thread> threads_;
  std::size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace velmoradine::devserver
