#include "velmoradine/platform/media/video_writer.hpp"

#include "velmoradine/platform/media/encoder.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine {

VideoWriter::VideoWriter() : encoder_(std::make_unique<media::Encoder>()) {}

VideoWriter::~VideoWriter() {
  if (!finished_) encoder_->abandon();
}

Result<std::unique_ptr<VideoWriter>> VideoWriter::create(const std::filesystem::path& url,
                                                         const VideoEncoderSettings& settings) {
  std::unique_ptr<VideoWriter> writer(new VideoWriter());
  VELMORADINE_TRY(writer->encoder_->open(url, settings));
  return writer;
}

Result<void> VideoWriter::append(const Bitmap& picture) {
  if (finished_) return failure(Error(MediaError::encodeFailed, "the writer has finished"));
  if (picture.width() != encoder_->settings().width ||
      picture.height() != encoder_->settings().height) {
    return failure(Error(MediaError::encodeFailed, "the picture is not the writer's size"));
  }
  auto frame = media::allocateI420(picture.width(), picture.height());
  if (!frame) return failure(Error(MediaError::encodeFailed, "out of memory"));
  media::convertBGRAToI420(picture.data(), picture.stride(), frame.get());
  return encoder_->encode(frame.get());
}

Result<void> VideoWriter::finish() {
  if (finished_) return failure(Error(MediaError::encodeFailed, "the writer has finished"));
  finished_ = true;
  auto done = encoder_->finish();
  if (!done) encoder_->abandon();
  return done;
}

std::int64_t VideoWriter::framesWritten() const {
  return encoder_->framesEncoded();
}

}  // namespace velmoradine
