#include "tests/server/devserver_process.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "server/crypto.hpp"

extern char** environ;

namespace velmoradine::testing {

namespace {

constexpr std::chrono::seconds kStartTimeout{30};

struct Spawned {
  pid_t pid = -1;
  int outputFd = -1;
};

Spawned spawn(const std::vector<std::string>& arguments, const std::filesystem::path& errorFile) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorFile.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> all = {VELMORADINE_DEVSERVER_PATH};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  int status = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (status != 0) {
    close(pipeFds[0]);
    return {};
  }
  return {pid, pipeFds[0]};
}

int exitStatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

int waitForExit(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return exitStatusOf(status);
}

std::string readAll(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, count);
  return text;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path);
  std::stringstream text;
  text << stream.rdbuf();
  return text.str();
}

std::filesystem::path uniqueErrorFile() {
  static std::atomic<int> counter{0};
  return std::filesystem::temp_directory_path() /
         ("devserver-stderr-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
}

}  // namespace

DevServerProcess::DevServerProcess(const std::filesystem::path& directory,
                                   std::vector<std::string> arguments)
    : errorFile_(uniqueErrorFile()) {
  std::vector<std::string> all = {"--data-dir", directory.string(), "--port", "0"};
  all.insert(all.end(), arguments.begin(), arguments.end());
  auto spawned = spawn(all, errorFile_);
  pid_ = spawned.pid;
  outputFd_ = spawned.outputFd;
  if (pid_ <= 0) {
    ADD_FAILURE() << "cannot start " << VELMORADINE_DEVSERVER_PATH;
    return;
  }
  // Waits for the first line (the base URL) without blocking past a deadline.
  auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
  while (output_.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd descriptor{outputFd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&descriptor, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[512];
    ssize_t count = read(outputFd_, buffer, sizeof buffer);
    if (count <= 0) break;
    output_.append(buffer, count);
  }
  auto end = output_.find('\n');
  if (end == std::string::npos) {
    int status = stop(SIGKILL);
    ADD_FAILURE() << "the devserver did not print its URL (exit " << status
                  << "): " << standardError();
    return;
  }
  baseURL_ = output_.substr(0, end);
}

DevServerProcess::~DevServerProcess() {
  // A server that ended by itself (a crash, a sanitizer report) failed the
  // test's requests for a reason only its standard error tells.
  int status = 0;
  if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    ADD_FAILURE() << "the devserver ended during the test (exit " << exitStatusOf(status)
                  << "): " << standardError();
  }
  if (pid_ > 0) stop(SIGKILL);
  if (outputFd_ >= 0) close(outputFd_);
  std::error_code ignored;
  std::filesystem::remove(errorFile_, ignored);
}

httplib::Client DevServerProcess::client() const {
  httplib::Client client(baseURL_.substr(0, baseURL_.size() - 1));
  client.set_connection_timeout(std::chrono::seconds(10));
  client.set_read_timeout(std::chrono::seconds(30));
  client.set_write_timeout(std::chrono::seconds(30));
  return client;
}

int DevServerProcess::stop(int signal) {
  if (pid_ <= 0) return -1;
  kill(pid_, signal);
  int status = waitForExit(pid_);
  pid_ = -1;
  return status;
}

std::string DevServerProcess::standardOutput() {
  if (outputFd_ >= 0 && pid_ <= 0) {
    output_ += readAll(outputFd_);
    close(outputFd_);
    outputFd_ = -1;
  }
  return output_;
}

std::string DevServerProcess::standardError() const {
  return readFile(errorFile_);
}

CompletedRun runDevServer(const std::vector<std::string>& arguments) {
  auto errorFile = uniqueErrorFile();
  auto spawned = spawn(arguments, errorFile);
  CompletedRun run;
  if (spawned.pid <= 0) return run;
  run.standardOutput = readAll(spawned.outputFd);
  close(spawned.outputFd);
  run.exitStatus = waitForExit(spawned.pid);
  run.standardError = readFile(errorFile);
  std::filesystem::remove(errorFile);
  return run;
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
