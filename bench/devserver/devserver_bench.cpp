// Share cycles against the devserver on loopback: 200 cycles (create, upload
// a 5 MB video and a 50 KB preview, activate both) from 4 concurrent clients,
// then 200 more while 64 slow viewers (20 KB/s each) read a video, and the
// upload path's throughput against a plain write of the same bytes to a file
// on the same disk.

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "bench/support/figures.hpp"
#include "server/crypto.hpp"
#include "server/devserver.hpp"
#include "tests/support/temporary_directory.hpp"

namespace {

using namespace velmoradine::devserver;
using Clock = std::chrono::steady_clock;
using nlohmann::json;

constexpr int kCycles = 200;
constexpr int kClients = 4;
constexpr int kUploadRounds = 20;
constexpr int kWarmUpCycles = 100;
constexpr int kSlowViewers = 64;
// Each viewer takes this many bytes every 100 ms: 20 KB/s.
constexpr std::size_t kViewerBytesPerTick = 2000;
constexpr const char* kApiKey = "bench-key";

double seconds(Clock::duration duration) {
  return std::chrono::duration<double>(duration).count();
}

struct Plan {
  std::string path;
  httplib::Headers headers;
  std::string contentType;
};

Plan planOf(const json& plan) {
  const auto& upload = plan["configurable"]["direct_upload"];
  std::string url = upload["url"];
  Plan result;
  result.path = url.substr(url.find('/', url.find("://") + 3));
  for (const auto& [name, value] : upload["headers"].items()) {
    if (name == "Content-Type") {
      result.contentType = value;
    } else {
      result.headers.emplace(name, value.get<std::string>());
    }
  }
  return result;
}

class Client {
 public:
  explicit Client(const std::string& base) : client_(base) {
    client_.set_keep_alive(true);
    // As libcurl does: without it, Nagle holds each body back behind the
    // headers until the server's delayed acknowledgement.
    client_.set_tcp_nodelay(true);
    client_.set_read_timeout(std::chrono::seconds(60));
    client_.set_write_timeout(std::chrono::seconds(60));
  }

  std::optional<json> createShare(const std::string& video, const std::string& preview) {
    json body = {{"video_content",
                  {{"byte_size", video.size()},
                   {"checksum", md5Base64(video)},
                   {"content_type", "video/mp4"}}},
                 {"preview_image",
                  {{"byte_size", preview.size()},
                   {"checksum", md5Base64(preview)},
                   {"content_type", "image/jpeg"}}},
                 {"shareable", {{"title", "Benchmark"}, {"shareable_type", "video"}}}};
    auto reply = client_.Post("/v1/api/sdk/share", headers_, body.dump(), "application/json");
    if (!reply || reply->status != 200) return std::nullopt;
    return json::parse(reply->body);
  }

  bool upload(const Plan& plan, const std::string& bytes) {
    auto reply = client_.Put(plan.path, plan.headers, bytes, plan.contentType.c_str());
    return reply && reply->status == 200;
  }

  bool activate(const std::string& token, bool video) {
    json body = {
        {"video_content", video}, {"preview_image", !video}, {"shareable_access_token", token}};
    auto reply =
        client_.Post("/v1/api/sdk/share/activate", headers_, body.dump(), "application/json");
    return reply && reply->status == 200;
  }

  bool cycle(const std::string& video, const std::string& preview) {
    auto share = createShare(video, preview);
    if (!share) return false;
    std::string token = (*share)["shareable"]["shareable_access_token"];
    return upload(planOf((*share)["video_content"]), video) &&
           upload(planOf((*share)["preview_image"]), preview) && activate(token, true) &&
           activate(token, false);
  }

 private:
  httplib::Client client_;
  httplib::Headers headers_ = {{"Authorization", std::string("Bearer ") + kApiKey}};
};

struct CycleFigures {
  double cyclesPerSecond = 0;
  double p99Milliseconds = 0;
};

// `cycles` share cycles from kClients clients at once.
CycleFigures runCycles(const std::string& base, const std::string& video,
                       const std::string& preview, std::atomic<int>& failures,
                       int cycles = kCycles) {
  std::atomic<int> next{0};
  std::vector<std::vector<double>> latencies(kClients);
  auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int index = 0; index < kClients; ++index) {
    clients.emplace_back([&, index] {
      Client client(base);
      while (next.fetch_add(1) < cycles) {
        auto cycleStart = Clock::now();
        if (!client.cycle(video, preview)) ++failures;
        latencies[index].push_back(seconds(Clock::now() - cycleStart) * 1000);
      }
    });
  }
  for (auto& client : clients) client.join();
  double elapsed = seconds(Clock::now() - start);

  std::vector<double> all;
  for (const auto& list : latencies) all.insert(all.end(), list.begin(), list.end());
  std::sort(all.begin(), all.end());
  double p99 = all[std::min(all.size() - 1, static_cast<std::size_t>(all.size() * 0.99))];
  return {cycles / elapsed, p99};
}

// Viewers that read `path` at 20 KB/s each, with small receive windows, until
// destroyed.
class SlowViewers {
 public:
  SlowViewers(int port, const std::string& path) {
    for (int i = 0; i < kSlowViewers; ++i) {
      viewers_.emplace_back([this, port, path] { view(port, path); });
    }
  }
  ~SlowViewers() {
    stop_ = true;
    for (auto& viewer : viewers_) viewer.join();
  }
  int attached() const { return attached_.load(); }

 private:
  void view(int port, const std::string& path) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int window = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
            static_cast<ssize_t>(request.size())) {
      ::close(fd);
      return;
    }
    std::array<char, kViewerBytesPerTick> buffer;
    bool counted = false;
    while (!stop_) {
      ssize_t count = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
      if (count == 0) break;
      if (count > 0 && !counted) {
        counted = true;
        ++attached_;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::close(fd);
  }

  std::atomic<bool> stop_{false};
  std::atomic<int> attached_{0};
  std::vector<std::thread> viewers_;
};

// The cycles again while kSlowViewers viewers read a published video.
CycleFigures measureBesideSlowViewers(const std::string& base, int port, const std::string& video,
                                      const std::string& preview, std::atomic<int>& failures) {
  Client publisher(base);
  auto share = publisher.createShare(video, preview);
  if (!share || !publisher.upload(planOf((*share)["video_content"]), video) ||
      !publisher.upload(planOf((*share)["preview_image"]), preview) ||
      !publisher.activate((*share)["shareable"]["shareable_access_token"], true) ||
      !publisher.activate((*share)["shareable"]["shareable_access_token"], false)) {
    ++failures;
    return {};
  }
  std::string link = (*share)["shareable"]["link"];
  SlowViewers viewers(port, link.substr(link.find("/s/")) + "/video");
  auto attachBy = Clock::now() + std::chrono::seconds(60);
  while (viewers.attached() < kSlowViewers && Clock::now() < attachBy) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (viewers.attached() < kSlowViewers) {
    std::fprintf(stderr, "bench_devserver: only %d slow viewers got a reply\n", viewers.attached());
    ++failures;
    return {};
  }
  return runCycles(base, video, preview, failures);
}

// The baseline: the same bytes written to a new file, without fsync, as
// the storage path does. Median seconds of one write.
double fileWriteSeconds(const std::filesystem::path& directory, const std::string& bytes) {
  int round = 0;
  bool failed = false;
  double median = velmoradine::bench::medianSeconds(kUploadRounds, [&] {
    auto path = directory / ("baseline-" + std::to_string(round++));
    int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (descriptor < 0) {
      failed = true;
      return;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
      ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
      if (count <= 0) {
        failed = true;
        break;
      }
      written += static_cast<std::size_t>(count);
    }
    ::close(descriptor);
  });
  return failed ? -1 : median;
}

int run(const std::filesystem::path& directory) {
  Options options;
  options.dataDirectory = directory / "data";
  ApplicationRegistration application;
  application.apiKey = kApiKey;
  application.slug = "bench";
  options.applications.push_back(application);
  DevServer server(options);
  std::string base = server.bind();
  base.pop_back();
  std::thread serving([&server] { server.run(); });

  const std::string video = randomBytes(5 * 1000 * 1000);
  const std::string preview = randomBytes(50 * 1000);

  std::atomic<int> failures{0};
  // The first cycles of a new data directory are slower (its file
  // directories are made, the database grows): both measured runs come after.
  runCycles(base, video, preview, failures, kWarmUpCycles);
  CycleFigures alone = runCycles(base, video, preview, failures);

  CycleFigures beside = measureBesideSlowViewers(base, server.port(), video, preview, failures);

  // Upload throughput alone: one client, the shares made beforehand, the
  // median of single uploads.
  Client client(base);
  std::vector<Plan> plans;
  for (int round = 0; round < kUploadRounds; ++round) {
    auto share = client.createShare(video, preview);
    if (share) plans.push_back(planOf((*share)["video_content"]));
  }
  if (plans.size() != kUploadRounds) ++failures;
  std::size_t plan = 0;
  double uploadSeconds = 0;
  if (!plans.empty()) {
    uploadSeconds = velmoradine::bench::medianSeconds(static_cast<int>(plans.size()), [&] {
      if (!client.upload(plans[plan++], video)) ++failures;
    });
  }
  double writeSeconds = fileWriteSeconds(directory, video);

  server.stop();
  serving.join();

  if (failures.load() > 0 || uploadSeconds <= 0 || writeSeconds <= 0) {
    std::fprintf(stderr, "bench_devserver: %d of the requests failed\n", failures.load());
    return 1;
  }
  velmoradine::bench::printFigure("devserver_cycles_per_s", alone.cyclesPerSecond);
  velmoradine::bench::printFigure("devserver_p99_ms", alone.p99Milliseconds);
  velmoradine::bench::printFigure("devserver_cycles_per_s_slow_readers", beside.cyclesPerSecond);
  velmoradine::bench::printFigure("devserver_p99_ms_slow_readers", beside.p99Milliseconds);
  velmoradine::bench::printFigure("devserver_upload_vs_file_write", writeSeconds / uploadSeconds);
  return 0;
}

}  // namespace

int main() {
  int status = 1;
  try {
    velmoradine::testing::TemporaryDirectory directory;
    status = run(directory.path());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_devserver: %s\n", error.what());
  }
  return status;
}
