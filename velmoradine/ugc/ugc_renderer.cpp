#include "velmoradine/ugc/ugc_renderer.hpp"

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/foundation/uuid.hpp"
#include "velmoradine/share/content_helper.hpp"
#include "velmoradine/ugc/ugc_export_outcome.hpp"
#include "velmoradine/ugc/ugc_render_size.hpp"

namespace velmoradine {
namespace {

class RendererFactory final : public UGCRendererFactory {
 public:
  Result<std::shared_ptr<UGCExport>> makeRenderer(
      std::vector<SuccessfulRenderingResult> scenes,
      const UGCRenderSettings& renderSettings) override {
    return UGCRenderer::create(std::move(scenes), renderSettings);
  }
};

void logLeftOut(const SuccessfulRenderingResult& scene, std::string_view reason) {
  UGCLogger::log("Unable to add scene " + scene.description() + " to the UGC. " +
                 std::string(reason));
}

}  // namespace

std::shared_ptr<UGCRendererFactory> UGCRendererFactory::standard() {
  static const auto factory = std::make_shared<RendererFactory>();
  return factory;
}

UGCRenderer::UGCRenderer(URL displayURL, UGCRenderSettings renderSettings,
                         std::vector<SuccessfulRenderingResult> scenes)
    : mainComposition(MutableComposition::make()),
      outputComposition(MutableVideoComposition::make()),
      instruction(MutableVideoCompositionInstruction::make()),
      displayURL(std::move(displayURL)),
      renderSettings(std::move(renderSettings)),
      scenes(std::move(scenes)) {}

Result<std::shared_ptr<UGCRenderer>> UGCRenderer::create(
    std::vector<SuccessfulRenderingResult> scenes, UGCRenderSettings renderSettings) {
  VELMORADINE_TRY(checkRenderSize(renderSettings.size));
  auto displayURL = ContentHelper::createFileURL(UUID().uuidString(), renderSettings.filenameExt());
  if (!displayURL) return failure(Error(UGCError::unknown));
  auto renderer =
      std::make_shared<UGCRenderer>(*displayURL, std::move(renderSettings), std::move(scenes));
  renderer->mainTrack = renderer->mainComposition->addMutableTrack(MediaType::video);
  if (!renderer->mainTrack) return failure(Error(UGCError::unknown));
  return renderer;
}

// Each scene goes in at time zero, pushing the ones inserted before it
// later, so walking backwards leaves them in list order.
void UGCRenderer::insertScenes() {
  for (auto scene = scenes.rbegin(); scene != scenes.rend(); ++scene) {
    const auto asset = URLAsset::make(scene->displayURL);
    const std::vector<AssetTrack> tracks = asset->tracksWithMediaType(MediaType::video);
    if (tracks.empty()) {
      logLeftOut(*scene, "Scene has no video Track.");
      continue;
    }
    const AssetTrack& track = tracks.front();
    if (!mainTrack->insertTimeRange({MediaTime::zero(), asset->duration()}, track,
                                    MediaTime::zero())) {
      logLeftOut(*scene, "Trouble insertTimeRange to mainTrack.");
      continue;
    }
    auto layerInstruction = MutableVideoCompositionLayerInstruction::make(track);
    durationTillNow += asset->duration();
    if (*scene != scenes.back()) layerInstruction->setOpacity(0, durationTillNow);
    instruction->layerInstructions.push_back(std::move(layerInstruction));
  }
}

void UGCRenderer::startExport(Completion completion) {
  auto logger = UGCDurationLogger::begin("[UGC startExport]");
  insertScenes();
  instruction->timeRange = {MediaTime::zero(), durationTillNow};
  outputComposition->instructions = {instruction};
  outputComposition->frameDuration = MediaTime(1, 30);
  outputComposition->renderSize = renderSettings.size;
  ugcExporter = AssetExportSession::make(mainComposition, AssetExportPresetHighestQuality);
  if (!ugcExporter) return completion(failure(Error(UGCError::exportFailedFatally)));
  ugcExporter->outputURL = displayURL.filePath();
  ugcExporter->outputFileType = renderSettings.outputFileType();
  ugcExporter->shouldOptimizeForNetworkUse = true;
  ugcExporter->videoComposition = outputComposition;
  UGCLogger::log("UGC Generated");
  // The session's completion holds the renderer until it has run.
  ugcExporter->exportAsynchronously(
      [self = shared_from_this(), completion = std::move(completion), logger] {
        UGCLogger::log("UGC Rendered ");
        completion(exportOutcome(*self->ugcExporter, self->displayURL));
        logger.finish();
      });
}

}  // namespace velmoradine
