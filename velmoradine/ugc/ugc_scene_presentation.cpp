#include "velmoradine/ugc/ugc_scene_presentation.hpp"

#include <algorithm>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/platform/dispatch/dispatch_group.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/ugc/ugc_scene.hpp"
#include "velmoradine/ugc/ugc_video_layer_configuration.hpp"

namespace velmoradine {
namespace {

constexpr double kPreviewCornerRadius = 32;
constexpr double kPreviewBorderWidth = 2;

bool hasVideo(const UGCScene& scene) {
  return std::any_of(scene.configurations.begin(), scene.configurations.end(),
                     [](const auto& configuration) {
                       return dynamic_cast<const UGCVideoLayerConfiguration*>(configuration.get());
                     });
}

// Takes `child` out of its parent with its view, as a container does.
void detach(const std::shared_ptr<UIViewController>& child) {
  child->willMove(nullptr);
  if (child->isViewLoaded()) child->view()->removeFromSuperview();
  child->removeFromParent();
}

}  // namespace

UGCScenePresentationViewController::UGCScenePresentationViewController(
    std::shared_ptr<UGCScenePresentation> presentation)
    : presentation(std::move(presentation)) {}

UGCScenePresentationViewController::~UGCScenePresentationViewController() {
  for (const auto& block : deinitBlocks) {
    if (block) block();
  }
}

void UGCScenePresentationViewController::registerDeinit(std::function<void()> completion) {
  deinitBlocks.push_back(std::move(completion));
}

void UGCScenePresentationViewController::removeSelfAndOtherViews() {
  if (auto parent = this->parent()) {
    // Copied: each removal changes the parent's list.
    const auto children = parent->children();
    for (const auto& child : children) detach(child);
  }
  if (auto preview = presentation->view.lock()) preview->removeFromSuperview();
}

// The end-of-playback notification and the timer are not the only ways here
// (a host may end a preview itself); a second call must not start a second
// chain of scenes.
void UGCScenePresentationViewController::videoDidFinish() {
  if (finished_) return;
  finished_ = true;
  // Removing this controller from its parent may drop the last other owner.
  auto keep = shared_from_this();
  removeSelfAndOtherViews();
  if (auto delegate = presentation->delegate.lock()) delegate->presentationDidFinish(*presentation);
  if (auto completion = presentation->completion) completion();
}

// What the layers' readiness answers need until the main queue has them.
struct UGCScenePresentation::Preparation {
  DispatchGroup group;
  std::atomic<bool> failed = false;
  std::shared_ptr<UIView> preview;
  std::shared_ptr<UGCScenePresentationViewController> controller;
  std::weak_ptr<UIView> host;
};

std::shared_ptr<UGCScenePresentation> UGCScenePresentation::make(std::weak_ptr<UGCScene> scene) {
  return std::make_shared<UGCScenePresentation>(std::move(scene));
}

Result<void> UGCScenePresentation::present(const std::shared_ptr<UIViewController>& viewController,
                                           const std::shared_ptr<UIView>& view,
                                           std::function<void()> completion) {
  auto controller = std::make_shared<UGCScenePresentationViewController>(shared_from_this());
  presentationViewController = controller;
  this->completion = std::move(completion);
  this->viewController = viewController;
  auto scene = this->scene.lock();
  if (!scene) return failure(Error(UGCError::unknown));

  auto preparation = std::make_shared<Preparation>();
  preparation->preview = std::make_shared<UIView>(Rect({0, 0}, scene->renderSettings.size));
  preparation->preview->setClipsToBounds(true);
  preparation->preview->layer()->setCornerRadius(kPreviewCornerRadius);
  preparation->preview->layer()->setCornerCurve(CornerCurve::continuous);
  preparation->controller = std::move(controller);
  preparation->host = view;
  this->view = preparation->preview;

  for (const auto& configuration : scene->configurations) {
    preparation->group.enter();
    configuration->ready([preparation](std::optional<Error> error) {
      if (error) preparation->failed = true;
      preparation->group.leave();
    });
  }
  preparation->group.notify(DispatchQueue::main(), [self = shared_from_this(), preparation] {
    self->layersDidAnswer(*preparation);
  });
  return {};
}

void UGCScenePresentation::layersDidAnswer(const Preparation& preparation) {
  auto scene = this->scene.lock();
  auto host = preparation.host.lock();
  auto hostController = viewController.lock();
  if (preparation.failed || !scene || !host || !hostController) return end();
  // A build that fails part way may already have added a player to the
  // host; it would play on, unseen, for as long as the host lives.
  const auto before = hostController->children();
  if (auto built = hasVideo(*scene) ? buildLayers(*scene) : failure(Error(UGCError::noDuration));
      !built) {
    Logger::velmoradineDebug("[UGCScenePresentation] unable present scene", built.error());
    const auto after = hostController->children();
    for (const auto& child : after) {
      if (std::find(before.begin(), before.end(), child) == before.end()) detach(child);
    }
    return end();
  }
  place(*preparation.preview, *host, *scene, preparation.controller);
}

Result<void> UGCScenePresentation::buildLayers(UGCScene& scene) {
  for (const auto& configuration : scene.configurations) {
    VELMORADINE_TRY(configuration->buildPresentation(*this));
  }
  return {};
}

// Scaled about its centre to the host's height, and its centre moved onto
// the host's: wider hosts show bars beside it, narrower ones crop its sides.
void UGCScenePresentation::place(
    UIView& preview, UIView& host, const UGCScene& scene,
    const std::shared_ptr<UGCScenePresentationViewController>& controller) {
  const Size render = scene.renderSettings.size;
  const Size available = host.bounds().size;
  const double scale = available.height / render.height;
  preview.setTransform(
      AffineTransform::makeScale(scale, scale)
          .concatenating(AffineTransform::makeTranslation(
              0.5 * (available.width - render.width), 0.5 * (available.height - render.height))));
  preview.layer()->setBorderWidth(kPreviewBorderWidth);
  preview.setBackgroundColor(scene.renderSettings.backgroundColor);
  host.addSubview(preview.shared_from_this());
  auto hostController = viewController.lock();
  hostController->addChild(controller);
  controller->didMove(hostController);
  shown_ = true;
}

void UGCScenePresentation::end() {
  if (auto delegate = this->delegate.lock()) delegate->presentationDidFinish(*this);
  if (auto completion = this->completion) completion();
}

}  // namespace velmoradine
