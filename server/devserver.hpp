#pragma once

// The devserver as an object: open the data directory, bind, serve until
// stopped. main() wraps it with signal handling; tests and benchmarks can
// run it in-process.

#include <memory>
#include <stdexcept>
#include <string>

#include "server/options.hpp"

namespace velmoradine::devserver {

class StartupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class DevServer {
 public:
  // Opens (creating when needed) the data directory, takes its lock so no
  // second devserver uses it, opens the database and registers the
  // applications of `options`. Throws StartupError with a message for the user.
  explicit DevServer(Options options);
  ~DevServer();
  DevServer(const DevServer&) = delete;
  DevServer& operator=(const DevServer&) = delete;

  // Binds the listening socket (connections queue from here on) and gives
  // the base URL, "http://HOST:PORT/". Throws StartupError when it cannot.
  std::string bind();
  // Serves until stop(); call after bind(), on any one thread. False when
  // serving ended for another reason (the listening socket failed).
  bool run();
  // Makes run() return. Safe from any thread, also before run() starts.
  void stop();

  int port() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace velmoradine::devserver
