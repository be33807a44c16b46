#include "velmoradine/platform/media/export_session.hpp"

#include <cmath>
#include <thread>

#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/overlay.hpp"
#include "velmoradine/platform/media/render_pipeline.hpp"

namespace velmoradine {

namespace {

int evenDown(double value) {
  return std::max(2, static_cast<int>(std::floor(value / 2)) * 2);
}

}  // namespace

std::shared_ptr<AssetExportSession> AssetExportSession::make(std::shared_ptr<const Asset> asset,
                                                             const std::string& presetName) {
  if (!asset || (presetName != AssetExportPresetHighestQuality &&
                 presetName != AssetExportPresetMediumQuality &&
                 presetName != AssetExportPresetPassthrough)) {
    return nullptr;
  }
  return std::make_shared<AssetExportSession>(std::move(asset), presetName);
}

AssetExportSession::AssetExportSession(std::shared_ptr<const Asset> asset, std::string presetName)
    : asset_(std::move(asset)), presetName_(std::move(presetName)) {}

AssetExportSession::~AssetExportSession() = default;

AssetExportSessionStatus AssetExportSession::status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::optional<Error> AssetExportSession::error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

float AssetExportSession::progress() const {
  return progress_.load();
}

bool AssetExportSession::usedStreamCopy() const {
  std::lock_guard lock(mutex_);
  return streamCopied_;
}

void AssetExportSession::cancelExport() {
  cancelled_ = true;
}

void AssetExportSession::exportAsynchronously(std::function<void()> completion) {
  {
    std::lock_guard lock(mutex_);
    if (status_ != AssetExportSessionStatus::unknown) return;
    status_ = AssetExportSessionStatus::waiting;
    completion_ = std::move(completion);
  }
  if (videoComposition && videoComposition->animationTool && !cancelled_) {
    const int width = evenDown(videoComposition->renderSize.width);
    const int height = evenDown(videoComposition->renderSize.height);
    auto prepared = media::prepareOverlay(*videoComposition->animationTool, width, height);
    if (prepared) {
      overlay_ = std::move(*prepared);
    } else {
      overlayError_ = prepared.error();
    }
  }
  // The thread holds the session until the completion has run.
  std::thread([self = shared_from_this()] { self->run(); }).detach();
}

void AssetExportSession::finish(AssetExportSessionStatus status, std::optional<Error> error) {
  std::function<void()> completion;
  {
    std::lock_guard lock(mutex_);
    status_ = status;
    error_ = std::move(error);
    if (status == AssetExportSessionStatus::completed) progress_ = 1;
    completion = std::move(completion_);
  }
  if (completion) completion();
}

void AssetExportSession::run() {
  if (cancelled_) return finish(AssetExportSessionStatus::cancelled, Error(MediaError::cancelled));
  {
    std::lock_guard lock(mutex_);
    status_ = AssetExportSessionStatus::exporting;
  }
  if (outputURL.empty())
    return finish(AssetExportSessionStatus::failed, Error(MediaError::noOutputURL));
  if (outputFileType != FileTypeMPEG4) {
    return finish(AssetExportSessionStatus::failed,
                  Error(MediaError::unsupportedFileType, outputFileType));
  }
  if (const auto* url = dynamic_cast<const URLAsset*>(asset_.get())) {
    if (auto error = url->loadError()) return finish(AssetExportSessionStatus::failed, *error);
  }
  if (overlayError_) return finish(AssetExportSessionStatus::failed, *overlayError_);
  media::ExportJob job;
  job.tracks = asset_->tracksWithMediaType(MediaType::video);
  job.duration = asset_->duration();
  job.videoComposition = videoComposition;
  job.overlay = overlay_;
  job.output = outputURL;
  job.optimizeForNetworkUse = shouldOptimizeForNetworkUse;
  job.cancelled = &cancelled_;
  job.progress = [this](float value) { progress_ = value; };
  if (job.tracks.empty() || job.tracks.front().segments.empty()) {
    return finish(AssetExportSessionStatus::failed, Error(MediaError::noVideoTrack));
  }
  if (std::error_code status; std::filesystem::exists(outputURL, status)) {
    return finish(AssetExportSessionStatus::failed,
                  Error(MediaError::outputExists, outputURL.string()));
  }

  auto ended = [this](const Result<void>& result, bool copied) {
    if (result) {
      {
        std::lock_guard lock(mutex_);
        streamCopied_ = copied;
      }
      return finish(AssetExportSessionStatus::completed, std::nullopt);
    }
    if (cancelled_ || result.error() == MediaError::cancelled) {
      return finish(AssetExportSessionStatus::cancelled, Error(MediaError::cancelled));
    }
    finish(AssetExportSessionStatus::failed, result.error());
  };

  if (presetName_ == AssetExportPresetPassthrough) {
    auto possible = media::checkStreamCopy(job, false);
    if (!possible) return ended(possible, false);
    return ended(media::streamCopyExport(job), true);
  }

  const AssetTrack& first = job.tracks.front();
  VideoEncoderSettings settings;
  settings.optimizeForNetworkUse = shouldOptimizeForNetworkUse;
  Size size = first.naturalSize;
  if (videoComposition) {
    size = videoComposition->renderSize;
    settings.frameDuration = videoComposition->frameDuration;
  } else {
    settings.rotation = media::transformRotation(first.preferredTransform);
    if (first.minFrameDuration.isNumeric() && first.minFrameDuration.value() > 0) {
      settings.frameDuration = first.minFrameDuration;
    }
  }
  if (!(size.width >= 2 && size.height >= 2)) {
    return finish(AssetExportSessionStatus::failed,
                  Error(MediaError::invalidComposition, "the render size is empty"));
  }
  if (presetName_ == AssetExportPresetHighestQuality) {
    auto possible = media::checkStreamCopy(job, true);
    if (possible) {
      auto copied = media::streamCopyExport(job);
      if (copied || cancelled_) return ended(copied, true);
    }
    settings.crf = 18;
  } else {
    const double scale = std::min(1.0, 640.0 / std::max(size.width, size.height));
    size = {size.width * scale, size.height * scale};
    settings.crf = 23;
  }
  settings.width = evenDown(size.width);
  settings.height = evenDown(size.height);
  settings.preset = "veryfast";
  ended(media::renderExport(job, settings), false);
}

}  // namespace velmoradine
