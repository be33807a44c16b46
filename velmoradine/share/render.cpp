#include "velmoradine/share/render.hpp"

#include <mutex>
#include <optional>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/network/hashing.hpp"
#include "velmoradine/platform/dispatch/dispatch_group.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/share/thumbnail_creator.hpp"
#include "velmoradine/share/video_exporter.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(Render::Error, renderErrorCategory, "Velmoradine.Render",
                                     {Render::Error::unknown, "An unknown error occurred."},
                                     {Render::Error::thumbnail, "Unable to export thumbnail file."},
                                     {Render::Error::video, "Unable to export video file."})

void Render::renderThumbnailAndVideo(const std::filesystem::path& videoURL,
                                     std::function<void(Result<ThumbnailAndVideo>)> completion) {
  struct Holders {
    std::optional<std::vector<std::uint8_t>> thumbnail;
    std::optional<Data> video;
    std::optional<std::string> videoMD5;
    std::optional<velmoradine::Error> videoUnreadable;
  };
  auto holders = std::make_shared<Holders>();
  DispatchGroup group;
  group.enter();
  group.enter();

  ThumbnailCreator::thumbnail(
      videoURL, [holders, group](Result<std::vector<std::uint8_t>> result) mutable {
        if (result) {
          holders->thumbnail = std::move(*result);
        } else {
          Logger::velmoradineDebug("[ThumbnailCreator] failed to create thumbnail", result.error());
        }
        group.leave();
      });

  VideoExporter::exportVideo(videoURL, [&](Result<VideoBytes> result) {
    if (result) {
      holders->video = std::move(*result);
      // The upload plan needs the video's digest: taking it while the preview
      // is made keeps it off the main thread and out of the wait.
      group.enter();
      DispatchQueue::global()->async([holders, group]() mutable {
        auto digest = streamedMD5Base64(*holders->video);
        if (digest) {
          holders->videoMD5 = std::move(*digest);
        } else {
          holders->videoUnreadable = std::move(digest.error());
        }
        group.leave();
      });
    } else {
      Logger::velmoradineDebug("[VideoExporter] failed to create video export", result.error());
    }
    group.leave();
  });

  group.notify(DispatchQueue::main(), [holders, completion = std::move(completion)] {
    if (!holders->video) return completion(failure(velmoradine::Error(Error::video)));
    if (holders->videoUnreadable) {
      Logger::velmoradineDebug("[VideoExporter] failed to create video export",
                               *holders->videoUnreadable);
      return completion(failure(velmoradine::Error(Error::video)));
    }
    if (!holders->thumbnail) return completion(failure(velmoradine::Error(Error::thumbnail)));
    completion(ThumbnailAndVideo{std::move(*holders->thumbnail), std::move(*holders->video),
                                 std::move(holders->videoMD5)});
  });
}

}  // namespace velmoradine
