#pragma once

// The video layer of a scene, fetched from a URL (a file URL stands for
// itself). The download starts when the configuration is made. Threading:
// see ugc_layer_configuration.hpp; `url` is written on the resource's queue
// and read when the scene is built, so it is guarded.

#include <memory>
#include <mutex>
#include <optional>

#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/platform/foundation/url.hpp"
#include "velmoradine/share/resource.hpp"
#include "velmoradine/ugc/ugc_layer_configuration.hpp"

namespace velmoradine {

class UGCVideoLayerConfiguration final : public UGCLayerConfiguration {
 public:
  // Starts the download; its callback holds the configuration until it ends.
  static std::shared_ptr<UGCVideoLayerConfiguration> make(std::shared_ptr<UGCVideoFormat> format,
                                                          const URL& url);

  Result<void> build(UGCSecneRenderer& scene) override;
  Result<void> buildPresentation(UGCScenePresentation& presentation) override;
  // Fetches through the same single-flight resource: every caller gets the
  // one download's outcome, on the resource's queue.
  void ready(ReadyCompletion completion) override;
  Error readinessFailure(const Error& error) const override;

  const std::shared_ptr<UGCVideoFormat> format;
  const std::shared_ptr<Resource> resource;

  // The local file of the video, once known.
  std::optional<URL> url() const;
  void setUrl(std::optional<URL> url);

 private:
  UGCVideoLayerConfiguration(std::shared_ptr<UGCVideoFormat> format, const URL& url);

  mutable std::mutex urlMutex_;
  std::optional<URL> url_;  // guarded by urlMutex_
};

}  // namespace velmoradine
