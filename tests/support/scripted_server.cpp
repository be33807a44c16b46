#include "tests/support/scripted_server.hpp"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "tests/support/wait.hpp"

namespace velmoradine::testing {
namespace {

std::string lowercased(std::string text) {
  std::ranges::transform(text, text.begin(),
                         [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

int boundLoopbackSocket() {
  int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (descriptor < 0 ||
      bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot bind a loopback socket");
  }
  return descriptor;
}

int portOf(int descriptor) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

}  // namespace

std::optional<std::string> RecordedRequest::header(std::string_view name) const {
  std::string wanted = lowercased(std::string(name));
  for (const auto& [field, value] : headers) {
    if (field == wanted) return value;
  }
  return std::nullopt;
}

std::vector<std::string> RecordedRequest::applicationHeaderNames() const {
  static const std::vector<std::string> kFraming = {"host", "content-length", "connection",
                                                    "transfer-encoding"};
  std::vector<std::string> names;
  for (const auto& [field, value] : headers) {
    if (std::ranges::find(kFraming, field) == kFraming.end()) names.push_back(field);
  }
  return names;
}

struct ScriptedServer::Impl {
  httplib::Server server;
  std::thread thread;
  mutable std::mutex mutex;
  std::vector<RecordedRequest> requests;
  std::map<std::pair<std::string, std::string>,
           std::function<ScriptedResponse(const RecordedRequest&)>>
      responders;

  void handle(const httplib::Request& request, httplib::Response& response) {
    RecordedRequest recorded{request.method, request.path,       {}, {},
                             request.body,   request.remote_port};
    if (auto mark = request.target.find('?'); mark != std::string::npos) {
      recorded.query = request.target.substr(mark + 1);
    }
    for (const auto& [name, value] : request.headers) {
      // The server adds these for its own bookkeeping; they were not sent.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
          name == "LOCAL_PORT") {
        continue;
      }
      recorded.headers.emplace_back(lowercased(name), value);
    }
    std::function<ScriptedResponse(const RecordedRequest&)> responder;
    {
      std::lock_guard lock(mutex);
      requests.push_back(recorded);
      if (auto found = responders.find({request.method, request.path}); found != responders.end()) {
        responder = found->second;
      }
    }
    ScriptedResponse scripted =
        responder ? responder(recorded) : ScriptedResponse{404, "", "text/plain", {}};
    response.status = scripted.status;
    for (const auto& [name, value] : scripted.headers) response.set_header(name, value);
    response.set_content(scripted.body, scripted.contentType.c_str());
  }
};

ScriptedServer::ScriptedServer() : impl_(std::make_unique<Impl>()) {
  auto handler = [this](const httplib::Request& request, httplib::Response& response) {
    impl_->handle(request, response);
  };
  impl_->server.Get(".*", handler);
  impl_->server.Post(".*", handler);
  impl_->server.Put(".*", handler);
  impl_->server.Delete(".*", handler);
  impl_->server.Patch(".*", handler);
  impl_->server.set_keep_alive_max_count(100000);
  // Without it, small replies wait for delayed acknowledgements (40 ms each).
  impl_->server.set_tcp_nodelay(true);
  port_ = impl_->server.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) throw std::runtime_error("cannot start the scripted server");
  // The socket already listens, so connections made before the thread
  // accepts them wait in the backlog.
  impl_->thread = std::thread([this] { impl_->server.listen_after_bind(); });
  // stop() does nothing until the server runs, so a server destroyed at once
  // would leave its thread accepting forever.
  if (!waitUntil([this] { return impl_->server.is_running(); })) {
    throw std::runtime_error("the scripted server did not start");
  }
}

ScriptedServer::~ScriptedServer() {
  impl_->server.stop();
  impl_->thread.join();
}

std::string ScriptedServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void ScriptedServer::reply(std::string method, std::string path, ScriptedResponse response) {
  reply(std::move(method), std::move(path),
        [response = std::move(response)](const RecordedRequest&) { return response; });
}

void ScriptedServer::reply(std::string method, std::string path,
                           std::function<ScriptedResponse(const RecordedRequest&)> responder) {
  std::lock_guard lock(impl_->mutex);
  impl_->responders[{std::move(method), std::move(path)}] = std::move(responder);
}

std::vector<RecordedRequest> ScriptedServer::requests() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests;
}

std::size_t ScriptedServer::requestCount() const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests.size();
}

RawServer::RawServer(std::optional<std::string> reply) : reply_(std::move(reply)) {
  listener_ = boundLoopbackSocket();
  listen(listener_, 16);
  port_ = portOf(listener_);
  if (pipe2(wakeup_, O_CLOEXEC) != 0) throw std::runtime_error("cannot create a pipe");
  thread_ = std::thread([this] { run(); });
}

RawServer::~RawServer() {
  char byte = 0;
  [[maybe_unused]] auto written = write(wakeup_[1], &byte, 1);
  thread_.join();
  close(listener_);
  close(wakeup_[0]);
  close(wakeup_[1]);
}

std::string RawServer::url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void RawServer::run() {
  std::vector<int> open;
  while (true) {
    pollfd watched[2] = {{listener_, POLLIN, 0}, {wakeup_[0], POLLIN, 0}};
    if (poll(watched, 2, -1) < 0) continue;
    if (watched[1].revents) break;
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    ++connections_;
    if (!reply_) {
      open.push_back(connection);
      continue;
    }
    // Read up to the end of the header block, then answer.
    std::string received;
    char buffer[4096];
    while (received.find("\r\n\r\n") == std::string::npos) {
      pollfd readable{connection, POLLIN, 0};
      if (poll(&readable, 1, 2000) <= 0) break;
      ssize_t count = read(connection, buffer, sizeof buffer);
      if (count <= 0) break;
      received.append(buffer, static_cast<std::size_t>(count));
    }
    {
      std::lock_guard lock(mutex_);
      heads_.push_back(received.substr(0, received.find("\r\n\r\n")));
    }
    [[maybe_unused]] auto written = write(connection, reply_->data(), reply_->size());
    shutdown(connection, SHUT_RDWR);
    close(connection);
  }
  for (int connection : open) close(connection);
}

std::vector<std::string> RawServer::receivedHeads() const {
  std::lock_guard lock(mutex_);
  return heads_;
}

int closedPort() {
  // Bound but never listening: connections to it are refused.
  static const int descriptor = boundLoopbackSocket();
  return portOf(descriptor);
}

}  // namespace velmoradine::testing
