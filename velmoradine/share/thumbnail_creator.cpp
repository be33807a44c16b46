#include "velmoradine/share/thumbnail_creator.hpp"

#include <algorithm>
#include <cmath>

#include "velmoradine/core/logger.hpp"
#include "velmoradine/platform/dispatch/dispatch_queue.hpp"
#include "velmoradine/platform/foundation/bundle.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"
#include "velmoradine/platform/media/image_generator.hpp"

namespace velmoradine {

Result<Image> grabThumbnail(const std::shared_ptr<URLAsset>& asset, double seconds) {
  AssetImageGenerator generator(asset);
  generator.appliesPreferredTrackTransform = true;
  generator.apertureMode = AssetImageGenerator::ApertureMode::encodedPixels;
  VELMORADINE_ASSIGN_OR_RETURN(auto picture,
                               generator.copyImage(MediaTime::withSeconds(seconds, 60)));
  picture.setOpaque(true);
  return Image(std::move(picture));
}

void thumbnail(const std::shared_ptr<URLAsset>& asset, double seconds,
               std::function<void(std::optional<Image>)> completion) {
  DispatchQueue::global()->async([asset, seconds, completion = std::move(completion)] {
    auto image = grabThumbnail(asset, seconds);
    if (!image) {
      Logger::velmoradineDebug("[AVURLAsset+Thumbnail] Unable to create thumbnail", image.error(),
                               DocumentationIdentifier::unexpecteError);
      completion(std::nullopt);
      return;
    }
    DispatchQueue::main()->async([completion, image = std::move(*image)] { completion(image); });
  });
}

Error ThumbnailCreator::thumbnailError() {
  return Error::domain("Velmoradine.VideoContent", 2, "Unable to create thumbnail");
}

Point ThumbnailCreator::badgeOrigin(Size frame, Size badge) {
  return {frame.width / 2 - badge.width / 2, frame.height / 2 - badge.height / 2};
}

std::optional<Image> ThumbnailCreator::badge() {
  auto path = Bundle::module().pathForResource("Assets/PlayButton", "png");
  if (!path) return std::nullopt;
  auto image = Image::read(*path);
  if (!image) return std::nullopt;
  return *image;
}

namespace {

// Blends premultiplied `mark` over `pixels` with its top-left corner at (x, y).
void blendOver(Bitmap& pixels, const Bitmap& mark, int x, int y) {
  for (int row = 0; row < mark.height(); ++row) {
    if (y + row < 0 || y + row >= pixels.height()) continue;
    const std::uint32_t* source = mark.row(row);
    std::uint32_t* target = pixels.row(y + row);
    for (int column = 0; column < mark.width(); ++column) {
      if (x + column < 0 || x + column >= pixels.width()) continue;
      const std::uint32_t s = source[column];
      const std::uint32_t keep = 255 - (s >> 24);
      std::uint32_t& d = target[x + column];
      std::uint32_t out = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t channel =
            ((s >> shift) & 0xff) + (((d >> shift) & 0xff) * keep + 127) / 255;
        out |= std::min<std::uint32_t>(channel, 255) << shift;
      }
      d = out;
    }
  }
}

}  // namespace

Image ThumbnailCreator::compose(const Image& frame, const std::optional<Image>& badge) {
  if (!badge) return frame;
  const Size size = frame.size();
  const Point origin = badgeOrigin(size, badge->size());
  RenderOptions options;
  options.scale = frame.scale();
  auto play = Layer::create();
  play->setContents(*badge);
  play->setOpacity(static_cast<float>(kBadgeOpacity));

  // An opaque frame hides the white ground entirely, so only the badge needs
  // drawing: into a bitmap of its own, then blended onto a copy of the frame.
  const double x = origin.x * frame.scale(), y = origin.y * frame.scale();
  if (frame.bitmap().isOpaque() && x == std::floor(x) && y == std::floor(y)) {
    play->setFrame(Rect(Point{0, 0}, badge->size()));
    const Bitmap mark = LayerRenderer::render(
        *play, static_cast<int>(std::ceil(badge->size().width * frame.scale())),
        static_cast<int>(std::ceil(badge->size().height * frame.scale())), options);
    Bitmap pixels = frame.bitmap().clone();
    blendOver(pixels, mark, static_cast<int>(x), static_cast<int>(y));
    pixels.setOpaque(true);
    return Image(std::move(pixels), frame.scale());
  }

  auto root = Layer::create();
  root->setFrame(Rect(Point{0, 0}, size));
  root->setBackgroundColor(Color::white());
  auto picture = Layer::create();
  picture->setFrame(Rect(Point{0, 0}, size));
  picture->setContents(frame);
  play->setFrame(Rect(origin, badge->size()));
  root->addSublayer(picture);
  root->addSublayer(play);
  Bitmap pixels = LayerRenderer::render(*root, frame.pixelWidth(), frame.pixelHeight(), options);
  pixels.setOpaque(true);
  return Image(std::move(pixels), frame.scale());
}

namespace {

Result<std::vector<std::uint8_t>> encode(const Image& frame) {
  auto bytes = ThumbnailCreator::compose(frame, ThumbnailCreator::badge())
                   .jpegData(ThumbnailCreator::kCompressionQuality);
  if (!bytes || bytes->empty()) return failure(ThumbnailCreator::thumbnailError());
  return bytes;
}

}  // namespace

Result<std::vector<std::uint8_t>> ThumbnailCreator::thumbnailNow(
    const std::filesystem::path& videoURL) {
  auto frame = grabThumbnail(URLAsset::make(videoURL), 0);
  if (!frame) return failure(thumbnailError());
  return encode(*frame);
}

void ThumbnailCreator::thumbnail(
    const std::filesystem::path& videoURL,
    std::function<void(Result<std::vector<std::uint8_t>>)> completion) {
  velmoradine::thumbnail(URLAsset::make(videoURL), 0,
                         [completion = std::move(completion)](std::optional<Image> frame) {
                           if (!frame) return completion(failure(thumbnailError()));
                           completion(encode(*frame));
                         });
}

}  // namespace velmoradine
