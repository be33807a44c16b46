#pragma once

// Servers on the loopback interface for tests of the HTTP client.
//
// ScriptedServer is a real HTTP/1.1 server (keep-alive included) that records
// every request and answers each method and path as the test scripted it
// (404 otherwise). RawServer answers every connection with exact bytes, or
// not at all, for replies no well-behaved server would send.

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace velmoradine::testing {

struct RecordedRequest {
  std::string method;
  std::string path;
  // The query as sent, without "?".
  std::string query;
  // Names in lower case, in arrival order.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // The client's port: requests over one kept-alive connection share it.
  int remotePort = 0;

  std::optional<std::string> header(std::string_view name) const;
  // Header names other than those of HTTP's own framing (Host,
  // Content-Length, Connection, Transfer-Encoding).
  std::vector<std::string> applicationHeaderNames() const;
};

struct ScriptedResponse {
  ScriptedResponse(int status = 200, std::string body = {},
                   std::string contentType = "application/json",
                   std::vector<std::pair<std::string, std::string>> headers = {})
      : status(status),
        body(std::move(body)),
        contentType(std::move(contentType)),
        headers(std::move(headers)) {}

  int status;
  std::string body;
  std::string contentType;
  std::vector<std::pair<std::string, std::string>> headers;
};

class ScriptedServer {
 public:
  ScriptedServer();
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string url(std::string_view path = "/") const;

  void reply(std::string method, std::string path, ScriptedResponse response);
  void reply(std::string method, std::string path,
             std::function<ScriptedResponse(const RecordedRequest&)> responder);

  std::vector<RecordedRequest> requests() const;
  std::size_t requestCount() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

class RawServer {
 public:
  // Reads each request's header block, then writes `reply` and closes the
  // connection. Without a reply, it keeps every connection open, silent,
  // until the server is destroyed.
  explicit RawServer(std::optional<std::string> reply);
  ~RawServer();
  RawServer(const RawServer&) = delete;
  RawServer& operator=(const RawServer&) = delete;

  int port() const { return port_; }
  std::string url(std::string_view path = "/") const;
  std::size_t connectionCount() const { return connections_.load(); }
  // The request head (request line and header fields) of each answered
  // connection, as received.
  std::vector<std::string> receivedHeads() const;

 private:
  void run();
  mutable std::mutex mutex_;
  std::vector<std::string> heads_;
  std::optional<std::string> reply_;
  int listener_ = -1;
  int wakeup_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<std::size_t> connections_ = 0;
  std::thread thread_;
};

// A port on the loopback interface where nothing listens.
int closedPort();

}  // namespace velmoradine::testing
