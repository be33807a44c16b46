#include "server/guarded_server.hpp"

#include <sys/socket.h>
#include <unistd.h>

#include "server/connection_stream.hpp"

namespace velmoradine::devserver {

namespace {

// Requests one connection may carry before it is closed.
constexpr std::size_t kMaxRequestsPerConnection = 1000;
// The kernel caps this at net.core.somaxconn.
constexpr int kAcceptQueueLength = 1024;

}  // namespace

GuardedServer::GuardedServer(const ConnectionOptions& options, int initialThreads)
    : options_(options) {
  new_task_queue = [this, initialThreads] {
    return new ConnectionPool(static_cast<std::size_t>(initialThreads),
                              static_cast<std::size_t>(options_.maxConnections),
                              [this] { registry_.stop(kStopGrace); });
  };
}

void GuardedServer::stopAccepting() {
  socket_t socket = svr_sock_.exchange(INVALID_SOCKET);
  if (socket != INVALID_SOCKET) {
    ::shutdown(socket, SHUT_RDWR);
    ::close(socket);
  }
}

void GuardedServer::widenAcceptQueue() {
  socket_t socket = svr_sock_.load();
  // Listening again on a listening socket only changes its queue's length.
  if (socket != INVALID_SOCKET) ::listen(socket, kAcceptQueueLength);
}

bool GuardedServer::process_and_close_socket(socket_t socket) {
  serveConnection(socket);
  ::shutdown(socket, SHUT_RDWR);
  ::close(socket);
  return true;
}

void GuardedServer::serveConnection(int socket) {
  // Registered while lingering too, so that a shutdown cuts the linger short.
  ConnectionRegistry::Entry entry(registry_, socket);
  ConnectionStream stream(socket, options_);
  serveRequests(entry, stream);
  stream.closeLingering();
}

void GuardedServer::serveRequests(ConnectionRegistry::Entry& entry, ConnectionStream& stream) {
  auto firstByteBy = ConnectionStream::Clock::now() + options_.headerTimeout;
  for (std::size_t served = 0; served < kMaxRequestsPerConnection; ++served) {
    if (!entry.waiting()) return;
    auto head = stream.receiveHead(firstByteBy);
    if (head != HeadOutcome::complete) {
      stream.refuseHead(head);
      return;
    }
    bool last = !entry.busy() || served + 1 == kMaxRequestsPerConnection;
    bool clientCloses = false;
    if (!process_request(stream, last, clientCloses, nullptr)) return;
    if (last || clientCloses || stream.closeRequested()) return;
    firstByteBy = ConnectionStream::Clock::now() + options_.keepAliveTimeout;
  }
}

}  // namespace velmoradine::devserver
