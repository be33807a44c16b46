#include "server/link_page.hpp"

#include "server/html_page.hpp"
#include "server/http_support.hpp"
#include "server/oembed.hpp"
#include "server/share_view.hpp"

namespace velmoradine::devserver {

namespace {

std::string meta(std::string_view attribute, std::string_view name, std::string_view content) {
  return "<meta " + std::string(attribute) + "=\"" + std::string(name) + "\" content=\"" +
         htmlEscape(content) + "\">\n";
}

std::string property(std::string_view name, std::string_view content) {
  return meta("property", name, content);
}

std::string named(std::string_view name, std::string_view content) {
  return meta("name", name, content);
}

std::string sizeTags(std::string_view attribute, std::string_view prefix,
                     const std::optional<PixelSize>& size) {
  if (!size) return {};
  return meta(attribute, std::string(prefix) + ":width", std::to_string(size->width)) +
         meta(attribute, std::string(prefix) + ":height", std::to_string(size->height));
}

std::string openGraphTags(const PublicShare& share, const ShareAddresses& addresses, bool secure) {
  std::string title = displayTitle(share);
  std::string tags = property("og:site_name", share.application.slug);
  tags += property("og:type", "video.other");
  tags += property("og:title", title);
  tags += property("og:description", shareDescription(share));
  tags += property("og:url", addresses.page);
  tags += property("og:image", addresses.preview);
  if (secure) tags += property("og:image:secure_url", addresses.preview);
  tags += property("og:image:type", "image/jpeg");
  tags += sizeTags("property", "og:image", share.previewSize);
  tags += property("og:image:alt", "A frame of the video: " + title);
  tags += property("og:video", addresses.video);
  if (secure) tags += property("og:video:secure_url", addresses.video);
  tags += property("og:video:type", "video/mp4");
  tags += sizeTags("property", "og:video", share.videoSize);
  return tags;
}

std::string playerCardTags(const PublicShare& share, const ShareAddresses& addresses) {
  std::string title = displayTitle(share);
  std::string tags = named("twitter:card", "player");
  tags += named("twitter:title", title);
  tags += named("twitter:description", shareDescription(share));
  tags += named("twitter:image", addresses.preview);
  tags += named("twitter:image:alt", "A frame of the video: " + title);
  tags += named("twitter:player", addresses.embed);
  tags += sizeTags("name", "twitter:player", share.videoSize);
  tags += named("twitter:player:stream", addresses.video);
  tags += named("twitter:player:stream:content_type", "video/mp4");
  return tags;
}

std::string headTags(const PublicShare& share, std::string_view base,
                     const ShareAddresses& addresses) {
  std::string tags = "<link rel=\"canonical\" href=\"" + htmlEscape(addresses.page) + "\">\n";
  tags += "<link rel=\"alternate\" type=\"application/json+oembed\" href=\"" +
          htmlEscape(oembedAddress(base, addresses.page)) + "\" title=\"" +
          htmlEscape(displayTitle(share)) + "\">\n";
  tags += named("description", shareDescription(share));
  tags += openGraphTags(share, addresses, base.starts_with("https://"));
  tags += playerCardTags(share, addresses);
  return tags;
}

// The video's own width and height reserve its box before anything loads;
// the box keeps the video's aspect ratio and fits the viewport's height.
std::string videoElement(const PublicShare& share, const ShareAddresses& addresses,
                         std::string_view attributes) {
  std::string size;
  if (share.videoSize) {
    size = " width=\"" + std::to_string(share.videoSize->width) + "\" height=\"" +
           std::to_string(share.videoSize->height) + "\"";
  }
  return "<video class=\"player\" src=\"" + htmlEscape(addresses.video) + "\" poster=\"" +
         htmlEscape(addresses.preview) + "\"" + size + " " + std::string(attributes) +
         "></video>\n";
}

// The column is as wide as the video at 85% of the viewport's height (a
// portrait video on a desktop is tall, not a small box with bars), so the
// title lines up with the video's edge. svh leaves out the room a phone's
// browser bar may take; older browsers drop that rule and keep the vh one.
// A video of unknown size takes the size of its poster, then its own.
std::string playerStyle(const std::optional<PixelSize>& size) {
  std::string player = ".player{display:block;background:#000;border-radius:12px;";
  if (!size) {
    return "main{max-width:60rem}" + player +
           "margin:0 auto;width:auto;height:auto;max-width:100%;max-height:85vh}";
  }
  std::string ratio = std::to_string(size->width) + "/" + std::to_string(size->height);
  auto column = [&ratio](std::string_view unit) {
    return "width:min(100%,calc(85" + std::string(unit) + "*" + ratio + " + 2rem));";
  };
  return "main{max-width:60rem;" + column("vh") + column("svh") + "}" + player +
         "width:100%;height:auto;aspect-ratio:" + ratio + "}";
}

std::string linkBody(const PublicShare& share, const ShareAddresses& addresses) {
  std::string body = videoElement(share, addresses,
                                  "playsinline muted autoplay loop controls preload=\"metadata\"");
  std::string title = displayTitle(share);
  body += "<h1 dir=\"auto\">" + htmlEscape(title) + "</h1>\n";
  // A fallback title names the application already.
  if (title == share.title) {
    body +=
        "<p>Shared from <span dir=\"auto\">" + htmlEscape(share.application.slug) + "</span></p>\n";
  }
  const auto& cta = share.application.ctaLink;
  if (cta && isWebAddress(*cta)) {
    body += "<p><a class=\"cta\" href=\"" + htmlEscape(*cta) + "\">Get the app</a></p>\n";
  }
  return body;
}

}  // namespace

std::string linkPage(const PublicShare& share, std::string_view base) {
  auto addresses = shareAddresses(base, share.linkId);
  HtmlPage page{.title = displayTitle(share),
                .base = std::string(base),
                .head = headTags(share, base, addresses),
                .style = playerStyle(share.videoSize),
                .body = linkBody(share, addresses)};
  const auto& application = share.application;
  return renderPage(page, themeFor(application.brandColor, application.backgroundColor));
}

std::string embedPage(const PublicShare& share, std::string_view base) {
  auto addresses = shareAddresses(base, share.linkId);
  std::string html = "<!doctype html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
  html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  html += "<title>" + htmlEscape(displayTitle(share)) + "</title>\n";
  html += "<link rel=\"canonical\" href=\"" + htmlEscape(addresses.page) + "\">\n";
  html +=
      "<style>html,body{margin:0;height:100%;background:#000;overflow:hidden}"
      ".player{display:block;width:100%;height:100%;object-fit:contain}</style>\n";
  html += "</head>\n<body>\n";
  html += videoElement(share, addresses,
                       "playsinline muted autoplay loop controls preload=\"metadata\"");
  html += "</body>\n</html>\n";
  return html;
}

}  // namespace velmoradine::devserver
