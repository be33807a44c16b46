#include "velmoradine/platform/media/render_pipeline.hpp"

#include <libyuv.h>

#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "velmoradine/platform/graphics/bitmap_painting.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/media/encoder.hpp"
#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/frame_conversion.hpp"

namespace velmoradine::media {
namespace {

__extension__ typedef __int128 Wide;

// The frame a track shows at successive, increasing composition times.
class TrackSampler {
 public:
  explicit TrackSampler(const AssetTrack& track) : track_(track) {}

  // The frame shown at `time`, or null when the track shows nothing then.
  Result<const AVFrame*> frameAt(const MediaTime& time) {
    while (segmentIndex_ < track_.segments.size() &&
           !(time < track_.segments[segmentIndex_].target.end())) {
      ++segmentIndex_;
    }
    if (segmentIndex_ >= track_.segments.size()) return static_cast<const AVFrame*>(nullptr);
    const TrackSegment& segment = track_.segments[segmentIndex_];
    if (segment.isEmpty() || time < segment.target.start)
      return static_cast<const AVFrame*>(nullptr);
    const MediaTime sourceTime = segment.source.start + (time - segment.target.start);
    if (openedSegment_ != segmentIndex_) {
      VELMORADINE_TRY(enter(segment, sourceTime));
      openedSegment_ = segmentIndex_;
    }
    return advanceTo(sourceTime, segment);
  }

 private:
  // Starts reading `segment`; a segment that continues the previous one in
  // the same stream keeps decoding without a seek.
  Result<void> enter(const TrackSegment& segment, const MediaTime& sourceTime) {
    const bool continues = reader_ && reader_->path() == segment.sourcePath &&
                           reader_->stream()->index == segment.streamIndex && current_ &&
                           !(sourceTime < currentTime_) &&
                           previousSourceEnd_ == segment.source.start;
    previousSourceEnd_ = segment.source.end();
    if (continues) return {};
    VELMORADINE_ASSIGN_OR_RETURN(
        reader_,
        VideoReader::open(segment.sourcePath, {.threads = 0, .streamIndex = segment.streamIndex}));
    current_.reset();
    upcoming_.reset();
    ended_ = false;
    if (MediaTime::zero() < sourceTime) return reader_->seek(sourceTime);
    return {};
  }

  Result<const AVFrame*> advanceTo(const MediaTime& sourceTime, const TrackSegment& segment) {
    while (true) {
      if (upcoming_) {
        if (current_ && sourceTime < upcomingTime_) break;
        current_ = std::move(upcoming_);
        currentTime_ = upcomingTime_;
        continue;
      }
      if (ended_) break;
      VELMORADINE_ASSIGN_OR_RETURN(AVFrame * frame, reader_->nextFrame());
      if (!frame) {
        ended_ = true;
        continue;
      }
      upcoming_ = referenceFrame(frame);
      upcomingTime_ = reader_->frameTime(frame);
      if (!upcomingTime_.isValid())
        upcomingTime_ = currentTime_.isValid() ? currentTime_ : MediaTime::zero();
    }
    if (!current_) return failure(Error(MediaError::decodeFailed, "no frame could be decoded"));
    // A source whose frames stop well before the range it claims is cut
    // short; the export must not quietly hold its last picture.
    if (ended_ && sourceTime < segment.source.end()) {
      MediaTime allowance = MediaTime(1, 10);
      if (track_.minFrameDuration.isNumeric())
        allowance = maximum(allowance, track_.minFrameDuration * 2);
      if (currentTime_ + allowance < sourceTime) {
        return failure(Error(MediaError::decodeFailed, "the source ends before its stated length"));
      }
    }
    return static_cast<const AVFrame*>(current_.get());
  }

  const AssetTrack& track_;
  std::size_t segmentIndex_ = 0;
  std::size_t openedSegment_ = static_cast<std::size_t>(-1);
  std::unique_ptr<VideoReader> reader_;
  FramePtr current_;
  FramePtr upcoming_;
  MediaTime currentTime_;
  MediaTime upcomingTime_;
  MediaTime previousSourceEnd_;
  bool ended_ = false;
};

// Hands decoded frames from the decoding thread to the composing one; holds
// a few frames at most.
class FrameQueue {
 public:
  static constexpr std::size_t kCapacity = 4;
  using Item = std::vector<FramePtr>;

  bool push(Item item) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return items_.size() < kCapacity || closed_; });
    if (closed_) return false;
    items_.push_back(std::move(item));
    changed_.notify_all();
    return true;
  }
  void fail(Error error) {
    std::lock_guard lock(mutex_);
    error_ = std::move(error);
    closed_ = true;
    changed_.notify_all();
  }
  void close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }
  // The next item; nothing once the queue is closed and empty.
  Result<std::optional<Item>> pop() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !items_.empty() || closed_; });
    if (error_) return failure(*error_);
    if (items_.empty()) return std::optional<Item>();
    Item item = std::move(items_.front());
    items_.pop_front();
    changed_.notify_all();
    return std::optional<Item>(std::move(item));
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Item> items_;
  std::optional<Error> error_;
  bool closed_ = false;
};

struct YUV {
  std::uint8_t y, u, v;
};

YUV toYUV(std::uint32_t argb) {
  const int r = (argb >> 16) & 0xff, g = (argb >> 8) & 0xff, b = argb & 0xff;
  return {static_cast<std::uint8_t>((66 * r + 129 * g + 25 * b + 128) / 256 + 16),
          static_cast<std::uint8_t>((-38 * r - 74 * g + 112 * b + 128) / 256 + 128),
          static_cast<std::uint8_t>((112 * r - 94 * g - 18 * b + 128) / 256 + 128)};
}

void fill(AVFrame* frame, std::uint32_t argb) {
  const YUV color = toYUV(argb);
  libyuv::SetPlane(frame->data[0], frame->linesize[0], frame->width, frame->height, color.y);
  libyuv::SetPlane(frame->data[1], frame->linesize[1], (frame->width + 1) / 2,
                   (frame->height + 1) / 2, color.u);
  libyuv::SetPlane(frame->data[2], frame->linesize[2], (frame->width + 1) / 2,
                   (frame->height + 1) / 2, color.v);
}

int evenRound(double value) {
  return static_cast<int>(std::lround(value / 2)) * 2;
}

struct EvenRect {
  int x, y, width, height;
};

EvenRect toEvenRect(const Rect& rect) {
  return {evenRound(rect.origin.x), evenRound(rect.origin.y), evenRound(rect.width()),
          evenRound(rect.height())};
}

// Draws `source` scaled into `rect` of `target` (both planar 4:2:0), clipped
// to the target.
void placeScaled(const AVFrame* source, const EvenRect& rect, AVFrame* target) {
  if (rect.width <= 0 || rect.height <= 0) return;
  const int left = std::max(0, rect.x), top = std::max(0, rect.y);
  const int right = std::min(target->width, rect.x + rect.width);
  const int bottom = std::min(target->height, rect.y + rect.height);
  if (right <= left || bottom <= top) return;
  FramePtr scaled;
  const AVFrame* placed = source;
  if (source->width != rect.width || source->height != rect.height) {
    scaled = allocateI420(rect.width, rect.height);
    libyuv::I420Scale(source->data[0], source->linesize[0], source->data[1], source->linesize[1],
                      source->data[2], source->linesize[2], source->width, source->height,
                      scaled->data[0], scaled->linesize[0], scaled->data[1], scaled->linesize[1],
                      scaled->data[2], scaled->linesize[2], rect.width, rect.height,
                      libyuv::kFilterBilinear);
    placed = scaled.get();
  }
  const int sx = left - rect.x, sy = top - rect.y;
  libyuv::I420Copy(placed->data[0] + sy * placed->linesize[0] + sx, placed->linesize[0],
                   placed->data[1] + sy / 2 * placed->linesize[1] + sx / 2, placed->linesize[1],
                   placed->data[2] + sy / 2 * placed->linesize[2] + sx / 2, placed->linesize[2],
                   target->data[0] + top * target->linesize[0] + left, target->linesize[0],
                   target->data[1] + top / 2 * target->linesize[1] + left / 2, target->linesize[1],
                   target->data[2] + top / 2 * target->linesize[2] + left / 2, target->linesize[2],
                   right - left, bottom - top);
}

Bitmap filled(int width, int height, std::uint32_t argb) {
  Bitmap buffer = Bitmap::uninitialized(width, height);
  libyuv::ARGBRect(buffer.data(), buffer.stride(), 0, 0, width, height, argb);
  return buffer;
}

struct Band {
  int y, height, x, width;
};

// Rows of the overlay grouped in bands of 16, each with the horizontal
// extent of its visible pixels; blending visits only these.
std::vector<Band> visibleBands(const Bitmap& over) {
  std::vector<Band> bands;
  for (int y = 0; y < over.height(); y += 16) {
    const int height = std::min(16, over.height() - y);
    int minX = over.width(), maxX = -1;
    for (int row = y; row < y + height; ++row) {
      const std::uint32_t* pixels = over.row(row);
      for (int x = 0; x < over.width(); ++x) {
        if (pixels[x] >> 24) {
          minX = std::min(minX, x);
          maxX = std::max(maxX, x);
        }
      }
    }
    if (maxX < 0) continue;
    const int left = minX & ~1;
    const int right = std::min(over.width(), (maxX + 2) & ~1);
    bands.push_back({y, height, left, right - left});
  }
  return bands;
}

struct LayerDraw {
  const AVFrame* frame;
  AffineTransform transform;
  double opacity;
};

class Compositor {
 public:
  Compositor(const ExportJob& job, int canvasWidth, int canvasHeight, YCbCrCoding coding)
      : job_(job), width_(canvasWidth), height_(canvasHeight), coding_(coding) {}

  Result<void> prepare() {
    plan_ = job_.overlay.get();
    if (!plan_ || !plan_->split) return {};
    for (const Bitmap* part : {&plan_->below, &plan_->above}) {
      if (!part->isNull() && (part->width() != width_ || part->height() != height_)) {
        return failure(
            Error(MediaError::invalidComposition, "the layer tree is not the render size"));
      }
    }
    if (!plan_->below.isNull()) {
      underPlanar_ = allocateI420(width_, height_);
      convertBGRAToI420(plan_->below.data(), plan_->below.stride(), underPlanar_.get());
    }
    if (!plan_->above.isNull()) bands_ = visibleBands(plan_->above);
    return {};
  }

  Result<FramePtr> compose(const std::vector<FramePtr>& frames, const MediaTime& time) {
    std::uint32_t background = 0xff000000;
    std::vector<LayerDraw> draws;
    if (const auto& composition = job_.videoComposition) {
      if (const auto* instruction = composition->instructionAt(time)) {
        background = instruction->backgroundColor;
        std::vector<int> seen;
        // The first layer instruction of a track is the one that counts; the
        // list is drawn bottom (last) to top (first).
        std::vector<const MutableVideoCompositionLayerInstruction*> effective;
        for (const auto& layer : instruction->layerInstructions) {
          if (!layer || std::find(seen.begin(), seen.end(), layer->trackID) != seen.end()) continue;
          seen.push_back(layer->trackID);
          effective.push_back(layer.get());
        }
        for (auto it = effective.rbegin(); it != effective.rend(); ++it) {
          for (std::size_t index = 0; index < job_.tracks.size(); ++index) {
            if (job_.tracks[index].trackID != (*it)->trackID || !frames[index]) continue;
            const double opacity = (*it)->opacityAt(time);
            if (opacity <= 0) continue;
            draws.push_back({frames[index].get(), (*it)->transformAt(time), opacity});
          }
        }
      }
    } else if (!frames.empty() && frames.front()) {
      const AVFrame* frame = frames.front().get();
      draws.push_back({frame,
                       AffineTransform::makeScale(double(width_) / frame->width,
                                                  double(height_) / frame->height),
                       1});
    }
    auto video = composeVideo(draws, background);
    if (!video) return video;
    if (!plan_) return video;
    return placeInLayers(std::move(*video));
  }

 private:
  Result<FramePtr> composeVideo(const std::vector<LayerDraw>& draws, std::uint32_t background) {
    if (draws.size() == 1 && draws[0].opacity >= 0.999 && draws[0].transform.b == 0 &&
        draws[0].transform.c == 0 && draws[0].transform.a > 0 && draws[0].transform.d > 0) {
      const LayerDraw& draw = draws[0];
      VELMORADINE_ASSIGN_OR_RETURN(auto planar, toI420(draw.frame, coding_));
      const EvenRect rect = toEvenRect(
          draw.transform.apply(Rect(0, 0, double(draw.frame->width), double(draw.frame->height))));
      if (rect.x == 0 && rect.y == 0 && rect.width == width_ && rect.height == height_ &&
          planar->width == width_ && planar->height == height_) {
        return planar;
      }
      FramePtr canvas = allocateI420(width_, height_);
      if (rect.x > 0 || rect.y > 0 || rect.x + rect.width < width_ ||
          rect.y + rect.height < height_) {
        fill(canvas.get(), background);
      }
      placeScaled(planar.get(), rect, canvas.get());
      return canvas;
    }
    Bitmap canvas = filled(width_, height_, background | 0xff000000);
    for (const auto& draw : draws) {
      VELMORADINE_ASSIGN_OR_RETURN(const auto picture, toBGRA(draw.frame, 0));
      paintBitmap(canvas, picture, draw.transform, draw.opacity);
    }
    FramePtr frame = allocateI420(width_, height_);
    convertBGRAToI420(canvas.data(), canvas.stride(), frame.get());
    return frame;
  }

  Result<FramePtr> placeInLayers(FramePtr video) {
    if (!plan_->split) return drawWholeTree(video.get());
    const Rect& target = plan_->videoRect;
    FramePtr output;
    if (plan_->videoOpacity >= 0.999 && plan_->videoCornerRadius <= 0) {
      const EvenRect rect = toEvenRect(target);
      const bool covers = rect.x <= 0 && rect.y <= 0 && rect.x + rect.width >= width_ &&
                          rect.y + rect.height >= height_;
      if (covers && rect.x == 0 && rect.y == 0 && rect.width == width_ && rect.height == height_) {
        output = std::move(video);
      } else {
        output = allocateI420(width_, height_);
        if (!covers) {
          if (underPlanar_) {
            av_frame_copy(output.get(), underPlanar_.get());
          } else {
            fill(output.get(), 0xff000000);
          }
        }
        placeScaled(video.get(), rect, output.get());
      }
      if (!bands_.empty()) {
        if (av_frame_make_writable(output.get()) < 0) {
          return failure(Error(MediaError::encodeFailed, "out of memory"));
        }
        blendOver(output.get());
      }
      return output;
    }
    Bitmap canvas =
        plan_->below.isNull() ? filled(width_, height_, 0xff000000) : plan_->below.clone();
    VELMORADINE_ASSIGN_OR_RETURN(const auto picture, toBGRA(video.get(), 0));
    const AffineTransform place =
        AffineTransform::makeScale(target.width() / picture.width(),
                                   target.height() / picture.height())
            .concatenating(AffineTransform::makeTranslation(target.origin.x, target.origin.y));
    paintBitmap(canvas, picture, place, plan_->videoOpacity, target, plan_->videoCornerRadius);
    if (!plan_->above.isNull()) {
      libyuv::ARGBBlend(plan_->above.data(), plan_->above.stride(), canvas.data(), canvas.stride(),
                        canvas.data(), canvas.stride(), width_, height_);
    }
    output = allocateI420(width_, height_);
    convertBGRAToI420(canvas.data(), canvas.stride(), output.get());
    return output;
  }

  // A tree the split form cannot handle: the renderer redraws what changes
  // around the new picture, over an opaque black ground as the video shows.
  Result<FramePtr> drawWholeTree(const AVFrame* video) {
    VELMORADINE_ASSIGN_OR_RETURN(auto picture, toBGRA(video, 0));
    picture.setOpaque(true);
    plan_->videoLayer->setContents(Image(std::move(picture)));
    Bitmap canvas(width_, height_);
    VELMORADINE_TRY(plan_->tree->render(canvas));
    Bitmap ground = filled(width_, height_, 0xff000000);
    libyuv::ARGBBlend(canvas.data(), canvas.stride(), ground.data(), ground.stride(), ground.data(),
                      ground.stride(), width_, height_);
    FramePtr output = allocateI420(width_, height_);
    convertBGRAToI420(ground.data(), ground.stride(), output.get());
    return output;
  }

  // Blends the overlay into the visible bands only, going through BGRA for
  // just those pixels.
  void blendOver(AVFrame* frame) {
    for (const Band& band : bands_) {
      scratch_.resize(static_cast<std::size_t>(band.width) * band.height * 4);
      const int stride = band.width * 4;
      std::uint8_t* y = frame->data[0] + band.y * frame->linesize[0] + band.x;
      std::uint8_t* u = frame->data[1] + band.y / 2 * frame->linesize[1] + band.x / 2;
      std::uint8_t* v = frame->data[2] + band.y / 2 * frame->linesize[2] + band.x / 2;
      libyuv::I420ToARGB(y, frame->linesize[0], u, frame->linesize[1], v, frame->linesize[2],
                         scratch_.data(), stride, band.width, band.height);
      libyuv::ARGBBlend(reinterpret_cast<const std::uint8_t*>(plan_->above.row(band.y) + band.x),
                        plan_->above.stride(), scratch_.data(), stride, scratch_.data(), stride,
                        band.width, band.height);
      libyuv::ARGBToI420(scratch_.data(), stride, y, frame->linesize[0], u, frame->linesize[1], v,
                         frame->linesize[2], band.width, band.height);
    }
  }

  const ExportJob& job_;
  int width_;
  int height_;
  YCbCrCoding coding_;
  OverlayPlan* plan_ = nullptr;
  FramePtr underPlanar_;
  std::vector<Band> bands_;
  std::vector<std::uint8_t> scratch_;
};

int evenDown(double value) {
  return std::max(2, static_cast<int>(std::floor(value / 2)) * 2);
}

// The coding of the output. A picture that is one source's alone keeps that
// source's BT.601 or BT.709 matrix and range, so its samples pass unchanged
// or are rounded once: a second rounding into another coding would cost up to
// a level in each channel. Anything drawn is BT.601 limited range, as the
// drawing code writes.
// A source's coding, when the exact converters read its pictures and the
// encoder can be told its matrix.
std::optional<YCbCrCoding> keepableCoding(const TrackSegment& segment) {
  // The pixel format and the bitstream's tags are known once a picture has
  // been decoded.
  auto input = openInput(segment.sourcePath, true);
  if (!input || segment.streamIndex < 0 ||
      segment.streamIndex >= static_cast<int>((*input)->nb_streams)) {
    return std::nullopt;
  }
  const AVCodecParameters* parameters = (*input)->streams[segment.streamIndex]->codecpar;
  const YCbCrCoding coding = codingOf(parameters);
  if (!isPlanarFormat(static_cast<AVPixelFormat>(parameters->format)) ||
      (coding.matrix != AVCOL_SPC_SMPTE170M && coding.matrix != AVCOL_SPC_BT709)) {
    return std::nullopt;
  }
  return coding;
}

YCbCrCoding outputCoding(const ExportJob& job) {
  if (job.videoComposition || job.overlay || job.tracks.size() != 1) return {};
  std::optional<YCbCrCoding> shared;
  const TrackSegment* previous = nullptr;
  for (const TrackSegment& segment : job.tracks.front().segments) {
    if (segment.isEmpty()) continue;
    if (previous && previous->sourcePath == segment.sourcePath &&
        previous->streamIndex == segment.streamIndex) {
      continue;
    }
    previous = &segment;
    const auto coding = keepableCoding(segment);
    if (!coding || (shared && *shared != *coding)) return {};
    shared = coding;
  }
  return shared.value_or(YCbCrCoding{});
}

}  // namespace

Result<void> renderExport(const ExportJob& job, VideoEncoderSettings settings) {
  const MediaTime frameDuration = settings.frameDuration;
  if (!job.duration.isNumeric() || !(MediaTime::zero() < job.duration)) {
    return failure(Error(MediaError::invalidComposition, "the composition is empty"));
  }
  // A frame for every frame duration that starts before the end.
  const Wide numerator = Wide(job.duration.value()) * frameDuration.timescale();
  const Wide denominator = Wide(job.duration.timescale()) * frameDuration.value();
  const std::int64_t frameCount =
      static_cast<std::int64_t>((numerator + denominator - 1) / denominator);

  int canvasWidth = settings.width, canvasHeight = settings.height;
  if (job.videoComposition) {
    canvasWidth = evenDown(job.videoComposition->renderSize.width);
    canvasHeight = evenDown(job.videoComposition->renderSize.height);
  } else {
    canvasWidth = evenDown(job.tracks.front().naturalSize.width);
    canvasHeight = evenDown(job.tracks.front().naturalSize.height);
  }
  const YCbCrCoding coding = outputCoding(job);
  Compositor compositor(job, canvasWidth, canvasHeight, coding);
  VELMORADINE_TRY(compositor.prepare());

  Encoder encoder;
  VELMORADINE_TRY(encoder.open(job.output, settings, coding));

  FrameQueue queue;
  std::atomic<bool> stop{false};
  std::thread decoding([&] {
    std::vector<TrackSampler> samplers;
    for (const auto& track : job.tracks) samplers.emplace_back(track);
    for (std::int64_t index = 0; index < frameCount && !stop; ++index) {
      const MediaTime time = frameDuration * index;
      FrameQueue::Item item;
      for (auto& sampler : samplers) {
        auto frame = sampler.frameAt(time);
        if (!frame) return queue.fail(frame.error());
        item.push_back(*frame ? referenceFrame(*frame) : nullptr);
      }
      if (!queue.push(std::move(item))) return;
    }
    queue.close();
  });

  Result<void> result;
  for (std::int64_t index = 0;; ++index) {
    if (job.cancelled && *job.cancelled) {
      result = failure(Error(MediaError::cancelled));
      break;
    }
    auto item = queue.pop();
    if (!item) {
      result = failure(item.error());
      break;
    }
    if (!*item) break;
    auto composed = compositor.compose(**item, frameDuration * index);
    if (!composed) {
      result = failure(composed.error());
      break;
    }
    FramePtr frame = std::move(*composed);
    if (frame->width != settings.width || frame->height != settings.height) {
      FramePtr scaled = allocateI420(settings.width, settings.height);
      placeScaled(frame.get(), {0, 0, settings.width, settings.height}, scaled.get());
      frame = std::move(scaled);
    }
    if (auto encoded = encoder.encode(frame.get()); !encoded) {
      result = encoded;
      break;
    }
    if (job.progress)
      job.progress(static_cast<float>(index + 1) / static_cast<float>(frameCount + 1));
  }
  stop = true;
  queue.close();
  decoding.join();
  if (result && encoder.framesEncoded() != frameCount) {
    result = failure(Error(MediaError::decodeFailed, "the sources ended early"));
  }
  if (result) result = encoder.finish();
  if (!result) encoder.abandon();
  return result;
}

}  // namespace velmoradine::media
