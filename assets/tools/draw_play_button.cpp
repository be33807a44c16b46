// Draws the kit's play badge ("Assets/PlayButton.png" in the asset bundle)
// with the kit's own layer renderer: a translucent dark disc with a white
// ring and a white play triangle, 100×100 pixels.
//
//   velmoradine_draw_play_button OUT.png

#include <cstdio>
#include <fstream>

#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/platform/graphics/layer.hpp"
#include "velmoradine/platform/graphics/path.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

using namespace velmoradine;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velmoradine_draw_play_button OUT.png\n");
    return 2;
  }
  constexpr double kSize = 100;
  auto root = Layer::create();
  root->setFrame(Rect(0, 0, kSize, kSize));

  auto disc = Layer::create();
  disc->setFrame(Rect(4, 4, kSize - 8, kSize - 8));
  disc->setCornerRadius((kSize - 8) / 2);
  disc->setBackgroundColor(Color::rgba(0.05, 0.05, 0.08, 0.55));
  disc->setBorderWidth(5);
  disc->setBorderColor(Color::white());
  root->addSublayer(disc);

  // The triangle is the layer's shadow shape: the renderer fills a shadow
  // path exactly, with no blur and no offset.
  Path triangle;
  triangle.moveTo({38, 29});
  triangle.lineTo({38, 71});
  triangle.lineTo({73, 50});
  triangle.closeSubpath();
  auto play = Layer::create();
  play->setFrame(Rect(0, 0, kSize, kSize));
  play->setShadowPath(triangle);
  play->setShadowColor(Color::white());
  play->setShadowOpacity(1);
  play->setShadowRadius(0);
  play->setShadowOffset({0, 0});
  root->addSublayer(play);

  Image image(LayerRenderer::render(*root, static_cast<int>(kSize), static_cast<int>(kSize)));
  auto png = image.pngData();
  if (!png) {
    std::fprintf(stderr, "could not encode the badge\n");
    return 1;
  }
  std::ofstream(argv[1], std::ios::binary)
      .write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  return 0;
}
