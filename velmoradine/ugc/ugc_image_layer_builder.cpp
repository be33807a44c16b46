#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/ugc/ugc_image_layer_configuration.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"

namespace velmoradine {
namespace {

// The export names the URL as an optional value, the preview as it is.
enum class URLText { optional, plain };

Result<Image> imageOf(const UGCImageLayerConfiguration& configuration, URLText urlText) {
  if (configuration.image) return *configuration.image;
  const std::optional<URL> url = configuration.url();
  if (!url) return failure(Error(UGCError::imageError, "No url set for image"));
  auto image = Image::read(url->filePath());
  if (!image) {
    const std::string text = urlText == URLText::optional
                                 ? "Optional(" + url->absoluteString() + ")"
                                 : url->absoluteString();
    return failure(Error(UGCError::imageError, "Unable to load image from: " + text));
  }
  return image;
}

// A copy, so the host's format keeps only the host's attributes and the
// image, applied last, wins over a host `contents`.
Result<std::shared_ptr<Layer>> imageLayer(const UGCImageLayerConfiguration& configuration,
                                          URLText urlText) {
  auto layer = Layer::create();
  VELMORADINE_ASSIGN_OR_RETURN(Image image, imageOf(configuration, urlText));
  std::vector<MutableLayerAttribute> attributes = configuration.format->attributes();
  attributes.push_back(MutableLayerAttribute::contents(std::move(image)));
  applyAttributes(*layer, attributes);
  return layer;
}

}  // namespace

Result<void> UGCImageLayerBuilder::build(const UGCImageLayerConfiguration& configuration,
                                         UGCSecneRenderer& scene) {
  VELMORADINE_ASSIGN_OR_RETURN(auto layer, imageLayer(configuration, URLText::optional));
  scene.outputLayer->addSublayer(layer);
  return {};
}

Result<void> UGCImageLayerBuilder::buildPresentation(
    const UGCImageLayerConfiguration& configuration, UGCScenePresentation& presentation) {
  auto preview = presentation.view.lock();
  if (!preview) return failure(Error(UGCError::unknown, "The scene preview has no view"));
  VELMORADINE_ASSIGN_OR_RETURN(auto layer, imageLayer(configuration, URLText::plain));
  preview->layer()->addSublayer(layer);
  return {};
}

}  // namespace velmoradine
