#include "velmoradine/platform/media/asset.hpp"

#include <climits>
#include <cmath>

#include "velmoradine/platform/media/ffmpeg_support.hpp"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace velmoradine {

std::vector<AssetTrack> Asset::tracksWithMediaType(MediaType type) const {
  std::vector<AssetTrack> matching;
  for (auto& track : tracks()) {
    if (track.mediaType == type) matching.push_back(std::move(track));
  }
  return matching;
}

std::shared_ptr<URLAsset> URLAsset::make(std::filesystem::path url) {
  return std::make_shared<URLAsset>(std::move(url));
}

namespace {

std::int64_t countPackets(const std::filesystem::path& path, int streamIndex) {
  auto input = media::openInput(path);
  if (!input) return 0;
  auto packet = media::makePacket();
  std::int64_t count = 0;
  while (av_read_frame(input->get(), packet.get()) >= 0) {
    if (packet->stream_index == streamIndex) ++count;
    av_packet_unref(packet.get());
  }
  return count;
}

std::string nameOr(const char* name) {
  return name ? name : "unknown";
}

std::string rangeName(AVColorRange range) {
  switch (range) {
    case AVCOL_RANGE_MPEG:
      return "limited";
    case AVCOL_RANGE_JPEG:
      return "full";
    default:
      return "unknown";
  }
}

int trackIDOf(const AVStream* stream, unsigned index) {
  return stream->id > 0 ? stream->id : static_cast<int>(index) + 1;
}

VideoFormatDescription describe(const AVStream* stream) {
  const AVCodecParameters* parameters = stream->codecpar;
  VideoFormatDescription description;
  const AVRational aspect = stream->sample_aspect_ratio.num > 0 ? stream->sample_aspect_ratio
                                                                : parameters->sample_aspect_ratio;
  if (aspect.num > 0 && aspect.den > 0) {
    AVRational reduced{};
    av_reduce(&reduced.num, &reduced.den, aspect.num, aspect.den, INT_MAX);
    description.pixelAspectRatio = {reduced.num, reduced.den};
  }
  description.pixelFormat =
      nameOr(av_get_pix_fmt_name(static_cast<AVPixelFormat>(parameters->format)));
  description.colorTags = {
      .matrix = nameOr(av_color_space_name(parameters->color_space)),
      .range = rangeName(parameters->color_range),
      .primaries = nameOr(av_color_primaries_name(parameters->color_primaries)),
      .transfer = nameOr(av_color_transfer_name(parameters->color_trc)),
  };
  return description;
}

Error incompleteness(const media::StoredSamples& stored) {
  return Error(MediaError::incompleteFile,
               "the video file is incomplete: " + std::to_string(stored.present) + " of its " +
                   std::to_string(stored.indexed) + " frames are in the file");
}

}  // namespace

Size AssetTrack::presentationSize(PixelAspectRatio aspect) const {
  const Size square{naturalSize.width * aspect.horizontalSpacing / aspect.verticalSpacing,
                    naturalSize.height};
  const Size turned = preferredTransform.apply(square);
  return {std::abs(turned.width), std::abs(turned.height)};
}

void URLAsset::load() const {
  std::call_once(loaded_, [this] {
    auto input = media::openInput(url_);
    if (!input) {
      error_ = input.error();
      return;
    }
    AVFormatContext* format = input->get();
    formatName_ = format->iformat->name;
    MediaTime longest = MediaTime::zero();
    std::optional<Error> missing;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
      const AVStream* stream = format->streams[i];
      const AVCodecParameters* parameters = stream->codecpar;
      AssetTrack track;
      track.trackID = trackIDOf(stream, i);
      if (parameters->codec_type == AVMEDIA_TYPE_VIDEO &&
          !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        track.mediaType = MediaType::video;
        track.naturalSize = {double(parameters->width), double(parameters->height)};
        track.preferredTransform = media::rotationTransform(media::streamRotation(stream),
                                                            parameters->width, parameters->height);
        AVRational rate =
            stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : stream->r_frame_rate;
        if (rate.num > 0 && rate.den > 0) {
          track.nominalFrameRate = av_q2d(rate);
          track.minFrameDuration = MediaTime(rate.den, rate.num);
        }
        track.frameCount = stream->nb_frames > 0 ? stream->nb_frames : countPackets(url_, int(i));
      } else if (parameters->codec_type == AVMEDIA_TYPE_AUDIO) {
        track.mediaType = MediaType::audio;
        track.frameCount = stream->nb_frames;
      } else {
        continue;
      }
      if (const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters->codec_id)) {
        track.codecName = descriptor->name;
      }
      MediaTime duration = media::streamDuration(format, stream);
      // A file cut short keeps the index of the whole: say what is there.
      if (auto stored = media::storedSamples(format, format->streams[i]);
          stored && !stored->isComplete()) {
        if (!missing || track.mediaType == MediaType::video) missing = incompleteness(*stored);
        track.frameCount = stored->present;
        if (stored->presentDuration.isValid())
          duration = minimum(duration, stored->presentDuration);
      }
      track.timeRange = {MediaTime::zero(), duration};
      track.segments.push_back({url_, int(i), track.timeRange, track.timeRange});
      longest = maximum(longest, duration);
      tracks_.push_back(std::move(track));
    }
    duration_ = longest;
    if (tracks_.empty()) error_ = Error(MediaError::noVideoTrack, url_.string());
    if (missing && !error_) error_ = missing;
  });
}

MediaTime URLAsset::duration() const {
  load();
  return duration_;
}

std::vector<AssetTrack> URLAsset::tracks() const {
  load();
  return tracks_;
}

std::optional<Error> URLAsset::loadError() const {
  load();
  if (!error_ && tracksWithMediaType(MediaType::video).empty()) {
    return Error(MediaError::noVideoTrack, url_.string());
  }
  return error_;
}

bool URLAsset::isPlayable() const {
  return !loadError();
}

std::string URLAsset::formatName() const {
  load();
  return formatName_;
}

Result<VideoFormatDescription> URLAsset::formatDescription(int trackID) const {
  VELMORADINE_ASSIGN_OR_RETURN(const auto input, media::openInput(url_, true));
  const AVFormatContext* format = input.get();
  for (unsigned i = 0; i < format->nb_streams; ++i) {
    const AVStream* stream = format->streams[i];
    if (trackIDOf(stream, i) == trackID && stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      return describe(stream);
    }
  }
  return failure(Error(MediaError::noVideoTrack, url_.string()));
}

}  // namespace velmoradine
