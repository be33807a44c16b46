#include <cmath>
#include <cstdio>
#include <fstream>

#include "commands.hpp"
#include "velmoradine/model/layer_description.hpp"
#include "velmoradine/platform/foundation/file_contents.hpp"
#include "velmoradine/platform/graphics/renderer.hpp"

namespace velmoradine::cli {
namespace {

// A description is text of kilobytes; only a regular file up to this size is
// read, so a device or a pipe named as one cannot hang the command.
constexpr std::size_t kLargestDescription = std::size_t{16} << 20;

}  // namespace

// Renders a JSON description of a layer tree to a PNG (docs/graphics.md
// gives the form). Nothing is written when the description has an error.
int renderLayersCommand(const Arguments& arguments) {
  if (arguments.size() != 2) return usageError("render-layers");
  const std::filesystem::path input = arguments[0];
  const std::filesystem::path output = arguments[1];
  Result<Data> text = readContents(input, kLargestDescription);
  if (!text) {
    // The error's own text names the file again; the reason alone follows it.
    std::fprintf(stderr, "render-layers: cannot read %s: %s\n", input.c_str(),
                 text.error().code().message().c_str());
    return 1;
  }
  auto tree =
      parseLayerTreeDescription(std::string(text->begin(), text->end()), input.parent_path());
  if (!tree) {
    std::fprintf(stderr, "render-layers: %s\n", tree.error().localizedDescription().c_str());
    return 1;
  }
  RenderOptions options;
  options.background = tree->background;
  Bitmap pixels = LayerRenderer::render(*tree->root, static_cast<int>(std::ceil(tree->size.width)),
                                        static_cast<int>(std::ceil(tree->size.height)), options);
  auto png = Image(std::move(pixels)).pngData();
  if (!png) {
    std::fprintf(stderr, "render-layers: %s\n", png.error().localizedDescription().c_str());
    return 1;
  }
  std::ofstream out(output, std::ios::binary | std::ios::trunc);
  if (!out ||
      !out.write(reinterpret_cast<const char*>(png->data()),
                 static_cast<std::streamsize>(png->size())) ||
      !out.flush()) {
    std::fprintf(stderr, "render-layers: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace velmoradine::cli
