#pragma once

// The image layers: an image given in memory, or the local file a URL
// resolved to. Threading: see ugc_layer_configuration.hpp; `url` is written
// by the download's callback on the resource's queue and read when the
// scene is built, so it is guarded.

#include <memory>
#include <mutex>
#include <optional>

#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/platform/graphics/image.hpp"
#include "velmoradine/ugc/ugc_layer_configuration.hpp"

namespace velmoradine {

class UGCImageLayerConfiguration : public UGCLayerConfiguration {
 public:
  explicit UGCImageLayerConfiguration(std::shared_ptr<UGCImageFormat> format)
      : format(std::move(format)) {}

  Result<void> build(UGCSecneRenderer& scene) override;
  Result<void> buildPresentation(UGCScenePresentation& presentation) override;
  Error readinessFailure(const Error& error) const override;

  std::shared_ptr<UGCImageFormat> format;
  std::optional<Image> image;

  // The local file of the image, once known.
  std::optional<URL> url() const;
  void setUrl(std::optional<URL> url);

 private:
  mutable std::mutex urlMutex_;
  std::optional<URL> url_;  // guarded by urlMutex_
};

}  // namespace velmoradine
