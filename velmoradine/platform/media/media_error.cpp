#include "velmoradine/platform/media/media_error.hpp"

#include "velmoradine/platform/foundation/error_enumeration.hpp"

extern "C" {
#include <libavutil/error.h>
}

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(
    MediaError, mediaErrorCategory, "Velmoradine.Media",
    {MediaError::fileNotFound, "The media file does not exist."},
    {MediaError::notMedia, "The file is not a readable media file."},
    {MediaError::noVideoTrack, "The media has no video track."},
    {MediaError::decodeFailed, "The video could not be decoded."},
    {MediaError::encodeFailed, "The video could not be encoded."},
    {MediaError::writeFailed, "The output file could not be written."},
    {MediaError::outputExists, "The output file already exists."},
    {MediaError::noOutputURL, "No output file was given."},
    {MediaError::unsupportedFileType, "The output file type is not supported."},
    {MediaError::invalidTimeRange, "The time range is not within the source."},
    {MediaError::invalidComposition, "The composition cannot be exported."},
    {MediaError::cancelled, "The operation was cancelled."},
    {MediaError::incompleteFile, "The video file is incomplete."})

std::string ffmpegErrorText(int status) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(status, text, sizeof text);
  return text;
}

}  // namespace velmoradine
