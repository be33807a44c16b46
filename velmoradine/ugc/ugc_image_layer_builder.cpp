#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/ugc/ugc_image_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"

namespace velmoradine {
namespace {

Result<Image> imageOf(const UGCImageLayerConfiguration& configuration) {
  if (configuration.image) return *configuration.image;
  const std::optional<URL> url = configuration.url();
  if (!url) return failure(Error(UGCError::imageError, "No url set for image"));
  auto image = Image::read(url->filePath());
  if (!image) {
    return failure(Error(UGCError::imageError,
                         "Unable to load image from: Optional(" + url->absoluteString() + ")"));
  }
  return image;
}

}  // namespace

Result<void> UGCImageLayerBuilder::build(const UGCImageLayerConfiguration& configuration,
                                         UGCSecneRenderer& scene) {
  auto layer = Layer::create();
  VELMORADINE_ASSIGN_OR_RETURN(Image image, imageOf(configuration));
  // A copy, so the host's format keeps only the host's attributes and the
  // image, applied last, wins over a host `contents`.
  std::vector<MutableLayerAttribute> attributes = configuration.format->attributes();
  attributes.push_back(MutableLayerAttribute::contents(std::move(image)));
  applyAttributes(*layer, attributes);
  scene.outputLayer->addSublayer(layer);
  return {};
}

}  // namespace velmoradine
