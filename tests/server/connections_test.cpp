// Clients that are slow or hostile on purpose: heads over the limits, heads
// and bodies trickled a byte at a time, viewers that read a video slowly.
// None of them may keep other requests from being answered, nor the server
// from stopping.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/server/devserver_process.hpp"
#include "tests/support/main_bundle_fixture.hpp"
#include "tests/support/wait.hpp"

namespace velmoradine::testing {
namespace {

int connectTo(int port, int receiveBuffer = 0) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // Set before connecting, so the window the server sees stays small.
  if (receiveBuffer > 0)
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

void sendAll(int fd, const std::string& text) {
  for (std::size_t sent = 0; sent < text.size();) {
    ssize_t count = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (count <= 0) return;
    sent += static_cast<std::size_t>(count);
  }
}

// Everything the server sends until it closes, waiting at most `bound`.
std::string receiveToEnd(int fd, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
  std::string received;
  auto deadline = std::chrono::steady_clock::now() + bound;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 100) <= 0) continue;
    ssize_t count = recv(fd, buffer, sizeof buffer, 0);
    if (count <= 0) break;
    received.append(buffer, static_cast<std::size_t>(count));
  }
  return received;
}

// Sends `head`, then `trickle` one byte every 50 ms until the server
// answers or closes (for at most 30 seconds); gives what it answered.
std::string trickle(int port, const std::string& head, const std::string& trickled) {
  int fd = connectTo(port);
  if (fd < 0) return "";
  sendAll(fd, head);
  auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  for (std::size_t i = 0; std::chrono::steady_clock::now() < giveUp;
       i = (i + 1) % trickled.size()) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, 50) != 0) break;
    if (::send(fd, &trickled[i], 1, MSG_NOSIGNAL) != 1) break;
  }
  std::string reply = receiveToEnd(fd);
  close(fd);
  return reply;
}

// Sends SIGTERM and gives whether the server ended within `bound`; it is
// reaped by DevServerProcess::stop() afterwards, killed first when it did
// not end.
bool endsOnSigterm(DevServerProcess& server, std::chrono::seconds bound) {
  ::kill(server.pid(), SIGTERM);
  bool ended = waitUntil(
      [&] {
        siginfo_t info{};
        return waitid(P_PID, static_cast<id_t>(server.pid()), &info, WEXITED | WNOHANG | WNOWAIT) ==
                   0 &&
               info.si_pid == server.pid();
      },
      bound);
  if (!ended) server.stop(SIGKILL);
  return ended;
}

struct HeadCase {
  std::string name;
  std::string head;
  std::string statusLine;
};

TEST(DevServerConnections, HeadsOverTheLimitsAreRefused) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path());
  auto headers = [](int count, std::size_t size) {
    std::string text;
    for (int i = 0; i < count; ++i)
      text += "X-" + std::to_string(i) + ": " + std::string(size, 'v') + "\r\n";
    return text;
  };
  const std::vector<HeadCase> cases = {
      {"100 headers", "GET /go HTTP/1.1\r\n" + headers(99, 10) + "Connection: close\r\n\r\n",
       "HTTP/1.1 200 OK"},
      {"101 headers", "GET /go HTTP/1.1\r\n" + headers(100, 10) + "Connection: close\r\n\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"64 KiB of headers", "GET /go HTTP/1.1\r\n" + headers(9, 8000) + "Connection: close\r\n\r\n",
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"a head that never ends", "GET /go HTTP/1.1\r\n" + headers(50, 2000),
       "HTTP/1.1 431 Request Header Fields Too Large"},
      {"a long request line",
       "GET /" + std::string(9000, 'a') + " HTTP/1.1\r\nConnection: close\r\n\r\n",
       "HTTP/1.1 414 URI Too Long"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    std::string reply = rawExchange(server.port(), test.head);
    EXPECT_EQ(reply.substr(0, reply.find("\r\n")), test.statusLine);
  }
  EXPECT_EQ(server.stop(), 0);
}

struct TrickleCase {
  std::string name;
  std::string head;
  std::string statusLine;
};

TEST(DevServerConnections, TrickledRequestsAreCutAtTheirDeadlinesWhileOthersAreServed) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(),
                          {"--api-key", "key", "--app-slug", "app", "--threads", "2",
                           "--header-timeout-ms", "1000", "--body-timeout-ms", "1000"});
  const std::vector<TrickleCase> cases = {
      {"head", "GET /go HTTP/1.1\r\nX-Slow: ", "HTTP/1.1 408 Request Timeout"},
      {"body",
       "POST /v1/events HTTP/1.1\r\nAuthorization: Bearer key\r\nContent-Type: "
       "application/json\r\nContent-Length: 100000\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
  };
  constexpr int kClientsPerCase = 8;
  std::vector<std::string> replies(cases.size() * kClientsPerCase);
  std::vector<std::thread> clients;
  for (std::size_t i = 0; i < replies.size(); ++i) {
    clients.emplace_back(
        [&, i] { replies[i] = trickle(server.port(), cases[i % cases.size()].head, "aaaaaaaa"); });
  }
  Kit kit(server, "key");
  auto answered = kit.get("/v1/api/sdk/application");
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->status, 200);
  for (auto& client : clients) client.join();
  for (std::size_t i = 0; i < replies.size(); ++i) {
    SCOPED_TRACE(cases[i % cases.size()].name);
    EXPECT_EQ(replies[i].substr(0, replies[i].find("\r\n")), cases[i % cases.size()].statusLine);
  }
}

TEST(DevServerConnections, SixtyFourSlowViewersLeaveRoomForShareCyclesAndTheApi) {
  constexpr int kViewers = 64;
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(), {"--api-key", "key", "--app-slug", "app"});
  Kit kit(server, "key");
  ShareFiles files{randomBytes(4 << 20), randomBytes(1000)};
  auto video = pathAndQuery(kit.publish(files).link) + "/video";

  // Each viewer reads about 20 KB a second and holds its connection until
  // told to stop.
  std::atomic<bool> stopViewing{false};
  std::vector<std::atomic<std::size_t>> received(kViewers);
  std::vector<std::jthread> viewers;
  for (int i = 0; i < kViewers; ++i) {
    viewers.emplace_back([&, i] {
      int fd = connectTo(server.port(), 4096);
      if (fd < 0) return;
      sendAll(fd, "GET " + video + " HTTP/1.1\r\nHost: localhost\r\n\r\n");
      char buffer[2048];
      while (!stopViewing) {
        ssize_t count = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count == 0) break;
        if (count > 0) received[i] += static_cast<std::size_t>(count);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      close(fd);
    });
  }
  // Declared after the viewers: on the way out they are told to stop
  // before they are joined.
  struct StopViewing {
    std::atomic<bool>& flag;
    ~StopViewing() { flag = true; }
  } stopOnExit{stopViewing};

  ASSERT_TRUE(waitUntil(
      [&] {
        return std::all_of(received.begin(), received.end(), [](auto& count) { return count > 0; });
      },
      std::chrono::seconds(30)));

  httplib::Client api(server.baseURL().substr(0, server.baseURL().size() - 1));
  api.set_connection_timeout(std::chrono::seconds(5));
  api.set_read_timeout(std::chrono::seconds(5));
  for (int cycle = 0; cycle < 3; ++cycle) {
    auto share = kit.publish({randomBytes(200000), randomBytes(1000)});
    EXPECT_FALSE(share.token.empty());
    auto settings = api.Get("/v1/api/sdk/application", {{"Authorization", "Bearer key"}});
    ASSERT_TRUE(settings) << httplib::to_string(settings.error());
    EXPECT_EQ(settings->status, 200);
  }
  for (auto& count : received) EXPECT_LT(count.load(), files.video.size());

  // The viewers are still attached: stopping closes their connections.
  ASSERT_TRUE(endsOnSigterm(server, std::chrono::seconds(20)));
  EXPECT_EQ(server.stop(), 0);
}

TEST(DevServerConnections, FileBodiesBeyondTheirLimitAreAnsweredBusyUntilOneEnds) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(),
                          {"--api-key", "key", "--app-slug", "app", "--max-media-streams", "1"});
  Kit kit(server, "key");
  ShareFiles files{randomBytes(4 << 20), randomBytes(1000)};
  auto link = pathAndQuery(kit.publish(files).link);
  int viewer = connectTo(server.port(), 4096);
  ASSERT_GE(viewer, 0);
  sendAll(viewer, "GET " + link + "/video HTTP/1.1\r\nHost: localhost\r\n\r\n");
  char first = 0;
  ASSERT_EQ(recv(viewer, &first, 1, 0), 1);

  auto busy = kit.client().Get(link + "/preview");
  ASSERT_TRUE(busy);
  EXPECT_EQ(busy->status, 503);
  EXPECT_EQ(busy->get_header_value("Retry-After"), "1");
  EXPECT_EQ(kit.client().Get(link)->status, 200);

  close(viewer);
  EXPECT_TRUE(waitUntil([&] {
    auto preview = kit.client().Get(link + "/preview");
    return preview && preview->status == 200 && preview->body == files.preview;
  }));
}

TEST(DevServerConnections, StoppingDoesNotWaitForTricklingClients) {
  TemporaryDirectory directory;
  DevServerProcess server(directory.path(), {"--threads", "2"});
  std::vector<int> sockets;
  for (int i = 0; i < 16; ++i) {
    int fd = connectTo(server.port());
    ASSERT_GE(fd, 0);
    sendAll(fd, "GET /go HTTP/1.1\r\nX-Slow: a");
    sockets.push_back(fd);
  }
  bool ended = endsOnSigterm(server, std::chrono::seconds(5));
  for (int fd : sockets) close(fd);
  ASSERT_TRUE(ended);
  EXPECT_EQ(server.stop(), 0);
}

}  // namespace
}  // namespace velmoradine::testing
