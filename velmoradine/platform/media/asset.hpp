#pragma once

// Assets: timed media with tracks. A URLAsset is a media file; a mutable
// composition (composition.hpp) is an asset made of pieces of other assets'
// tracks. Both describe every track as segments that map a time range of a
// source file's stream onto the track's timeline, which is what export and
// playback read.

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "velmoradine/platform/foundation/error.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/media/media_time.hpp"

namespace velmoradine {

enum class MediaType { video, audio, other };

// `source` of the stream at `streamIndex` in `sourcePath` shows during
// `target` of the track. An empty path marks an empty edit.
struct TrackSegment {
  std::filesystem::path sourcePath;
  int streamIndex = -1;
  TimeRange source;
  TimeRange target;
  bool isEmpty() const { return sourcePath.empty(); }
};

// The shape of a video's pixels: `horizontalSpacing` : `verticalSpacing`
// (1:1 for square pixels).
struct PixelAspectRatio {
  int horizontalSpacing = 1;
  int verticalSpacing = 1;
  bool operator==(const PixelAspectRatio&) const = default;
};

// How a video's samples map to colours, by the names the standards use
// ("bt709", "smpte170m", "bt2020nc"); "unknown" where the file says nothing.
struct VideoColorTags {
  std::string matrix = "unknown";
  // "limited" (video levels), "full" or "unknown".
  std::string range = "unknown";
  std::string primaries = "unknown";
  std::string transfer = "unknown";
  bool operator==(const VideoColorTags&) const = default;
};

struct AssetTrack {
  int trackID = 0;
  MediaType mediaType = MediaType::other;
  // Encoded picture size in pixels (before the preferred transform).
  Size naturalSize;
  AffineTransform preferredTransform;
  // Frames per second the track declares (0 when unknown).
  double nominalFrameRate = 0;
  MediaTime minFrameDuration;
  TimeRange timeRange;
  // FFmpeg's short codec name ("h264").
  std::string codecName;
  // Frames (samples) in the track, when the container says.
  std::int64_t frameCount = 0;
  std::vector<TrackSegment> segments;

  // The picture's size as shown: pixels of the given shape widened or
  // narrowed to square, then turned by the preferred transform.
  Size presentationSize(PixelAspectRatio aspect) const;
};

// What a video track's pictures are made of: their shape, their stored
// layout ("yuv420p", "yuv422p10le") and their colour tags.
struct VideoFormatDescription {
  PixelAspectRatio pixelAspectRatio;
  std::string pixelFormat;
  VideoColorTags colorTags;
};

class Asset {
 public:
  virtual ~Asset() = default;
  virtual MediaTime duration() const = 0;
  virtual std::vector<AssetTrack> tracks() const = 0;
  std::vector<AssetTrack> tracksWithMediaType(MediaType type) const;
};

// A media file, read on first use. An unreadable file gives an asset without
// tracks, with zero duration and with `loadError()` telling why. A file whose
// media data ends before its index says (a cut download) describes the part
// that is there, and `loadError()` says it is incomplete.
class URLAsset final : public Asset {
 public:
  static std::shared_ptr<URLAsset> make(std::filesystem::path url);

  const std::filesystem::path& url() const { return url_; }
  MediaTime duration() const override;
  std::vector<AssetTrack> tracks() const override;
  std::optional<Error> loadError() const;
  // Whether the file is readable media with at least one video track.
  bool isPlayable() const;
  // The container's short name ("mov,mp4,m4a,3gp,3g2,mj2").
  std::string formatName() const;
  // The format of the video track `trackID`. The container's header does not
  // always tell it, so this reads the file again and looks into the stream's
  // first pictures: it costs more than the other properties.
  Result<VideoFormatDescription> formatDescription(int trackID) const;

  explicit URLAsset(std::filesystem::path url) : url_(std::move(url)) {}

 private:
  void load() const;

  std::filesystem::path url_;
  mutable std::once_flag loaded_;
  mutable MediaTime duration_ = MediaTime::zero();
  mutable std::vector<AssetTrack> tracks_;
  mutable std::optional<Error> error_;
  mutable std::string formatName_;
};

namespace media {

// The clockwise rotation, in degrees, that a track's preferred transform
// stands for when it is one of the four right angles; 0 for any other.
int transformRotation(const AffineTransform& transform);

}  // namespace media

}  // namespace velmoradine
