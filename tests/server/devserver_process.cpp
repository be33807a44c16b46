#include "tests/server/devserver_process.hpp"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "server/crypto.hpp"

namespace velmoradine::testing {

namespace {

constexpr std::chrono::seconds kStartTimeout{30};

std::vector<std::string> devServerCommand(const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {VELMORADINE_DEVSERVER_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return command;
}

std::vector<std::string> serveCommand(const std::filesystem::path& directory,
                                      const std::vector<std::string>& arguments) {
  std::vector<std::string> command = {"--data-dir", directory.string(), "--port", "0"};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return devServerCommand(command);
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path);
  std::stringstream text;
  text << stream.rdbuf();
  return text.str();
}

}  // namespace

DevServerProcess::DevServerProcess(const std::filesystem::path& directory,
                                   std::vector<std::string> arguments)
    : process_(serveCommand(directory, arguments), errors_.path() / "stderr") {
  if (!process_.running()) {
    ADD_FAILURE() << process_.startError();
    return;
  }
  if (auto line = process_.readLine(std::chrono::steady_clock::now() + kStartTimeout)) {
    baseURL_ = *line;
    output_ = *line + "\n";
  } else {
    int status = stop(SIGKILL);
    ADD_FAILURE() << "the devserver did not print its URL (exit " << status
                  << "): " << standardError();
  }
}

DevServerProcess::~DevServerProcess() {
  // A server that ended by itself (a crash, a sanitizer report) failed the
  // test's requests for a reason only its standard error tells.
  if (auto status = process_.endedByItself()) {
    ADD_FAILURE() << "the devserver ended during the test (exit " << *status
                  << "): " << standardError();
  }
}

httplib::Client DevServerProcess::client() const {
  httplib::Client client(baseURL_.substr(0, baseURL_.size() - 1));
  client.set_connection_timeout(std::chrono::seconds(10));
  client.set_read_timeout(std::chrono::seconds(30));
  client.set_write_timeout(std::chrono::seconds(30));
  return client;
}

int DevServerProcess::stop(int signal) {
  return process_.stop(signal);
}

std::string DevServerProcess::standardOutput() {
  if (!process_.running()) output_ += process_.readOutputToEnd();
  return output_;
}

std::string DevServerProcess::standardError() const {
  return readFile(errors_.path() / "stderr");
}

CompletedRun runDevServer(const std::vector<std::string>& arguments) {
  return runToCompletion(devServerCommand(arguments));
}

int DevServerProcess::port() const {
  auto colon = baseURL_.rfind(':');
  return colon == std::string::npos ? -1 : std::stoi(baseURL_.substr(colon + 1));
}

std::string rawExchange(int port, const std::string& head, const std::string& body) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string received;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return received;
  }
  timeval timeout{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  auto sendAll = [fd](const std::string& text) {
    for (std::size_t sent = 0; sent < text.size();) {
      ssize_t count = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (count <= 0) return;
      sent += static_cast<std::size_t>(count);
    }
  };
  sendAll(head);
  char buffer[4096];
  ssize_t count = 0;
  bool bodySent = body.empty();
  while ((count = recv(fd, buffer, sizeof buffer, 0)) > 0) {
    received.append(buffer, static_cast<std::size_t>(count));
    if (!bodySent && received.starts_with("HTTP/1.1 100") &&
        received.find("\r\n\r\n") != std::string::npos) {
      sendAll(body);
      bodySent = true;
    }
  }
  close(fd);
  return received;
}

std::size_t storedFiles(const std::filesystem::path& serverDirectory) {
  std::size_t count = 0;
  const auto files = serverDirectory / "storage" / "files";
  if (!std::filesystem::exists(files)) return 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(files))
    count += entry.is_regular_file() ? 1 : 0;
  return count;
}

std::string pathAndQuery(const std::string& url) {
  auto scheme = url.find("://");
  auto path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
  return path == std::string::npos ? "/" : url.substr(path);
}

std::string md5Base64(const std::string& bytes) {
  return devserver::md5Base64(bytes);
}

std::string randomBytes(std::size_t count) {
  return devserver::randomBytes(count);
}

nlohmann::json shareRequestBody(const ShareFiles& files, const std::string& title) {
  return {{"video_content",
           {{"byte_size", files.video.size()},
            {"checksum", md5Base64(files.video)},
            {"content_type", "video/mp4"}}},
          {"preview_image",
           {{"byte_size", files.preview.size()},
            {"checksum", md5Base64(files.preview)},
            {"content_type", "image/jpeg"}}},
          {"shareable", {{"title", title}, {"shareable_type", "video"}}}};
}

httplib::Headers Kit::headers() const {
  httplib::Headers headers = {{"Authorization", "Bearer " + apiKey_}};
  if (!userId_.empty()) headers.emplace("X-Contrib-UserId", userId_);
  return headers;
}

httplib::Result Kit::get(const std::string& path) {
  return client_.Get(path, headers());
}

httplib::Result Kit::send(const std::string& method, const std::string& path,
                          const nlohmann::json& body) {
  std::string text = body.dump();
  if (method == "POST") return client_.Post(path, headers(), text, "application/json");
  if (method == "PUT") return client_.Put(path, headers(), text, "application/json");
  return client_.Delete(path, headers(), text, "application/json");
}

CreatedShare Kit::createShare(const ShareFiles& files, const std::string& title) {
  CreatedShare share;
  auto result = send("POST", "/v1/api/sdk/share", shareRequestBody(files, title));
  if (!result || result->status != 200) {
    ADD_FAILURE() << "share creation failed: "
                  << (result ? result->body : httplib::to_string(result.error()));
    return share;
  }
  share.reply = nlohmann::json::parse(result->body);
  share.token = share.reply["shareable"]["shareable_access_token"];
  share.link = share.reply["shareable"]["link"];
  auto plan = [](const nlohmann::json& plan, std::string& url, httplib::Headers& headers) {
    const auto& upload = plan["configurable"]["direct_upload"];
    url = upload["url"];
    for (const auto& [name, value] : upload["headers"].items()) {
      headers.emplace(name, value.get<std::string>());
    }
  };
  plan(share.reply["video_content"], share.videoURL, share.videoHeaders);
  plan(share.reply["preview_image"], share.previewURL, share.previewHeaders);
  return share;
}

httplib::Result Kit::upload(const std::string& url, const httplib::Headers& headers,
                            const std::string& bytes) {
  httplib::Headers sent = headers;
  std::string contentType;
  if (auto type = sent.find("Content-Type"); type != sent.end()) {
    contentType = type->second;
    sent.erase(type);
  }
  return client_.Put(pathAndQuery(url), sent, bytes, contentType.c_str());
}

httplib::Result Kit::activate(const std::string& token, bool video, bool preview) {
  return send(
      "POST", "/v1/api/sdk/share/activate",
      {{"video_content", video}, {"preview_image", preview}, {"shareable_access_token", token}});
}

CreatedShare Kit::publish(const ShareFiles& files, const std::string& title) {
  CreatedShare share = createShare(files, title);
  for (auto [url, headers, bytes] :
       {std::tuple{&share.videoURL, &share.videoHeaders, &files.video},
        std::tuple{&share.previewURL, &share.previewHeaders, &files.preview}}) {
    auto result = upload(*url, *headers, *bytes);
    EXPECT_TRUE(result && result->status == 200)
        << (result ? result->body : httplib::to_string(result.error()));
  }
  for (auto [video, preview] : {std::pair{true, false}, std::pair{false, true}}) {
    auto result = activate(share.token, video, preview);
    EXPECT_TRUE(result && result->status == 200)
        << (result ? result->body : httplib::to_string(result.error()));
  }
  return share;
}

}  // namespace velmoradine::testing
