#pragma once

// Opening URLs with the applications the desktop registered for their
// schemes, as xdg-open does: the default application of
// "x-scheme-handler/<scheme>" in the XDG MIME database (see
// ApplicationDatabase), started with the URL. http and https URLs fall back
// to the http handler, then to the default application for text/html.
//
// As on a phone, `canOpenURL` answers only for schemes the host declared
// under "LSApplicationQueriesSchemes" in its Info.plist (compared without
// regard to case; a value that is not a list of texts declares nothing);
// other probes answer false and log why. The system's own schemes (http,
// https, mailto, file) need no declaration, and `open` is never restricted.
//
// Threading: callable from any thread. `open` looks up and starts the
// handler off the caller's thread; its completion runs on the main queue.

#include <optional>
#include <string_view>

#include "velmoradine/platform/services/desktop_entry.hpp"
#include "velmoradine/platform/services/url_opening.hpp"

namespace velmoradine {

class XDGURLOpener : public URLOpening {
 public:
  bool canOpenURL(const URL& url) override;
  void open(const URL& url, std::function<void(bool opened)> completion) override;

  // The application `open` would start for URLs of `scheme`, read afresh
  // from the XDG environment.
  static std::optional<DesktopEntry> handlerForScheme(std::string_view scheme);
  // Starts the handler of the scheme of `uri` (text, so that URLs without an
  // authority, such as mailto: ones, can be opened too). Blocks briefly.
  static Result<void> openURI(const std::string& uri);
};

}  // namespace velmoradine
