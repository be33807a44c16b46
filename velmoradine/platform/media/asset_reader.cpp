#include "velmoradine/platform/media/asset_reader.hpp"

#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine {

AssetReader::AssetReader() = default;
AssetReader::~AssetReader() = default;

Result<std::unique_ptr<AssetReader>> AssetReader::open(const std::filesystem::path& url) {
  auto reader = media::VideoReader::open(url, {});
  if (!reader) return failure(reader.error());
  std::unique_ptr<AssetReader> opened(new AssetReader());
  opened->reader_ = std::move(*reader);
  return opened;
}

Result<std::optional<AssetReader::Sample>> AssetReader::next() {
  auto frame = reader_->nextFrame();
  if (!frame) return failure(frame.error());
  if (!*frame) return std::optional<Sample>();
  auto picture = media::toBGRA(*frame, 0);
  if (!picture) return failure(picture.error());
  return std::optional<Sample>(Sample{reader_->frameTime(*frame), std::move(*picture)});
}

}  // namespace velmoradine
