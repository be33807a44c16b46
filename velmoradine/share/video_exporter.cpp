#include "velmoradine/share/video_exporter.hpp"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>

#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/media/asset.hpp"
#include "velmoradine/platform/media/export_session.hpp"
#include "velmoradine/share/temporary_directory_helper.hpp"

namespace velmoradine {
namespace {

class ExporterCategory final : public ErrorCategory {
 public:
  explicit ExporterCategory(const char* name) : name_(name) {}
  const char* name() const noexcept override { return name_; }
  std::string message(int value) const override {
    return value == 2 ? "Unable to read file." : "An unknown error occurred.";
  }

 private:
  const char* name_;
};

}  // namespace

std::error_code make_error_code(VideoExporter::Error error) {
  static const auto& category = *new ExporterCategory("Velmoradine.VideoExporter.Error");
  return {static_cast<int>(error), category};
}

std::error_code make_error_code(VideoExportErrors::Error error) {
  static const auto& category = *new ExporterCategory("Velmoradine.VideoExportErrors.Error");
  return {static_cast<int>(error), category};
}

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
