#include "velmoradine/model/ugc_render_settings.hpp"

namespace velmoradine {

UGCRenderSettings::UGCRenderSettings(const std::vector<UGCRenderOptions>& options) {
  for (const UGCRenderOptions& option : options) {
    if (const auto* color = std::get_if<Color>(&option.value)) backgroundColor = *color;
    if (const auto* newSize = std::get_if<Size>(&option.value)) size = *newSize;
    // The only preset is the one the defaults come from.
  }
}

UGCSceneOptions::UGCSceneOptions(const std::vector<UGCSceneOption>& options) {
  if (!options.empty()) maxDuration = options.back().maxDurationSeconds;
}

}  // namespace velmoradine
