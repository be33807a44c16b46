// The cost of drawing a 1080×1920 frame of a video overlay: a full-frame
// image that changes every frame under 12 static layers (images, text with
// shadows, rounded bordered boxes). The pre-rendered tree draws the static
// layers once; redrawing draws the whole tree each frame. Both draw the same
// frames into the same target.

#include <cstdio>

#include "bench/support/figures.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace {

using namespace velmoradine;

constexpr int kWidth = 1080;
constexpr int kHeight = 1920;
constexpr int kFrames = 12;

Image videoFrame(int index) {
  Bitmap bitmap(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    std::uint32_t* row = bitmap.row(y);
    for (int x = 0; x < kWidth; ++x) {
      row[x] =
          0xFF000000u | (((x + index * 13) & 0xFF) << 16) | (((y + index * 7) & 0xFF) << 8) | 0x40;
    }
  }
  bitmap.setOpaque(true);
  return Image(std::move(bitmap));
}

Image sticker(Color color) {
  Bitmap bitmap(240, 240);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 240; ++x) {
      double d = ((x - 120) * (x - 120) + (y - 120) * (y - 120)) / (120.0 * 120.0);
      bitmap.row(y)[x] = premultipliedPixel(color.withAlpha(d < 1 ? 1 - d * 0.5 : 0));
    }
  }
  return Image(std::move(bitmap));
}

struct Tree {
  std::shared_ptr<Layer> root = Layer::create();
  std::shared_ptr<Layer> video = Layer::create();
};

Tree buildTree() {
  Tree tree;
  tree.root->setFrame(Rect(0, 0, kWidth, kHeight));
  tree.root->setGeometryFlipped(true);
  tree.video->setFrame(Rect(0, 0, kWidth, kHeight));
  tree.root->addSublayer(tree.video);
  const Color colors[] = {Color::rgba(1, 0.3, 0.2), Color::rgba(0.2, 0.6, 1),
                          Color::rgba(1, 0.8, 0.1), Color::rgba(0.4, 1, 0.5)};
  for (int i = 0; i < 4; ++i) {  // images
    auto image = Layer::create();
    image->setFrame(Rect(60 + i * 250, 120, 200, 200));
    image->setContents(sticker(colors[i]));
    image->setContentsGravity(ContentsGravity::resizeAspect);
    image->setCornerRadius(30);
    image->setMasksToBounds(true);
    tree.root->addSublayer(image);
  }
  for (int i = 0; i < 4; ++i) {  // rounded bordered boxes
    auto card = Layer::create();
    card->setFrame(Rect(80, 420 + i * 330, 920, 260));
    card->setBackgroundColor(Color::rgba(1, 1, 1, 0.85));
    card->setCornerRadius(40);
    card->setBorderWidth(6);
    card->setBorderColor(colors[i]);
    card->setShadowOpacity(0.4f);
    card->setShadowRadius(12);
    card->setShadowOffset({0, 10});
    tree.root->addSublayer(card);
  }
  const char* titles[] = {"Summer in the mountains", "A day by the sea with friends", "Velmoradine",
                          "Share it with everyone you know"};
  for (int i = 0; i < 4; ++i) {  // text with shadows
    auto text = TextLayer::create();
    text->setFrame(Rect(120, 470 + i * 330, 840, 160));
    text->setString(TextString(titles[i]));
    text->setFontSize(64);
    text->setFont(Font("DejaVu Sans-Bold"));
    text->setForegroundColor(Color::rgba(0.1, 0.1, 0.2));
    text->setWrapped(true);
    text->setTruncationMode(TextLayerTruncationMode::end);
    text->setAlignmentMode(TextLayerAlignmentMode::center);
    text->setShadowOpacity(0.6f);
    text->setShadowRadius(4);
    text->setShadowOffset({3, 3});
    tree.root->addSublayer(text);
  }
  return tree;
}

}  // namespace

int main() {
  Tree tree = buildTree();
  Image frames[] = {videoFrame(0), videoFrame(1), videoFrame(2)};
  RenderOptions options;
  options.origin = RenderOrigin::bottomLeft;
  Bitmap target(kWidth, kHeight);

  auto redraw = [&] {
    for (int i = 0; i < kFrames; ++i) {
      tree.video->setContents(frames[i % 3]);
      LayerRenderer::render(*tree.root, target, options);
    }
  };
  PreRenderedLayerTree preRendered(tree.root, {tree.video}, kWidth, kHeight, options);
  auto composite = [&] {
    for (int i = 0; i < kFrames; ++i) {
      tree.video->setContents(frames[i % 3]);
      if (!preRendered.render(target)) std::abort();
    }
  };
  composite();  // draws the static layers once, outside the timing
  double full = velmoradine::bench::medianSeconds(3, redraw) / kFrames;
  double fast = velmoradine::bench::medianSeconds(5, composite) / kFrames;
  velmoradine::bench::printFigure("layers_prerender_vs_redraw", fast / full);
  velmoradine::bench::printFigure("layers_fps_1080x1920", 1 / fast);
  velmoradine::bench::printFigure("layers_redraw_fps_1080x1920", 1 / full);
  return 0;
}
