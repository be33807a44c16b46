#include "server/devserver.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <exception>
#include <iostream>

#include "server/context.hpp"
#include "server/crypto.hpp"
#include "server/database.hpp"
#include "server/fault_injection.hpp"
#include "server/guarded_server.hpp"
#include "server/http_support.hpp"
#include "server/signing.hpp"
#include "server/storage.hpp"

namespace velmoradine::devserver {

namespace {

// Bodies beyond this are refused by the HTTP library itself; the routes
// apply their own, tighter limits.
constexpr std::size_t kLibraryPayloadSlackBytes = 64 * 1024 * 1024;

// An exclusive lock on DIR/devserver.lock, held for the server's lifetime.
class DirectoryLock {
 public:
  explicit DirectoryLock(const std::filesystem::path& directory) {
    auto path = directory / "devserver.lock";
    descriptor_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor_ < 0) throw StartupError("cannot open " + path.string());
    if (::flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
      ::close(descriptor_);
      throw StartupError("another devserver is using " + directory.string());
    }
  }
  ~DirectoryLock() { ::close(descriptor_); }
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

 private:
  int descriptor_ = -1;
};

std::unique_ptr<Database> openDatabase(const Options& options) {
  try {
    auto database = Database::open(options.dataDirectory / "devserver.sqlite3");
    for (const auto& application : options.applications) database->registerApplication(application);
    return database;
  } catch (const DatabaseError& error) {
    throw StartupError(error.what());
  }
}

std::filesystem::path prepareDirectory(const std::filesystem::path& directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  if (error || !std::filesystem::is_directory(directory)) {
    throw StartupError("cannot use " + directory.string() + " as the data directory");
  }
  return directory;
}

}  // namespace

std::string ServerContext::baseURL(const httplib::Request& request) const {
  return baseURLFor(request, options, listenBaseURL);
}

struct DevServer::State {
  explicit State(Options givenOptions)
      : options(std::move(givenOptions)),
        lock(prepareDirectory(options.dataDirectory)),
        database(openDatabase(options)),
        storage(options.dataDirectory / "storage", *database),
        signer(database->setting("upload_signing_key", hexEncode(randomBytes(32)))),
        faults(options.faults),
        mediaStreams(options.connections.maxMediaStreams),
        context{options, *database, storage, signer, mediaStreams, {}},
        server(options.connections, options.threads) {}

  Options options;
  DirectoryLock lock;
  std::unique_ptr<Database> database;
  Storage storage;
  UploadSigner signer;
  FaultInjector faults;
  MediaStreams mediaStreams;
  ServerContext context;
  GuardedServer server;
  int port = -1;
};

DevServer::DevServer(Options options) {
  try {
    state_ = std::make_unique<State>(std::move(options));
  } catch (const StartupError&) {
    throw;
  } catch (const std::exception& error) {
    throw StartupError(error.what());
  }
  auto& server = state_->server;
  server.set_payload_max_length(state_->options.maxUploadBytes + kLibraryPayloadSlackBytes);
  // Only for the Keep-Alive header the library writes: the connections
  // themselves are served by GuardedServer.
  server.set_keep_alive_max_count(1000);
  server.set_keep_alive_timeout(
      std::chrono::duration_cast<std::chrono::seconds>(state_->options.connections.keepAliveTimeout)
          .count());
  server.set_tcp_nodelay(true);
  // The library's default also sets SO_REUSEPORT, which would let a second
  // server bind a port that is in use instead of failing.
  server.set_socket_options([](socket_t socket) {
    int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  server.set_pre_routing_handler(
      [this](const httplib::Request& request, httplib::Response& response) {
        if (state_->faults.apply(request, response))
          return httplib::Server::HandlerResponse::Handled;
        // The library reads a body without a length until the client closes
        // the connection, which a client waiting for its reply never does.
        bool carriesBody = request.method == "POST" || request.method == "PUT" ||
                           request.method == "PATCH" || request.method == "DELETE";
        if (carriesBody && !request.has_header("Content-Length") &&
            request.get_header_value("Transfer-Encoding") != "chunked") {
          replyErrorAndClose(response, 411, "length_required",
                             "The request needs a \"Content-Length\" (0 without a body) or "
                             "chunked transfer encoding.");
          return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
      });
  // Routes write their own error bodies; the library's own errors (no route,
  // a body over its limit) get the same JSON shape.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [](const httplib::Request&, httplib::Response& response) {
        if (!response.body.empty() || response.content_provider_) {
          return httplib::Server::HandlerResponse::Unhandled;
        }
        std::string code = response.status == 404   ? "not_found"
                           : response.status == 413 ? "body_too_large"
                           : response.status == 416 ? "range_not_satisfiable"
                                                    : "bad_request";
        replyError(response, response.status, code, "The request was refused.");
        return httplib::Server::HandlerResponse::Handled;
      }));
  server.set_exception_handler(
      [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
        std::string message = "unknown error";
        try {
          std::rethrow_exception(error);
        } catch (const std::exception& exception) {
          message = exception.what();
        } catch (...) {
        }
        std::cerr << "devserver: " << request.method << " " << request.path
                  << " failed: " << message << std::endl;
        replyErrorAndClose(response, 500, "internal_error", "The devserver failed: " + message);
      });

  registerApiRoutes(server, state_->context);
  registerUploadRoutes(server, state_->context);
  registerCollectorRoutes(server, state_->context);
  registerPageRoutes(server, state_->context);
}

DevServer::~DevServer() = default;

std::string DevServer::bind() {
  const auto& host = state_->options.host;
  int port = state_->options.port;
  if (port == 0) {
    port = state_->server.bind_to_any_port(host);
    if (port < 0) throw StartupError("cannot listen on " + host);
  } else if (!state_->server.bind_to_port(host, port)) {
    throw StartupError("cannot listen on " + host + " port " + std::to_string(port));
  }
  state_->server.widenAcceptQueue();
  state_->port = port;
  std::string shownHost = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  state_->context.listenBaseURL = "http://" + shownHost + ":" + std::to_string(port) + "/";
  return state_->context.listenBaseURL;
}

bool DevServer::run() {
  return state_->server.listen_after_bind();
}

void DevServer::stop() {
  state_->server.stopAccepting();
}

int DevServer::port() const {
  return state_->port;
}

}  // namespace velmoradine::devserver
