#pragma once

// The developer's debugger screen: uploads a UGC context to the backend's
// debug endpoint as soon as it is made, and shows the code the backend
// answers with, under a link to the kit's get-started page.
//
// Threading: made and used on the main thread. The upload's reply may come
// on any thread; it is moved to the main queue before it touches a label. A
// pending reply keeps the controller alive until it has run.

#include <memory>
#include <optional>
#include <string>

#include "velmoradine/model/ugc_context.hpp"
#include "velmoradine/network/network_protocols.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/uikit/ui_label.hpp"
#include "velmoradine/platform/uikit/ui_view_controller.hpp"

namespace velmoradine {

struct DebugViewControllerProviders {
  std::shared_ptr<NetworkDebugProtocol> network;

  // One new Network with every default, made on first use and shared by
  // every debugger screen that is given no providers.
  static const DebugViewControllerProviders& defaultProviders();
};

class DebuggerViewController : public UIViewController {
 public:
  // Starts uploading `context` before it returns. On success the code label
  // shows the reply's code; on failure the screen stays as it is and the
  // console gets "Something went wrong: " + the error's description.
  static std::shared_ptr<DebuggerViewController> make(
      UGCContext context,
      DebugViewControllerProviders providers = DebugViewControllerProviders::defaultProviders());

  const DebugViewControllerProviders& providers() const { return providers_; }
  const UGCContext& context() const { return context_; }
  // Both labels are made on first use. The code label is hidden until a code
  // has arrived; the link label's text never changes.
  const std::shared_ptr<UILabel>& codeView();
  const std::shared_ptr<UILabel>& openLinkView();

  void viewDidLoad() override;

  // The get-started page: the origin of the configured API address with the
  // path "/go"; none when the configured address is unusable (the upload
  // then fails and says why).
  static std::optional<std::string> getStartedAddress(const Result<URL>& apiBaseURL);

  // Use `make`: the upload needs the finished shared object.
  DebuggerViewController(UGCContext context, DebugViewControllerProviders providers);

 private:
  void uploadContext();
  void showCode(const std::string& code);
  void addConstraints();

  DebugViewControllerProviders providers_;
  UGCContext context_;
  std::shared_ptr<UILabel> codeView_;
  std::shared_ptr<UILabel> openLinkView_;
  bool codeReceived_ = false;
};

// Presents a debugger screen for `context` on `viewController`, animated,
// with the default providers; the upload starts at once.
//
// Hosts know this as an operation of the context itself. The context is a
// model type, which sits below the user interface and may not name it, so
// the operation lives here, beside the screen it presents, with the context
// as its first argument.
void debug(const UGCContext& context, const std::shared_ptr<UIViewController>& viewController);

}  // namespace velmoradine
