#pragma once

// One client connection as the HTTP library's Stream, with the deadlines the
// library lacks: it only bounds the wait for each single read or write, so a
// client that trickles its headers a byte at a time, or its body, would hold
// a thread for as long as it likes.
//
// The connection reads each request's head itself, before the library sees
// it, so that the head's size, line count and arrival time are bounded. Used
// by the one thread that serves the connection.

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "server/options.hpp"

namespace velmoradine::devserver {

// A request head beyond either limit is refused with 431.
inline constexpr std::size_t kMaxRequestHeadBytes = 64 * 1024;
inline constexpr std::size_t kMaxRequestHeaderLines = 100;

enum class HeadOutcome {
  complete,
  // The client closed, or sent nothing before it had to.
  idle,
  timedOut,
  tooLarge,
  uriTooLong,
};

class ConnectionStream final : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  ConnectionStream(int socket, const ConnectionOptions& options);

  // Waits until `firstByteBy` for a request to start, then until the head's
  // deadline for its end, within the head limits. On `complete` the head is
  // buffered for the library to read and the body's deadline runs.
  HeadOutcome receiveHead(Clock::time_point firstByteBy);
  // Answers a head that was not received whole (the connection is to be
  // closed after it); nothing for `idle`.
  void refuseHead(HeadOutcome outcome);
  // Ends the connection so that the client still receives what was sent.
  void closeLingering();
  // Whether the last response asked for the connection to be closed.
  bool closeRequested() const { return closeRequested_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* data, std::size_t size) override;
  ssize_t write(const char* data, std::size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

 private:
  // Reads what the socket has into the buffer, waiting until `deadline`;
  // false when the peer closed, the deadline passed or the socket failed.
  bool fill(Clock::time_point deadline);
  bool waitFor(short events, Clock::time_point deadline) const;
  Clock::time_point bodyDeadline() const;
  bool sendAll(std::string_view bytes);
  bool writeResponseHead(std::string_view head);
  std::size_t buffered() const { return inbound_.size() - position_; }

  int socket_;
  const ConnectionOptions& options_;
  std::string inbound_;
  std::size_t position_ = 0;
  std::size_t delivered_ = 0;
  std::size_t bodyStartsAt_ = 0;
  Clock::time_point bodyStarted_;
  // The next bytes the library writes start a response head (again after an
  // interim 100 Continue); they are gathered whole before they go out.
  bool expectingHead_ = false;
  std::string pendingHead_;
  bool closeRequested_ = false;
};

}  // namespace velmoradine::devserver
