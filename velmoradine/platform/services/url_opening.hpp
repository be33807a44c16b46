#pragma once

// Handing a URL to whatever the desktop has registered for its scheme.
//
// Threading: callable from any thread; `open`'s completion runs on the main
// queue.

#include <functional>

#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

class URLOpening {
 public:
  virtual ~URLOpening() = default;
  // Whether an installed application handles the URL's scheme. Schemes the
  // host did not declare it queries answer false, whatever is installed.
  virtual bool canOpenURL(const URL& url) = 0;
  // Launches the handler; the completion hears whether it started.
  virtual void open(const URL& url, std::function<void(bool opened)> completion) = 0;
};

}  // namespace velmoradine
