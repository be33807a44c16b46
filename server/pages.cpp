// Public pages: share links with their files, embeddable player and oEmbed
// endpoint, the call-to-action page of an application, documentation pages,
// the getting-started page and the site icon. Every miss under /s/ gets the
// HTML 404 page.

#include <array>
#include <charconv>

#include "server/app_cta_page.hpp"
#include "server/context.hpp"
#include "server/favicon.hpp"
#include "server/html_page.hpp"
#include "server/http_support.hpp"
#include "server/link_page.hpp"
#include "server/media.hpp"
#include "server/oembed.hpp"

namespace velmoradine::devserver {

namespace {

struct DocumentationPage {
  std::string_view identifier;
  std::string_view title;
  std::string_view html;
};

constexpr std::array kDocumentation = {
    DocumentationPage{"api_key_not_set", "The API key is not set",
                      "<p>The kit sends every request with the application's API key. Put the "
                      "key under <code>VelmoradineClientId</code> in the host's "
                      "<code>Info.plist</code>, or call <code>configure(apiKey)</code> before the "
                      "first share. A 401 reply means the backend does not know the key: check "
                      "that it is the one the backend registered.</p>\n"},
    DocumentationPage{"unexpected_error", "An unexpected error",
                      "<p>A request to the backend failed or its reply could not be read. The "
                      "log line names the request and the error. Check that "
                      "<code>VelmoradineAPIBaseURL</code> and <code>VelmoradineEventsURL</code> "
                      "point at a running backend, and that the device is online.</p>\n"},
    DocumentationPage{"plist_requirements", "Info.plist requirements are not met",
                      "<p>An outlet was left off the share sheet because the host's "
                      "<code>Info.plist</code> lacks what it needs: the URL schemes it queries "
                      "under <code>LSApplicationQueriesSchemes</code>, its own URL scheme under "
                      "<code>CFBundleURLTypes</code>, or "
                      "<code>NSPhotoLibraryUsageDescription</code>.</p>\n"},
};

std::string goPage(const std::string& base) {
  std::string body = "<h1>Getting started</h1>\n";
  body +=
      "<p>This devserver is a complete backend for the kit: its API, the storage that "
      "uploads go to, the analytics collector and the public link pages.</p>\n";
  body +=
      "<ol>\n<li>Start it with an application: <code>velmoradine-devserver --data-dir DIR "
      "--api-key KEY --app-slug SLUG</code>.</li>\n";
  body +=
      "<li>In the host's <code>Info.plist</code>, set <code>VelmoradineClientId</code> to "
      "KEY, <code>VelmoradineAPIBaseURL</code> to <code>" +
      htmlEscape(base) + "v1/api/sdk/</code> and <code>VelmoradineEventsURL</code> to <code>" +
      htmlEscape(base) + "v1/events</code>.</li>\n";
  body +=
      "<li>Share a video: the link the kit prints opens here once both files are "
      "uploaded.</li>\n</ol>\n";
  return renderPage(textPage("Getting started", body, base), defaultTheme());
}

// A positive integer query parameter, or nothing when absent or not one.
std::optional<int> positiveParameter(const httplib::Request& request, const char* name) {
  if (!request.has_param(name)) return std::nullopt;
  std::string text = request.get_param_value(name);
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
  return value;
}

void replyOembed(const httplib::Request& request, httplib::Response& response,
                 ServerContext& context) {
  std::string format = request.has_param("format") ? request.get_param_value("format") : "json";
  if (format != "json") {
    replyError(response, 501, "format_not_implemented", "Only format=json is served.");
    return;
  }
  if (!request.has_param("url")) {
    replyError(response, 400, "invalid_request", "The endpoint needs ?url=LINK.");
    return;
  }
  std::string base = context.baseURL(request);
  auto linkId = linkIdOfPage(request.get_param_value("url"), base);
  auto share = linkId ? context.database.publicShare(*linkId) : std::nullopt;
  if (!share) {
    replyError(response, 404, "not_found", "The url is not the link of a share here.");
    return;
  }
  replyJson(response, 200,
            oembedReply(*share, base, positiveParameter(request, "maxwidth"),
                        positiveParameter(request, "maxheight")));
}

}  // namespace

void registerPageRoutes(httplib::Server& server, ServerContext& context) {
  static constexpr const char* kLink = R"(/s/([A-Za-z0-9_-]{22}))";

  server.Get(kLink, [&context](const httplib::Request& request, httplib::Response& response) {
    auto share = context.database.publicShare(request.matches[1].str());
    if (!share) {
      replyNotFoundPage(response, "This share does not exist or is not ready yet.");
      return;
    }
    replyRevalidated(request, response, linkPage(*share, context.baseURL(request)),
                     "text/html; charset=utf-8", std::chrono::seconds(60));
  });

  server.Get(std::string(kLink) + "/(video|preview)",
             [&context](const httplib::Request& request, httplib::Response& response) {
               auto share = context.database.publicShare(request.matches[1].str());
               if (!share) {
                 replyNotFoundPage(response, "This share does not exist or is not ready yet.");
                 return;
               }
               const auto& file = request.matches[2] == "video" ? share->video : share->preview;
               if (!serveMedia(request, response, context.storage, context.mediaStreams, file)) {
                 replyNotFoundPage(response, "This file is not available.");
               }
             });

  server.Get(std::string(kLink) + "/embed",
             [&context](const httplib::Request& request, httplib::Response& response) {
               auto share = context.database.publicShare(request.matches[1].str());
               if (!share) {
                 replyNotFoundPage(response, "This share does not exist or is not ready yet.");
                 return;
               }
               replyRevalidated(request, response, embedPage(*share, context.baseURL(request)),
                                "text/html; charset=utf-8", std::chrono::seconds(60));
             });

  // Registered after every route under /s/, which the library tries in order.
  server.Get(R"(/s(/.*)?)", [](const httplib::Request&, httplib::Response& response) {
    replyNotFoundPage(response, "There is no share at this address.");
  });

  server.Get("/oembed", [&context](const httplib::Request& request, httplib::Response& response) {
    replyOembed(request, response, context);
  });

  server.Get("/favicon.ico", [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Cache-Control", "public, max-age=86400");
    response.set_content(faviconIco(), "image/x-icon");
  });

  server.Get("/app-cta", [&context](const httplib::Request& request, httplib::Response& response) {
    if (!request.has_param("ref") || request.get_param_value("ref").empty()) {
      auto page =
          textPage("Bad request", "<h1>Bad request</h1>\n<p>The page needs ?ref=SLUG.</p>\n");
      replyHtml(response, 400, renderPage(page, defaultTheme()));
      return;
    }
    auto application = context.database.applicationBySlug(request.get_param_value("ref"));
    if (!application) {
      replyNotFoundPage(response, "No application has this slug.");
      return;
    }
    replyHtml(response, 200, appCtaPage(*application, context.baseURL(request)));
  });

  server.Get("/docs", [](const httplib::Request& request, httplib::Response& response) {
    std::string identifier = request.get_param_value("id");
    for (const auto& documentation : kDocumentation) {
      if (documentation.identifier != identifier) continue;
      auto page = textPage(
          std::string(documentation.title),
          "<h1>" + std::string(documentation.title) + "</h1>\n" + std::string(documentation.html));
      replyHtml(response, 200, renderPage(page, defaultTheme()));
      return;
    }
    replyNotFoundPage(response, "There is no documentation page with this identifier.");
  });

  auto go = [&context](const httplib::Request& request, httplib::Response& response) {
    replyHtml(response, 200, goPage(context.baseURL(request)));
  };
  server.Get("/go", go);
  server.Get("/", go);
}

}  // namespace velmoradine::devserver
