#pragma once

// The exporters that turn a video file into the bytes to upload. The share
// pipeline uploads the file unchanged (`VideoExporter`, `PassThrough`);
// `AVExport` transcodes at medium quality and is available to hosts that
// want smaller uploads.

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "velmoradine/platform/foundation/data.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

using VideoBytes = Data;
using VideoExportCompletion = std::function<void(Result<VideoBytes>)>;

// A type that exports a video through a type-level operation.
template <typename T>
concept VideoExportProtocol = requires(const std::filesystem::path& url,
                                       VideoExportCompletion completion) {
  { T::exportVideo(url, completion) } -> std::same_as<void>;
};

struct VideoExporter {
  enum class Error { unknown = 1, readFile };
  // Reads the whole file and delivers its bytes, or the reading error, on
  // the calling thread.
  static void exportVideo(const std::filesystem::path& videoURL,
                          const VideoExportCompletion& completion);
};

struct VideoExportErrors {
  enum class Error { unknown = 1, readFile };
};

struct PassThrough : VideoExportErrors {
  static void exportVideo(const std::filesystem::path& videoURL,
                          const VideoExportCompletion& completion);
};

// Transcodes with the medium-quality preset into "export.mp4" in a fresh
// temporary directory, then delivers that file's bytes (or the error of
// reading it) on the export's thread.
struct AVExport : VideoExportErrors {
  static void exportVideo(const std::filesystem::path& videoURL,
                          const VideoExportCompletion& completion);
};

const ErrorCategory& videoExporterErrorCategory();
const ErrorCategory& videoExportErrorsErrorCategory();
std::error_code make_error_code(VideoExporter::Error error);
std::error_code make_error_code(VideoExportErrors::Error error);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::VideoExporter::Error> : std::true_type {};
template <>
struct std::is_error_code_enum<velmoradine::VideoExportErrors::Error> : std::true_type {};
