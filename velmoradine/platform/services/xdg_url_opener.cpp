#include "velmoradine/platform/services/xdg_url_opener.hpp"

#include <algorithm>
#include <array>

#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/services/application_database.hpp"
#include "velmoradine/platform/services/desktop_process.hpp"
#include "velmoradine/platform/services/desktop_services_error.hpp"
#include "velmoradine/platform/services/xdg_base_directories.hpp"

namespace velmoradine {
namespace {

constexpr std::array<std::string_view, 4> kSystemSchemes = {"http", "https", "mailto", "file"};

bool hostDeclaresQueries(const std::string& scheme) {
  if (std::ranges::find(kSystemSchemes, scheme) != kSystemSchemes.end()) return true;
  const PropertyList* declared =
      Bundle::main().infoDictionary().find("LSApplicationQueriesSchemes");
  const PropertyList::Array* schemes = declared ? declared->array() : nullptr;
  if (!schemes) return false;
  return std::ranges::any_of(*schemes, [&](const PropertyList& value) {
    return value.string() && xdg::asciiLowercased(*value.string()) == scheme;
  });
}

std::vector<std::string> handlerTypes(const std::string& scheme) {
  if (scheme == "https") return {"x-scheme-handler/https", "x-scheme-handler/http", "text/html"};
  if (scheme == "http") return {"x-scheme-handler/http", "text/html"};
  return {"x-scheme-handler/" + scheme};
}

std::string schemeOf(std::string_view uri) {
  const auto colon = uri.find(':');
  return colon == std::string_view::npos ? std::string()
                                         : xdg::asciiLowercased(uri.substr(0, colon));
}

}  // namespace

std::optional<DesktopEntry> XDGURLOpener::handlerForScheme(std::string_view scheme) {
  if (scheme.empty()) return std::nullopt;
  const ApplicationDatabase database;
  for (const auto& type : handlerTypes(xdg::asciiLowercased(scheme))) {
    if (auto handler = database.defaultApplication(type)) return handler;
  }
  return std::nullopt;
}

Result<void> XDGURLOpener::openURI(const std::string& uri) {
  const std::string scheme = schemeOf(uri);
  const auto handler = handlerForScheme(scheme);
  if (!handler) {
    return failure(Error(DesktopServicesError::noApplication, "x-scheme-handler/" + scheme));
  }
  return desktop_process::launch(*handler, {uri});
}

bool XDGURLOpener::canOpenURL(const URL& url) {
  if (!hostDeclaresQueries(url.scheme())) {
    console::writeLine("-canOpenURL: failed for URL: \"" + url.absoluteString() +
                       "\" - error: \"This app is not allowed to query for scheme " + url.scheme() +
                       "\"");
    return false;
  }
  return handlerForScheme(url.scheme()).has_value();
}

void XDGURLOpener::open(const URL& url, std::function<void(bool)> completion) {
  DispatchQueue::global()->async([url, completion = std::move(completion)]() mutable {
    const auto opened = openURI(url.absoluteString());
    if (!opened) {
      console::writeLine("Unable to open " + url.absoluteString() + ": " +
                         opened.error().localizedDescription());
    }
    DispatchQueue::main()->async(
        [completion = std::move(completion), started = opened.has_value()] {
          if (completion) completion(started);
        });
  });
}

}  // namespace velmoradine
