#include "velmoradine/ugc/ugc_url_image_layer_configuration.hpp"

namespace velmoradine {

UGCURLImageLayerConfiguration::UGCURLImageLayerConfiguration(std::shared_ptr<UGCImageFormat> format,
                                                             const URL& url)
    : UGCImageLayerConfiguration(std::move(format)), resource(Resource::create(url)) {}

std::shared_ptr<UGCURLImageLayerConfiguration> UGCURLImageLayerConfiguration::make(
    std::shared_ptr<UGCImageFormat> format, const URL& url) {
  std::shared_ptr<UGCURLImageLayerConfiguration> configuration(
      new UGCURLImageLayerConfiguration(std::move(format), url));
  configuration->resource->fetch([configuration](const Result<URL>& file) {
    if (file) configuration->setUrl(*file);
  });
  return configuration;
}

void UGCURLImageLayerConfiguration::ready(ReadyCompletion completion) {
  resource->fetch([completion = std::move(completion)](const Result<URL>& file) {
    if (!completion) return;
    completion(file ? std::nullopt : std::optional<Error>(file.error()));
  });
}

}  // namespace velmoradine
