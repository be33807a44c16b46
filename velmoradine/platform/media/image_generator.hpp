#pragma once

// Grabs single frames of an asset's first video track as pictures.
//
// The picture at a time is the frame shown at that time (the last frame whose
// presentation time is not after it; the first frame for earlier times; the
// last frame for later ones). Pixels are the encoded ones (no aperture
// cropping); with `appliesPreferredTrackTransform` the picture is turned the
// way the track is meant to be displayed. Safe to use from any one thread at
// a time; generators of the same asset may run concurrently.

#include <memory>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/bitmap.hpp"
#include "velmoradine/platform/media/asset.hpp"

namespace velmoradine {

class AssetImageGenerator {
 public:
  enum class ApertureMode { encodedPixels };

  explicit AssetImageGenerator(std::shared_ptr<const Asset> asset) : asset_(std::move(asset)) {}

  bool appliesPreferredTrackTransform = false;
  ApertureMode apertureMode = ApertureMode::encodedPixels;

  // The picture at `requestedTime`; `actualTime`, when given, receives the
  // presentation time of the frame used. Fails with the asset's load error,
  // `noVideoTrack`, or `decodeFailed`.
  Result<Bitmap> copyImage(const MediaTime& requestedTime, MediaTime* actualTime = nullptr) const;

 private:
  std::shared_ptr<const Asset> asset_;
};

}  // namespace velmoradine
