#pragma once

// The frame every public page shares: the document, its head, the shared
// style in the page's theme, and HTML replies, among them the 404 page that
// every miss under the public pages gets. Pure functions, safe from any thread.

#include <httplib.h>

#include <string>
#include <string_view>

#include "server/page_colors.hpp"

namespace velmoradine::devserver {

struct HtmlPage {
  // Plain text, escaped here.
  std::string title;
  // The server's base address; when set, the page names the icon under it.
  std::string base;
  // HTML added to the head.
  std::string head;
  // CSS added after the shared rules.
  std::string style;
  // HTML inside the page's <main>.
  std::string body;
};

std::string renderPage(const HtmlPage& page, const PageTheme& theme);

// A page of a title and a body, without extra head tags or style.
HtmlPage textPage(std::string title, std::string body, std::string base = {});

// The theme of a page that belongs to no application.
PageTheme defaultTheme();

void replyHtml(httplib::Response& response, int status, std::string html);

// A 404 HTML page saying `what` (plain text).
void replyNotFoundPage(httplib::Response& response, std::string_view what);

}  // namespace velmoradine::devserver
