#pragma once

// Renders one scene: a one-track composition, the layer tree the scene's
// layers are built into, and the export of both to a fresh file in the
// caches folder. Each renderer is used for one export; its files are never
// deleted by it.
//
// Threading: made (and its layers built) on the main queue; `sceneReady` is
// called on the main queue, draws the static layers there, and answers once
// on the exporter's thread. The builders change the fields below during
// construction only.

#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/model/ugc_render_settings.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/platform/media/media_time.hpp"
#include "velmoradine/platform/media/video_composition.hpp"
#include "velmoradine/ugc/ugc_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_scene_rendering.hpp"

namespace velmoradine {

class UGCSecneRenderer final : public UGCSceneExport,
                               public std::enable_shared_from_this<UGCSecneRenderer> {
 public:
  // Builds every layer of `scene` in list order (the first is drawn lowest).
  // Fails with `unknown` when no output file or track can be made, with
  // `videoError` naming the size when the render size cannot be encoded,
  // or with the first layer's build error.
  static Result<std::shared_ptr<UGCSecneRenderer>> create(const UGCScene& scene);

  // Exports to `displayURL`. `noDuration` without a video layer,
  // `exportFailedFatally` when no export session can be made,
  // `exportFailedOrCancelled` when the export fails or is cancelled.
  void sceneReady(Completion completion) override;

  std::optional<MediaTime> sceneDuration;  // set by the video layer builder
  std::shared_ptr<AssetExportSession> sceneExporter;
  std::shared_ptr<MutableComposition> sceneComposition;
  std::shared_ptr<MutableCompositionTrack> sceneTrack;
  std::shared_ptr<MutableVideoComposition> sceneOutputComposition;
  std::shared_ptr<MutableVideoCompositionInstruction> sceneOutputInstruction;
  std::shared_ptr<MutableVideoCompositionLayerInstruction> layerInstruction;
  // The root of the drawing: the render size, the background colour, origin
  // at the top left.
  std::shared_ptr<Layer> outputLayer;
  const URL displayURL;
  const UGCRenderSettings renderSettings;
  const std::vector<std::shared_ptr<UGCLayerConfiguration>> configurations;
  const UGCSceneOptions sceneOptions;

  UGCSecneRenderer(URL displayURL, UGCRenderSettings renderSettings,
                   std::vector<std::shared_ptr<UGCLayerConfiguration>> configurations,
                   UGCSceneOptions sceneOptions);

 private:
  Result<void> buildLayers();
};

}  // namespace velmoradine
