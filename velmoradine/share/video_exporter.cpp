#include "velmoradine/share/video_exporter.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "velmoradine/platform/foundation/error_enumeration.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/share/temporary_directory_helper.hpp"

namespace velmoradine {

VELMORADINE_DEFINE_ERROR_ENUMERATION(VideoExporter::Error, videoExporterErrorCategory,
                                     "Velmoradine.VideoExporter",
                                     {VideoExporter::Error::unknown, "An unknown error occurred."},
                                     {VideoExporter::Error::readFile, "Unable to read file."})

VELMORADINE_DEFINE_ERROR_ENUMERATION(VideoExportErrors::Error, videoExportErrorsErrorCategory,
                                     "Velmoradine.VideoExportErrors",
                                     {VideoExportErrors::Error::unknown,
                                      "An unknown error occurred."},
                                     {VideoExportErrors::Error::readFile, "Unable to read file."})

void VideoExporter::exportVideo(const std::filesystem::path& videoURL,
                                const VideoExportCompletion& completion) {
  completion(viewContents(videoURL));
}

void PassThrough::exportVideo(const std::filesystem::path& videoURL,
                              const VideoExportCompletion& completion) {
  completion(viewContents(videoURL));
}

void AVExport::exportVideo(const std::filesystem::path& videoURL,
                           const VideoExportCompletion& completion) {
  auto session = AssetExportSession::make(URLAsset::make(videoURL), AssetExportPresetMediumQuality);
  if (!session) return completion(failure(Error(VideoExportErrors::Error::readFile)));
  auto directory = TemporaryDirectoryHelper::createTempDirectory(std::nullopt);
  if (!directory) return completion(failure(Error(VideoExportErrors::Error::readFile)));
  session->outputURL = *directory / "export.mp4";
  session->outputFileType = FileTypeMPEG4;
  const std::filesystem::path output = session->outputURL;
  session->exportAsynchronously([output, folder = *directory, completion] {
    auto bytes = viewContents(output);
    // The view keeps the file open, so it stays readable after its folder is
    // removed; nothing else would remove it.
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    completion(std::move(bytes));
  });
}

static_assert(VideoExportProtocol<VideoExporter>);
static_assert(VideoExportProtocol<PassThrough>);
static_assert(VideoExportProtocol<AVExport>);

}  // namespace velmoradine
