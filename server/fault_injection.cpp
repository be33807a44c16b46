#include "server/fault_injection.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <filesystem>
#include <string>
#include <thread>

#include "server/http_support.hpp"

namespace velmoradine::devserver {

namespace {

// SplitMix64: a good spread of bits from consecutive inputs.
std::uint64_t mix(std::uint64_t value) {
  value += 0x9e3779b97f4a7c15ULL;
  value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
  value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
  return value ^ (value >> 31);
}

std::string addressText(const sockaddr_storage& address, int& port) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text);
    port = ntohs(ipv4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text);
    port = ntohs(ipv6.sin6_port);
  }
  return text;
}

// The HTTP library does not hand its handlers the connection's socket, so
// the socket is found among the process's descriptors by its two endpoints
// and shut down: the client sees the connection end without any reply.
// Other threads open and close descriptors meanwhile, so each one is only
// asked for its endpoints (which fails for anything but a connected socket)
// and never otherwise used: the one that matches is this request's own
// connection, which no other thread closes while its request is handled.
bool shutDownConnection(const httplib::Request& request) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    int descriptor = 0;
    try {
      descriptor = std::stoi(entry.path().filename().string());
    } catch (const std::exception&) {
      continue;
    }
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
    int peerPort = -1;
    if (addressText(peer, peerPort) != request.remote_addr || peerPort != request.remote_port) {
      continue;
    }
    sockaddr_storage local{};
    length = sizeof local;
    if (getsockname(descriptor, reinterpret_cast<sockaddr*>(&local), &length) != 0) continue;
    int localPort = -1;
    addressText(local, localPort);
    if (localPort != request.local_port) continue;
    return ::shutdown(descriptor, SHUT_RDWR) == 0;
  }
  return false;
}

}  // namespace

bool FaultInjector::matches(std::string_view method, std::string_view path) const {
  std::string_view route = options_.route;
  if (route.empty()) return true;
  if (auto space = route.find(' '); space != std::string_view::npos) {
    if (route.substr(0, space) != method) return false;
    route.remove_prefix(space + 1);
  }
  if (route.ends_with('*')) return path.starts_with(route.substr(0, route.size() - 1));
  return path == route;
}

FaultInjector::Decision FaultInjector::decisionAt(std::uint64_t index) const {
  Decision decision{.delay = std::chrono::milliseconds(options_.delayMilliseconds)};
  // 53 random bits make a uniform fraction in [0, 1).
  double draw = static_cast<double>(mix(options_.seed ^ mix(index)) >> 11) * 0x1.0p-53;
  if (draw < options_.dropRate) {
    decision.action = Action::drop;
  } else if (draw < options_.dropRate + options_.rate) {
    decision.action = Action::respond;
  }
  return decision;
}

FaultInjector::Decision FaultInjector::decide(std::string_view method, std::string_view path) {
  if (!options_.active() || !matches(method, path)) return {};
  return decisionAt(counter_.fetch_add(1));
}

bool FaultInjector::apply(const httplib::Request& request, httplib::Response& response) {
  Decision decision = decide(request.method, request.path);
  if (decision.delay.count() > 0) std::this_thread::sleep_for(decision.delay);
  switch (decision.action) {
    case Action::none:
      return false;
    case Action::respond:
      replyErrorAndClose(response, options_.status, "injected_fault",
                         "This reply was chosen by the devserver's fault injection.");
      return true;
    case Action::drop:
      if (!shutDownConnection(request)) {
        // Without the socket, the next best thing: headers that promise a
        // body which never comes.
        response.set_content_provider(
            1, "application/octet-stream",
            [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
      }
      response.status = 500;
      return true;
  }
  return false;
}

}  // namespace velmoradine::devserver
