#pragma once

// Private to the media layer: the two ways an export writes its file.

#include <atomic>
#include <filesystem>
#include <functional>
#include <vector>

#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/overlay.hpp"
#include "velmoradine/platform/media/video_composition.hpp"
#include "velmoradine/platform/media/video_writer.hpp"

namespace velmoradine::media {

struct ExportJob {
  std::vector<AssetTrack> tracks;  // the video tracks, in the asset's order
  MediaTime duration;
  std::shared_ptr<const MutableVideoComposition> videoComposition;
  // The animation tool's tree, prepared by the thread that started the export.
  std::shared_ptr<OverlayPlan> overlay;
  std::filesystem::path output;
  bool optimizeForNetworkUse = false;
  const std::atomic<bool>* cancelled = nullptr;
  std::function<void(float)> progress;
};

// Decodes, composes and encodes frame by frame: decoding runs ahead on its
// own thread while this one composes and feeds the encoder.
Result<void> renderExport(const ExportJob& job, VideoEncoderSettings settings);

// Whether the job can be written by copying its compressed frames: one track
// of whole, matching H.264 sources, each opening with an IDR picture, with
// nothing that would change a picture. The reason when not.
Result<void> checkStreamCopy(const ExportJob& job, bool requireComposition);
// Copies the sources' packets one after the other. Fails (leaving nothing)
// when a source turns out not to be regular, so the caller can re-encode.
Result<void> streamCopyExport(const ExportJob& job);

}  // namespace velmoradine::media
