// Public pages: share links with their files, the call-to-action page of an
// application, documentation pages and the getting-started page.

#include <array>
#include <regex>

#include "server/context.hpp"
#include "server/http_support.hpp"
#include "server/media.hpp"

namespace velmoradine::devserver {

namespace {

struct PageStyle {
  std::string background = "#101014";
  std::string foreground = "#f4f4f6";
  std::string accent = "#6c5ce7";
};

// Colours come from application registrations and end up inside a style
// element: only plain colour notations get there.
bool isSafeColor(std::string_view color) {
  static const std::regex kColor(R"(#[0-9A-Fa-f]{3,8}|[A-Za-z]{1,32}|rgba?\([0-9., %]{1,40}\))");
  return std::regex_match(color.begin(), color.end(), kColor);
}

std::string page(std::string_view title, std::string_view head, std::string_view body,
                 const PageStyle& style = {}) {
  std::string html = "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + htmlEscape(title) + "</title>\n";
  html += head;
  html += "<style>body{margin:0;font-family:system-ui,sans-serif;background:" + style.background +
          ";color:" + style.foreground +
          "}main{max-width:40rem;margin:0 auto;padding:2rem 1rem}video{width:100%;"
          "max-height:80vh;background:#000;border-radius:12px}a{color:" +
          style.accent + "}code{font-size:.95em}</style>\n";
  html += "</head>\n<body>\n<main>\n";
  html += body;
  html += "</main>\n</body>\n</html>\n";
  return html;
}

void replyPage(httplib::Response& response, int status, std::string html) {
  response.status = status;
  response.set_content(std::move(html), "text/html; charset=utf-8");
}

void replyNotFoundPage(httplib::Response& response, std::string_view what) {
  replyPage(response, 404,
            page("Not found", "", "<h1>Not found</h1>\n<p>" + htmlEscape(what) + "</p>\n"));
}

std::string linkPage(const PublicShare& share, const std::string& base) {
  std::string link = base + "s/" + share.linkId;
  std::string video = htmlEscape(link + "/video");
  std::string preview = htmlEscape(link + "/preview");
  std::string title = htmlEscape(share.title);
  std::string head = "<meta property=\"og:type\" content=\"video.other\">\n";
  head += "<meta property=\"og:title\" content=\"" + title + "\">\n";
  head += "<meta property=\"og:url\" content=\"" + htmlEscape(link) + "\">\n";
  head += "<meta property=\"og:image\" content=\"" + preview + "\">\n";
  head += "<meta property=\"og:image:type\" content=\"image/jpeg\">\n";
  head += "<meta property=\"og:video\" content=\"" + video + "\">\n";
  head += "<meta property=\"og:video:type\" content=\"video/mp4\">\n";
  std::string body = "<video controls playsinline preload=\"metadata\" poster=\"" + preview +
                     "\" src=\"" + video + "\"></video>\n";
  body += "<h1>" + title + "</h1>\n";
  return page(share.title, head, body);
}

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
  return page("Getting started", "", body);
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

  server.Get("/app-cta", [&context](const httplib::Request& request, httplib::Response& response) {
    if (!request.has_param("ref") || request.get_param_value("ref").empty()) {
      replyPage(
          response, 400,
          page("Bad request", "", "<h1>Bad request</h1>\n<p>The page needs ?ref=SLUG.</p>\n"));
      return;
    }
    auto application = context.database.applicationBySlug(request.get_param_value("ref"));
    if (!application) {
      replyNotFoundPage(response, "No application has this slug.");
      return;
    }
    PageStyle style;
    if (application->backgroundColor && isSafeColor(*application->backgroundColor)) {
      style.background = *application->backgroundColor;
    }
    if (application->brandColor && isSafeColor(*application->brandColor)) {
      style.accent = *application->brandColor;
    }
    std::string body = "<h1>" + htmlEscape(application->slug) + "</h1>\n";
    const auto& link = application->ctaLink;
    if (link && (link->starts_with("https://") || link->starts_with("http://"))) {
      body += "<p><a href=\"" + htmlEscape(*link) + "\">Get the app</a></p>\n";
    } else {
      body += "<p>This application has no download link yet.</p>\n";
    }
    replyPage(response, 200, page(application->slug, "", body, style));
  });

  server.Get("/docs", [](const httplib::Request& request, httplib::Response& response) {
    std::string identifier = request.get_param_value("id");
    for (const auto& documentation : kDocumentation) {
      if (documentation.identifier != identifier) continue;
      replyPage(response, 200,
                page(documentation.title, "",
                     "<h1>" + std::string(documentation.title) + "</h1>\n" +
                         std::string(documentation.html)));
      return;
    }
    replyNotFoundPage(response, "There is no documentation page with this identifier.");
  });

  auto go = [&context](const httplib::Request& request, httplib::Response& response) {
    replyPage(response, 200, goPage(context.baseURL(request)));
  };
  server.Get("/go", go);
  server.Get("/", go);
}

}  // namespace velmoradine::devserver
