#include "velmoradine/ugc/ugc_image_layer_configuration.hpp"

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/ugc/ugc_layer_builder.hpp"

namespace velmoradine {

Result<void> UGCImageLayerConfiguration::build(UGCSecneRenderer& scene) {
  return UGCImageLayerBuilder::build(*this, scene);
}

Result<void> UGCImageLayerConfiguration::buildPresentation(UGCScenePresentation& presentation) {
  return UGCImageLayerBuilder::buildPresentation(*this, presentation);
}

Error UGCImageLayerConfiguration::readinessFailure(const Error& error) const {
  return Error(UGCError::imageError, error.localizedDescription());
}

std::optional<URL> UGCImageLayerConfiguration::url() const {
  std::lock_guard lock(urlMutex_);
  return url_;
}

void UGCImageLayerConfiguration::setUrl(std::optional<URL> url) {
  std::lock_guard lock(urlMutex_);
  url_ = std::move(url);
}

}  // namespace velmoradine
