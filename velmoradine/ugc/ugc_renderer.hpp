#pragma once

// Joins already rendered scenes, in list order, into one video file in the
// caches folder. Scene files that share their encoding are joined by stream
// copy (the media layer decides); anything else is encoded once more. Each
// renderer is used for one export.
//
// Threading: made and started on the main queue; `startExport` answers
// once, on the exporter's thread.

#include <memory>
#include <vector>

#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/media/composition.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/platform/media/media_time.hpp"
#include "velmoradine/platform/media/video_composition.hpp"
#include "velmoradine/ugc/ugc_rendering.hpp"

namespace velmoradine {

class UGCRenderer final : public UGCExport, public std::enable_shared_from_this<UGCRenderer> {
 public:
  // Fails with `unknown` when no output file or track can be made, and with
  // `videoError` naming the size when the render size cannot be encoded.
  static Result<std::shared_ptr<UGCRenderer>> create(std::vector<SuccessfulRenderingResult> scenes,
                                                     UGCRenderSettings renderSettings);

  // A scene file without a video track, or one that cannot be inserted, is
  // left out with a log line. No scenes at all (nothing to show) ends as
  // `exportFailedOrCancelled`, like any failed export.
  void startExport(Completion completion) override;

  MediaTime durationTillNow = MediaTime::zero();
  std::shared_ptr<MutableComposition> mainComposition;
  std::shared_ptr<MutableVideoComposition> outputComposition;
  std::shared_ptr<MutableVideoCompositionInstruction> instruction;
  std::shared_ptr<MutableCompositionTrack> mainTrack;
  std::shared_ptr<AssetExportSession> ugcExporter;
  URL displayURL;
  const UGCRenderSettings renderSettings;
  const std::vector<SuccessfulRenderingResult> scenes;

  UGCRenderer(URL displayURL, UGCRenderSettings renderSettings,
              std::vector<SuccessfulRenderingResult> scenes);

 private:
  void insertScenes();
};

}  // namespace velmoradine
