#include "velmoradine/model/layer_attributes.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"
#include "velmoradine/ugc/ugc_secne_renderer.hpp"
#include "velmoradine/ugc/ugc_text_layer_configuration.hpp"

namespace velmoradine {

void UGCTextLayerBuilder::build(const UGCTextLayerConfiguration& configuration,
                                UGCSecneRenderer& scene) {
  auto layer = TextLayer::create();
  configuration.format->appendAttribute(
      MutableLayerAttribute::string(TextString(configuration.text)));
  applyAttributes(*layer, configuration.format->attributes());
  // The export draws the whole tree when it starts, so the text needs no
  // drawing of its own here.
  scene.outputLayer->addSublayer(layer);
}

}  // namespace velmoradine
