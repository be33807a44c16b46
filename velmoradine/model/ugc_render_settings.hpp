#pragma once

// The render settings of a UGC and the options they are folded from, the
// per-scene options, and the data form of one layer.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/platform/graphics/color.hpp"
#include "velmoradine/platform/graphics/geometry.hpp"
#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine {

// The H.264 codec identifier and the MPEG-4 file type, as the media export
// takes them.
inline constexpr std::string_view kVideoCodecTypeH264 = "avc1";
inline constexpr std::string_view kFileTypeMPEG4 = "public.mpeg-4";

enum class UGCRenderPreset { verticalVideoPreset };

struct UGCRenderOptions {
  using Payload = std::variant<Color, UGCRenderPreset, Size>;
  static UGCRenderOptions backgroundColor(Color color) {
    return {Payload(std::in_place_type<Color>, color)};
  }
  static UGCRenderOptions preset(UGCRenderPreset preset) {
    return {Payload(std::in_place_type<UGCRenderPreset>, preset)};
  }
  static UGCRenderOptions size(Size size) { return {Payload(std::in_place_type<Size>, size)}; }
  Payload value;
};

class UGCRenderSettings {
 public:
  // The vertical video preset (540 × 960, 30 fps, H.264 in MPEG-4, white),
  // with the last background colour and the last size among `options`.
  explicit UGCRenderSettings(const std::vector<UGCRenderOptions>& options = {});

  Size size{540, 960};
  Color backgroundColor = Color::white();

  std::int32_t fps() const { return fps_; }
  const std::string& avCodecKey() const { return avCodecKey_; }
  const std::string& filenameExt() const { return filenameExt_; }
  const std::string& outputFileType() const { return outputFileType_; }

 private:
  std::int32_t fps_ = 30;
  std::string avCodecKey_{kVideoCodecTypeH264};
  std::string filenameExt_ = "mp4";
  std::string outputFileType_{kFileTypeMPEG4};
};

struct UGCSceneOption {
  static UGCSceneOption maxDuration(double seconds) { return {seconds}; }
  double maxDurationSeconds;
};

struct UGCSceneOptions {
  UGCSceneOptions() = default;
  // The last option's maximum duration; none for an empty list.
  explicit UGCSceneOptions(const std::vector<UGCSceneOption>& options);
  std::optional<double> maxDuration;  // seconds; none: the whole video
};

// One layer described as data. Nothing in the kit produces or consumes it.
struct UGCLayerInstruction {
  struct imageLitearl {
    std::shared_ptr<UGCImageFormat> format;
    Image image;
  };
  struct imageURL {
    std::shared_ptr<UGCImageFormat> format;
    std::string url;
  };
  struct videoURL {
    std::shared_ptr<UGCVideoFormat> format;
    std::string url;
  };
  struct text {
    std::shared_ptr<UGCTextFormat> format;
    std::string text;
  };
  std::variant<imageLitearl, imageURL, videoURL, text> value;
};

}  // namespace velmoradine
