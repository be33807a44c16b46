#include "velmoradine/ugc/ugc_layer_configuration.hpp"

#include "velmoradine/model/ugc_error.hpp"

namespace velmoradine {

Result<void> UGCLayerConfiguration::build(UGCSecneRenderer&) {
  return {};
}

Result<void> UGCLayerConfiguration::buildPresentation(UGCScenePresentation&) {
  return {};
}

void UGCLayerConfiguration::ready(ReadyCompletion completion) {
  if (completion) completion(std::nullopt);
}

Error UGCLayerConfiguration::readinessFailure(const Error&) const {
  return Error(UGCError::unknown);
}

}  // namespace velmoradine
