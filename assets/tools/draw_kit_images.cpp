// Draws the kit's outlet icons and logos into a directory (the asset
// bundle's "Assets" folder), one PNG per image:
//
//   velmoradine_draw_kit_images OUT_DIRECTORY

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "assets/tools/kit_glyphs.hpp"

using namespace velmoradine;

namespace {

bool writePNG(const kitimages::KitImage& kitImage, const std::filesystem::path& directory) {
  auto png = kitImage.image.pngData();
  if (!png) {
    std::fprintf(stderr, "could not encode %s\n", kitImage.name.c_str());
    return false;
  }
  std::ofstream file(directory / (kitImage.name + ".png"), std::ios::binary);
  file.write(reinterpret_cast<const char*>(png->data()), static_cast<std::streamsize>(png->size()));
  if (!file) std::fprintf(stderr, "could not write %s\n", kitImage.name.c_str());
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: velmoradine_draw_kit_images OUT_DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path directory = argv[1];
  if (!std::filesystem::is_directory(directory)) {
    std::fprintf(stderr, "not a directory: %s\n", argv[1]);
    return 2;
  }
  for (const auto& kitImage : kitimages::drawKitImages()) {
    if (!writePNG(kitImage, directory)) return 1;
  }
  return 0;
}
