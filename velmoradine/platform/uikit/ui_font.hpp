#pragma once

// UIFont(name:size:): a font by face name, or none when no installed face
// has that family ("Avenir-Medium" on a system without Avenir), so callers
// can fall back as UIKit code does when the initialiser returns nil.

#include <optional>
#include <string>

#include "velmoradine/platform/graphics/font.hpp"

namespace velmoradine {

struct UIFont {
  static std::optional<Font> named(const std::string& name, double size);
};

}  // namespace velmoradine
