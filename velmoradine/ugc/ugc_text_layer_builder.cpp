#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"
#include "velmoradine/ugc/ugc_scene_presentation.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"
#include "velmoradine/ugc/ugc_text_layer_configuration.hpp"

namespace velmoradine {

namespace {

std::shared_ptr<TextLayer> textLayer(const UGCTextLayerConfiguration& configuration) {
  auto layer = TextLayer::create();
  configuration.format->appendAttribute(
      MutableLayerAttribute::string(TextString(configuration.text)));
  applyAttributes(*layer, configuration.format->attributes());
  return layer;
}

}  // namespace

// The export, and the window showing a preview, draw the whole tree when
// they next draw, so the text needs no drawing of its own here.
void UGCTextLayerBuilder::build(const UGCTextLayerConfiguration& configuration,
                                UGCSecneRenderer& scene) {
  scene.outputLayer->addSublayer(textLayer(configuration));
}

Result<void> UGCTextLayerBuilder::buildPresentation(const UGCTextLayerConfiguration& configuration,
                                                    UGCScenePresentation& presentation) {
  auto preview = presentation.view.lock();
  if (!preview) return failure(Error(UGCError::unknown, "The scene preview has no view"));
  preview->layer()->addSublayer(textLayer(configuration));
  return {};
}

}  // namespace velmoradine
