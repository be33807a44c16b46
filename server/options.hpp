#pragma once

// The devserver's command line.

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmoradine::devserver {

// One application to register (or update) at start-up.
struct ApplicationRegistration {
  std::string apiKey;
  std::string slug;
  std::optional<std::string> ctaLink;
  std::optional<std::string> brandColor;
  std::optional<std::string> backgroundColor;
};

// Faults to inject for reliability tests; all off by default.
struct FaultOptions {
  std::uint64_t seed = 0;
  // Every matching reply waits this long first.
  std::int64_t delayMilliseconds = 0;
  // This fraction of matching requests is answered with `status`.
  double rate = 0;
  int status = 0;
  // This fraction of matching requests loses its connection without a reply.
  double dropRate = 0;
  // Which requests the faults apply to: empty for all, else an optional
  // method and a path ("POST /v1/api/sdk/share"), a trailing "*" matching any
  // path with that prefix ("/v1/storage/*").
  std::string route;

  bool active() const { return delayMilliseconds > 0 || rate > 0 || dropRate > 0; }
};

// How connections are served: limits that keep slow or hostile clients from
// holding the threads other requests need.
struct ConnectionOptions {
  // Connections served at once; each has its own thread, started on demand.
  int maxConnections = 1024;
  // Video and preview bodies sent at once; more are answered 503.
  int maxMediaStreams = 256;
  // A request's headers must arrive within this time of its first byte (a
  // new connection must also send that byte within it).
  std::chrono::milliseconds headerTimeout{10000};
  // A request body may take this long plus one second for every
  // `bodyMinBytesPerSecond` bytes that arrived.
  std::chrono::milliseconds bodyTimeout{30000};
  std::uint64_t bodyMinBytesPerSecond = 64 * 1024;
  // A reply that cannot send any byte for this long is abandoned.
  std::chrono::milliseconds writeTimeout{30000};
  // How long a kept-alive connection may stay idle between requests.
  std::chrono::milliseconds keepAliveTimeout{2000};
};

struct Options {
  std::filesystem::path dataDirectory;
  std::string host = "127.0.0.1";
  int port = 0;
  std::vector<ApplicationRegistration> applications;
  // The address that links and upload plans are built on; without it they
  // use the Host of the request they answer.
  std::optional<std::string> publicURL;
  std::int64_t uploadTimeToLiveSeconds = 3600;
  std::uint64_t maxUploadBytes = std::uint64_t{1} << 30;
  int threads = 16;
  ConnectionOptions connections;
  FaultOptions faults;
  bool help = false;
};

// Parses the arguments after the program name. The error is a one-line
// explanation for the user.
std::expected<Options, std::string> parseOptions(std::span<const std::string_view> arguments);

std::string usage();

}  // namespace velmoradine::devserver
