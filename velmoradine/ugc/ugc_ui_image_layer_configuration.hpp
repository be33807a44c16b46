#pragma once

// An image layer whose picture the host gives in memory; always ready.

#include <memory>

#include "velmoradine/ugc/ugc_image_layer_configuration.hpp"

namespace velmoradine {

class UGCUIImageLayerConfiguration final : public UGCImageLayerConfiguration {
 public:
  UGCUIImageLayerConfiguration(std::shared_ptr<UGCImageFormat> format, Image image)
      : UGCImageLayerConfiguration(std::move(format)) {
    this->image = std::move(image);
  }
};

}  // namespace velmoradine
