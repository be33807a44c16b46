#pragma once

// The kit's own outlet icons and logos, drawn as flat glyphs with the kit's
// layer renderer. Each image is designed on a 100 × 100 grid and scaled to
// its pixel size, so one drawing serves every size.
//
// Icons fill their whole square with the outlet's colour (the outlet cell
// clips them to a circle) and keep the white glyph inside the inscribed
// circle. Logos are a rounded badge on a transparent square, dark on light
// backgrounds ("lightMode") and light on dark ones ("darkMode").

#include <string>
#include <vector>

#include "velmoradine/platform/graphics/image.hpp"

namespace velmoradine::kitimages {

struct KitImage {
  // The resource name under "Assets/", without ".png".
  std::string name;
  Image image;
};

// Icons are 240 pixels square: sharper than a 75-point cell at scale 3.
inline constexpr int kIconPixels = 240;
// Logos are shown at 14 points; 84 pixels stays sharp up to scale 6.
inline constexpr int kLogoPixels = 84;

// The seven outlet icons and the two logos, in a fixed order.
std::vector<KitImage> drawKitImages();

}  // namespace velmoradine::kitimages
