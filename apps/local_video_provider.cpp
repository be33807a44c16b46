#include "local_video_provider.hpp"

#include "velmoradine/platform/uikit/ns_layout_constraint.hpp"
#include "velmoradine/platform/uikit/ui_image_view.hpp"

namespace velmoradine::cli {

std::optional<Error> LocalVideoProvider::presentOn(const std::shared_ptr<UIViewController>&,
                                                   const std::shared_ptr<UIView>& view) {
  auto preview = std::make_shared<UIImageView>(firstFrame_);
  preview->setContentMode(UIViewContentMode::scaleAspectFit);
  preview->setTranslatesAutoresizingMaskIntoConstraints(false);
  view->addSubview(preview);
  NSLayoutConstraint::activate({
      preview->leadingAnchor().constraintEqualTo(view->leadingAnchor()),
      preview->trailingAnchor().constraintEqualTo(view->trailingAnchor()),
      preview->topAnchor().constraintEqualTo(view->topAnchor()),
      preview->bottomAnchor().constraintEqualTo(view->bottomAnchor()),
  });
  return std::nullopt;
}

void LocalVideoProvider::renderingComplete(RenderingCompletion completion) {
  completion(SuccessfulRenderingResult{video_});
}

}  // namespace velmoradine::cli
