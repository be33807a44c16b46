#pragma once

// Export sessions: write an asset (a file or a composition, optionally with a
// video composition) to an MPEG-4 file on a worker thread.
//
// Presets (see docs/media.md for the encoder settings):
// - highest quality: re-encodes at the render size; a composition that is a
//   plain sequence of whole, matching H.264 tracks with nothing drawn over
//   them and nothing transformed is joined by stream copy instead, which
//   gives the same duration, order, size and frame rate without a second
//   generation of compression;
// - medium quality: re-encodes, scaled down to fit 640×640 and at a lower rate;
// - pass-through: copies the compressed frames; fails when that is not possible.
//
// Guarantees: the completion runs exactly once, on the export's thread, after
// the status has become completed, failed or cancelled. The output file only
// exists after a completed export: a failed or cancelled one leaves nothing.
// Status, error and progress may be read from any thread.

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/video_composition.hpp"

namespace velmoradine {

namespace media {
struct OverlayPlan;
}

inline constexpr const char* AssetExportPresetHighestQuality = "AVAssetExportPresetHighestQuality";
inline constexpr const char* AssetExportPresetMediumQuality = "AVAssetExportPresetMediumQuality";
inline constexpr const char* AssetExportPresetPassthrough = "AVAssetExportPresetPassthrough";
inline constexpr const char* FileTypeMPEG4 = "public.mpeg-4";

enum class AssetExportSessionStatus { unknown, waiting, exporting, completed, failed, cancelled };

class AssetExportSession : public std::enable_shared_from_this<AssetExportSession> {
 public:
  // Null when the preset is not one of the three.
  static std::shared_ptr<AssetExportSession> make(std::shared_ptr<const Asset> asset,
                                                  const std::string& presetName);

  AssetExportSession(std::shared_ptr<const Asset> asset, std::string presetName);
  ~AssetExportSession();

  // Settings; set them before exporting.
  std::filesystem::path outputURL;
  std::string outputFileType;
  bool shouldOptimizeForNetworkUse = false;
  std::shared_ptr<const MutableVideoComposition> videoComposition;

  const std::string& presetName() const { return presetName_; }
  // Starts the export on a worker thread. The static parts of the animation
  // tool's layer tree are drawn first, on the calling thread (the tree's).
  void exportAsynchronously(std::function<void()> completion);
  // Stops a waiting or running export; it ends as cancelled.
  void cancelExport();

  AssetExportSessionStatus status() const;
  std::optional<Error> error() const;
  // From 0 to 1.
  float progress() const;
  // Whether the completed export copied compressed frames instead of encoding.
  bool usedStreamCopy() const;

 private:
  void run();
  void finish(AssetExportSessionStatus status, std::optional<Error> error);

  std::shared_ptr<const Asset> asset_;
  std::string presetName_;
  std::function<void()> completion_;
  std::shared_ptr<media::OverlayPlan> overlay_;
  std::optional<Error> overlayError_;
  mutable std::mutex mutex_;
  AssetExportSessionStatus status_ = AssetExportSessionStatus::unknown;
  std::optional<Error> error_;
  std::atomic<float> progress_{0};
  std::atomic<bool> cancelled_{false};
  bool streamCopied_ = false;
};

}  // namespace velmoradine
