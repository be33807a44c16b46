#include "velmoradine/ugc/ugc_secne_renderer.hpp"

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"
#include "velmoradine/share/content_helper.hpp"
#include "velmoradine/ugc/ugc_export_outcome.hpp"
#include "velmoradine/ugc/ugc_render_size.hpp"
#include "velmoradine/ugc/ugc_scene.hpp"

namespace velmoradine {
namespace {

class SceneRendererFactory final : public UGCSceneRendererFactory {
 public:
  Result<std::shared_ptr<UGCSceneExport>> makeSceneRenderer(const UGCScene& scene) override {
    return UGCSecneRenderer::create(scene);
  }
};

}  // namespace

std::shared_ptr<UGCSceneRendererFactory> UGCSceneRendererFactory::standard() {
  static const auto factory = std::make_shared<SceneRendererFactory>();
  return factory;
}

UGCSecneRenderer::UGCSecneRenderer(
    URL displayURL, UGCRenderSettings renderSettings,
    std::vector<std::shared_ptr<UGCLayerConfiguration>> configurations,
    UGCSceneOptions sceneOptions)
    : sceneComposition(MutableComposition::make()),
      sceneOutputComposition(MutableVideoComposition::make()),
      sceneOutputInstruction(MutableVideoCompositionInstruction::make()),
      layerInstruction(MutableVideoCompositionLayerInstruction::make(kInvalidTrackID)),
      outputLayer(Layer::create()),
      displayURL(std::move(displayURL)),
      renderSettings(std::move(renderSettings)),
      configurations(std::move(configurations)),
      sceneOptions(std::move(sceneOptions)) {
  outputLayer->setFrame({{0, 0}, this->renderSettings.size});
  outputLayer->setBackgroundColor(this->renderSettings.backgroundColor);
  outputLayer->setGeometryFlipped(true);
}

Result<std::shared_ptr<UGCSecneRenderer>> UGCSecneRenderer::create(const UGCScene& scene) {
  VELMORADINE_TRY(checkRenderSize(scene.renderSettings.size));
  auto displayURL =
      ContentHelper::createFileURL(UUID().uuidString(), scene.renderSettings.filenameExt());
  if (!displayURL) return failure(Error(UGCError::unknown));
  auto renderer = std::make_shared<UGCSecneRenderer>(*displayURL, scene.renderSettings,
                                                     scene.configurations, scene.sceneOptions);
  renderer->sceneTrack = renderer->sceneComposition->addMutableTrack(MediaType::video);
  if (!renderer->sceneTrack) return failure(Error(UGCError::unknown));
  VELMORADINE_TRY(renderer->buildLayers());
  return renderer;
}

Result<void> UGCSecneRenderer::buildLayers() {
  for (const auto& configuration : configurations) {
    VELMORADINE_TRY(configuration->build(*this));
  }
  return {};
}

void UGCSecneRenderer::sceneReady(Completion completion) {
  auto logger = UGCDurationLogger::begin("[UGCScene] sceneReady");
  if (!sceneDuration) return completion(failure(Error(UGCError::noDuration)));
  sceneOutputInstruction->timeRange = {MediaTime::zero(), *sceneDuration};
  sceneOutputComposition->instructions = {sceneOutputInstruction};
  sceneOutputComposition->frameDuration = MediaTime(1, 30);
  sceneOutputComposition->renderSize = renderSettings.size;
  sceneExporter = AssetExportSession::make(sceneComposition, AssetExportPresetHighestQuality);
  if (!sceneExporter) return completion(failure(Error(UGCError::exportFailedFatally)));
  sceneExporter->outputURL = displayURL.filePath();
  sceneExporter->outputFileType = renderSettings.outputFileType();
  sceneExporter->shouldOptimizeForNetworkUse = true;
  sceneExporter->videoComposition = sceneOutputComposition;
  // The session's completion holds the renderer until it has run.
  sceneExporter->exportAsynchronously(
      [self = shared_from_this(), completion = std::move(completion), logger] {
        completion(exportOutcome(*self->sceneExporter, self->displayURL));
        logger.finish();
      });
}

}  // namespace velmoradine
