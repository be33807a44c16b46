#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "velmoradine/platform/graphics/cairo_support.hpp"

namespace velmoradine::painting {
namespace {

struct FaceSuffix {
  std::string_view name;
  PangoWeight weight;
  PangoStyle style;
};

// Face names carry their weight and style after the last '-'
// ("Helvetica-BoldOblique"); these are the suffixes understood.
constexpr FaceSuffix kSuffixes[] = {
    {"regular", PANGO_WEIGHT_NORMAL, PANGO_STYLE_NORMAL},
    {"roman", PANGO_WEIGHT_NORMAL, PANGO_STYLE_NORMAL},
    {"book", PANGO_WEIGHT_BOOK, PANGO_STYLE_NORMAL},
    {"thin", PANGO_WEIGHT_THIN, PANGO_STYLE_NORMAL},
    {"ultralight", PANGO_WEIGHT_ULTRALIGHT, PANGO_STYLE_NORMAL},
    {"light", PANGO_WEIGHT_LIGHT, PANGO_STYLE_NORMAL},
    {"medium", PANGO_WEIGHT_MEDIUM, PANGO_STYLE_NORMAL},
    {"semibold", PANGO_WEIGHT_SEMIBOLD, PANGO_STYLE_NORMAL},
    {"bold", PANGO_WEIGHT_BOLD, PANGO_STYLE_NORMAL},
    {"heavy", PANGO_WEIGHT_HEAVY, PANGO_STYLE_NORMAL},
    {"black", PANGO_WEIGHT_ULTRAHEAVY, PANGO_STYLE_NORMAL},
    {"italic", PANGO_WEIGHT_NORMAL, PANGO_STYLE_ITALIC},
    {"oblique", PANGO_WEIGHT_NORMAL, PANGO_STYLE_OBLIQUE},
    {"bolditalic", PANGO_WEIGHT_BOLD, PANGO_STYLE_ITALIC},
    {"boldoblique", PANGO_WEIGHT_BOLD, PANGO_STYLE_OBLIQUE},
    {"lightitalic", PANGO_WEIGHT_LIGHT, PANGO_STYLE_ITALIC},
    {"mediumitalic", PANGO_WEIGHT_MEDIUM, PANGO_STYLE_ITALIC},
    {"semibolditalic", PANGO_WEIGHT_SEMIBOLD, PANGO_STYLE_ITALIC},
};

std::string lowercase(std::string_view text) {
  std::string result(text);
  std::transform(result.begin(), result.end(), result.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return result;
}

}  // namespace

FontDescription::FontDescription(const Font& font, double pointSize)
    : description_(pango_font_description_new()) {
  std::string family = font.name();
  PangoWeight weight = PANGO_WEIGHT_NORMAL;
  PangoStyle style = PANGO_STYLE_NORMAL;
  if (auto dash = family.rfind('-'); dash != std::string::npos && dash > 0) {
    std::string suffix = lowercase(std::string_view(family).substr(dash + 1));
    for (const FaceSuffix& known : kSuffixes) {
      if (suffix == known.name) {
        weight = known.weight;
        style = known.style;
        family.resize(dash);
        break;
      }
    }
  }
  // The system UI face names of other platforms start with a dot; they and an
  // empty name mean the system face.
  if (family.empty() || family.front() == '.' || family == "systemFont") family = "Sans";
  // A family list: fontconfig tries the named family and falls back to the
  // system's sans face when it is not installed.
  family += ",Sans";
  pango_font_description_set_family(description_, family.c_str());
  pango_font_description_set_weight(description_, weight);
  pango_font_description_set_style(description_, style);
  // Points are the drawing unit, so the size is given in device units.
  pango_font_description_set_absolute_size(description_, std::max(pointSize, 0.0) * PANGO_SCALE);
}

FontDescription::~FontDescription() {
  pango_font_description_free(description_);
}

}  // namespace velmoradine::painting

#if defined(__SANITIZE_ADDRESS__)
// fontconfig keeps its configuration and font caches for the life of the
// process by design; leak checking would report them at every exit of a
// program that drew text.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif
