#pragma once

// The HTTP library's server with this server's own connection handling: a
// thread per connection from a pool that grows on demand, overall deadlines
// for request heads and bodies, limits on heads, a stall limit on writes,
// and a stop that closes connections instead of waiting for their clients.

#include <httplib.h>

#include "server/connection_stream.hpp"
#include "server/connections.hpp"
#include "server/options.hpp"

namespace velmoradine::devserver {

class GuardedServer : public httplib::Server {
 public:
  // `options` must outlive the server.
  GuardedServer(const ConnectionOptions& options, int initialThreads);

  // Stops accepting connections and makes the serving loop end, closing
  // the connections (see ConnectionRegistry::stop). The library's own stop()
  // does nothing until its accept loop has started; this also works between
  // bind and listen, so a signal that arrives just after start-up is not
  // lost. Safe from any thread.
  void stopAccepting();
  // The library listens with a queue of 5 pending connections; a burst of
  // clients beyond that is dropped or reset by the kernel before any thread
  // could take it. Call after binding.
  void widenAcceptQueue();

 private:
  bool process_and_close_socket(socket_t socket) override;
  void serveConnection(int socket);
  void serveRequests(ConnectionRegistry::Entry& entry, ConnectionStream& stream);

  const ConnectionOptions& options_;
  ConnectionRegistry registry_;
};

}  // namespace velmoradine::devserver
