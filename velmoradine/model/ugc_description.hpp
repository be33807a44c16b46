#pragma once

// A whole UGC described in JSON (docs/ugc.md gives the form): a title, the
// render options in order, and scenes of layers, each layer a
// UGCLayerInstruction. The description is checked whole before anything is
// rendered: every problem is an error naming the JSON path of the bad value,
// for instance "scenes[1].layers[0].attributes.frame: expected 4 numbers";
// unknown keys are errors.
//
// Local files are resolved against the description's folder and checked
// here: images are decoded (they become in-memory image layers), videos must
// be readable regular files. http and https addresses are left to the
// layers' resources to fetch when the UGC is rendered.

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "velmoradine/model/ugc_render_settings.hpp"
#include "velmoradine/platform/foundation/error.hpp"

namespace velmoradine {

enum class UGCDescriptionError {
  invalidJSON = 1,
  invalidDescription,
};
const ErrorCategory& ugcDescriptionErrorCategory();
std::error_code make_error_code(UGCDescriptionError error);

struct UGCSceneDescription {
  std::vector<UGCSceneOption> options;      // in the written order
  std::vector<UGCLayerInstruction> layers;  // bottom first
};

struct UGCDescription {
  std::optional<std::string> title;
  std::vector<UGCRenderOptions> options;    // in the written order
  std::vector<UGCSceneDescription> scenes;  // at least one
};

// The largest frame the description accepts, in either direction.
inline constexpr int kLargestUGCDimension = 4096;

Result<UGCDescription> parseUGCDescription(const std::string& json,
                                           const std::filesystem::path& baseDirectory);

}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::UGCDescriptionError> : std::true_type {};
