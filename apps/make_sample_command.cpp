// `velmoradine make-sample OUT.mp4 [--seconds N] [--size WxH]`: writes a small
// H.264 video drawn with the kit's own renderer (a moving, rounded card with a
// caption over a slowly changing background), so the main job and the
// benchmarks have a real video to share without shipping media files.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <expected>
#include <string>

#include "argument_parsing.hpp"
#include "commands.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/media/video_writer.hpp"

namespace velmoradine::cli {
namespace {

struct SampleOptions {
  std::string output;
  double seconds = 4;
  int width = 540;
  int height = 960;
};

// What is wrong with the arguments, or the options they give.
std::expected<SampleOptions, std::string> parse(const Arguments& arguments) {
  SampleOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const bool takesValue = argument == "--seconds" || argument == "--size";
    if (takesValue && i + 1 == arguments.size()) {
      return std::unexpected(argument + " needs a value");
    }
    if (argument == "--seconds") {
      auto seconds = parseNumber(arguments[++i]);
      if (!seconds || *seconds <= 0 || *seconds > 600) {
        return std::unexpected("--seconds takes a number above 0 and up to 600, not \"" +
                               arguments[i] + "\"");
      }
      options.seconds = *seconds;
    } else if (argument == "--size") {
      auto size = parsePixelSize(arguments[++i]);
      if (!size || size->width < 16 || size->height < 16 || size->width > 4096 ||
          size->height > 4096 || size->width % 2 != 0 || size->height % 2 != 0) {
        return std::unexpected("--size takes WIDTHxHEIGHT, even numbers from 16 to 4096, not \"" +
                               arguments[i] + "\"");
      }
      options.width = size->width;
      options.height = size->height;
    } else if (options.output.empty() && !argument.starts_with("--")) {
      options.output = argument;
    } else {
      return std::unexpected("unexpected argument \"" + argument + "\"");
    }
  }
  if (options.output.empty()) return std::unexpected(std::string("no output file given"));
  return options;
}

// The frame tree: background, a card that moves with time, and a caption.
struct SampleScene {
  SampleScene(int width, int height) : width(width), height(height) {
    // A frame, not bounds alone: bounds leave the position at the origin,
    // which would centre the picture on the frame's top-left corner.
    root->setFrame(Rect(0, 0, width, height));
    card->setBounds(Rect(0, 0, width * 0.6, height * 0.25));
    card->setCornerRadius(24);
    card->setBorderWidth(4);
    card->setBorderColor(Color::white());
    card->setShadowOpacity(0.5);
    card->setShadowRadius(12);
    card->setShadowOffset(Size(0, 8));
    caption->setBounds(Rect(0, 0, width * 0.9, height * 0.1));
    caption->setPosition(Point(width / 2.0, height * 0.85));
    // Narrow enough for the longest caption, "… frame 17999", on one line.
    caption->setFontSize(std::min(height / 24.0, width / 22.0));
    caption->setTruncationMode(TextLayerTruncationMode::end);
    caption->setForegroundColor(Color::white());
    caption->setAlignmentMode(TextLayerAlignmentMode::center);
    root->setSublayers({card, caption});
  }

  void update(int frame, double seconds) {
    double phase = seconds / 4.0;
    root->setBackgroundColor(
        Color::rgba(0.15 + 0.1 * std::sin(phase * 6.28), 0.2, 0.35 + 0.1 * std::cos(phase * 6.28)));
    card->setBackgroundColor(Color::rgba(0.95, 0.45 + 0.3 * std::sin(seconds), 0.2));
    card->setPosition(Point(width / 2.0 + width * 0.15 * std::sin(seconds * 1.5),
                            height * 0.4 + height * 0.1 * std::cos(seconds)));
    caption->setString(TextString("Velmoradine sample \xC2\xB7 frame " + std::to_string(frame)));
  }

  int width;
  int height;
  std::shared_ptr<Layer> root = Layer::create();
  std::shared_ptr<Layer> card = Layer::create();
  std::shared_ptr<TextLayer> caption = TextLayer::create();
};

}  // namespace

int makeSampleCommand(const Arguments& arguments) {
  auto options = parse(arguments);
  if (!options) {
    std::fprintf(stderr, "velmoradine make-sample: %s\n", options.error().c_str());
    return usageError("make-sample");
  }
  VideoEncoderSettings settings;
  settings.width = options->width;
  settings.height = options->height;
  auto writer = VideoWriter::create(options->output, settings);
  if (!writer) {
    std::fprintf(stderr, "velmoradine make-sample: %s\n", errorText(writer.error()).c_str());
    return 1;
  }
  SampleScene scene(options->width, options->height);
  Bitmap frame(options->width, options->height);
  const int frames = static_cast<int>(std::lround(options->seconds * 30));
  for (int index = 0; index < frames; ++index) {
    scene.update(index, index / 30.0);
    LayerRenderer::render(*scene.root, frame);
    if (auto appended = (*writer)->append(frame); !appended) {
      std::fprintf(stderr, "velmoradine make-sample: %s\n", errorText(appended.error()).c_str());
      return 1;
    }
  }
  if (auto finished = (*writer)->finish(); !finished) {
    std::fprintf(stderr, "velmoradine make-sample: %s\n", errorText(finished.error()).c_str());
    return 1;
  }
  std::printf("%s: %d frames, %dx%d\n", options->output.c_str(), frames, options->width,
              options->height);
  return 0;
}

}  // namespace velmoradine::cli
