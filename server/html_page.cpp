#include "server/html_page.hpp"

#include "server/http_support.hpp"

namespace velmoradine::devserver {

namespace {

// Text wraps anywhere rather than widening the page: a title may be one
// word of a thousand letters. The scroll bar's room is kept from the start,
// so a centred column does not jump sideways once the page outgrows the window.
std::string sharedStyle(const PageTheme& theme) {
  return "*,*::before,*::after{box-sizing:border-box}html{scrollbar-gutter:stable}"
         "body{margin:0;font-family:system-ui,sans-serif;line-height:1.45;background:" +
         cssHex(theme.background) + ";color:" + cssHex(theme.text) +
         ";overflow-wrap:anywhere;word-break:break-word}"
         "main{max-width:40rem;margin:0 auto;padding:2rem 1rem}"
         "h1{font-size:1.6rem;line-height:1.25;margin:1rem 0 .5rem}"
         "a{color:" +
         cssHex(theme.link) +
         "}"
         ".cta{display:inline-block;margin:.5rem 0;padding:.75rem 1.5rem;border-radius:999px;"
         "font-weight:600;text-decoration:none;background:" +
         cssHex(theme.buttonBackground) + ";color:" + cssHex(theme.buttonText) +
         "}"
         "code{font-size:.95em}";
}

}  // namespace

std::string renderPage(const HtmlPage& page, const PageTheme& theme) {
  std::string html = "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + htmlEscape(page.title) + "</title>\n";
  // Phones tint their browser's bar to match the page.
  html += "<meta name=\"theme-color\" content=\"" + cssHex(theme.background) + "\">\n";
  if (!page.base.empty()) {
    html += "<link rel=\"icon\" type=\"image/x-icon\" href=\"" + htmlEscape(page.base) +
            "favicon.ico\">\n";
  }
  html += page.head;
  html += "<style>" + sharedStyle(theme) + page.style + "</style>\n";
  html += "</head>\n<body>\n<main>\n";
  html += page.body;
  html += "</main>\n</body>\n</html>\n";
  return html;
}

HtmlPage textPage(std::string title, std::string body, std::string base) {
  return {std::move(title), std::move(base), {}, {}, std::move(body)};
}

PageTheme defaultTheme() {
  return themeFor(std::nullopt, std::nullopt);
}

void replyHtml(httplib::Response& response, int status, std::string html) {
  response.status = status;
  response.set_content(std::move(html), "text/html; charset=utf-8");
}

void replyNotFoundPage(httplib::Response& response, std::string_view what) {
  auto page = textPage("Not found", "<h1>Not found</h1>\n<p>" + htmlEscape(what) + "</p>\n");
  replyHtml(response, 404, renderPage(page, defaultTheme()));
}

}  // namespace velmoradine::devserver
