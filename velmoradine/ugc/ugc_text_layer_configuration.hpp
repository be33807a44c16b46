#pragma once

// A text layer; always ready, and its build cannot fail. Building appends
// the text to the (possibly shared) format each time, so the text is applied
// last and wins over a `string` among the host's attributes.

#include <memory>
#include <string>

#include "velmoradine/model/ugc_format.hpp"
#include "velmoradine/ugc/ugc_layer_configuration.hpp"

namespace velmoradine {

class UGCTextLayerConfiguration final : public UGCLayerConfiguration {
 public:
  UGCTextLayerConfiguration(std::shared_ptr<UGCTextFormat> format, std::string text)
      : format(std::move(format)), text(std::move(text)) {}

  Result<void> build(UGCSecneRenderer& scene) override;
  Result<void> buildPresentation(UGCScenePresentation& presentation) override;

  const std::shared_ptr<UGCTextFormat> format;
  const std::string text;
};

}  // namespace velmoradine
