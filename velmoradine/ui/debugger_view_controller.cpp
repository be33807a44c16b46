#include "velmoradine/ui/debugger_view_controller.hpp"

#include "velmoradine/network/network.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_view.hpp"
#include "velmoradine/ui/kit_pages.hpp"

namespace velmoradine {
namespace {

const Rect kLabelFrame(0, 0, 100, 100);
constexpr double kLinkSpacing = 100;

std::shared_ptr<UILabel> makeLabel() {
  auto label = std::make_shared<UILabel>(kLabelFrame);
  label->setFont(Font("systemFont-Bold", 50));
  label->setTranslatesAutoresizingMaskIntoConstraints(false);
  return label;
}

}  // namespace

const DebugViewControllerProviders& DebugViewControllerProviders::defaultProviders() {
  // Never destroyed: an upload in flight on the network thread may outlive
  // the process's static destructors.
  static const auto& providers = *new DebugViewControllerProviders{std::make_shared<Network>()};
  return providers;
}

DebuggerViewController::DebuggerViewController(UGCContext context,
                                               DebugViewControllerProviders providers)
    : providers_(std::move(providers)), context_(std::move(context)) {}

std::shared_ptr<DebuggerViewController> DebuggerViewController::make(
    UGCContext context, DebugViewControllerProviders providers) {
  auto controller =
      std::make_shared<DebuggerViewController>(std::move(context), std::move(providers));
  controller->uploadContext();
  return controller;
}

void DebuggerViewController::uploadContext() {
  auto self = std::static_pointer_cast<DebuggerViewController>(shared_from_this());
  providers_.network->uploadContext(
      context_, [self = std::move(self)](Result<ContextResponse> reply) mutable {
        DispatchQueue::main()->async([self = std::move(self), reply = std::move(reply)] {
          if (reply) {
            self->showCode(reply->code);
          } else {
            console::writeLine("Something went wrong: " + reply.error().localizedDescription());
          }
        });
      });
}

void DebuggerViewController::showCode(const std::string& code) {
  codeReceived_ = true;
  codeView()->setText(code);
  codeView()->setHidden(false);
}

const std::shared_ptr<UILabel>& DebuggerViewController::codeView() {
  if (!codeView_) codeView_ = makeLabel();
  return codeView_;
}

const std::shared_ptr<UILabel>& DebuggerViewController::openLinkView() {
  if (!openLinkView_) {
    openLinkView_ = makeLabel();
    openLinkView_->setText("Please visit \n" +
                           getStartedAddress(Network::defaultBaseURL()).value_or("") +
                           " \n to get started!");
  }
  return openLinkView_;
}

std::optional<std::string> DebuggerViewController::getStartedAddress(
    const Result<URL>& apiBaseURL) {
  if (!apiBaseURL) return std::nullopt;
  return kitPagesOrigin(*apiBaseURL).transform([](std::string origin) { return origin + "/go"; });
}

void DebuggerViewController::viewDidLoad() {
  view()->setBackgroundColor(Color::rgba(0.5, 0.5, 0.5));
  view()->addSubview(codeView());
  view()->addSubview(openLinkView());
  // A reply can come before the screen loads; its code stays shown.
  codeView()->setHidden(!codeReceived_);
  addConstraints();
}

void DebuggerViewController::addConstraints() {
  const auto& root = view();
  NSLayoutConstraint::activate({
      codeView()->centerXAnchor().constraintEqualTo(root->centerXAnchor()),
      codeView()->centerYAnchor().constraintEqualTo(root->centerYAnchor()),
      openLinkView()->topAnchor().constraintEqualTo(codeView()->bottomAnchor(), kLinkSpacing),
      openLinkView()->centerXAnchor().constraintEqualTo(codeView()->centerXAnchor()),
  });
}

void debug(const UGCContext& context, const std::shared_ptr<UIViewController>& viewController) {
  viewController->present(DebuggerViewController::make(context), true);
}

}  // namespace velmoradine
