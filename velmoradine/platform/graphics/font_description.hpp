#pragma once

// Internal to the graphics area: a Font turned into a Pango description.

#include <pango/pango.h>

#include "velmoradine/platform/graphics/font.hpp"

namespace velmoradine {

class FontDescription {
 public:
  FontDescription(const Font& font, double pointSize);
  ~FontDescription();
  FontDescription(const FontDescription&) = delete;
  FontDescription& operator=(const FontDescription&) = delete;
  PangoFontDescription* get() const { return description_; }

 private:
  PangoFontDescription* description_;
};

}  // namespace velmoradine
