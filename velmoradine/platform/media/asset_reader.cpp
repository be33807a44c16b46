#include "velmoradine/platform/media/asset_reader.hpp"

#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine {

AssetReader::AssetReader() = default;
AssetReader::~AssetReader() = default;

Result<std::unique_ptr<AssetReader>> AssetReader::open(const std::filesystem::path& url) {
  std::unique_ptr<AssetReader> opened(new AssetReader());
  VELMORADINE_ASSIGN_OR_RETURN(opened->reader_, media::VideoReader::open(url, {}));
  return opened;
}

Result<std::optional<AssetReader::Sample>> AssetReader::next() {
  VELMORADINE_ASSIGN_OR_RETURN(AVFrame * frame, reader_->nextFrame());
  if (!frame) return std::optional<Sample>();
  VELMORADINE_ASSIGN_OR_RETURN(auto picture, media::toBGRA(frame, 0));
  return std::optional<Sample>(Sample{reader_->frameTime(frame), std::move(picture)});
}

}  // namespace velmoradine
