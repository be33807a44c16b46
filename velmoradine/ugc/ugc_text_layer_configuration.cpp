#include "velmoradine/ugc/ugc_text_layer_configuration.hpp"

#include "velmoradine/ugc/ugc_layer_builder.hpp"

namespace velmoradine {

Result<void> UGCTextLayerConfiguration::build(UGCSecneRenderer& scene) {
  UGCTextLayerBuilder::build(*this, scene);
  return {};
}

Result<void> UGCTextLayerConfiguration::buildPresentation(UGCScenePresentation& presentation) {
  return UGCTextLayerBuilder::buildPresentation(*this, presentation);
}

}  // namespace velmoradine
