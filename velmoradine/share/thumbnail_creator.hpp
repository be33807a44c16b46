#pragma once

// The preview image of a shared video: its first frame, upright, on white,
// with the kit's play badge centred on it at 0.9 opacity, as JPEG (quality
// 0.8).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine {

struct ThumbnailCreator {
  static constexpr double kCompressionQuality = 0.8;
  static constexpr double kBadgeOpacity = 0.9;

  // JPEG bytes, or the error of domain "Velmoradine.VideoContent", code 2
  // (reason "Unable to create thumbnail"). Success arrives on the main
  // thread; failure on the frame grabber's queue.
  static void thumbnail(const std::filesystem::path& videoURL,
                        std::function<void(Result<std::vector<std::uint8_t>>)> completion);

  // The same work without hopping threads, on the calling thread.
  static Result<std::vector<std::uint8_t>> thumbnailNow(const std::filesystem::path& videoURL);

  // The frame on white with `badge` centred on it; the frame alone without a badge.
  static Image compose(const Image& frame, const std::optional<Image>& badge);
  // Where the badge goes: half the frame minus half the badge, per axis.
  static Point badgeOrigin(Size frame, Size badge);
  // The badge from the kit's bundle ("Assets/PlayButton", "png"); none when
  // it is missing or does not load as an image.
  static std::optional<Image> badge();
  static Error thumbnailError();
};

// The frame at `seconds` (timescale 60), with the preferred track transform
// applied and the encoded pixels. Delivered on the main thread; when no frame
// can be grabbed, the failure is logged and none is delivered on the
// background queue.
void thumbnail(const std::shared_ptr<URLAsset>& asset, double seconds,
               std::function<void(std::optional<Image>)> completion);
inline void thumbnail(const std::shared_ptr<URLAsset>& asset,
                      std::function<void(std::optional<Image>)> completion) {
  thumbnail(asset, 0, std::move(completion));
}
// The grab itself, on the calling thread.
Result<Image> grabThumbnail(const std::shared_ptr<URLAsset>& asset, double seconds);

}  // namespace velmoradine
