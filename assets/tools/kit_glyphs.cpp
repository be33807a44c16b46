#include "assets/tools/kit_glyphs.hpp"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>

#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/graphics/path.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine::kitimages {
namespace {

constexpr double kGrid = 100;

Color rgb(std::uint32_t value) {
  return Color::rgba(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
                     (value & 0xFF) / 255.0);
}

// The kit's palette: one colour per outlet, chosen for contrast with white,
// none of them another product's brand colour.
const Color kWhite = Color::white();
const Color kInk = rgb(0x1F1B2E);
const Color kPaper = rgb(0xF2F0FA);

// Paints filled shapes, given on the 100-unit grid, onto a square image.
class Canvas {
 public:
  Canvas(int pixels, std::optional<Color> background) : pixels_(pixels), root_(Layer::create()) {
    root_->setFrame(Rect(0, 0, pixels, pixels));
    root_->setBackgroundColor(background);
  }

  // A layer's shadow path is filled exactly (no blur, no offset), which
  // makes it the renderer's way of filling an arbitrary shape.
  void fill(const Path& path, Color color) {
    const double scale = pixels_ / kGrid;
    auto shape = Layer::create();
    shape->setFrame(Rect(0, 0, pixels_, pixels_));
    shape->setShadowPath(path.applying(AffineTransform::makeScale(scale, scale)));
    shape->setShadowColor(color);
    shape->setShadowOpacity(1);
    shape->setShadowRadius(0);
    shape->setShadowOffset({0, 0});
    root_->addSublayer(shape);
  }

  Image render() const { return Image(LayerRenderer::render(*root_, pixels_, pixels_)); }

 private:
  int pixels_;
  std::shared_ptr<Layer> root_;
};

Path polygon(std::initializer_list<Point> points) {
  Path path;
  bool first = true;
  for (Point point : points) {
    first ? path.moveTo(point) : path.lineTo(point);
    first = false;
  }
  path.closeSubpath();
  return path;
}

Path disc(Point centre, double radius) {
  return Path::ellipse(Rect(centre.x - radius, centre.y - radius, 2 * radius, 2 * radius));
}

// A speech bubble with its tail at the lower left.
Image messageIcon() {
  Canvas canvas(kIconPixels, rgb(0x3D7BE0));
  canvas.fill(Path::ellipse(Rect(22, 26, 56, 42)), kWhite);
  canvas.fill(polygon({{33, 58}, {27, 77}, {47, 65}}), kWhite);
  return canvas.render();
}

// A portrait story frame with a progress bar along its top and a play mark.
Image storiesIcon() {
  const Color background = rgb(0xD9467A);
  Canvas canvas(kIconPixels, background);
  canvas.fill(Path::roundedRect(Rect(33, 21, 34, 58), 7), kWhite);
  canvas.fill(Path::roundedRect(Rect(39, 27, 22, 46), 3), background);
  canvas.fill(Path::rect(Rect(42, 31, 16, 3)), kWhite);
  canvas.fill(polygon({{45, 42}, {45, 58}, {58, 50}}), kWhite);
  return canvas.render();
}

// An arrow pointing down into an open tray.
Image downloadIcon() {
  Canvas canvas(kIconPixels, rgb(0x2E9E6B));
  canvas.fill(Path::rect(Rect(45, 20, 10, 30)), kWhite);
  canvas.fill(polygon({{33, 46}, {67, 46}, {50, 64}}), kWhite);
  canvas.fill(Path::rect(Rect(24, 58, 7, 19)), kWhite);
  canvas.fill(Path::rect(Rect(69, 58, 7, 19)), kWhite);
  canvas.fill(Path::rect(Rect(24, 70, 52, 7)), kWhite);
  return canvas.render();
}

// A written post: a card with three lines of text.
Image postIcon() {
  const Color background = rgb(0x34495E);
  Canvas canvas(kIconPixels, background);
  canvas.fill(Path::roundedRect(Rect(24, 26, 52, 48), 8), kWhite);
  canvas.fill(Path::rect(Rect(32, 35, 36, 5)), background);
  canvas.fill(Path::rect(Rect(32, 44, 36, 5)), background);
  canvas.fill(Path::rect(Rect(32, 53, 22, 5)), background);
  return canvas.render();
}

// A framed picture: two hills under a sun.
Image pictureIcon() {
  const Color background = rgb(0xE8793A);
  Canvas canvas(kIconPixels, background);
  canvas.fill(Path::roundedRect(Rect(22, 28, 56, 44), 6), kWhite);
  canvas.fill(Path::rect(Rect(28, 34, 44, 32)), background);
  canvas.fill(polygon({{30, 66}, {50, 42}, {68, 66}}), kWhite);
  canvas.fill(polygon({{54, 66}, {63, 55}, {72, 66}}), kWhite);
  canvas.fill(disc({62, 41}, 4), kWhite);
  return canvas.render();
}

// Three dots in a row.
Image moreIcon() {
  Canvas canvas(kIconPixels, rgb(0x7D8590));
  for (double x : {30.0, 50.0, 70.0}) canvas.fill(disc({x, 50}, 7), kWhite);
  return canvas.render();
}

// Two sheets, the front one overlapping the back one's outline.
Image copyIcon() {
  const Color background = rgb(0x6A4FC8);
  Canvas canvas(kIconPixels, background);
  canvas.fill(Path::roundedRect(Rect(26, 20, 36, 46), 6), kWhite);
  canvas.fill(Path::roundedRect(Rect(32, 26, 24, 34), 3), background);
  canvas.fill(Path::roundedRect(Rect(35, 31, 42, 52), 8), background);
  canvas.fill(Path::roundedRect(Rect(39, 35, 34, 44), 5), kWhite);
  return canvas.render();
}

// The kit's mark: a "V" chevron on a rounded badge. Its notch covers the
// centre, which therefore shows the badge.
Image logo(Color badge, Color mark) {
  Canvas canvas(kLogoPixels, std::nullopt);
  canvas.fill(Path::roundedRect(Rect(0, 0, kGrid, kGrid), 22), badge);
  canvas.fill(polygon({{20, 26}, {36, 26}, {50, 60}, {64, 26}, {80, 26}, {58, 76}, {42, 76}}),
              mark);
  return canvas.render();
}

}  // namespace

std::vector<KitImage> drawKitImages() {
  return {
      {"IMessage", messageIcon()},
      {"InstagramStories", storiesIcon()},
      {"Download", downloadIcon()},
      {"Twitter", postIcon()},
      {"InstagramFeed", pictureIcon()},
      {"More", moreIcon()},
      {"Copy", copyIcon()},
      {"Velmoradine-lightMode", logo(kInk, kWhite)},
      {"Velmoradine-darkMode", logo(kPaper, kInk)},
  };
}

}  // namespace velmoradine::kitimages
