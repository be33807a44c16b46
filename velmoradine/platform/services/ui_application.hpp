#pragma once

// The host application as the kit sees it: the one object through which URLs
// are opened. It forwards to the installed `SystemServices`, so substituting
// those substitutes what it opens.
//
// Threading: callable from any thread; `open`'s completion runs on the main
// queue.

#include <functional>

#include "velmoradine/platform/foundation/url.hpp"

namespace velmoradine {

class UIApplication {
 public:
  static UIApplication& shared();

  bool canOpenURL(const URL& url) const;
  void open(const URL& url, std::function<void(bool opened)> completion = {}) const;
  // The page where the user changes what the host may do.
  URL openSettingsURL() const;

 private:
  UIApplication() = default;
};

}  // namespace velmoradine
