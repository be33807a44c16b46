#pragma once

// An image layer whose picture is fetched from a URL (a file URL stands for
// itself). The download starts when the configuration is made.

#include <memory>

#include "velmoradine/share/resource.hpp"
#include "velmoradine/ugc/ugc_image_layer_configuration.hpp"

namespace velmoradine {

class UGCURLImageLayerConfiguration final : public UGCImageLayerConfiguration {
 public:
  // Starts the download; its callback holds the configuration until it ends.
  static std::shared_ptr<UGCURLImageLayerConfiguration> make(std::shared_ptr<UGCImageFormat> format,
                                                             const URL& url);

  // Fetches through the same single-flight resource: every caller gets the
  // one download's outcome, on the resource's queue.
  void ready(ReadyCompletion completion) override;

  const std::shared_ptr<Resource> resource;

 private:
  UGCURLImageLayerConfiguration(std::shared_ptr<UGCImageFormat> format, const URL& url);
};

}  // namespace velmoradine
