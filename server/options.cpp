#include "server/options.hpp"

#include <charconv>
#include <cmath>
#include <functional>
#include <map>

namespace velmoradine::devserver {

namespace {

template <typename Integer>
std::optional<Integer> parseInteger(std::string_view text) {
  Integer value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> parseFraction(std::string_view text) {
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  if (!std::isfinite(value) || value < 0 || value > 1) return std::nullopt;
  return value;
}

bool isValidSlug(std::string_view slug) {
  if (slug.empty() || slug.size() > 64) return false;
  for (char c : slug) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string usage() {
  return R"(usage: velmoradine-devserver --data-dir DIR [options]

  --data-dir DIR            database (DIR/devserver.sqlite3) and stored files
  --host HOST               address to listen on (default 127.0.0.1)
  --port PORT               port to listen on; 0 picks a free one (default 0)
  --api-key KEY             register (or update) an application with this key;
                            may be repeated, the flags below apply to the last one
    --app-slug SLUG           its slug (required with --api-key)
    --cta-link URL            its call-to-action link
    --brand-color COLOR       its brand colour
    --background-color COLOR  its background colour
  --public-url URL          base of links and upload addresses (default: the
                            Host of each request)
  --upload-ttl SECONDS      how long an upload address stays valid (default 3600)
  --max-upload-bytes N      largest file a share may announce (default 1073741824)
  --threads N               worker threads started up front (default 16); more
                            start on demand, one per connection
  --max-connections N       connections served at once (default 1024)
  --max-media-streams N     video and preview replies sent at once; more get
                            503 (default 256)
  --header-timeout-ms MS    deadline for a request's headers (default 10000)
  --body-timeout-ms MS      deadline for a request body, plus one second per
                            64 KiB received (default 30000)
  --write-timeout-ms MS     a reply that cannot send for this long is dropped
                            (default 30000)
  --fault-seed N            seed of the fault decisions (default 0)
  --fault-delay-ms N        delay every matching reply by N milliseconds
  --fault-status CODE       status of injected failures
  --fault-rate F            fraction (0..1) of matching requests answered with
                            --fault-status
  --fault-drop-rate F       fraction (0..1) of matching requests whose connection
                            is closed without a reply
  --fault-route ROUTE       limit faults to "[METHOD ]PATH", PATH ending in * for
                            a prefix (default: every request)
  --help                    this text

Prints the base URL on standard output once it accepts connections; stops on
SIGINT or SIGTERM.
)";
}

std::expected<Options, std::string> parseOptions(std::span<const std::string_view> arguments) {
  Options options;
  bool sawDataDirectory = false;
  bool sawFaultStatus = false;

  auto currentApplication =
      [&](std::string_view flag) -> std::expected<ApplicationRegistration*, std::string> {
    if (options.applications.empty()) {
      return std::unexpected(std::string(flag) + " must follow --api-key");
    }
    return &options.applications.back();
  };

  using Setter =
      std::function<std::optional<std::string>(std::string_view flag, std::string_view value)>;
  auto applicationText = [&](std::optional<std::string> ApplicationRegistration::*field) {
    return [&, field](std::string_view flag, std::string_view value) -> std::optional<std::string> {
      auto application = currentApplication(flag);
      if (!application) return application.error();
      (*application)->*field = std::string(value);
      return std::nullopt;
    };
  };
  auto fraction = [&](double FaultOptions::*field) {
    return [&, field](std::string_view flag, std::string_view value) -> std::optional<std::string> {
      auto parsed = parseFraction(value);
      if (!parsed)
        return std::string(flag) + " takes a number between 0 and 1, not \"" + std::string(value) +
               "\"";
      options.faults.*field = *parsed;
      return std::nullopt;
    };
  };
  auto count = [&](int ConnectionOptions::*field, int lowest, int highest) {
    return [&, field, lowest, highest](std::string_view flag,
                                       std::string_view value) -> std::optional<std::string> {
      auto parsed = parseInteger<int>(value);
      if (!parsed || *parsed < lowest || *parsed > highest)
        return std::string(flag) + " takes a count between " + std::to_string(lowest) + " and " +
               std::to_string(highest);
      options.connections.*field = *parsed;
      return std::nullopt;
    };
  };
  auto milliseconds = [&](std::chrono::milliseconds ConnectionOptions::*field) {
    return [&, field](std::string_view flag, std::string_view value) -> std::optional<std::string> {
      auto parsed = parseInteger<std::int64_t>(value);
      if (!parsed || *parsed < 1 || *parsed > 3600000)
        return std::string(flag) + " takes milliseconds between 1 and 3600000";
      options.connections.*field = std::chrono::milliseconds(*parsed);
      return std::nullopt;
    };
  };

  const std::map<std::string_view, Setter> setters = {
      {"--data-dir",
       [&](std::string_view, std::string_view value) -> std::optional<std::string> {
         if (value.empty()) return "--data-dir needs a directory";
         options.dataDirectory = std::filesystem::path(value);
         sawDataDirectory = true;
         return std::nullopt;
       }},
      {"--host",
       [&](std::string_view, std::string_view value) -> std::optional<std::string> {
         if (value.empty()) return "--host needs an address";
         options.host = std::string(value);
         return std::nullopt;
       }},
      {"--port",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto port = parseInteger<int>(value);
         if (!port || *port < 0 || *port > 65535)
           return std::string(flag) + " takes a port between 0 and 65535";
         options.port = *port;
         return std::nullopt;
       }},
      {"--api-key",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         if (value.empty()) return std::string(flag) + " needs a non-empty key";
         ApplicationRegistration registration;
         registration.apiKey = std::string(value);
         options.applications.push_back(std::move(registration));
         return std::nullopt;
       }},
      {"--app-slug",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto application = currentApplication(flag);
         if (!application) return application.error();
         if (!isValidSlug(value)) {
           return "--app-slug takes 1 to 64 letters, digits, '-', '_' or '.', not \"" +
                  std::string(value) + "\"";
         }
         (*application)->slug = std::string(value);
         return std::nullopt;
       }},
      {"--cta-link", applicationText(&ApplicationRegistration::ctaLink)},
      {"--brand-color", applicationText(&ApplicationRegistration::brandColor)},
      {"--background-color", applicationText(&ApplicationRegistration::backgroundColor)},
      {"--public-url",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         if (!value.starts_with("http://") && !value.starts_with("https://")) {
           return std::string(flag) + " takes an http:// or https:// address";
         }
         std::string url(value);
         if (!url.ends_with('/')) url += '/';
         options.publicURL = url;
         return std::nullopt;
       }},
      {"--upload-ttl",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto seconds = parseInteger<std::int64_t>(value);
         if (!seconds || *seconds < 0 || *seconds > 366LL * 24 * 3600) {
           return std::string(flag) + " takes a number of seconds between 0 and one year";
         }
         options.uploadTimeToLiveSeconds = *seconds;
         return std::nullopt;
       }},
      {"--max-upload-bytes",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto bytes = parseInteger<std::uint64_t>(value);
         if (!bytes || *bytes > (std::uint64_t{1} << 40))
           return std::string(flag) + " takes a byte count up to 2^40";
         options.maxUploadBytes = *bytes;
         return std::nullopt;
       }},
      {"--threads",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto threads = parseInteger<int>(value);
         if (!threads || *threads < 1 || *threads > 256)
           return std::string(flag) + " takes a count between 1 and 256";
         options.threads = *threads;
         return std::nullopt;
       }},
      {"--max-connections", count(&ConnectionOptions::maxConnections, 1, 65536)},
      {"--max-media-streams", count(&ConnectionOptions::maxMediaStreams, 1, 65536)},
      {"--header-timeout-ms", milliseconds(&ConnectionOptions::headerTimeout)},
      {"--body-timeout-ms", milliseconds(&ConnectionOptions::bodyTimeout)},
      {"--write-timeout-ms", milliseconds(&ConnectionOptions::writeTimeout)},
      {"--fault-seed",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto seed = parseInteger<std::uint64_t>(value);
         if (!seed) return std::string(flag) + " takes a non-negative integer";
         options.faults.seed = *seed;
         return std::nullopt;
       }},
      {"--fault-delay-ms",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto delay = parseInteger<std::int64_t>(value);
         if (!delay || *delay < 0 || *delay > 600000)
           return std::string(flag) + " takes milliseconds between 0 and 600000";
         options.faults.delayMilliseconds = *delay;
         return std::nullopt;
       }},
      {"--fault-status",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         auto status = parseInteger<int>(value);
         if (!status || *status < 200 || *status > 599)
           return std::string(flag) + " takes an HTTP status between 200 and 599";
         options.faults.status = *status;
         sawFaultStatus = true;
         return std::nullopt;
       }},
      {"--fault-rate", fraction(&FaultOptions::rate)},
      {"--fault-drop-rate", fraction(&FaultOptions::dropRate)},
      {"--fault-route",
       [&](std::string_view flag, std::string_view value) -> std::optional<std::string> {
         if (value.empty()) return std::string(flag) + " needs a route";
         options.faults.route = std::string(value);
         return std::nullopt;
       }},
  };

  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view flag = arguments[i];
    if (flag == "--help" || flag == "-h") {
      options.help = true;
      return options;
    }
    auto setter = setters.find(flag);
    if (setter == setters.end())
      return std::unexpected("unknown option \"" + std::string(flag) + "\"");
    if (i + 1 >= arguments.size()) return std::unexpected(std::string(flag) + " needs a value");
    if (auto problem = setter->second(flag, arguments[++i])) return std::unexpected(*problem);
  }

  if (!sawDataDirectory) return std::unexpected(std::string("--data-dir is required"));
  for (const auto& application : options.applications) {
    if (application.slug.empty()) {
      return std::unexpected(std::string("every --api-key needs an --app-slug"));
    }
  }
  if (options.faults.rate > 0 && !sawFaultStatus) {
    return std::unexpected(std::string("--fault-rate needs --fault-status"));
  }
  if (options.faults.rate + options.faults.dropRate > 1) {
    return std::unexpected(std::string("--fault-rate and --fault-drop-rate add up to more than 1"));
  }
  return options;
}

}  // namespace velmoradine::devserver
