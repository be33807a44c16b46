// How a UGC presents itself for sharing: the share sheet, at once or behind
// a tap-to-share toast, and the live preview the sheet asks for. The plain
// trace lines mark each step on the console, as the kit has always written
// them.

#include "velmoradine/platform/foundation/console.hpp"
#include "velmoradine/ugc/ugc.hpp"
#include "velmoradine/ugc/ugc_presentation.hpp"
#include "velmoradine/ugc/ugc_toast.hpp"
#include "velmoradine/ui/share_sheet_view_controller.hpp"

namespace velmoradine {

void UGC::present(const std::shared_ptr<UIViewController>& viewController,
                  const PresentationStyle& presentationStyle, PresentationCompletion completion) {
  console::writeLine("Before switch");
  if (!presentationStyle.isToast()) {
    presentShareSheet(viewController, std::move(completion));
    return;
  }
  console::writeLine("Before dispatch");
  DispatchQueue::main()->async([self = shared_from_this(), viewController,
                                message = *presentationStyle.message(),
                                completion = std::move(completion)] {
    console::writeLine("After dispatch");
    // The toast lives in the host's view, which owns it: it holds the host
    // weakly so that the two do not keep each other alive.
    std::weak_ptr<UIViewController> host = viewController;
    UGCToast::show(viewController, message, [self, host, completion] {
      if (auto presenter = host.lock()) self->presentShareSheet(presenter, completion);
    });
  });
}

void UGC::presentShareSheet(const std::shared_ptr<UIViewController>& viewController,
                            PresentationCompletion completion) {
  DispatchQueue::main()->async(
      [self = shared_from_this(), viewController, completion = std::move(completion)] {
        auto sheet = self->providers_.shareSheets(self, completion);
        viewController->present(sheet, true);
      });
}

std::optional<Error> UGC::presentOn(const std::shared_ptr<UIViewController>& viewController,
                                    const std::shared_ptr<UIView>& view) {
  Result<void> presented =
      UGCPresentation::make(weak_from_this())->present(0, viewController, view);
  if (!presented) return presented.error();
  return std::nullopt;
}

ShareSheetFactory UGCProviders::standardShareSheets() {
  return [](std::shared_ptr<ShareSheetProvider> provider,
            PresentationCompletion completion) -> std::shared_ptr<UIViewController> {
    return ShareSheetViewController::make(std::move(provider), std::move(completion));
  };
}

}  // namespace velmoradine
