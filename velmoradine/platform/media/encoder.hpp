#pragma once

// Private to the media layer: the MPEG-4 output file and the H.264 encoder
// that feeds it. The file is written under a hidden temporary name beside its
// destination and renamed into place only when complete, so a failed or
// cancelled export never leaves a file that looks finished.

#include <filesystem>
#include <string>

#include "velmoradine/platform/media/ffmpeg_support.hpp"
#include "velmoradine/platform/media/video_writer.hpp"
#include "velmoradine/platform/media/ycbcr.hpp"

namespace velmoradine::media {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Fails with `outputExists` when `destination` is already there and with
  // `writeFailed` when its folder cannot take the file.
  Result<void> open(const std::filesystem::path& destination, const AVCodecParameters* parameters,
                    AVRational timeBase, AVRational frameRate, bool optimizeForNetworkUse,
                    int rotation);
  // Writes a packet whose times are in `timeBase` (the muxer picks its own).
  Result<void> write(AVPacket* packet, AVRational timeBase);
  // Writes the index and moves the file into place.
  Result<void> finish();
  // Removes whatever was written.
  void abandon();

 private:
  std::filesystem::path destination_;
  std::filesystem::path temporary_;
  AVFormatContext* context_ = nullptr;
  bool headerWritten_ = false;
};

class Encoder {
 public:
  // Frames will be coded in `coding`, which the stream's tags say.
  Result<void> open(const std::filesystem::path& destination, const VideoEncoderSettings& settings,
                    const YCbCrCoding& coding = {});
  // Encodes a planar 4:2:0 frame of the output size as the next frame.
  Result<void> encode(AVFrame* frame);
  Result<void> finish();
  void abandon() { output_.abandon(); }
  std::int64_t framesEncoded() const { return nextIndex_; }
  const VideoEncoderSettings& settings() const { return settings_; }

 private:
  Result<void> drain();

  VideoEncoderSettings settings_;
  CodecContext codec_;
  OutputFile output_;
  PacketPtr packet_;
  std::int64_t nextIndex_ = 0;
};

}  // namespace velmoradine::media
