#include "velmoradine/ugc/ugc_video_layer_configuration.hpp"

#include "velmoradine/model/ugc_error.hpp"
#include "velmoradine/ugc/ugc_video_layer_builder.hpp"

namespace velmoradine {

UGCVideoLayerConfiguration::UGCVideoLayerConfiguration(std::shared_ptr<UGCVideoFormat> format,
                                                       const URL& url)
    : format(std::move(format)), resource(Resource::create(url)) {}

std::shared_ptr<UGCVideoLayerConfiguration> UGCVideoLayerConfiguration::make(
    std::shared_ptr<UGCVideoFormat> format, const URL& url) {
  std::shared_ptr<UGCVideoLayerConfiguration> configuration(
      new UGCVideoLayerConfiguration(std::move(format), url));
  configuration->resource->fetch([configuration](const Result<URL>& file) {
    if (file) configuration->setUrl(*file);
  });
  return configuration;
}

Result<void> UGCVideoLayerConfiguration::build(UGCSecneRenderer& scene) {
  return UGCVideoLayerBuilder::build(*this, scene);
}

Result<void> UGCVideoLayerConfiguration::buildPresentation(UGCScenePresentation& presentation) {
  return UGCVideoLayerBuilder::buildPresentation(*this, presentation);
}

void UGCVideoLayerConfiguration::ready(ReadyCompletion completion) {
  resource->fetch([completion = std::move(completion)](const Result<URL>& file) {
    if (!completion) return;
    completion(file ? std::nullopt : std::optional<Error>(file.error()));
  });
}

Error UGCVideoLayerConfiguration::readinessFailure(const Error& error) const {
  return Error(UGCError::videoError, error.localizedDescription());
}

std::optional<URL> UGCVideoLayerConfiguration::url() const {
  std::lock_guard lock(urlMutex_);
  return url_;
}

void UGCVideoLayerConfiguration::setUrl(std::optional<URL> url) {
  std::lock_guard lock(urlMutex_);
  url_ = std::move(url);
}

}  // namespace velmoradine
