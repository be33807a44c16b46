#include "server/app_cta_page.hpp"

#include "server/html_page.hpp"
#include "server/http_support.hpp"
#include "server/share_view.hpp"

namespace velmoradine::devserver {

std::string appCtaPage(const Application& application, std::string_view base) {
  std::string body = "<h1 dir=\"auto\">" + htmlEscape(application.slug) + "</h1>\n";
  const auto& link = application.ctaLink;
  if (link && isWebAddress(*link)) {
    body += "<p><a class=\"cta\" href=\"" + htmlEscape(*link) + "\">Get the app</a></p>\n";
  } else {
    body += "<p>This application has no download link yet.</p>\n";
  }
  auto page = textPage(application.slug, body, std::string(base));
  return renderPage(page, themeFor(application.brandColor, application.backgroundColor));
}

}  // namespace velmoradine::devserver
