#pragma once

// Starts the real velmoradine-devserver binary for a test and talks HTTP to it.

#include <httplib.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/child_process.hpp"
#include "tests/support/temporary_directory.hpp"

namespace velmoradine::testing {

class DevServerProcess {
 public:
  // Runs the server on port 0 with `--data-dir directory` and `arguments`,
  // and waits for the line with its base URL. Fails the test (and leaves
  // baseURL() empty) when the server exits instead. The server dies with the
  // test's process (see ChildProcess) and is killed with the object.
  DevServerProcess(const std::filesystem::path& directory, std::vector<std::string> arguments = {});
  ~DevServerProcess();

  bool running() const { return process_.running(); }
  pid_t pid() const { return process_.pid(); }
  const std::string& baseURL() const { return baseURL_; }
  int port() const;
  // A client for the server, with generous time-outs.
  httplib::Client client() const;
  // Sends `signal` and waits for the process; gives its exit status (or
  // 128 + the signal that killed it).
  int stop(int signal = SIGTERM);
  // Everything the server wrote on standard output (after stop()).
  std::string standardOutput();
  std::string standardError() const;

 private:
  TemporaryDirectory errors_;
  ChildProcess process_;
  std::string output_;
  std::string baseURL_;
};

// Runs the binary with `arguments` to its end; for start-up failures.
CompletedRun runDevServer(const std::vector<std::string>& arguments);

// Talks to 127.0.0.1:`port` over a plain socket: sends `head`, then, once
// the server has answered with anything (an interim "100 Continue"), sends
// `body` when there is one, and gives everything the server sent until it
// closed the connection. For what an HTTP client library would not send.
std::string rawExchange(int port, const std::string& head, const std::string& body = {});

// How many files the server whose data directory is `serverDirectory` keeps
// in its storage.
std::size_t storedFiles(const std::filesystem::path& serverDirectory);

// The path and query of an absolute http URL ("http://h:p/a?b" gives "/a?b").
std::string pathAndQuery(const std::string& url);

// Requests the kit makes, against a running server.
struct ShareFiles {
  std::string video;
  std::string preview;
};
nlohmann::json shareRequestBody(const ShareFiles& files, const std::string& title = "A title");
std::string md5Base64(const std::string& bytes);
std::string randomBytes(std::size_t count);

struct CreatedShare {
  nlohmann::json reply;
  std::string token;
  std::string link;
  std::string videoURL;
  std::string previewURL;
  httplib::Headers videoHeaders;
  httplib::Headers previewHeaders;
};

class Kit {
 public:
  Kit(const DevServerProcess& server, std::string apiKey, std::string userId = {})
      : client_(server.client()), apiKey_(std::move(apiKey)), userId_(std::move(userId)) {}

  httplib::Headers headers() const;
  httplib::Result get(const std::string& path);
  httplib::Result send(const std::string& method, const std::string& path,
                       const nlohmann::json& body);
  // Creates a share for `files`; fails the test when the reply is not 200.
  CreatedShare createShare(const ShareFiles& files, const std::string& title = "A title");
  // PUTs `bytes` to an upload address with the plan's headers.
  httplib::Result upload(const std::string& url, const httplib::Headers& headers,
                         const std::string& bytes);
  httplib::Result activate(const std::string& token, bool video, bool preview);
  // Create, upload both files, activate both: a share whose link works.
  CreatedShare publish(const ShareFiles& files, const std::string& title = "A title");

  httplib::Client& client() { return client_; }

 private:
  httplib::Client client_;
  std::string apiKey_;
  std::string userId_;
};

}  // namespace velmoradine::testing
